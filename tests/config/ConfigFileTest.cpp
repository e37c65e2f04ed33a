#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ConfigCommands.h"
#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/options/Options.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

// A .bin data file for the selected device: word n = 0x1000 + n (NOP-range words), low byte first.
std::string writeBin(const test::TempDir& dir, const MainState& st, const std::string& name) {
    std::vector<uint8_t> bytes;
    for (int n = 0; n < st.device.programWordCount(); ++n) {
        const int word = 0x1000 + (n & 0xFF);
        bytes.push_back(static_cast<uint8_t>(word & 0xFF));
        bytes.push_back(static_cast<uint8_t>(word >> 8));
    }
    const std::string path = dir.file(name);
    test::writeFile(path, bytes);
    return path;
}

// The keyed file for the default state, with `dataFile` and room to replace single lines.
std::string configText(const std::string& dataFile, const std::string& version = "2.77") {
    return "Version: " + version + "\r\nFile name: " + dataFile +
           "\r\nCOM port: Com2\r\nDevice name: QZR-D05\r\n"
           "Serial mode: 1 16 2 12A4 3 1 1\r\nOption code: 01 02 03 04\r\n"
           "ID code: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18 19 1A 1B 1C "
           "1D 1E "
           "1F \r\nKeep option: 1\r\nWrite EE in auto: 0\r\nBypass IC check: 1\r\nSave EE Data: 1\r\n"
           "Customer's Name: ACME  Corp \r\nCustomer's project name: Door bell\r\nFrequency: 4 MHz\r\n"
           "Operating voltage: 2.2V ~ 5.5V\r\nOperating current: 1mA\r\nSleep current: 1uA\r\n";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

struct Fixture : ::testing::Test {
    Fixture() { st.ui = &ui; }
    test::TempDir dir;
    test::RecordingUi ui;
    MainState st;

    bool load(const std::string& text) {
        st.configPath = dir.file("test.cfg");
        return LoadCfg(st, text);
    }
    std::string dataErr() const { return "'" + st.configPath + "' file data error!"; }
};

using ConfigSave = Fixture;
using ConfigLoad = Fixture;
using ConfigRefused = Fixture;
using ConfigStartup = Fixture;

TEST(ConfigReader, LinesKeysAndWords) {
    CfgReader r("Version: 2.77\r\nA: x\r\nKey:  one\ttwo\r\nlast");
    EXPECT_EQ(r.SearchStr("Key:"), 1u);
    EXPECT_EQ(r.line(), "  one\ttwo\r\n");
    EXPECT_EQ(r.GetStr(), "one");
    EXPECT_EQ(r.line(), "\ttwo\r\n");
    EXPECT_EQ(r.GetStr(), "two");
    EXPECT_EQ(r.GetStr(), "");
    // Keys are found in file order only: a key before the current line is not found and the file is used up.
    EXPECT_EQ(r.SearchStr("A:"), 0u);
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_FALSE(r.ReadLine());

    CfgReader s("xx Key: v\nlast");
    EXPECT_EQ(s.SearchStr("Key:"), 4u);
    EXPECT_TRUE(s.ReadLine());
    EXPECT_EQ(s.line(), "last");

    const std::string tooLong = std::string(kMaxConfigLineBytes + 1, 'a') + "\nKey: 1\n";
    CfgReader longLine(tooLong);  // the reader views the text: it must outlive the reader
    EXPECT_EQ(longLine.SearchStr("Key:"), 0u);
    EXPECT_TRUE(longLine.failed());
}

TEST_F(ConfigSave, WritesTheSeventeenLines) {
    st.dataFileName = "/tmp/a.bin";
    st.serial.wordCount = 0;
    st.serial.number = {0xAB, 0xCD, 0, 0, 0, 0, 0, 0};
    st.optionBytes = {0x01, 0x7F, 0x0A, 0x00};
    st.info.customerName = "Two\r\nLines";
    const std::string text = SaveCfg(st);
    EXPECT_EQ(st.serial.wordCount, 1);
    std::string id;
    for (int i = 0; i < 32; ++i) id += "7F ";
    EXPECT_EQ(text,
              "Version: 2.77\r\nFile name: /tmp/a.bin\r\nCOM port: Com1\r\nDevice name: QZR-D01\r\n"
              "Serial mode: 0 0 1 AB 1 0 0\r\nOption code: 01 7F 0A 00\r\nID code: " +
                  id +
                  "\r\nKeep option: 0\r\nWrite EE in auto: 1\r\nBypass IC check: 0\r\nSave EE Data: 0\r\n"
                  "Customer's Name: Two  Lines\r\nCustomer's project name: \r\nFrequency: \r\n"
                  "Operating voltage:  ~ \r\nOperating current: \r\nSleep current: \r\n");
}

TEST_F(ConfigSave, RoundTripRestoresTheWholeSetUp) {
    MainState source;
    ASSERT_TRUE(selectDevice(source, "QZR-D05"));
    source.dataFileName = writeBin(dir, source, "prog.bin");
    source.link.portEntry = "Com3";
    source.optionBytes = {0x15, 0x2A, 0x33, 0x11};
    UpdateOption(source.options, source.optionBytes, source.device, source.image, *source.ui, *source.views);
    for (std::size_t i = 0; i < 32; ++i) source.image.idArea()[i] = static_cast<uint8_t>(0x40 + i);
    source.settings = Settings{true, false, true, true};
    source.serial.serialMode = true;
    source.serial.startAddress = 0x123;
    source.serial.wordCount = 3;
    source.serial.number = {0x03, 0x02, 0xA1, 0, 0, 0, 0, 0};
    source.serial.increment = 7;
    source.serial.mode = SerialKind::PseudoRandom;
    source.serial.byteOrder = SerialByteOrder::LsbFirst;
    source.info = InfoSheetTexts{"ACME Corp", "Door bell v2", "4MHz", "", "5.5V", "1mA", "1uA"};
    const std::string path = dir.file("project.cfg");
    ASSERT_TRUE(writeConfigFile(source, path));

    ASSERT_TRUE(LoadConfigFile(st, path)) << ::testing::PrintToString(ui.log);
    EXPECT_TRUE(ui.log.empty()) << ::testing::PrintToString(ui.log);
    EXPECT_EQ(st.configPath, path);
    EXPECT_EQ(st.link.portEntry, "Com3");
    EXPECT_EQ(st.link.portName, "COM3");
    EXPECT_EQ(st.deviceListText, "QZR-D05");
    EXPECT_EQ(st.device.deviceName, "QZR-D05");
    EXPECT_EQ(st.optionBytes, source.optionBytes);
    EXPECT_TRUE(
        std::equal(st.image.idArea().begin(), st.image.idArea().end(), source.image.idArea().begin()));
    EXPECT_TRUE(st.settings.keepOptions && !st.settings.programEepromInAuto);
    EXPECT_TRUE(st.settings.bypassIcCheck && st.settings.saveEepromWithData);
    EXPECT_FALSE(st.serial.serialMode);  // loading the data file ends serial-number mode
    EXPECT_EQ(st.serial.startAddress, 0x123u);
    EXPECT_EQ(st.serial.wordCount, 3);
    EXPECT_EQ(st.serial.number, source.serial.number);
    EXPECT_EQ(st.serial.increment, 7u);
    EXPECT_EQ(st.serial.mode, SerialKind::PseudoRandom);
    EXPECT_EQ(st.serial.byteOrder, SerialByteOrder::LsbFirst);
    EXPECT_EQ(st.info.customerName, source.info.customerName);
    EXPECT_EQ(st.info.projectName, source.info.projectName);
    EXPECT_EQ(st.info.operatingFrequency, "4MHz");
    EXPECT_EQ(st.info.operatingVoltageLow, "");
    EXPECT_EQ(st.info.operatingVoltageHigh, "5.5V");
    EXPECT_EQ(st.info.operatingCurrent, "1mA");
    EXPECT_EQ(st.info.sleepCurrent, "1uA");
    EXPECT_EQ(st.dataFileName, source.dataFileName);
    EXPECT_EQ(wordValue(st.image.programWord(5)), 0x1005);
    // Saving the loaded state gives the same file (but for serial-number mode).
    EXPECT_EQ(SaveCfg(st), replaced(test::readFile(path), "Serial mode: 1", "Serial mode: 0"));
}

TEST_F(ConfigLoad, ReadsFieldsAsDescribed) {
    MainState d05;
    ASSERT_TRUE(selectDevice(d05, "QZR-D05"));
    const std::string bin = writeBin(dir, d05, "d05.bin");
    ASSERT_TRUE(load(configText(bin))) << ::testing::PrintToString(ui.log);
    EXPECT_EQ(st.serial.startAddress, 16u);
    EXPECT_EQ(st.serial.wordCount, 2);
    EXPECT_EQ(st.serial.number[0], 0xA4);
    EXPECT_EQ(st.serial.number[1], 0x12);
    EXPECT_EQ(st.info.customerName, "ACME  Corp ");  // blanks kept, the line end dropped
    EXPECT_EQ(st.info.projectName, "Door bell");
    EXPECT_EQ(st.info.operatingFrequency, "4");  // first word only
    EXPECT_EQ(st.info.operatingVoltageLow, "2.2V");
    EXPECT_EQ(st.info.operatingVoltageHigh, "5.5V");
    EXPECT_EQ(st.image.idArea()[31], 0x1F);

    // Before 2.70 only option bytes 0 and 1 are read; before 2.74 the sheet texts stay as they were.
    st.optionBytes = {0x7F, 0x7F, 0x55, 0x66};
    st.info = InfoSheetTexts{"keep", "keep", "keep", "keep", "keep", "keep", "keep"};
    ASSERT_TRUE(load(configText(bin, "2.69")));
    d05.optionBytes = {0x01, 0x02, 0x55, 0x66};
    UpdateOption(d05.options, d05.optionBytes, d05.device, d05.image, *d05.ui,
                 *d05.views);  // the load refreshes the option display, which fits the bytes to the device
    EXPECT_EQ(st.optionBytes, d05.optionBytes);
    EXPECT_EQ(st.info.customerName, "keep");
    EXPECT_EQ(st.info.sleepCurrent, "keep");
}

TEST_F(ConfigLoad, VersionTextsAreComparedAsTexts) {
    MainState d05;
    ASSERT_TRUE(selectDevice(d05, "QZR-D05"));
    const std::string bin = writeBin(dir, d05, "d05.bin");
    st.info.customerName = "before";
    ASSERT_TRUE(load(configText(bin, "2.73")));
    EXPECT_EQ(st.info.customerName, "before");
    ASSERT_TRUE(load(configText(bin, "2.8")));  // "2.8" sorts after "2.74"
    EXPECT_EQ(st.info.customerName, "ACME  Corp ");
}

TEST_F(ConfigLoad, MissingOptionalKeysTurnSettingsOff) {
    MainState d05;
    ASSERT_TRUE(selectDevice(d05, "QZR-D05"));
    const std::string bin = writeBin(dir, d05, "d05.bin");
    std::string text = replaced(configText(bin, "2.60"), "Bypass IC check: 1\r\n", "");
    text = replaced(text, "Save EE Data: 1\r\n", "");
    st.settings.bypassIcCheck = st.settings.saveEepromWithData = true;
    ASSERT_TRUE(load(text));
    EXPECT_FALSE(st.settings.bypassIcCheck);
    EXPECT_FALSE(st.settings.saveEepromWithData);
}

TEST_F(ConfigLoad, DataFileProblemsKeepTheSetUpAndReportTheName) {
    // "File name:" takes the rest of the line, blanks included.
    const std::string spaced = dir.file("my prog.bin");
    ASSERT_FALSE(load(configText(spaced)));
    EXPECT_EQ(ui.log.back(), "Can not find '" + spaced + "' !");
    EXPECT_EQ(st.dataFileName, "");
    EXPECT_EQ(st.deviceListText, "QZR-D05");  // the set-up was taken over
    EXPECT_EQ(st.link.portEntry, "Com2");

    ASSERT_FALSE(load(configText("")));
    EXPECT_EQ(ui.log.back(), "No data file name");
    // A name holding a zero byte names no file; it would open the file named by the part before it.
    ASSERT_FALSE(load(configText(std::string("/etc/hostname\0.bin", 18))));
    EXPECT_EQ(ui.log.back(), dataErr());

    // A configuration naming a configuration file (here itself) is refused instead of loading without end.
    test::writeFile(dir.file("test.cfg"), configText(dir.file("test.cfg")));
    st.configPath = dir.file("test.cfg");
    EXPECT_FALSE(LoadCfgFile(st));
    EXPECT_EQ(ui.log.back(), dataErr());
}

// Changes the working folder for the life of the object.
struct WorkingFolder {
    explicit WorkingFolder(const std::filesystem::path& to) : before(std::filesystem::current_path()) {
        std::filesystem::current_path(to);
    }
    ~WorkingFolder() { std::filesystem::current_path(before); }
    std::filesystem::path before;
};

// A data file named without its full path is looked for beside the configuration first, then from the
// working folder; the command line's -c goes through the same loader.
TEST_F(ConfigLoad, RelativeDataFileIsFoundBesideTheConfiguration) {
    MainState d05;
    ASSERT_TRUE(selectDevice(d05, "QZR-D05"));
    std::filesystem::create_directories(dir.path() / "proj" / "data");
    std::filesystem::create_directories(dir.path() / "cwd");
    // Two different programs: word 0 tells which file was read.
    auto program = [&](const std::string& name, int word0) {
        writeBin(dir, d05, name);
        std::string bytes = test::readFile(dir.file(name));
        bytes[0] = static_cast<char>(word0 & 0xFF);
        bytes[1] = static_cast<char>(word0 >> 8);
        test::writeFile(dir.file(name), bytes);
    };
    struct Case {
        const char* named;   // the "File name:" value
        const char* beside;  // the file put beside the configuration (relative to proj/), or null
        const char* cwd;     // the file put in the working folder, or null
        const char* loaded;  // the data-file name after the load (relative to the temp folder), or null
        int word0;
    };
    const Case cases[] = {
        {"x.bin", "x.bin", nullptr, "proj/x.bin", 0x0111},
        {"x.bin", "x.bin", "x.bin", "proj/x.bin", 0x0111},  // beside the configuration first
        {"x.bin", nullptr, "x.bin", "", 0x0222},            // then where it was always looked for
        {"data/x.bin", "data/x.bin", nullptr, "proj/data/x.bin", 0x0111},
        {"x.bin", nullptr, nullptr, nullptr, 0},
    };
    const WorkingFolder in(dir.path() / "cwd");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.named) + (c.beside ? " beside" : "") + (c.cwd ? " cwd" : ""));
        std::filesystem::remove(dir.path() / "proj" / c.named);
        std::filesystem::remove(dir.path() / "cwd" / c.named);
        if (c.beside) program(std::string("proj/") + c.beside, 0x0111);
        if (c.cwd) program(std::string("cwd/") + c.cwd, 0x0222);
        st.configPath = dir.file("proj/q.cfg");
        ui.log.clear();
        const bool loaded = LoadCfg(st, configText(c.named));
        if (!c.loaded) {
            EXPECT_FALSE(loaded);
            EXPECT_EQ(ui.log, std::vector<std::string>{"Can not find '" + std::string(c.named) + "' !"});
            continue;
        }
        ASSERT_TRUE(loaded) << ::testing::PrintToString(ui.log);
        EXPECT_EQ(st.dataFileName, *c.loaded ? dir.file(c.loaded) : std::string(c.named));
        EXPECT_EQ(wordValue(st.image.programWord(0)), c.word0);
    }

    // The command line, started in another folder, loads the same project.
    program("proj/x.bin", 0x0111);
    test::writeFile(dir.file("proj/q.cfg"), configText("x.bin"));
    const test::CliResult cli = test::runCli({"-c", dir.file("proj/q.cfg"), "info"});
    EXPECT_EQ(cli.status, 0) << cli.out << cli.err;
    EXPECT_NE(cli.out.find("File name: " + dir.file("proj/x.bin") + "\n"), std::string::npos) << cli.out;
}

