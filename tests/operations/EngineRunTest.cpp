// Whole runs: what the dialog shows, in order, for good runs and for every failure.
#include <algorithm>
#include <regex>

#include "EngineFixture.h"

namespace qzr::test {
namespace {

using Lines = std::vector<std::string>;

std::vector<std::string> withoutProgress(const std::vector<std::string>& events) {
    std::vector<std::string> out;
    for (const std::string& e : events)
        if (e.find(" progress: ") == std::string::npos) out.push_back(e);
    return out;
}

TEST_F(EngineTest, AutoProgramOfAnOtpDeviceShowsEveryStep) {
    loadProject();
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    EXPECT_EQ(withoutProgress(view.events()), (Lines{"stTitle: Auto-program",
                                                     "lbBlankCheckMsg: Blank Check -> Check ID & Checksum",
                                                     "lbBlankCheckMsg shown",
                                                     "lbBlankCheckMsg: Blank Check -> Check Options",
                                                     "lbBlankCheckMsg: Blank check -> check data",
                                                     "lbBlankCheckMsg: Blank check OK.",
                                                     "lbIDMsg: Program ID...",
                                                     "lbIDMsg shown",
                                                     "lbIDMsg: Verify ID && Checksum",
                                                     "lbIDMsg shown",
                                                     "lbIDMsg: ID && checksum program and verify OK",
                                                     "lbDataMsg: Program data...",
                                                     "lbDataMsg shown",
                                                     "lbEEMsg: ",
                                                     "lbEEMsg shown",
                                                     "lbDataMsg: Data program Ok",
                                                     "lbDataMsg: Verify data ...",
                                                     "lbDataMsg shown",
                                                     "lbEEMsg: ",
                                                     "lbEEMsg shown",
                                                     "lbDataMsg: Data program && verify OK",
                                                     "lbEEMsg hidden",
                                                     "lbOptionMsg: Program Option ...",
                                                     "lbOptionMsg shown",
                                                     "lbOptionMsg: Verify Option ...",
                                                     "lbOptionMsg shown",
                                                     "lbOptionMsg: OPTION program && verify OK",
                                                     "Continue on",
                                                     "Exit on"}));
    // Progress every 32 bytes of the 2048 data bytes, as word addresses.
    std::vector<std::string> progress;
    for (const std::string& e : view.events())
        if (e.find(" progress: ") != std::string::npos) progress.push_back(e);
    ASSERT_EQ(progress.size(), 64u);
    EXPECT_EQ(progress[0], "lbEEMsg progress: 0000");
    EXPECT_EQ(progress[1], "lbEEMsg progress: 0010");
    EXPECT_EQ(progress[63], "lbEEMsg progress: 03F0");

    // The chip holds the image, the ID with the checksum digits and the options.
    const VirtualChip chip = box.chip();
    for (int n = 0; n < st.device.programWordCount(); ++n)
        ASSERT_EQ(chip.programWord(static_cast<std::size_t>(n)),
                  wordValue(st.image.programWord(static_cast<std::size_t>(n))));
    EXPECT_EQ(chip.options[0], 0x12);
    EXPECT_EQ(chip.options[1], 0x5F);
    EXPECT_EQ(st.serial.passCountText, "1");
}

TEST_F(EngineTest, ShowTimeAppendsStepTimesAndTheTotal) {
    loadProject();
    st.operation.showProgramTime = true;
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    const std::regex stepTime(".*\\.\\.\\.\\.\\.\\.\\.[0-9]+ ms");
    for (ViewLine l : {ViewLine::BlankCheck, ViewLine::Id, ViewLine::Data, ViewLine::Option})
        EXPECT_TRUE(std::regex_match(line(l).text, stepTime)) << line(l).text;
    EXPECT_TRUE(line(ViewLine::BlankCheck).text.starts_with("Blank check OK........"));
    EXPECT_TRUE(
        std::regex_match(line(ViewLine::TotalTime).text, std::regex("Total program time = [0-9]+ ms")))
        << line(ViewLine::TotalTime).text;

    // Without the flag no line carries a time and the total keeps its text.
    st.operation.showProgramTime = false;
    box.insertChipFor(st.device);
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    for (const std::string& t : view.texts()) EXPECT_EQ(t.find(" ms"), std::string::npos) << t;
}

TEST_F(EngineTest, FlashAutoProgramErasesAndPausesWithoutBlankCheck) {
    useDevice("QZR-D53");  // flash with EEPROM
    loadProject();
    st.settings.programEepromInAuto = false;
    const int64_t before = clock.sleptMs();
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    EXPECT_GE(clock.sleptMs() - before, 900);  // the pause after the erase
    const Lines texts = view.texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "lbEraseMsg: Erase flash memory..."), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "lbEraseMsg: Erase end"), texts.end());
    for (const std::string& t : texts) EXPECT_EQ(t.find("lbBlankCheckMsg"), std::string::npos) << t;
    for (const std::string& e : exchanges()) EXPECT_EQ(e.find("EEPROM"), std::string::npos) << e;

    // An OTP device does not pause.
    useDevice("QZR-D10");
    loadProject();
    const int64_t otpBefore = clock.sleptMs();
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    EXPECT_LT(clock.sleptMs() - otpBefore, 900);
}

