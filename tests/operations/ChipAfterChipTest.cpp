// Chip after chip: serial numbers, the QTP file and the pass counter across auto-program runs.
#include <filesystem>

#include "EngineFixture.h"
#include "app/QtpCommands.h"
#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"
#include "support/TestFiles.h"

namespace qzr::test {
namespace {

class ChipAfterChipTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        loadProject();
        // Two RTWI words at 0x0010 for the number.
        st.image.setProgramWord(0x10, splitWord(0x3100));
        st.image.setProgramWord(0x11, splitWord(0x3100));
        CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
        st.serial.startAddress = 0x10;
        st.serial.wordCount = 2;
        st.serial.byteOrder = SerialByteOrder::MsbFirst;
        st.serial.target = SerialTarget::ProgramMemory;
        st.serial.serialMode = true;
    }

    // Programs a fresh chip; returns the number it received (the two RTWI literals, MSB first).
    unsigned programChip(RunOutcome expected = RunOutcome::Passed) {
        box.insertChipFor(st.device);
        EXPECT_EQ(run(OperationType::AutoProgram), expected);
        const VirtualChip chip = box.chip();
        EXPECT_EQ(chip.programWord(0x10) & 0x3F00, 0x3100u);
        return ((chip.programWord(0x10) & 0xFF) << 8) | (chip.programWord(0x11) & 0xFF);
    }
};

TEST_F(ChipAfterChipTest, SequentialNumbers) {
    st.serial.mode = SerialKind::Sequential;
    st.serial.number = {0xFE, 0x12};
    st.serial.increment = 3;
    st.serial.passCountText = "41";
    EXPECT_EQ(programChip(), 0x12FEu);
    EXPECT_EQ(programChip(), 0x1301u);
    EXPECT_EQ(programChip(), 0x1304u);
    EXPECT_EQ(st.serial.passCountText, "44");
    // The image already holds the next number.
    EXPECT_EQ(wordValue(st.image.programWord(0x11)), 0x3107u);
}

TEST_F(ChipAfterChipTest, PseudoRandomNumbers) {
    st.serial.wordCount = 1;
    st.serial.mode = SerialKind::PseudoRandom;
    st.serial.number = {0x00};
    unsigned got[3];
    for (unsigned& g : got) {
        box.insertChipFor(st.device);
        ASSERT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
        g = box.chip().programWord(0x10) & 0xFF;
    }
    EXPECT_EQ(got[0], 0x00u);
    EXPECT_EQ(got[1], 0x01u);
    EXPECT_EQ(got[2], 0x03u);
    EXPECT_EQ(st.serial.passCountText, "3");
}

TEST_F(ChipAfterChipTest, QtpFileUntilUsedUp) {
    TempDir dir;
    const std::string path = dir.file("parts.txt");
    SerialNumberState writer = st.serial;
    writer.number = {0x34, 0x12};
    writeFile(path, buildQtpFile(writer, 2));
    ASSERT_TRUE(LoadQTPFile1Click(st, [&] { return std::optional<QtpFileChoice>({path, 2}); }));
    ASSERT_TRUE(st.serial.qtpFileOpen);

    EXPECT_EQ(programChip(), 0x1234u);
    EXPECT_EQ(programChip(RunOutcome::QtpFinished), 0x1235u);
    const ProgressDialogModel m = view.model();
    EXPECT_EQ(m.line(ViewLine::Qtp).text, "QTP programming finished!");
    EXPECT_TRUE(m.line(ViewLine::Qtp).visible);
    EXPECT_FALSE(m.continueEnabled);
    EXPECT_TRUE(m.exitEnabled);
    EXPECT_FALSE(st.serial.serialMode);
    EXPECT_FALSE(st.serial.qtpFileOpen);
    EXPECT_FALSE(st.operation.qtpSimulation);
    EXPECT_EQ(st.serial.passCountText, "2");
    // No repeat and no total time after the last part.
    for (const std::string& e : view.events()) {
        EXPECT_NE(e, "timer on");
        EXPECT_EQ(e.find("lbTotalTime"), std::string::npos);
    }
    // The next chip is programmed without a new number, and counted.
    box.insertChipFor(st.device);
    EXPECT_EQ(run(OperationType::AutoProgram), RunOutcome::Passed);
    EXPECT_EQ(st.serial.passCountText, "3");
}

TEST_F(ChipAfterChipTest, ANumberThatDoesNotFitStopsTheAutoProgram) {
    useDevice("QZR-D01");  // 256 EEPROM bytes
    loadProject();
    st.serial.serialMode = true;
    st.serial.target = SerialTarget::Eeprom;
    st.serial.startAddress = 0xFF;
    st.serial.wordCount = 2;
    EXPECT_EQ(run(OperationType::AutoProgram), RunOutcome::Failed);
    EXPECT_EQ(line(ViewLine::Data).text, "Serial no located beyond EEPROM memory size");
    EXPECT_TRUE(line(ViewLine::Data).red);
    EXPECT_EQ(box.probeCount(), 0);
}

TEST_F(ChipAfterChipTest, NumbersAreNotAdvancedByOtherOperationsOrFailures) {
    st.serial.number = {0x01, 0x00};
    box.insertChipFor(st.device);
    box.setFaults({.failAtByte = 40});
    EXPECT_EQ(run(OperationType::AutoProgram), RunOutcome::Failed);
    box.setFaults({});
    EXPECT_EQ(st.serial.number[0], 0x01);
    EXPECT_EQ(st.serial.passCountText, "0");
    EXPECT_EQ(programChip(), 0x0001u);
    EXPECT_EQ(st.serial.number[0], 0x02);
}

}  // namespace
}  // namespace qzr::test
