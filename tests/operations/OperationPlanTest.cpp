#include <gtest/gtest.h>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "app/OperationCommands.h"
#include "core/operations/OperationPlan.h"
#include "core/operations/OperationView.h"
#include "support/RecordingUi.h"

namespace qzr {
namespace {

// One row of the plan table: the ten steps in engine order, then lastStep.
std::string steps(const OperationPlan& p) {
    std::string s;
    for (bool b : {p.doErase, p.doBlankCheck, p.doProgramId, p.doVerifyId, p.doProgramData, p.doVerifyData,
                   p.doProgramEeprom, p.doVerifyEeprom, p.doProgramOptions, p.doVerifyOptions})
        s += b ? 'Y' : '.';
    return s + " " + std::to_string(static_cast<int>(p.lastStep));
}

OperationPlan planFor(const char* device, OperationType type, bool eepromInAuto = true) {
    MainState st;
    EXPECT_TRUE(selectDevice(st, device));
    st.settings.programEepromInAuto = eepromInAuto;
    return buildOperationPlan(type, st.device, st.settings.programEepromInAuto);
}

TEST(OperationPlan, StepsOfEveryTypeForAnOtpDevice) {
    // QZR-D10: one-time-programmable, no EEPROM.
    const char* expected[kOperationTypeCount] = {
        ".Y........ 1", "YY........ 1", "..YY...... 2", "....YY.... 3", "........YY 0", "......YY.. 4",
        "...Y.Y...Y 0", "...Y.Y...Y 0", ".YYYYY..YY 0", "..YYYY..YY 0", "....YY.... 3",
    };
    for (int t = 0; t < kOperationTypeCount; ++t)
        EXPECT_EQ(steps(planFor("QZR-D10", static_cast<OperationType>(t))), expected[t]) << "type " << t;
}

TEST(OperationPlan, FlashDeviceWithEepromErasesInsteadOfBlankCheckAndFollowsTheEepromSetting) {
    // QZR-D01: flash with a data EEPROM.
    EXPECT_EQ(steps(planFor("QZR-D01", OperationType::AutoProgram)), "Y.YYYYYYYY 0");
    EXPECT_EQ(steps(planFor("QZR-D01", OperationType::AutoProgramNoBlankCheck)), "Y.YYYYYYYY 0");
    EXPECT_EQ(steps(planFor("QZR-D01", OperationType::AutoProgram, false)), "Y.YYYY..YY 0");
    EXPECT_EQ(steps(planFor("QZR-D01", OperationType::Verify)), "...Y.Y.Y.Y 0");
    EXPECT_EQ(steps(planFor("QZR-D01", OperationType::Verify, false)), "...Y.Y...Y 0");
    // Protect mode never verifies the EEPROM.
    EXPECT_EQ(steps(planFor("QZR-D01", OperationType::VerifyProtected)), "...Y.Y...Y 0");
    // Program EEPROM does not depend on the auto-program setting.
    EXPECT_EQ(steps(planFor("QZR-D01", OperationType::ProgramEeprom, false)), "......YY.. 4");
}

TEST(OperationPlan, FlagsAndCompareMask) {
    const OperationPlan verify = planFor("QZR-D10", OperationType::Verify);
    EXPECT_TRUE(verify.verifyOnly);
    EXPECT_FALSE(verify.protectMode);
    EXPECT_EQ(verify.compareMask, 0x7F);

    const OperationPlan prot = planFor("QZR-D10", OperationType::VerifyProtected);
    EXPECT_TRUE(prot.verifyOnly && prot.protectMode);
    EXPECT_EQ(prot.compareMask, 0x60);

    const OperationPlan over = planFor("QZR-D10", OperationType::OverWrite);
    EXPECT_TRUE(over.overWrite && over.protectMode && !over.verifyOnly && !over.isAuto);
    EXPECT_EQ(over.compareMask, 0x60);

    EXPECT_TRUE(planFor("QZR-D10", OperationType::AutoProgram).isAuto);
    EXPECT_TRUE(planFor("QZR-D10", OperationType::AutoProgramNoBlankCheck).isAuto);
    EXPECT_FALSE(planFor("QZR-D10", OperationType::ProgramData).isAuto);
}

TEST(OperationPlan, TitlesAndCommandNames) {
    EXPECT_STREQ(operationTitle(OperationType::ProgramIdChecksum), "Program ID && checksum");
    EXPECT_STREQ(operationTitle(OperationType::AutoProgramNoBlankCheck), "Auto-program without blank check");
    EXPECT_STREQ(operationTitle(OperationType::OverWrite), "Over-write data");
    for (int t = 0; t < kOperationTypeCount; ++t) {
        const auto type = static_cast<OperationType>(t);
        EXPECT_EQ(operationTypeFromCommand(operationCommandName(type)), type);
    }
    EXPECT_EQ(operationTypeFromCommand("auto"), OperationType::AutoProgram);
    EXPECT_EQ(operationTypeFromCommand("force-write"), OperationType::OverWrite);
    EXPECT_FALSE(operationTypeFromCommand("read").has_value());
}

TEST(OperationView, DisplayTextShowsADoubledAmpersandOnce) {
    EXPECT_EQ(displayText("Program ID && checksum"), "Program ID & checksum");
    EXPECT_EQ(displayText("Check ID & Checksum"), "Check ID & Checksum");
    EXPECT_EQ(displayText("a &&&& b"), "a && b");
}

TEST(OperationView, RestartHidesTheStepLinesAndKeepsTitleQtpAndTotal) {
    ProgressDialogModel m;
    for (auto& l : m.lines) l = {"x", true, true};
    m.continueEnabled = m.exitEnabled = true;
    resetProgressLines(m);
    EXPECT_FALSE(m.continueEnabled);
    EXPECT_FALSE(m.exitEnabled);
    for (ViewLine l : {ViewLine::Erase, ViewLine::BlankCheck, ViewLine::Id, ViewLine::Data, ViewLine::Eeprom,
                       ViewLine::Option}) {
        EXPECT_FALSE(m.line(l).visible) << viewLineName(l);
        EXPECT_FALSE(m.line(l).red) << viewLineName(l);
        EXPECT_EQ(m.line(l).text, "x");
    }
    for (ViewLine l : {ViewLine::Title, ViewLine::Qtp, ViewLine::TotalTime}) EXPECT_TRUE(m.line(l).visible);
}

class DispatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        st.ui = &ui;
        ASSERT_TRUE(selectDevice(st, "QZR-D10"));  // reset vector at the last address, 03FF
    }
    MainState st;
    test::RecordingUi ui;
};

