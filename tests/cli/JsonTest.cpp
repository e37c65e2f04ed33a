// --json: the documents on stdout are JSON that a parser takes; messages go to stderr.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "cli/CliInput.h"
#include "cli/CliJson.h"
#include "support/TestFiles.h"

namespace qzr::test {
namespace {

// Python's json module reads the file as a sequence of documents (one per line, or one that spans
// lines); returns "<count> <kind of the first>" or the parser's complaint; nothing without python3.
std::optional<std::string> parseByPython(const std::string& path) {
    const std::string command =
        "python3 -c \"import json,sys\n"
        "text=open(sys.argv[1],encoding='utf-8').read()\n"
        "docs=[json.loads(text)] if text.startswith('[') else [json.loads(l) for l in text.splitlines()]\n"
        "print(len(docs), type(docs[0]).__name__)\" '" +
        path + "' 2>&1";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return std::nullopt;
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    if (pclose(p) != 0 && out.find("not found") != std::string::npos) return std::nullopt;
    return out;
}

TEST(CliJson, StringsAreEscapedAndStayValidForEightBitTexts) {
    EXPECT_EQ(cli::jsonString("a\"b\\c\r\n\t\x01"), "\"a\\\"b\\\\c\\r\\n\\t\\u0001\"");
    // UTF-8 stands; a Latin-1 byte (not UTF-8) becomes its code point.
    EXPECT_EQ(cli::jsonString("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
    EXPECT_EQ(cli::jsonString("caf\xE9"), "\"caf\\u00E9\"");
    EXPECT_EQ(cli::jsonString("\xC3"), "\"\\u00C3\"");             // cut short
    EXPECT_EQ(cli::jsonString("\xC0\xAF"), "\"\\u00C0\\u00AF\"");  // overlong
    EXPECT_EQ(cli::JsonObject().add("n", 3).add("s", std::optional<std::string>()).add("b", true).str(),
              "{\"n\": 3, \"s\": null, \"b\": true}");
}

TEST(CliJson, DevicesInfoDetectAndOneObjectPerChip) {
    TempDir dir;
    std::vector<uint8_t> program;
    for (unsigned n = 0; n < 1024; ++n) {
        program.push_back(static_cast<uint8_t>(n));
        program.push_back(0x20);
    }
    writeFile(dir.file("pr\xE9.bin"), program);  // a Latin-1 file name
    const std::string cfg = dir.file("p.cfg");
    ASSERT_EQ(runCli({"-d", "QZR-D10", "-l", dir.file("pr\xE9.bin"), "option-value", "2A 55 00 00",
                      "save-config", cfg})
                  .status,
              0);
    struct Case {
        std::vector<std::string> args;
        const char* parsed;  // what python says
        const char* holds;   // a pattern the output holds
    };
    const Case cases[] = {
        {{"--json", "devices"},
         "1 list\n",
         "\\{\"name\": \"QZR-D10\", \"program_words\": 1024, \"eeprom_bytes\": 0, "
         "\"memory\": \"otp\", \"core_type\": 1\\}"},
        {{"--json", "-c", cfg, "info"},
         "1 dict\n",
         "\"option_value\": \"2A 55 00 00\", \"options\": \\[\\{\"name\": \"OSC Type\", \"value\": "
         "\"[A-Z]+\"\\}"},
        {{"--json", "-p", "virtual", "detect"},
         "1 dict\n",
         "^\\{\"port\": \"virtual\", \"result\": \"ok\", \"writer\": \"HRP021A V3.30\", "
         "\"firmware_version\": "
         "\"V3.30\"\\}\n$"},
        {{"--json", "-y", "-c", cfg, "-p", "virtual:new-chip", "auto", "run", "auto", "2", "verify"},
         "4 dict\n",
         "^\\{\"chip\": 1, \"socket\": 1, \"port\": \"virtual:new-chip\", \"operation\": \"auto\", "
         "\"result\": "
         "\"pass\", \"failed_step\": null, \"serial\": null, \"duration_ms\": [0-9]+, \"pass_count\": 1\\}\n"
         "\\{\"chip\": 2, .*\"pass_count\": 2\\}\n\\{\"chip\": 3, .*\"pass_count\": 3\\}\n"
         "\\{\"chip\": 4, .*\"operation\": \"verify\", \"result\": \"fail\", \"failed_step\": "
         "\"Checksum verify fail!!\", .*\\}\n$"},
        // The journal as one array after the chip's own object.
        {{"--json", "--journal", dir.file("j.db"), "--station", "s1", "-y", "-c", cfg, "-p",
          "virtual:new-chip", "auto", "journal"},
         "2 dict\n",
         "\n\\[\\{\"time\": .*\"result\": \"pass\", .*\"pass_count\": 1, .*\"station\": \"s1\", "
         "\"port\": \"[^\"]+\", \"lot\": \"\"\\}\\]\n$"},
    };
    for (const Case& c : cases) {
        const CliResult r = runCliWithInput(c.args, "\n\n");
        EXPECT_EQ(r.status, c.args.back() == "verify" ? 1 : 0) << c.args.back() << r.err;
        EXPECT_TRUE(std::regex_search(r.out, std::regex(c.holds))) << r.out;
        writeFile(dir.file("out.json"), r.out);
        const std::optional<std::string> parsed = parseByPython(dir.file("out.json"));
        if (!parsed) GTEST_SKIP() << "python3 is not available";
        EXPECT_EQ(*parsed, c.parsed) << r.out;
    }
    // The messages and verdict lines went to stderr.
    const CliResult r =
        runCliWithInput({"--json", "-y", "-c", cfg, "-p", "virtual:new-chip", "run", "auto"}, "\n");
    EXPECT_NE(r.err.find("OPTION program & verify OK\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Chips: 1, passed: 1, failed: 0\n"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace qzr::test
