// The operation engine with the production journal: the number is reserved before the chip is touched,
// outcomes decide which numbers are used again, and the window's start-value question.
#include <filesystem>

#include "app/JournalCommands.h"
#include "app/QtpCommands.h"
#include "app/SerialNumberCommands.h"
#include "core/common/HexText.h"
#include "core/journal/SqliteJournal.h"
#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"
#include "operations/EngineFixture.h"
#include "support/TestFiles.h"

namespace qzr::test {
namespace {

// Forwards to the virtual writer; when the box has received its first header (the first exchange with the
// chip) it looks into the journal through a connection of its own.
class WatchLink final : public CommLink {
  public:
    WatchLink(VirtualWriter& box, std::string journal) : box_(box), journal_(std::move(journal)) {}
    void PurgeIn() override { box_.PurgeIn(); }
    void PurgeOut() override { box_.PurgeOut(); }
    int Write(const uint8_t* buffer, int count) override {
        const int n = box_.Write(buffer, count);
        if (!looked && !box_.exchanges().empty()) {
            looked = true;
            std::string error;
            auto j = openProductionJournal(journal_, error);
            std::vector<ChipRecord> chips;
            if (j && j->chips(chips).empty() && !chips.empty() &&
                chips.back().outcome == ChipOutcome::Reserved)
                reservedAtFirstExchange = chips.back().record.serialNumber;
        }
        return n;
    }
    int Read(uint8_t* buffer, int count) override { return box_.Read(buffer, count); }
    int InQueCount() override { return box_.InQueCount(); }
    bool Cts() override { return box_.Cts(); }
    bool WaitForInput(int timeoutMs) override { return box_.WaitForInput(timeoutMs); }

    bool looked = false;
    std::string reservedAtFirstExchange;

  private:
    VirtualWriter& box_;
    std::string journal_;
};

class JournalEngineTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        loadProject();
        st.image.setProgramWord(0x10, splitWord(0x3100));
        st.image.setProgramWord(0x11, splitWord(0x3100));
        CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
        st.serial.startAddress = 0x10;
        st.serial.wordCount = 2;
        st.serial.serialMode = true;
        setSerialValue(st.serial, 0x0100);
        st.journal.enabled = true;
        st.journal.path = dir.file("j.db");
    }

    // Programs the chip in the socket (a fresh one unless `keepChip`); the number the chip received.
    unsigned programChip(RunOutcome expected, bool keepChip = false) {
        if (!keepChip) box.insertChipFor(st.device);
        EXPECT_EQ(run(OperationType::AutoProgram), expected);
        const VirtualChip chip = box.chip();
        return ((chip.programWord(0x10) & 0xFF) << 8) | (chip.programWord(0x11) & 0xFF);
    }

    std::vector<ChipRecord> chips() {
        std::string error;
        auto j = openProductionJournal(st.journal.path, error);
        std::vector<ChipRecord> out;
        if (j) j->chips(out);
        return out;
    }

    TempDir dir;
};

TEST_F(JournalEngineTest, TheNumberIsReservedBeforeTheChipIsTouched) {
    WatchLink link(box, st.journal.path);
    box.insertChipFor(st.device);
    ASSERT_EQ(run(OperationType::AutoProgram, &link), RunOutcome::Passed);
    EXPECT_TRUE(link.looked);
    EXPECT_EQ(link.reservedAtFirstExchange, "0100");
    const auto all = chips();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].outcome, ChipOutcome::Pass);
    EXPECT_EQ(all[0].record.serialNumber, "0100");
    EXPECT_EQ(all[0].record.passCount, "1");
    EXPECT_EQ(all[0].port, st.link.portName);
}

TEST_F(JournalEngineTest, FailedNumbersAreUsedAgainUnlessVoided) {
    for (const bool voidFailed : {false, true}) {
        SCOPED_TRACE(voidFailed);
        st.journal.voidFailed = voidFailed;
        const unsigned first = programChip(RunOutcome::Passed);
        // The same chip again: the blank check fails, nothing is programmed.
        programChip(RunOutcome::Failed, true);
        const unsigned third = programChip(RunOutcome::Passed);
        EXPECT_EQ(third, voidFailed ? first + 2 : first + 1);
        const auto all = chips();
        ASSERT_GE(all.size(), 3u);
        const ChipRecord& failed = all[all.size() - 2];
        EXPECT_EQ(failed.outcome, ChipOutcome::Fail);
        EXPECT_EQ(failed.record.failure, "ID or Checksum ...... Not Blank!!");
        EXPECT_EQ(failed.record.serialNumber, hexDigits(first + 1, 4));
    }
}

TEST_F(JournalEngineTest, AJournalThatCannotBeOpenedStopsTheRunBeforeTheChip) {
    st.journal.path = dir.file("missing/j.db");
    box.insertChipFor(st.device);
    EXPECT_EQ(run(OperationType::AutoProgram), RunOutcome::Failed);
    EXPECT_TRUE(box.exchanges().empty());
    EXPECT_NE(line(ViewLine::Data).text.find("Cannot open the production journal"), std::string::npos);
    EXPECT_EQ(st.serial.passCountText, "0");
    // Without a number and without a named journal nothing is recorded.
    st.journal.path.clear();
    st.serial.serialMode = false;
    st.startupDirectory = dir.path().string();
    programChip(RunOutcome::Passed);
    EXPECT_FALSE(std::filesystem::exists(dir.file(kJournalFileName)));
}

