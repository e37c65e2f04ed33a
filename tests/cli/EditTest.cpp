// option, option-value, id and id-hex: the option editor's and the ID editor's rules from the command line,
// read back through `info`.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/device/DeviceCatalogue.h"
#include "core/options/OptionEditor.h"
#include "support/TestFiles.h"

namespace qzr::test {
namespace {

// The first line of `text` that starts with `start`; empty when there is none.
std::string lineStarting(const std::string& text, const std::string& start) {
    const std::string all = "\n" + text;
    const auto at = all.find("\n" + start);
    if (at == std::string::npos) return {};
    return all.substr(at + 1, all.find('\n', at + 1) - at - 1);
}

TEST(CliEdit, InfoShowsAnOptionSetByName) {
    TempDir dir;
    writeFile(dir.file("prog.bin"), std::string(2048, '\x20'));
    const CliResult before = runCli({"-d", "QZR-D10", "-l", dir.file("prog.bin"), "info"});
    const CliResult r = runCli({"-d", "QZR-D10", "-l", dir.file("prog.bin"), "option", "OSC Type=XT", "info",
                                "save-config", dir.file("p.cfg")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lineStarting(r.out, "OSC Type:"), "OSC Type: XT");
    // Only that item changed; the option value and its checksum follow.
    EXPECT_EQ(lineStarting(r.out, "OST:"), "OST: Blank");
    EXPECT_NE(lineStarting(r.out, "Option value:"), lineStarting(before.out, "Option value:"));
    EXPECT_NE(lineStarting(r.out, "w/OPTIONs:"), lineStarting(before.out, "w/OPTIONs:"));
    // The project keeps it.
    const std::string value = lineStarting(r.out, "Option value:").substr(14);
    EXPECT_NE(readFile(dir.file("p.cfg")).find("Option code: " + value + "\r\n"), std::string::npos);
    const CliResult again = runCli({"-c", dir.file("p.cfg"), "info"});
    EXPECT_EQ(lineStarting(again.out, "OSC Type:"), "OSC Type: XT") << again.out << again.err;
}

// Every device, every option item, every value of its list: set by `option`, shown by `info`.
TEST(CliEdit, EveryItemAndValueOfEveryDeviceRoundTripsThroughInfo) {
    int checked = 0;
    for (const DeviceRecord& row : deviceTable()) {
        const std::optional<DeviceFields> device = findDevice(row.name);
        ASSERT_TRUE(device) << row.name;
        std::array<uint8_t, 4> bytes{0x7F, 0x7F, 0x7F, 0x7F};
        bool changed = false;
        OptionState options;
        SilentUserInterface quiet;
        const OptionEditor editor(bytes, changed, options, *device, quiet);
        // One program run per device: option, info, option, info, ...
        std::vector<std::string> args{"-d", row.name};
        std::vector<std::string> expected;
        for (const OptionEditorItem& item : editor.items()) {
            if (!item.present) continue;
            std::string name = item.caption;
            if (!name.empty() && name.back() == ':') name.pop_back();
            for (const std::string& text : item.texts) {
                // A list that holds the same text twice cannot tell its entries apart by name.
                if (std::count(item.texts.begin(), item.texts.end(), text) > 1) continue;
                args.insert(args.end(), {"option", name + "=" + text, "info"});
                expected.push_back(item.caption + " " + text);
            }
        }
        const CliResult r = runCli(args);
        ASSERT_EQ(r.status, 0) << row.name << "\n" << r.err;
        // One info block per option command, in order.
        std::size_t at = 0;
        for (const std::string& line : expected) {
            const std::size_t block = r.out.find("Device: ", at);
            ASSERT_NE(block, std::string::npos) << row.name << " " << line;
            const std::size_t end = r.out.find("Device: ", block + 1);
            const std::string info =
                r.out.substr(block, end == std::string::npos ? std::string::npos : end - block);
            EXPECT_NE(info.find("\n" + line + "\n"), std::string::npos) << row.name << ": " << line << "\n"
                                                                        << info;
            at = block + 1;
            ++checked;
        }
    }
    EXPECT_GT(checked, 500);
}

TEST(CliEdit, OptionValueAndTheId) {
    struct Case {
        const char* device;
        std::vector<std::string> command;
        const char* start;  // the info line that shows it
        const char* line;
    };
    const Case cases[] = {
        {"QZR-D10", {"option-value", "2A", "55", "00", "00"}, "Option value:", "Option value: 2A 55 00 00"},
        {"QZR-D10", {"option-value", "2a 55 0 0"}, "Option value:", "Option value: 2A 55 00 00"},
        // The value that `option "OSC Type=XT" option WDT=Enable` leaves, read back item by item.
        {"QZR-D10", {"option-value", "76 5D 00 00"}, "OSC Type:", "OSC Type: XT"},
        {"QZR-D10", {"option-value", "76 5D 00 00"}, "WDT:", "WDT: Enable"},
        // ASCII: the rest blank; the 11-bit core keeps four bits of every high half.
        {"QZR-D10", {"id", "ABCDE"}, "ID:", "ID: 41 42 43 44 45 7F 7F 7F 7F 7F 7F 7F"},
        {"QZR-D59", {"id", "ABCDE"}, "ID:", "ID: 41 02 43 04 45 0F 7F 0F 7F 0F 7F 0F"},
        {"QZR-D10", {"id", "ABCDEFGHIJKL"}, "ID:", "ID: 41 42 43 44 45 46 47 48 49 4A 4B 4C"},
        // HEX: bytes not given count as F; each half masked.
        {"QZR-D10", {"id-hex", "51", "5a"}, "ID:", "ID: 51 5A 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F"},
        {"QZR-D59", {"id-hex", "51 5A FF"}, "ID:", "ID: 51 0A 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F"},
        {"QZR-D10", {"id-hex", "1 2 3 4 5 6 7 8 9 A B C"}, "ID:", "ID: 01 02 03 04 05 06 07 08 09 0A 0B 0C"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"-d", c.device};
        args.insert(args.end(), c.command.begin(), c.command.end());
        args.push_back("info");
        const CliResult r = runCli(args);
        EXPECT_EQ(r.status, 0) << c.line << "\n" << r.err;
        EXPECT_EQ(lineStarting(r.out, c.start), c.line);
    }
}

}  // namespace
}  // namespace qzr::test
