#include <gtest/gtest.h>

#include <filesystem>

#include "app/DeviceCommands.h"
#include "app/InfoSheetCommands.h"
#include "app/MainState.h"
#include "core/info_sheet/InfoSheet.h"
#include "core/options/Options.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

// A worked project: QZR-D10 with three option items shown and the security item, two hidden.
InfoSheet workedSheet() {
    InfoSheet s;
    s.customerName = "ACME Corp";
    s.projectName = "Door bell";
    s.dataFileName = "bell.bin";
    s.deviceName = "QZR-D10";
    s.partNo = "QZR-D10";
    s.codeNo = "A1";
    s.memoryChecksum = "1A2B";
    s.optionChecksum = "3C4D";
    s.optionValue = "7F 5F 00 00";
    const char* captions[13] = {
        "OSC Type:", "PRD:",     "OST:",    "WDT:",   "PED:",         "Security:", "Software WDT:",
        "Freq:",     "Pull-Hi:", "CLKOUT:", "Reset:", "Comparators:", "Low Pwr:"};
    for (std::size_t k = 0; k < 13; ++k) {
        s.options[k].caption = captions[k];
        s.options[k].value = "v" + std::to_string(k + 1);
        s.options[k].visible = k == 0 || k == 3 || k == 5 || k == 7;
    }
    s.frequency = "4M";
    s.voltageLow = "2.2";
    s.voltageHigh = "5.5";
    s.current = "1";
    s.sleepCurrent = "2";
    return s;
}

TEST(InfoSheet, TextFileByteForByte) {
    const std::string head =
        "                   Date: 2026-12-08\r\n"
        "            Device name: QZR-D10\r\n"
        "              File name: bell.bin\r\n"
        "        Customer's name: ACME Corp\r\n"
        "Customer's project name: Door bell\r\n"
        "               OSC Type: v1\r\n"
        "                    WDT: v4\r\n"
        "                   Freq: v8\r\n"
        "               Security: v6\r\n"
        "           Option value: 7F 5F 00 00\r\n";
    const std::string tail =
        "        Memory checksum: 1A2BH\r\n"
        "    Operating frequency: 4M Hz\r\n"
        "      Operating voltage: 2.2 ~ 5.5 V\r\n"
        "      Operating current: 1 mA\r\n"
        "          Sleep current: 2 uA\r\n"
        "               Part no : QZR-D10-A1\r\n";
    InfoSheet s = workedSheet();
    EXPECT_EQ(SaveInfo(s, "2026-12-08"), head + "         Serial no mode: Disable\r\n" + tail);
    s.serialEnabled = true;
    s.serialStartAddress = "03F0";
    EXPECT_EQ(SaveInfo(s, "2026-12-08"),
              head + "         Serial no mode: Enable\r\nSerial no start address: 03F0H\r\n" + tail);

    // Empty fields stay empty in the file; a caption of 24 characters or more moves its value right.
    InfoSheet e;
    e.options[2] = {"A caption of 24 letters:", "x", true, true};
    EXPECT_EQ(SaveInfo(e, "d"),
              "                   Date: d\r\n            Device name: \r\n              File name: \r\n"
              "        Customer's name: \r\nCustomer's project name: \r\nA caption of 24 letters: x\r\n"
              "           Option value: \r\n         Serial no mode: Disable\r\n"
              "        Memory checksum: H\r\n    Operating frequency:  Hz\r\n"
              "      Operating voltage:  ~  V\r\n      Operating current:  mA\r\n"
              "          Sleep current:  uA\r\n               Part no : -\r\n");
}

TEST(InfoSheet, SpacesAndDashes) {
    EXPECT_EQ(AddSpace("ab", 5), "   ab");
    EXPECT_EQ(AddSpace("abcde", 5), "abcde");
    EXPECT_EQ(AddSpace("abcdef", 5), "abcdef");
    EXPECT_EQ(AppendDash("ab", 5), "ab---");
    EXPECT_EQ(AppendDash("abcdef", 5), "abcdef");
}