TEST_F(JournalEngineTest, AnotherProcessOfTheProjectContinuesTheLot) {
    EXPECT_EQ(programChip(RunOutcome::Passed), 0x0100u);
    EXPECT_EQ(programChip(RunOutcome::Passed), 0x0101u);
    // The project as it was loaded again: the start value 0100.
    MainState again;
    again.ui = &ui;
    again.journal = JournalState{};
    again.journal.enabled = true;
    again.journal.path = st.journal.path;
    again.deviceListText = st.deviceListText;
    again.device = st.device;
    again.image = st.image;
    again.options = st.options;
    again.optionBytes = st.optionBytes;
    again.serial = st.serial;
    setSerialValue(again.serial, 0x0100);
    ui.log.clear();
    ASSERT_TRUE(prepareJournal(again));
    EXPECT_EQ(serialValue(again.serial), 0x0102u);
    EXPECT_EQ(ui.log,
              (std::vector<std::string>{"Serial No. continues at 0102: 0100-0101 are in the journal"}));
    // The user's choice keeps the start value.
    setSerialValue(again.serial, 0x0100);
    again.journal.reuseSerial = true;
    ASSERT_TRUE(prepareJournal(again));
    EXPECT_EQ(serialValue(again.serial), 0x0100u);
}

TEST_F(JournalEngineTest, TheDialogAsksBeforeNumbersAreUsedAgain) {
    EXPECT_EQ(programChip(RunOutcome::Passed), 0x0100u);
    EXPECT_EQ(programChip(RunOutcome::Passed), 0x0101u);
    st.journal.askReuse = true;
    struct Case {
        bool answer;
        unsigned next;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {false,
         0x0102,
         {"? Serial No. 0100-0101 are in the journal. Use them again?",
          "Serial No. continues at 0102: 0100-0101 are in the journal"}},
        // The chip before took 0102.
        {true, 0x0100, {"? Serial No. 0100-0102 are in the journal. Use them again?"}},
    };
    for (const Case& c : cases) {
        SerialNoFields fields = FillSerialNoFields(st.serial);
        fields.startValue = "0100";
        ui.log.clear();
        ui.answer(c.answer);
        ASSERT_TRUE(BtnOKClick(st, fields));
        EXPECT_EQ(ui.log, c.said);
        EXPECT_EQ(serialValue(st.serial), c.next);
        EXPECT_EQ(st.journal.reuseSerial, c.answer);
        EXPECT_EQ(programChip(RunOutcome::Passed), c.next);
    }
    EXPECT_EQ(lotCountsText(st), "4 / 0 / 0");
    // A second station on the lot: each one's counts on a line of its own, in the order of their names.
    const std::string first = stationName(st);
    st.journal.station = first + "~2";
    programChip(RunOutcome::Passed);
    EXPECT_EQ(lotCountsText(st), "5 / 0 / 0\n" + first + ": 4 / 0 / 0\n" + first + "~2: 1 / 0 / 0");
}

TEST_F(JournalEngineTest, AQtpListContinuesWhereverItIsOpenedAgain) {
    const std::string list = dir.file("list.txt");
    ASSERT_EQ(writeQtpFile(st.serial, list, 5, ui), QtpWriteResult::Written);  // 0100 .. 0104
    const std::string copy = dir.file("same-list.txt");
    std::filesystem::copy_file(list, copy);
    auto open = [&](const std::string& path) {
        return LoadQTPFile1Click(st, [&] { return std::optional<QtpFileChoice>({path, 2}); });
    };
    ASSERT_TRUE(open(list));
    EXPECT_EQ(programChip(RunOutcome::Passed), 0x0100u);
    EXPECT_EQ(programChip(RunOutcome::Passed), 0x0101u);
    // The same list under another name is the same lot: it continues at its third record.
    ASSERT_TRUE(open(copy));
    ui.log.clear();
    ASSERT_TRUE(prepareJournal(st));
    EXPECT_EQ(
        ui.log,
        (std::vector<std::string>{"The QTP file continues at record 3: records 1-2 are in the journal"}));
    EXPECT_EQ(programChip(RunOutcome::Passed), 0x0102u);
    // Opened again without being told (the engine alone): the journal still skips the used records.
    ASSERT_TRUE(open(list));
    EXPECT_EQ(programChip(RunOutcome::Passed), 0x0103u);
    EXPECT_EQ(programChip(RunOutcome::QtpFinished), 0x0104u);
    ASSERT_TRUE(open(copy));
    box.insertChipFor(st.device);
    EXPECT_EQ(run(OperationType::AutoProgram), RunOutcome::Failed);
    EXPECT_EQ(line(ViewLine::Qtp).text, "QTP programming finished!");
    EXPECT_TRUE(box.exchanges().empty());
    EXPECT_FALSE(st.serial.qtpFileOpen);
    const auto all = chips();
    ASSERT_EQ(all.size(), 5u);
    for (const ChipRecord& c : all) EXPECT_EQ(c.outcome, ChipOutcome::Pass);
}

}  // namespace
}  // namespace qzr::test
