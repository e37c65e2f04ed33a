// The bash completion script, run by bash: what it offers after each kind of word, and that it leaves the
// user's shell options as they were.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "support/TestFiles.h"

namespace qzr::test {
namespace {

std::filesystem::path completionScript() {
    std::filesystem::path source = __FILE__;
    if (source.is_relative()) {
        // Compiled with a path relative to the build folder, where the test program lives.
        source = std::filesystem::read_symlink("/proc/self/exe").parent_path() / source;
    }
    return source.parent_path().parent_path().parent_path() / "scripts" / "qzr-writer-cli.bash-completion";
}

// Runs bash on `script` (after the completion script was sourced); returns its output, or nothing without
// bash.
std::optional<std::string> bash(const TempDir& dir, const std::string& script) {
    const std::string file = dir.file("t.sh");
    writeFile(file, "compopt() { :; }\n" + script);
    FILE* p = popen(("cd '" + dir.path().string() + "' && bash '" + file + "' 2>&1").c_str(), "r");
    if (!p) return std::nullopt;
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    if (pclose(p) != 0 && out.find("bash: not found") != std::string::npos) return std::nullopt;
    return out;
}

TEST(Completion, OffersWhatEachWordTakes) {
    TempDir dir;
    ASSERT_TRUE(std::filesystem::exists(completionScript())) << completionScript();
    writeFile(dir.file("a.cfg"), "");
    writeFile(dir.file("b.CFG"), "");
    writeFile(dir.file("c.mhx"), "");
    writeFile(dir.file("d.txt"), "");
    struct Case {
        std::vector<std::string> words;  // the line; the last one is being completed
        const char* offered;             // sorted, blank-separated
    };
    const Case cases[] = {
        {{"emulate", ""},
         "a.cfg adapter-error b.CFG c.mhx class1 class2 d.txt fail-at= id= no-chip silence-after= "
         "t.sh wrong-reply="},
        {{"-d", "QZR-D10", "emulate", "link", "s"}, "silence-after="},
        {{"download", "QZR-D0"}, "QZR-D01 QZR-D02 QZR-D03 QZR-D04 QZR-D05 QZR-D06 QZR-D07 QZR-D08 QZR-D09"},
        {{"download", "QZR-D01,QZR-D5"},
         "QZR-D01,QZR-D50 QZR-D01,QZR-D51 QZR-D01,QZR-D52 QZR-D01,QZR-D53 "
         "QZR-D01,QZR-D54 QZR-D01,QZR-D55 QZR-D01,QZR-D56 QZR-D01,QZR-D57 "
         "QZR-D01,QZR-D58 QZR-D01,QZR-D59"},
        {{"-p", "vir"}, "virtual virtual:new-chip"},
        {{"-p", "virtual", ":", ""}, "new-chip"},
        {{"-d", "QZR-D1"}, "QZR-D10 QZR-D11 QZR-D12 QZR-D13 QZR-D14 QZR-D15 QZR-D16 QZR-D17 QZR-D18 QZR-D19"},
        {{"-c", ""}, "a.cfg b.CFG"},
        {{"-l", ""}, "a.cfg b.CFG c.mhx"},
        {{"run", "auto"}, "auto auto-no-blank-check"},
        {{"info", "op"}, "option option-value"},
        {{"--j"}, "--journal --json"},
        {{"--station", "x", "jo"}, "journal"},
    };
    std::string script = "source '" + completionScript().string() + "'\nPATH='" +
                         std::filesystem::path(QZR_CLI_PATH).parent_path().string() + "':$PATH\n";
    for (const Case& c : cases) {
        script += "COMP_WORDS=(qzr-writer-cli";
        for (const std::string& w : c.words) script += " '" + w + "'";
        script += "); COMP_CWORD=" + std::to_string(c.words.size()) +
                  "; _qzr_writer_cli; printf '%s\\n' \"${COMPREPLY[@]}\" | sort | tr '\\n' ' '; echo\n";
    }
    const std::optional<std::string> out = bash(dir, script);
    if (!out) GTEST_SKIP() << "bash is not available";
    std::string expected;
    for (const Case& c : cases) expected += std::string(c.offered) + " \n";
    EXPECT_EQ(*out, expected);
}

TEST(Completion, LeavesTheShellOptionsAsTheyWere) {
    TempDir dir;
    const std::optional<std::string> out = bash(
        dir, "shopt -p > before; set -o > before-set; source '" + completionScript().string() +
                 "'\nshopt -p > after; set -o > after-set; cmp before after && cmp before-set after-set && "
                 "complete -p qzr-writer-cli\n");
    if (!out) GTEST_SKIP() << "bash is not available";
    EXPECT_EQ(*out, "complete -o filenames -F _qzr_writer_cli qzr-writer-cli\n");
}

}  // namespace
}  // namespace qzr::test