TEST_F(EngineTest, AutoProgramWritesTheEepromWhenTheSettingIsOn) {
    useDevice("QZR-D01");
    loadProject();
    for (std::size_t a = 0; a < 256; ++a) st.image.setEepromByte(a, static_cast<uint8_t>(a ^ 0x5A));
    st.settings.programEepromInAuto = true;
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    const VirtualChip chip = box.chip();
    for (std::size_t a = 0; a < 256; ++a) ASSERT_EQ(chip.eeprom[a], static_cast<uint8_t>(a ^ 0x5A)) << a;
    EXPECT_EQ(line(ViewLine::Eeprom).text, "EEPROM data program && verify OK");
    EXPECT_FALSE(line(ViewLine::Option).text.empty());
    // The pairs of (data, address): 512 bytes.
    const auto ex = box.exchanges();
    const auto ee =
        std::find_if(ex.begin(), ex.end(), [](const auto& e) { return e.area == 3 && e.command == 0xA7; });
    ASSERT_NE(ee, ex.end());
    EXPECT_EQ(ee->header[7], 20);
    EXPECT_EQ(ee->dataBytes, 512);
}

TEST_F(EngineTest, VerifyInProtectMode) {
    loadProject(0x12, 0x1F);  // option byte 1 bit 6 clear: the security option programs protection
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    EXPECT_EQ(run(OperationType::VerifyProtected), RunOutcome::Passed);
    EXPECT_EQ(line(ViewLine::Title).text, "Verify data in protect mode");
    EXPECT_EQ(line(ViewLine::Data).text, "Data verify OK");
    EXPECT_EQ(line(ViewLine::Option).text, "OPTION verify OK");
    // A plain verify of the protected chip fails: the chip hides the protected bits.
    EXPECT_EQ(run(OperationType::Verify), RunOutcome::Failed);
    EXPECT_EQ(line(ViewLine::Data).text, "Data verify error at 0000H");

    // An unprotected chip.
    useDevice("QZR-D10");
    loadProject();
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    EXPECT_EQ(run(OperationType::VerifyProtected), RunOutcome::Failed);
    EXPECT_EQ(line(ViewLine::Option).text, "IC is not protected !");
    EXPECT_TRUE(line(ViewLine::Option).red);
    EXPECT_FALSE(view.model().continueEnabled);
    EXPECT_TRUE(view.model().exitEnabled);
}

TEST_F(EngineTest, VerifyMismatchShowsChipAndBufferWords) {
    loadProject();
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    st.image.setProgramWord(0x123, splitWord(0x2ABC));  // the checksum text is left as it was
    EXPECT_EQ(run(OperationType::Verify), RunOutcome::Failed);
    const unsigned chipWord = box.chip().programWord(0x123);
    char expected[40];
    std::snprintf(expected, sizeof expected, "IC=%04XH, Buffer=2ABCH", chipWord);
    EXPECT_EQ(withoutProgress(view.events()).back(), "Exit on");
    EXPECT_EQ(line(ViewLine::Data).text, "Data verify error at 0123H");
    EXPECT_TRUE(line(ViewLine::Data).red);
    EXPECT_EQ(line(ViewLine::Eeprom).text, expected);
    EXPECT_TRUE(line(ViewLine::Eeprom).visible);
    EXPECT_TRUE(view.model().continueEnabled && view.model().exitEnabled);
}