TEST_F(DispatchTest, BlankResetVectorAsksBeforeProgrammingOnly) {
    EXPECT_FALSE(dispatchOperation(st, OperationType::AutoProgram));  // Abort
    EXPECT_EQ(st.operation.operationType, OperationType::AutoProgram);
    ui.answer(true);
    EXPECT_TRUE(dispatchOperation(st, OperationType::ProgramData));  // Ignore
    EXPECT_FALSE(dispatchOperation(st, OperationType::AutoProgramNoBlankCheck));
    EXPECT_EQ(ui.log, (std::vector<std::string>{"? Reset address (03FFh) is blank!!",
                                                "? Reset address (03FFh) is blank!!",
                                                "? Reset address (03FFh) is blank!!"}));
    ui.log.clear();
    for (OperationType t :
         {OperationType::BlankCheck, OperationType::Verify, OperationType::ProgramIdChecksum,
          OperationType::ProgramOptions, OperationType::OverWrite})
        EXPECT_TRUE(dispatchOperation(st, t));
    EXPECT_TRUE(ui.log.empty());
}

TEST_F(DispatchTest, ResetVectorAtZeroForDevicesWithAlgorithmBit5) {
    ASSERT_TRUE(selectDevice(st, "QZR-D02"));  // algorithm code 0x31: reset vector 0
    st.image.setProgramWord(0x3FF, splitWord(0x2800));
    EXPECT_FALSE(dispatchOperation(st, OperationType::AutoProgram));
    EXPECT_EQ(ui.log.back(), "? Reset address (0000h) is blank!!");
    st.image.setProgramWord(0, splitWord(0x2800));
    ui.log.clear();
    EXPECT_TRUE(dispatchOperation(st, OperationType::AutoProgram));
    EXPECT_TRUE(ui.log.empty());
}

TEST_F(DispatchTest, WriterFunctionShowsNoDialogWhenThePortCannotBeOpened) {
    st.link.portEntry = "/nonexistent/port";
    st.link.portName = "/nonexistent/port";
    bool shown = false;
    EXPECT_FALSE(WriterFunction(st, [&] { shown = true; }));
    EXPECT_FALSE(shown);
    ASSERT_FALSE(ui.log.empty());
    EXPECT_EQ(ui.log[0].rfind("Open  /nonexistent/port Port Error!!", 0), 0u) << ui.log[0];

    st.link.portEntry = "virtual";
    EXPECT_TRUE(WriterFunction(st, [&] { shown = true; }));
    EXPECT_TRUE(shown);
}

TEST_F(DispatchTest, ForceWriteEndsSerialNumberMode) {
    st.serial.serialMode = true;
    EXPECT_TRUE(dispatchOperation(st, OperationType::OverWrite));
    EXPECT_FALSE(st.serial.serialMode);
    EXPECT_EQ(st.operation.operationType, OperationType::OverWrite);
}

}  // namespace
}  // namespace qzr
