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

// Lower layers first: core/<subsystem> (the Qt-free library), app, then the two front ends cli and gui.
// Folders of one rank never include each other; inside core the subsystems keep their own order, and inside
// gui the shared pieces (gui/common) sit below every window and the main window (gui/main) above them all.
const std::map<std::string, int> kRank = {
    {"core/common", 0},  {"core/device", 1},        {"core/image", 2},      {"core/options", 3},
    {"core/disasm", 3},  {"core/serial_number", 4}, {"core/info_sheet", 4}, {"core/writer", 5},
    {"core/journal", 5}, {"core/operations", 6},    {"core/config", 6},     {"app", 7},
    {"cli", 8},          {"gui/common", 8},         {"gui/main", 10},
};
constexpr int kGuiFeatureRank =
    9;  // gui/image, gui/options, gui/writer, ... (above gui/common, below gui/main)

std::string layerOf(const std::string& path) {
    const auto first = path.find('/');
    const std::string top = path.substr(0, first);
    if (top != "core" && top != "gui") return top;
    const auto second = path.find('/', first + 1);
    return second == std::string::npos ? top : path.substr(0, second);
}

int rankOf(const std::string& layer) {
    if (const auto it = kRank.find(layer); it != kRank.end()) return it->second;
    if (layer.starts_with("gui/")) return kGuiFeatureRank;
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

// The library under every front end builds without Qt: no Qt header and no ui/ folder anywhere in src/core.
TEST(Layers, TheCoreHasNoQtAndNoWindows) {
    std::ostringstream wrong;
    const std::regex qtInclude(R"re(^\s*#\s*include\s+<Q)re");
    for (const auto& entry : fs::recursive_directory_iterator(kSource / "core")) {
        if (entry.is_directory() && entry.path().filename() == "ui") wrong << "\n  folder " << entry.path();
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);)
            if (std::regex_search(line, qtInclude)) wrong << "\n  " << entry.path() << ": " << line;
    }
    EXPECT_EQ(wrong.str(), "") << wrong.str();
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