TEST_F(EngineTest, ProtectModeMismatchShowsTheBufferWithTheHiddenBitsSet) {
    loadProject(0x12, 0x1F);
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    // Bit 5 differs: compared in protect mode.
    const Word w = st.image.programWord(7);
    st.image.setProgramWord(7, Word{static_cast<uint8_t>(w.low ^ 0x20), w.high});
    EXPECT_EQ(run(OperationType::VerifyProtected), RunOutcome::Failed);
    const unsigned buffer = wordValue(st.image.programWord(7)) | 0x0F9F;
    char expected[16];
    std::snprintf(expected, sizeof expected, "Buffer=%04XH", buffer);
    EXPECT_NE(line(ViewLine::Eeprom).text.find(expected), std::string::npos) << line(ViewLine::Eeprom).text;
    EXPECT_EQ(line(ViewLine::Data).text, "Data verify error at 0007H");
}

TEST_F(EngineTest, ElevenBitCoreAutoProgramAndProtectMode) {
    useDevice("QZR-D59");  // core type 3: 11-bit words, the security bit is bit 3 of option byte 1
    for (std::size_t n = 0; n < static_cast<std::size_t>(st.device.programWordCount()); ++n)
        st.image.setProgramWord(n, splitWord(0x400 + (n * 3) % 0x3FF));
    st.optionBytes = {0x2A, 0x00, 0x7F, 0x7F};
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    st.options.optionStatus = {};
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    // The three unused bits of every high half are sent set.
    EXPECT_EQ(box.chip().program[1] & 0x70, 0x70);
    EXPECT_EQ(run(OperationType::VerifyProtected), RunOutcome::Passed);

    const Word w = st.image.programWord(9);
    st.image.setProgramWord(9, Word{static_cast<uint8_t>(w.low ^ 0x40), w.high});
    EXPECT_EQ(run(OperationType::VerifyProtected), RunOutcome::Failed);
    char expected[16];
    std::snprintf(expected, sizeof expected, "Buffer=%04XH", wordValue(st.image.programWord(9)) | 0x079Fu);
    EXPECT_NE(line(ViewLine::Eeprom).text.find(expected), std::string::npos) << line(ViewLine::Eeprom).text;
}

// ---------------------------------------------------------------------------------------------------------
// Failures: text, line, colour and buttons.

struct Shown {
    ViewLine line;
    std::string text;
    bool red;
    bool continueEnabled;
};

void expectShown(const ProgressDialogModel& m, const Shown& s) {
    EXPECT_EQ(m.line(s.line).text, s.text) << viewLineName(s.line);
    EXPECT_TRUE(m.line(s.line).visible) << viewLineName(s.line);
    EXPECT_EQ(m.line(s.line).red, s.red) << s.text;
    EXPECT_EQ(m.continueEnabled, s.continueEnabled) << s.text;
    EXPECT_TRUE(m.exitEnabled) << s.text;
}

TEST_F(EngineTest, WriterReportedFailures) {
    loadProject();
    box.setFaults({.noChip = true});
    EXPECT_EQ(run(OperationType::BlankCheck), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::BlankCheck, "Nothing in socket or type error!!", true, true});
    box.setFaults({.adapterError = true});
    EXPECT_EQ(run(OperationType::ProgramData), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Data, "IC adapter board error!!", true, true});
    box.setFaults({.noChip = true});
    EXPECT_EQ(run(OperationType::ProgramOptions), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Option, "Nothing in socket or type error!!", true, true});
    box.setFaults({});
}

TEST_F(EngineTest, WrongWriterAndNoWriter) {
    loadProject();
    box.setKind(VirtualWriter::Kind::Class2);  // QZR-D10 needs a class-1 writer
    EXPECT_EQ(run(OperationType::AutoProgram), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Data, "Wrong writer!", true, false});
    EXPECT_TRUE(box.exchanges().empty());

    box.setKind(VirtualWriter::Kind::Identifying);
    box.setFaults({.ctsOff = true});
    EXPECT_EQ(run(OperationType::Verify), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Data, "Connect timeout!", true, false});
}

TEST_F(EngineTest, TimeOutsOfEachKind) {
    loadProject();
    // Identify the writer once so that later checks take one answer byte.
    ASSERT_EQ(run(OperationType::BlankCheck), RunOutcome::Passed);

    box.setFaults({.silenceAfter = 1});  // the probe is answered, the ID read is not
    EXPECT_EQ(run(OperationType::BlankCheck), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::BlankCheck, "Connect Timeout!!", true, true});

    box.setFaults({.silenceAfter = 1 + 33});  // then the option read is not
    EXPECT_EQ(run(OperationType::BlankCheck), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::BlankCheck, "Connect timeout!!", true, true});

    box.setFaults({.silenceAfter = 1 + 1 + 10});  // ten answers into the data stream
    EXPECT_EQ(run(OperationType::ProgramData), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Data, "Connect Timeout!!", true, true});

    reopenBox();
    box.setFaults({.silenceAfter = 1});
    EXPECT_EQ(run(OperationType::ProgramIdChecksum), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Id, "Connect timeout!!", true, true});

    reopenBox();
    box.setFaults({.silenceAfter = 1});
    EXPECT_EQ(run(OperationType::ProgramOptions), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Option, "Connect Timeout!!", true, true});

    // CTS going off in the middle of the data stream.
    reopenBox();
    box.setFaults({});
    box.insertChipFor(st.device);
    InjectLink link(box);
    link.ctsOffAfterWrites = 200;
    EXPECT_EQ(run(OperationType::ProgramData, &link), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Data, "Connect timeout!!", true, true});
}