// Every text of the page with its position, for the worked project with serial mode on.
TEST(InfoSheet, PageModelTextsAndPositions) {
    InfoSheet s = workedSheet();
    s.serialEnabled = true;
    s.serialStartAddress = "3F0";
    s.voltageHigh.clear();
    const InfoPage page = infoPage(s, "2026-12-08", "2.77");
    struct Row {
        int x;
        int row;  // y = 1100 + 120 x row
        const char* text;
    };
    const Row rows[] = {
        {500, 1, "1. Customer's Name------------ ACME Corp"},
        {500, 2, "2. Customer's Project Name---- Door bell"},
        {500, 3, "3. File Name------------------ bell.bin"},
        {500, 4, "4. Options : "},
        {700, 5, "OSC Type:--------------------- v1"},
        {700, 6, "WDT:-------------------------- v4"},
        {700, 7, "Freq:------------------------- v8"},
        {700, 8, "Security:--------------------- v6"},
        {700, 9, "Option Value---------------------------- 7F 5F 00 00"},
        {500, 19, "5. Checksum : "},
        {700, 20, "Memory --------------------------------- 1A2BH"},
        {700, 21, "with Options and EEPROM (if existed) --- 3C4DH"},
        {500, 22, "6. Serial Mode ------------------- Enable"},
        {700, 23, "Serial no start address : ----3F0"},
        {500, 25, "7. Operating condistions : "},
        {700, 26, "Frequency -------------------- 4M Hz"},
        {700, 27, "Operating Voltage ------------ 2.2 ~ ______ V"},
        {700, 28, "Operating current ------------ 1 mA"},
        {700, 29, "Sleep current ---------------- 2 uA"},
        {500, 31, "8. Part no : QZR-D10-A1"},
        {400, 36, "Customer: _________________ Date: 2026-12-08"},
        {400, 38, "Salesman: _________________ Date: ________,    FAE: _________________ Date: ________"},
        {400, 40, "  Leader: _________________ Date: ________, Leader: _________________ Date: ________"},
        {400, 42, " Samples: __ programmed by tester or"},
        {400, 43, "          __ programmed by writer (__ 1st order QTY >= 10K ea, approved: __________)"},
    };
    ASSERT_EQ(page.texts.size(), std::size(rows) + 2);
    EXPECT_EQ(page.fontFamily, "Courier New");
    EXPECT_EQ(page.logoTop, 300);
    const PageText& title = page.texts.front();
    EXPECT_EQ(title.text, "Customer Information Sheet for QZR-D10");
    EXPECT_TRUE(title.centred);
    EXPECT_EQ(title.y, 900);
    EXPECT_EQ(title.pointSize, 16);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const PageText& t = page.texts[i + 1];
        SCOPED_TRACE(rows[i].text);
        EXPECT_EQ(t.text, rows[i].text);
        EXPECT_EQ(t.x, rows[i].x);
        EXPECT_EQ(t.y, 1100 + 120 * rows[i].row);
        EXPECT_EQ(t.pointSize, 10);
        EXPECT_FALSE(t.centred);
    }
    const PageText& version = page.texts.back();
    EXPECT_EQ(version.text, "Version : 2.77");
    EXPECT_EQ(version.x, 3700);
    EXPECT_EQ(version.y, 6500);
}

TEST(InfoSheet, PageWithoutOptionsOrSerialMode) {
    InfoSheet s;
    const InfoPage page = infoPage(s, "d", "2.77");
    auto find = [&page](const std::string& prefix) {
        for (const PageText& t : page.texts)
            if (t.text.rfind(prefix, 0) == 0) return t;
        return PageText{};
    };
    EXPECT_EQ(find("Option Value").y, infoRowY(5));  // no option caption shown: the value row is row 5
    EXPECT_EQ(find("6. Serial Mode").text, "6. Serial Mode ------------------- Disable");
    EXPECT_EQ(find("7. Operating").y, infoRowY(24));
    EXPECT_EQ(find("Frequency").text, "Frequency -------------------- ______ Hz");
    EXPECT_EQ(find("8. Part no").y, infoRowY(30));
    EXPECT_EQ(find("Customer:").y, infoRowY(35));
}

