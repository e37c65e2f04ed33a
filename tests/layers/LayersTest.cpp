// The source tree's layers, read from the #include lines: each folder includes only its own files and the
// folders below it, and no file reaches itself through its includes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Lower layers first. Folders of one rank never include each other.
const std::map<std::string, int> kRank = {
    {"common", 0},        {"device", 1},     {"image", 2},     {"options", 3},    {"disasm", 3},
    {"serial_number", 4}, {"info_sheet", 4}, {"writer", 5},    {"operations", 6}, {"config", 6},
    {"app", 7},           {"cli", 8},        {"common/ui", 9}, {"app/ui", 11},
};
constexpr int kSubsystemUiRank = 10;  // device/ui, image/ui, options/ui, ... (above common/ui, below app/ui)

std::string layerOf(const std::string& path) {
    const std::string top = path.substr(0, path.find('/'));
    if (path.find("/ui/") != std::string::npos) return top + "/ui";
    return top;
}

int rankOf(const std::string& layer) {
    if (const auto it = kRank.find(layer); it != kRank.end()) return it->second;
    if (layer.size() > 3 && layer.ends_with("/ui")) return kSubsystemUiRank;
    return -1;
}

// Every source file of src/ (relative path) with the project headers it includes.
std::map<std::string, std::vector<std::string>> includeGraph(const fs::path& src) {
    std::map<std::string, std::vector<std::string>> graph;
    const std::regex include(R"re(^\s*#\s*include\s+"([^"]+)")re");
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
        const std::string file = fs::relative(entry.path(), src).generic_string();
        auto& includes = graph[file];
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);) {
            std::smatch m;
            if (std::regex_search(line, m, include) && fs::exists(src / m[1].str())) includes.push_back(m[1]);
        }
    }
    return graph;
}

const fs::path kSource = fs::path(QZR_SOURCE_DIR) / "src";

TEST(Layers, EveryIncludePointsToTheSameFolderOrALowerOne) {
    std::ostringstream wrong;
    for (const auto& [file, includes] : includeGraph(kSource)) {
        const std::string from = layerOf(file);
        ASSERT_GE(rankOf(from), 0) << "folder of " << file << " has no place among the layers";
        for (const std::string& header : includes) {
            const std::string to = layerOf(header);
            if (to != from && rankOf(to) >= rankOf(from)) wrong << "\n  " << file << " includes " << header;
        }
    }
    EXPECT_EQ(wrong.str(), "") << "includes against the layers:" << wrong.str();
}

TEST(Layers, NoFileReachesItselfThroughItsIncludes) {
    const auto graph = includeGraph(kSource);
    std::map<std::string, int> state;  // 1 on the current path, 2 done
    std::vector<std::string> path;
    std::string cycle;
    std::function<void(const std::string&)> visit = [&](const std::string& file) {
        state[file] = 1;
        path.push_back(file);
        if (const auto it = graph.find(file); it != graph.end()) {
            for (const std::string& next : it->second) {
                if (state[next] == 1 && cycle.empty()) {
                    for (auto p = std::find(path.begin(), path.end(), next); p != path.end(); ++p)
                        cycle += *p + " -> ";
                    cycle += next;
                } else if (state[next] == 0) {
                    visit(next);
                }
            }
        }
        path.pop_back();
        state[file] = 2;
    };
    for (const auto& entry : graph)
        if (state[entry.first] == 0) visit(entry.first);
    EXPECT_EQ(cycle, "");
}

}  // namespace