TEST_F(EngineTest, ProgrammingFailuresReportWhere) {
    loadProject();
    // 0xB1 in the ID: pair mode answers after bytes 8 and 9, word 4.
    box.setFaults({.failAtByte = 8});
    EXPECT_EQ(run(OperationType::ProgramIdChecksum), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Id, "ID program fail at address 0004 !!", true, true});
    // Words 0-5 hold the ID bytes 0-11, words 6 and 7 the checksum.
    for (const auto& [failAt, text] :
         {std::pair{10, "ID program fail at address 0005 !!"}, std::pair{12, "Checksum program fail !!"}}) {
        box.setFaults({.failAtByte = failAt});
        box.insertChipFor(st.device);
        EXPECT_EQ(run(OperationType::ProgramIdChecksum), RunOutcome::Failed);
        expectShown(view.model(), {ViewLine::Id, text, true, true});
    }
    // Without pair mode the answer follows byte 8 alone: still word 4.
    box.setIdText(" HRP021A V3.10");
    st.link.writerVersion.clear();
    box.setFaults({.failAtByte = 8});
    box.insertChipFor(st.device);
    EXPECT_EQ(run(OperationType::ProgramIdChecksum), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Id, "ID program fail at address 0004 !!", true, true});
    box.setIdText(" HRP021A V3.30");
    st.link.writerVersion.clear();

    // 0xB1 in the data stream: the failing word address in lbEEMsg.
    box.setFaults({.failAtByte = 100});
    box.insertChipFor(st.device);
    EXPECT_EQ(run(OperationType::ProgramData), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Data, "Data program fail !!", true, true});
    EXPECT_EQ(line(ViewLine::Eeprom).text, "0032");  // p = 101, the second byte of the pair

    box.setFaults({.failAtByte = 0});
    box.insertChipFor(st.device);
    EXPECT_EQ(run(OperationType::ProgramOptions), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Option, "OPTION program fail !!", true, true});

    useDevice("QZR-D01");
    loadProject();
    box.setFaults({.failAtByte = 21});
    EXPECT_EQ(run(OperationType::ProgramEeprom), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Eeprom, "EEPROM data program fail !!", true, true});
    EXPECT_EQ(line(ViewLine::Option).text, "000A");
}

TEST_F(EngineTest, UnknownAndNoChipAnswersInTheStream) {
    loadProject();
    ASSERT_EQ(run(OperationType::BlankCheck),
              RunOutcome::Passed);  // writer identified: the probe is one byte
    box.insertChipFor(st.device);
    InjectLink link(box);
    link.replaceReadAt = 1 + 1 + 5;  // probe, header answer, five stream answers
    link.replaceWith = 0x42;
    EXPECT_EQ(run(OperationType::ProgramData, &link), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Data, "Unknow return value!!", true, true});

    reopenBox();
    InjectLink noChip(box);
    noChip.replaceReadAt = 1 + 1 + 5;
    noChip.replaceWith = 0xFE;
    EXPECT_EQ(run(OperationType::ProgramData, &noChip), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Data, "Nothing in socket or type error!", true, true});

    // An unexpected answer to a header is a writer error.
    reopenBox();
    InjectLink bad(box);
    bad.replaceReadAt = 1;
    bad.replaceWith = 0x90;
    EXPECT_EQ(run(OperationType::Verify, &bad), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Id, "Writer error!!", true, true});
}

TEST_F(EngineTest, VerifyIdFailuresAllowOnlyExit) {
    loadProject();
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    // Another checksum in the image: the chip's checksum words differ.
    st.image.setProgramWord(3, splitWord(0x0001));
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    EXPECT_EQ(run(OperationType::Verify), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Id, "Checksum verify fail!!", true, false});
    EXPECT_EQ(exchanges(), (std::vector<std::string>{"read ID+", "close ID"}));

    st.image.setIdWord(0, splitWord(0x0041));
    EXPECT_EQ(run(OperationType::Verify), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Id, "ID && checksum verify fail!!", true, false});
}