TEST_F(ConfigRefused, FormatsAndDevicesThatAreNotKnown) {
    const MainState before;
    for (const std::string& text :
         {std::string(), std::string("Ve"), std::string("version: 2.77\r\n"), std::string("koi\x0F rest"),
          std::string("qzrdata.bin\x0F Com1 QZR-D01"), std::string("\x00\x01\x02Ver", 6),
          replaced(configText("x.bin"), "QZR-D05", "qzr-d05"),
          replaced(configText("x.bin"), "Device name:", "Dev:"),
          replaced(configText("x.bin"), "ID code:", "ID:"), std::string("Verbose\r\n")}) {
        ui.log.clear();
        EXPECT_FALSE(load(text)) << text;
        EXPECT_EQ(ui.log, std::vector<std::string>{dataErr()}) << text;
        // Nothing of a refused file reaches the state.
        EXPECT_EQ(st.deviceListText, before.deviceListText);
        EXPECT_EQ(st.link.portEntry, before.link.portEntry);
        EXPECT_EQ(st.dataFileName, "");
    }
}

TEST_F(ConfigRefused, SerialFieldsBeyondTheirLimits) {
    for (const char* line : {"Serial mode: 0 0 9 112233445566778899 1 0 0", "Serial mode: 0 0 -1 00 1 0 0",
                             "Serial mode: 0 65536 1 00 1 0 0", "Serial mode: 0 0 1 00 256 0 0",
                             "Serial mode: 0 0 1 00 1 2 0", "Serial mode: 0 0 1 00 1 0 -1"}) {
        ui.log.clear();
        EXPECT_FALSE(load(replaced(configText("x.bin"), "Serial mode: 1 16 2 12A4 3 1 1", line))) << line;
        EXPECT_EQ(ui.log, std::vector<std::string>{dataErr()}) << line;
        EXPECT_EQ(st.serial.wordCount, 1);
    }
    // A stored count of 0 is taken as 1; a short number fills the bytes it has.
    EXPECT_FALSE(
        load(replaced(configText("x.bin"), "Serial mode: 1 16 2 12A4 3 1 1", "Serial mode: 0 0 0 7 1 0 0")));
    EXPECT_EQ(st.serial.wordCount, 1);
    EXPECT_EQ(st.serial.number[0], 0x07);
    EXPECT_FALSE(load(
        replaced(configText("x.bin"), "Serial mode: 1 16 2 12A4 3 1 1", "Serial mode: 0 0 8 ABC 1 0 0")));
    EXPECT_EQ(st.serial.number[0], 0xBC);
    EXPECT_EQ(st.serial.number[1], 0x0A);
    EXPECT_EQ(st.serial.number[2], 0x00);
}

