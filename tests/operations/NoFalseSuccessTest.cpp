// Nothing reports a success that did not happen: refused operations, short streams, a writer swap.
#include <functional>

#include "EngineFixture.h"
#include "app/OperationCommands.h"
#include "support/TestFiles.h"

namespace qzr::test {
namespace {

// A failure shown in the dialog: the text in red, Exit on, Continue as given.
void expectFailure(const ProgressDialogModel& m, ViewLine line, const std::string& text, bool continueOn) {
    EXPECT_EQ(m.line(line).text, text);
    EXPECT_TRUE(m.line(line).visible && m.line(line).red) << text;
    EXPECT_EQ(m.continueEnabled, continueOn) << text;
    EXPECT_TRUE(m.exitEnabled) << text;
}

TEST_F(EngineTest, WhatTheWindowDisablesIsRefusedWithoutTouchingTheWriter) {
    struct Case {
        const char* device;
        std::function<void(MainState&)> setup;
        OperationType type;
        std::string text;
    };
    auto serialMode = [](MainState& s) { s.serial.serialMode = true; };
    auto serialToEeprom = [](MainState& s) {
        s.serial.serialMode = true;
        s.serial.target = SerialTarget::Eeprom;
        s.settings.programEepromInAuto = false;
    };
    const Case cases[] = {
        {"QZR-D10", {}, OperationType::EraseFlash, "Erase Flash memory: QZR-D10 is not a flash device!!"},
        {"QZR-D10", {}, OperationType::ProgramEeprom, "Program EEPROM data: QZR-D10 has no EEPROM!!"},
        {"QZR-D10", serialMode, OperationType::ProgramIdChecksum,
         "Program ID and Checksum is disabled in serial number mode!!"},
        {"QZR-D10", serialMode, OperationType::ProgramData,
         "Program Memory is disabled in serial number mode!!"},
        {"QZR-D10", serialMode, OperationType::ProgramOptions,
         "Program OPTION is disabled in serial number mode!!"},
        {"QZR-D01", serialToEeprom, OperationType::AutoProgram,
         "The serial number goes to the EEPROM, but \"Program EEPROM in Auto program mode\" is off!!"},
        {"QZR-D01", serialToEeprom, OperationType::AutoProgramNoBlankCheck,
         "The serial number goes to the EEPROM, but \"Program EEPROM in Auto program mode\" is off!!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        useDevice(c.device);
        loadProject();
        st.serial = {};
        st.settings = {};
        if (c.setup) c.setup(st);
        const std::string passCount = st.serial.passCountText;
        ui.log.clear();
        EXPECT_FALSE(dispatchOperation(st, c.type));
        EXPECT_EQ(ui.log, std::vector<std::string>{"Error: " + c.text});
        // The engine refuses it too, whichever front end started it.
        EXPECT_EQ(run(c.type), RunOutcome::Failed);
        expectFailure(view.model(), ViewLine::Data, c.text, false);
        EXPECT_EQ(box.probeCount(), 0);
        EXPECT_EQ(st.serial.passCountText, passCount);
        // The same device and settings without the reason: no refusal.
        st.serial = {};
        st.settings.programEepromInAuto = true;
        if (c.type != OperationType::EraseFlash && c.type != OperationType::ProgramEeprom) {
            EXPECT_EQ(operationRefusal(st, c.type), "");
        }
    }
}

TEST_F(EngineTest, AProgramMemoryStreamOneByteShortNeverPasses) {
    // The end byte in place of the last data byte of the run's last read. In a program-memory read the
    // last byte in the transfer area would be the one of the exchange before (after programming, the
    // image itself). The option read compares only bytes 0-3 of its 8, so there it does no harm.
    struct Case {
        OperationType type;
        ViewLine line;
        const char* text;  // empty: the run passes
    };
    for (const Case& c : {Case{OperationType::ProgramData, ViewLine::Data, "Writer Error!!"},
                          Case{OperationType::BlankCheck, ViewLine::BlankCheck, "Writer error!!"},
                          Case{OperationType::ProgramOptions, ViewLine::Option, ""}}) {
        loadProject();
        box.insertChipFor(st.device);
        ASSERT_EQ(run(c.type), RunOutcome::Passed);  // the writer is identified: later runs only probe
        box.insertChipFor(st.device);
        InjectLink counter(box);
        ASSERT_EQ(run(c.type, &counter), RunOutcome::Passed);
        box.insertChipFor(st.device);
        InjectLink link(box);
        link.replaceReadAt = counter.readCount - 2;  // the last data byte of the last read
        link.replaceWith = wb::kDone;
        if (*c.text == '\0') {
            EXPECT_EQ(run(c.type, &link), RunOutcome::Passed);
            continue;
        }
        EXPECT_EQ(run(c.type, &link), RunOutcome::Failed);
        expectFailure(view.model(), c.line, c.text, true);
    }
}

TEST_F(EngineTest, AWriterThatDoesNotIdentifyItselfEndsThePairModeOfTheOneBefore) {
    loadProject();
    ASSERT_EQ(run(OperationType::ProgramIdChecksum), RunOutcome::Passed);
    ASSERT_TRUE(writeDataPairMode(st.link.writerIdText, st.link.writerVersion));
    box.setKind(st.device.writerClass == 1 ? VirtualWriter::Kind::Class1 : VirtualWriter::Kind::Class2);
    box.insertChipFor(st.device);
    EXPECT_EQ(run(OperationType::ProgramIdChecksum), RunOutcome::Passed);
    EXPECT_EQ(st.link.writerIdText, "");
    EXPECT_EQ(st.link.writerVersion, "");
}

TEST(CliProgress, ALineThatAppearsNeverShowsTheProgressAddressOfTheStepBefore) {
    // The EEPROM verify shows lbOptionMsg again, which the programming filled with addresses.
    const CliResult r = runCli({"-d", "QZR-D01", "-p", "virtual", "program-eeprom"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Program EEPROM\nProgram EEPROM data...\nEEPROM data program Ok\nVerify EEPROM data...\n"
              "EEPROM data program & verify OK\n");
}

}  // namespace
}  // namespace qzr::test