TEST(InfoSheet, SavePrintFieldChecksInOrder) {
    struct Case {
        const char* customer;
        const char* project;
        const char* part;
        const char* code;
        bool serial;
        const char* address;
        const char* message;  // empty: passes
    };
    const Case cases[] = {
        {"", "", "", "", true, "", "Please enter Customer's Name"},
        {"c", "", "", "", true, "", "Please enter Customer's Project Name"},
        {"c", "p", "", "", true, "", "Please enter Device Part No."},
        {"c", "p", "QZR", "", true, "", "Please enter Code No."},
        {"c", "p", "QZR", "1", true, "", "Please enter serial no. start address"},
        {"c", "p", "QZR", "1", false, "", ""},
        {"c", "p", "QZR", "1", true, "10", ""},
    };
    for (const Case& c : cases) {
        InfoSheet s;
        s.customerName = c.customer;
        s.projectName = c.project;
        s.partNo = c.part;
        s.codeNo = c.code;
        s.serialEnabled = c.serial;
        s.serialStartAddress = c.address;
        test::RecordingUi ui;
        const bool ok = checkInfoSheetFields(s, ui);
        EXPECT_EQ(ok, std::string(c.message).empty()) << c.message;
        EXPECT_EQ(ui.log, ok ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    }
}

TEST(InfoSheet, SerialStartAddressKeys) {
    EXPECT_EQ(serialStartAddressKey('7', 0), '7');
    EXPECT_EQ(serialStartAddressKey('F', 3), 'F');
    EXPECT_EQ(serialStartAddressKey('c', 1), 'C');
    EXPECT_EQ(serialStartAddressKey('g', 0), std::nullopt);
    EXPECT_EQ(serialStartAddressKey(' ', 0), std::nullopt);
    EXPECT_EQ(serialStartAddressKey('1', 4), std::nullopt);
}

// The opening checks in their order.
TEST(InfoSheet, OpeningChecks) {
    test::RecordingUi ui;
    MainState st;
    st.ui = &ui;
    ASSERT_TRUE(selectDevice(st, "QZR-D10"));
    st.options.optionStatus = {};
    EXPECT_FALSE(
        infoSheetMayOpen(st.device, st.image, st.options, *st.ui));  // blank program, whatever the options
    st.image.setProgramWord(5, splitWord(0x1234));
    for (uint8_t status : {1, 2, 3}) {
        st.options.optionStatus = {(status & 1) != 0, (status & 2) != 0};
        EXPECT_FALSE(infoSheetMayOpen(st.device, st.image, st.options, *st.ui));
    }
    st.options.optionStatus = {};
    st.options.items[5].valueText = "Disable";
    EXPECT_FALSE(infoSheetMayOpen(st.device, st.image, st.options, *st.ui));  // answered No
    ui.answer(true);
    EXPECT_TRUE(infoSheetMayOpen(st.device, st.image, st.options, *st.ui));
    st.options.items[5].valueText = "Enable";
    EXPECT_TRUE(infoSheetMayOpen(st.device, st.image, st.options, *st.ui));  // not asked
    EXPECT_EQ(ui.log, (std::vector<std::string>{"Data memory are blank or error", "Some options are blank!",
                                                "Some options are error!", "Some options are blank or error!",
                                                "? Security is not enabled, continue?",
                                                "? Security is not enabled, continue?"}));
}

TEST(InfoSheet, TakesFromMainWindowAndKeepsSevenTexts) {
    MainState st;
    ASSERT_TRUE(selectDevice(st, "QZR-D10"));
    st.dataFileName = "/work/projects/bell.v2.bin";
    st.info = InfoSheetTexts{"ACME", "Bell", "4M", "2", "5", "1", "3"};
    InfoSheet s = infoSheetFromMain(st);
    EXPECT_EQ(s.dataFileName, "bell.v2.bin");
    EXPECT_EQ(s.deviceName, "QZR-D10");
    EXPECT_EQ(s.partNo, "QZR-D10");
    EXPECT_EQ(s.codeNo, "");
    EXPECT_EQ(s.customerName, "ACME");
    EXPECT_EQ(s.sleepCurrent, "3");
    EXPECT_FALSE(s.serialEnabled);
    EXPECT_EQ(s.memoryChecksum, st.options.memoryChecksumText);
    EXPECT_EQ(s.options[0].caption, st.options.items[0].caption);
    s.customerName = "Other";
    s.voltageHigh = "";
    s.partNo = "changed";
    keepInfoSheetTexts(st, s);
    EXPECT_EQ(st.info.customerName, "Other");
    EXPECT_EQ(st.info.operatingVoltageHigh, "");
    EXPECT_EQ(infoSheetFromMain(st).partNo, "QZR-D10");  // the part number is not kept
}

TEST(InfoSheet, SaveProposesTheDataFileNameAndAsksBeforeReplacing) {
    test::TempDir dir;
    test::RecordingUi ui;
    MainState st;
    st.ui = &ui;
    st.dataFileName = dir.file("bell.v2.bin");
    const InfoSheet s = workedSheet();
    std::string proposed;
    auto chooseAs = [&proposed](std::optional<std::string> answer) {
        return [&proposed, answer](const std::string& name) {
            proposed = name;
            return answer;
        };
    };
    const std::string target = dir.file("bell.txt");
    EXPECT_EQ(SaveProjectInfo(*st.ui, st.dataFileName, s, "d", chooseAs(target)), target);
    EXPECT_EQ(proposed, dir.file("bell"));
    EXPECT_EQ(test::readFile(target), SaveInfo(s, "d"));
    EXPECT_TRUE(ui.log.empty());

    // "bell.txt" exists now: No saves nothing and asks no file; Yes goes on.
    proposed.clear();
    EXPECT_EQ(SaveProjectInfo(*st.ui, st.dataFileName, s, "e", chooseAs(target)), std::nullopt);
    EXPECT_EQ(proposed, "");
    EXPECT_EQ(test::readFile(target), SaveInfo(s, "d"));
    ui.answer(true);
    EXPECT_EQ(SaveProjectInfo(*st.ui, st.dataFileName, s, "e", chooseAs(target)), target);
    EXPECT_EQ(test::readFile(target), SaveInfo(s, "e"));
    EXPECT_EQ(SaveProjectInfo(*st.ui, st.dataFileName, s, "f", chooseAs(std::nullopt)),
              std::nullopt);  // cancelled (asked again)
    EXPECT_EQ(ui.log,
              (std::vector<std::string>{"? File existed, overwrite it?", "? File existed, overwrite it?",
                                        "? File existed, overwrite it?"}));

    // A name without "." proposes nothing; a file that cannot be written is reported.
    ui.log.clear();
    st.dataFileName = "noext";
    EXPECT_EQ(SaveProjectInfo(*st.ui, st.dataFileName, s, "d", chooseAs(dir.file("missing/folder/x.txt"))),
              std::nullopt);
    EXPECT_EQ(proposed, "");
    EXPECT_EQ(ui.log, std::vector<std::string>{"Error: File can't be saved!"});
}

}  // namespace
}  // namespace qzr