TEST_F(ConfigRefused, DecimalFieldsThatDoNotParse) {
    struct Case {
        std::string from, to, shown;
    } cases[] = {
        {"Keep option: 1", "Keep option: yes", "yes"},
        {"Write EE in auto: 0", "Write EE in auto:", ""},
        {"Serial mode: 1 16 2 12A4 3 1 1", "Serial mode: 1 1x 2 12A4 3 1 1", "1x"},
        {"Serial mode: 1 16 2 12A4 3 1 1", "Serial mode: 1 16 2 12A4 99999999999 1 1", "99999999999"},
        {"Bypass IC check: 1", "Bypass IC check: -", "-"},
        {"COM port: Com2", "COM port: Cx", ""},
    };
    for (const Case& c : cases) {
        ui.log.clear();
        EXPECT_FALSE(load(replaced(configText("x.bin"), c.from, c.to))) << c.to;
        EXPECT_EQ(ui.log, std::vector<std::string>{"Error: '" + c.shown + "' is not a valid integer value"})
            << c.to;
    }
    EXPECT_FALSE(load(replaced(configText("x.bin"), "COM port: Com2", "COM port: Com9")));
    EXPECT_EQ(ui.log.back(), dataErr());
    // The emulated writer and device paths of the command line are kept as they were saved.
    for (const std::string entry : {"virtual", "/dev/ttyUSB0"}) {
        EXPECT_FALSE(load(replaced(configText(""), "COM port: Com2", "COM port: " + entry)));
        EXPECT_EQ(ui.log.back(), "No data file name");
        EXPECT_EQ(st.link.portEntry, entry);
    }
}

