// The writer sequence of every operation type: the exchanges in order, the continuation bit on exactly the
// right ones, and the closing exchange after a comparison failure.
#include "EngineFixture.h"

namespace qzr::test {
namespace {

using Ex = std::vector<std::string>;

TEST_F(EngineTest, ExchangesOfEveryOperationTypeOnAnOtpDevice) {
    loadProject();
    struct Case {
        OperationType type;
        Ex expected;
    };
    const Case cases[] = {
        {OperationType::BlankCheck, {"read ID+", "read options+", "read data"}},
        {OperationType::ProgramIdChecksum, {"program ID+", "read ID"}},
        {OperationType::ProgramData, {"program data+", "read data"}},
        {OperationType::ProgramOptions, {"program options+", "read options"}},
    };
    for (const Case& c : cases) {
        box.insertChipFor(st.device);
        run(c.type);
        EXPECT_EQ(exchanges(), c.expected) << operationTitle(c.type);
    }
    box.insertChipFor(st.device);
    EXPECT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    EXPECT_EQ(exchanges(), (Ex{"read ID+", "read options+", "read data+", "program ID+", "read ID+",
                               "program data+", "read data+", "program options+", "read options"}));
    EXPECT_EQ(run(OperationType::Verify), RunOutcome::Passed);
    EXPECT_EQ(exchanges(), (Ex{"read ID+", "read data+", "read options"}));
    run(OperationType::VerifyProtected);
    EXPECT_EQ(exchanges(), (Ex{"read ID+", "read data+", "read options"}));
    box.insertChipFor(st.device);
    EXPECT_EQ(run(OperationType::AutoProgramNoBlankCheck), RunOutcome::Passed);
    EXPECT_EQ(exchanges(), (Ex{"program ID+", "read ID+", "program data+", "read data+", "program options+",
                               "read options"}));
    // Over-write: program with pulse width (0xA7), verify in protect mode.
    box.insertChipFor(st.device);
    EXPECT_EQ(run(OperationType::OverWrite), RunOutcome::Passed);
    EXPECT_EQ(exchanges(), (Ex{"pulse data+", "read data"}));
}

TEST_F(EngineTest, ExchangesOnAFlashDeviceWithEeprom) {
    useDevice("QZR-D01");
    loadProject();
    run(OperationType::EraseFlash);
    // The erase goes as GetHeader builds it, without the continuation bit.
    EXPECT_EQ(exchanges(), (Ex{"erase data", "read ID+", "read options+", "read data"}));
    run(OperationType::ProgramEeprom);
    EXPECT_EQ(exchanges(), (Ex{"pulse EEPROM+", "read EEPROM"}));
    box.insertChipFor(st.device);
    EXPECT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    EXPECT_EQ(exchanges(), (Ex{"erase data", "program ID+", "read ID+", "program data+", "read data+",
                               "pulse EEPROM+", "read EEPROM+", "program options+", "read options"}));
    EXPECT_EQ(run(OperationType::Verify), RunOutcome::Passed);
    EXPECT_EQ(exchanges(), (Ex{"read ID+", "read data+", "read EEPROM+", "read options"}));
}

TEST_F(EngineTest, ComparisonFailuresEndTheSequenceWithTheClosingExchange) {
    loadProject();
    ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);

    // Blank check of the programmed chip stops at the ID words.
    EXPECT_EQ(run(OperationType::BlankCheck), RunOutcome::Failed);
    EXPECT_EQ(exchanges(), (Ex{"read ID+", "close ID"}));
    const VirtualWriter::Exchange closing = box.exchanges().back();
    EXPECT_EQ(closing.header[9], 0xA5);
    EXPECT_EQ(closing.header[3], 0);

    // A verify mismatch in the data.
    st.image.setProgramWord(5, splitWord(0x0123));
    EXPECT_EQ(run(OperationType::Verify), RunOutcome::Failed);
    EXPECT_EQ(exchanges(), (Ex{"read ID+", "read data+", "close data"}));

    // Failures reported by the writer end without it.
    box.setFaults({.noChip = true});
    EXPECT_EQ(run(OperationType::Verify), RunOutcome::Failed);
    EXPECT_EQ(exchanges(), (Ex{"read ID+"}));
}

TEST_F(EngineTest, BlankCheckOfProgrammedOptionsAndDataCloseAsWell) {
    loadProject();
    // Only the options programmed: ID blank, options not.
    ASSERT_EQ(run(OperationType::ProgramOptions), RunOutcome::Passed);
    EXPECT_EQ(run(OperationType::BlankCheck), RunOutcome::Failed);
    EXPECT_EQ(exchanges(), (Ex{"read ID+", "read options+", "close options"}));
    EXPECT_EQ(line(ViewLine::BlankCheck).text, "OPTION ....... Not blank!!");
    EXPECT_FALSE(line(ViewLine::BlankCheck).red);  // this one failure is not painted red
    EXPECT_TRUE(view.model().continueEnabled);

    // Only data programmed: the data read is the last step of a blank check, so the close follows it.
    box.insertChipFor(st.device);
    ASSERT_EQ(run(OperationType::ProgramData), RunOutcome::Passed);
    EXPECT_EQ(run(OperationType::BlankCheck), RunOutcome::Failed);
    EXPECT_EQ(exchanges(), (Ex{"read ID+", "read options+", "read data", "close data"}));
    EXPECT_EQ(line(ViewLine::BlankCheck).text, "Data ........ not blank at (0000H), Data = 2000H !!");
    EXPECT_TRUE(line(ViewLine::BlankCheck).red);
}

}  // namespace
}  // namespace qzr::test