TEST_F(EngineTest, EepromAndOptionVerifyFailures) {
    useDevice("QZR-D01");
    loadProject();
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    st.image.setEepromByte(0x10, 0xAB);
    EXPECT_EQ(run(OperationType::Verify), RunOutcome::Failed);
    // Shown in the lines' normal colour, and only Exit.
    expectShown(view.model(), {ViewLine::Eeprom, "EEPROM data verify error at 0010H", false, false});
    EXPECT_EQ(line(ViewLine::Option).text, "IC=00H, Buffer=ABH");
    EXPECT_FALSE(line(ViewLine::Option).red);
    EXPECT_EQ(exchanges().back(), "close EEPROM");

    st.image.setEepromByte(0x10, 0x00);
    st.optionBytes[0] = 0x13;
    EXPECT_EQ(run(OperationType::Verify), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Option, "OPTION verify Fail!!", true, false});
}

TEST_F(EngineTest, AutoProgramPrechecks) {
    // A blank image: nothing goes to the writer.
    st.options.optionStatus = {};
    EXPECT_EQ(run(OperationType::AutoProgram), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Data, "Data memory are blank or error", true, false});
    EXPECT_EQ(box.probeCount(), 0);
    EXPECT_EQ(view.events(),
              (Lines{"stTitle: Auto-program", "lbDataMsg red", "lbDataMsg: Data memory are blank or error",
                     "lbDataMsg shown", "Exit on"}));

    // One word is enough.
    st.image.setProgramWord(0x200, splitWord(0x0001));
    const char* texts[] = {"", "Some options are blank!", "Some options are error!",
                           "Some options are blank or error!"};
    for (uint8_t status = 1; status <= 3; ++status) {
        st.options.optionStatus = {(status & 1) != 0, (status & 2) != 0};
        EXPECT_EQ(run(OperationType::AutoProgramNoBlankCheck), RunOutcome::Failed);
        expectShown(view.model(), {ViewLine::Data, texts[status], true, false});
        EXPECT_EQ(box.probeCount(), 0);
    }
    // Other operations do not check.
    st.options.optionStatus = {true, true};
    EXPECT_EQ(run(OperationType::BlankCheck), RunOutcome::Passed);
}

TEST_F(EngineTest, SerialNumberWordsMustStillBeRtwi) {
    loadProject();
    st.serial.serialMode = true;
    st.serial.startAddress = 0x20;
    st.serial.wordCount = 2;
    st.image.setProgramWord(0x20, splitWord(0x3100));
    // Word 0x21 is not an RTWI instruction.
    EXPECT_EQ(run(OperationType::AutoProgram), RunOutcome::Failed);
    expectShown(view.model(), {ViewLine::Data, "The program memory is not 'RTWI'", true, false});
    EXPECT_EQ(box.probeCount(), 0);
    // Not an auto-program: no check.
    EXPECT_EQ(run(OperationType::BlankCheck), RunOutcome::Passed);
}

TEST_F(EngineTest, QtpSimulationCountsWithoutTheWriter) {
    loadProject();
    st.operation.qtpSimulation = true;
    st.serial.passCountText = "41";
    EXPECT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    EXPECT_EQ(line(ViewLine::Data).text, "Simulate Programming OK");
    EXPECT_EQ(st.serial.passCountText, "42");
    EXPECT_EQ(box.probeCount(), 0);
    EXPECT_TRUE(box.exchanges().empty());
    // Other operations are not simulated; they do not count either.
    EXPECT_EQ(run(OperationType::BlankCheck), RunOutcome::Passed);
    EXPECT_EQ(box.probeCount(), 1);
    EXPECT_EQ(st.serial.passCountText, "42");
}

TEST_F(EngineTest, RepeatTimerAfterAGoodRunOnlyInRepeatMode) {
    loadProject();
    st.operation.flashTestRepeat = true;
    ASSERT_EQ(run(OperationType::BlankCheck), RunOutcome::Passed);
    const Lines events = view.events();
    EXPECT_EQ(Lines(events.end() - 3, events.end()), (Lines{"timer on", "Continue on", "Exit on"}));
    // A failed run leaves it off.
    box.setFaults({.noChip = true});
    EXPECT_EQ(run(OperationType::BlankCheck), RunOutcome::Failed);
    for (const std::string& e : view.events()) EXPECT_NE(e, "timer on");
}

}  // namespace
}  // namespace qzr::test