TEST_F(ConfigRefused, BadHexWordsAreFileDataErrors) {
    const struct {
        std::string from, to;
    } cases[] = {
        {"Option code: 01 02 03 04", "Option code: ZZ QQ 00 00"},
        {"Option code: 01 02 03 04", "Option code: 01 02 03"},
        {"Option code: 01 02 03 04", "Option code: 01 102 03 04"},
        {"Option code: 01 02 03 04", "Option code: 01 02 03 0x4"},
        {"ID code: 00 01 02", "ID code: 00 ZZ 02"},
        {"ID code: 00 01 02", "ID code: 00 01 1FF"},
        {"1D 1E 1F \r\n", "1D 1E\r\n"},
        {"Serial mode: 1 16 2 12A4 3 1 1", "Serial mode: 1 16 2 12G4 3 1 1"},
        {"Serial mode: 1 16 2 12A4 3 1 1", "Serial mode: 1 16 2 112A4 3 1 1"},
        {"Serial mode: 1 16 2 12A4 3 1 1", "Serial mode: 1 16 0 123 3 1 1"},
    };
    for (const auto& c : cases) {
        ui.log.clear();
        st.optionBytes = {0x7F, 0x7F, 0x7F, 0x7F};
        EXPECT_FALSE(load(replaced(configText("x.bin"), c.from, c.to))) << c.to;
        EXPECT_EQ(ui.log, std::vector<std::string>{dataErr()}) << c.to;
        // Nothing of the refused file was applied.
        EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{0x7F, 0x7F, 0x7F, 0x7F})) << c.to;
        EXPECT_EQ(st.deviceListText, MainState().deviceListText) << c.to;
    }
    // One-digit and lower-case bytes are well-formed.
    MainState d05;
    ASSERT_TRUE(selectDevice(d05, "QZR-D05"));
    const std::string bin = writeBin(dir, d05, "d05.bin");
    ASSERT_TRUE(load(replaced(configText(bin), "ID code: 00 01 02", "ID code: 0 1 fe")));
    EXPECT_EQ(st.image.idArea()[1], 0x01);
    EXPECT_EQ(st.image.idArea()[2], 0xFE);
}

TEST_F(ConfigRefused, OversizedFilesAndLongLines) {
    st.configPath = dir.file("big.cfg");
    test::writeFile(st.configPath, configText("x.bin") + std::string(kMaxConfigFileBytes, ' '));
    EXPECT_FALSE(LoadCfgFile(st));
    EXPECT_EQ(ui.log.back(), dataErr());

    EXPECT_FALSE(load(replaced(configText("x.bin"), "Door bell", std::string(kMaxConfigLineBytes, 'x'))));
    EXPECT_EQ(ui.log.back(), dataErr());

    st.configPath = dir.file("absent.cfg");
    EXPECT_FALSE(LoadCfgFile(st));
    EXPECT_EQ(ui.log.back(), "File can't open!");
}

TEST_F(ConfigRefused, LoadConfigFileResetsTheDeviceOnFailure) {
    st.optionBytes = {1, 2, 3, 4};
    st.disassemblyOpen = true;
    const std::string path = dir.file("bad.cfg");
    test::writeFile(path, "garbage");
    EXPECT_FALSE(LoadConfigFile(st, path));
    EXPECT_EQ(st.configPath, path);
    EXPECT_EQ(ui.log, std::vector<std::string>{"'" + path + "' file data error!"});
    EXPECT_FALSE(st.disassemblyOpen);
    EXPECT_EQ(wordValue(st.image.idWord(0)), 0x3FFF);  // the device reset ran
}

TEST_F(ConfigRefused, MenuCommandsWithTheQtpFilterOrNoName) {
    const std::string path = dir.file("p.cfg");
    EXPECT_FALSE(FileSaveItemClick(st, path, 2));
    EXPECT_FALSE(FileSaveItemClick(st, "", 1));
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(FileSaveItemClick(st, path, 1));
    st.configPath = "before";
    EXPECT_FALSE(LoadConfig1Click(st, path, 2));
    EXPECT_EQ(st.configPath, "before");
    EXPECT_EQ(ui.log,
              (std::vector<std::string>{"File can't be saved!", "File can't be saved!", "Can't load file!"}));
}

TEST_F(ConfigStartup, DefaultFileIsReadAtStartAndWrittenWholeAtExit) {
    EXPECT_FALSE(loadStartupConfig(st, dir.path().string()));
    EXPECT_TRUE(ui.log.empty());

    st.link.portEntry = "Com4";
    ASSERT_TRUE(saveExitConfig(st, dir.path().string()));
    const std::string path = dir.file(kDefaultConfigName);
    const std::string saved = test::readFile(path);
    EXPECT_TRUE(saved.starts_with("Version: 2.77\r\n"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // No data file: the start-up load reports it and resets the device, the port stays.
    MainState next;
    next.ui = &ui;
    EXPECT_FALSE(loadStartupConfig(next, dir.path().string()));
    EXPECT_EQ(ui.log, std::vector<std::string>{"No data file name"});
    EXPECT_EQ(next.link.portEntry, "Com4");
    EXPECT_EQ(next.configPath, path);

    // A write that cannot finish leaves the previous file as it was.
    if (::geteuid() != 0) {
        ::chmod(dir.path().c_str(), 0500);
        st.link.portEntry = "Com5";
        EXPECT_FALSE(saveExitConfig(st, dir.path().string()));
        ::chmod(dir.path().c_str(), 0700);
        EXPECT_EQ(ui.log.back(), "File can't be saved!");
        EXPECT_EQ(test::readFile(path), saved);
    }
}

TEST(ConfigCli, SaveConfigAndLoadItWithC) {
    test::TempDir dir;
    const test::CliResult missing = test::runCli({"-c", dir.file("none.cfg"), "devices"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "");

    test::writeFile(dir.file("bad.cfg"), "nothing");
    const test::CliResult bad = test::runCli({"-c", dir.file("bad.cfg"), "devices"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "'" + dir.file("bad.cfg") + "' file data error!\n");

    MainState d05;
    ASSERT_TRUE(selectDevice(d05, "QZR-D05"));
    const std::string bin = writeBin(dir, d05, "d05.bin");
    test::writeFile(dir.file("good.cfg"), configText(bin));
    const test::CliResult good =
        test::runCli({"-c", dir.file("good.cfg"), "save-config", dir.file("copy.cfg")});
    EXPECT_EQ(good.status, 0) << good.out << good.err;
    const std::string copy = test::readFile(dir.file("copy.cfg"));
    EXPECT_NE(copy.find("Device name: QZR-D05\r\n"), std::string::npos);
    EXPECT_NE(copy.find("Serial mode: 0 16 2 12A4 3 1 1\r\n"), std::string::npos);

    // "&Load Data" hands a configuration file to the same loader.
    const test::CliResult viaLoad =
        test::runCli({"-l", dir.file("good.cfg"), "save-config", dir.file("l.cfg")});
    EXPECT_EQ(viaLoad.status, 0) << viaLoad.out << viaLoad.err;
    EXPECT_EQ(test::readFile(dir.file("l.cfg")), copy);
    // ... and a configuration whose load fails ends the run with status 2 there too.
    EXPECT_EQ(test::runCli({"-l", dir.file("bad.cfg"), "save-config", dir.file("m.cfg")}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("m.cfg")));

    // A data file whose path holds a blank is saved and loaded back.
    std::filesystem::create_directory(dir.file("with blank"));
    const std::string spaced = writeBin(dir, d05, "with blank/my prog.bin");
    const test::CliResult saved =
        test::runCli({"-d", "QZR-D05", "-l", spaced, "save-config", dir.file("spaced.cfg")});
    ASSERT_EQ(saved.status, 0) << saved.out << saved.err;
    const test::CliResult loaded = test::runCli({"-c", dir.file("spaced.cfg"), "info"});
    EXPECT_EQ(loaded.status, 0) << loaded.out << loaded.err;
    EXPECT_NE(loaded.out.find("File name: " + spaced + "\n"), std::string::npos) << loaded.out;

    // A configuration with option bytes that are not hex is refused before any command runs.
    test::writeFile(dir.file("zz.cfg"),
                    replaced(configText(bin), "Option code: 01 02 03 04", "Option code: ZZ QQ 00 00"));
    const test::CliResult zz = test::runCli({"-c", dir.file("zz.cfg"), "save-config", dir.file("zz2.cfg")});
    EXPECT_EQ(zz.status, 2);
    EXPECT_EQ(zz.out, "'" + dir.file("zz.cfg") + "' file data error!\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("zz2.cfg")));

    EXPECT_EQ(test::runCli({"save-config", dir.file("no/dir.cfg")}).status, 1);
    EXPECT_EQ(test::runCli({"save-config"}).status, 2);
}

}  // namespace
}  // namespace qzr
