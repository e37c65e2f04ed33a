// The gang engine on emulated writers: numbers from the journal in socket order, one socket's fault stays
// its own, a stop ends every socket.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "app/PortCommands.h"
#include "gang/GangFixture.h"

namespace qzr::test {
namespace {

TEST_F(GangTest, FourSocketsTwentyFiveRoundsProgramEveryChipWithItsOwnNumber) {
    makeGang(4);
    ASSERT_TRUE(dispatchOperation(project, OperationType::AutoProgram));
    std::set<unsigned> numbers;
    for (int r = 0; r < 25; ++r) {
        const GangRound round = this->round();
        ASSERT_TRUE(round.error.empty()) << round.error;
        ASSERT_EQ(round.chips.size(), 4u);
        for (int k = 1; k <= 4; ++k) {
            const GangChip& c = round.chips[static_cast<std::size_t>(k - 1)];
            ASSERT_TRUE(c.passed()) << "round " << r + 1 << " socket " << k << ": " << c.failure;
            EXPECT_TRUE(chipHoldsImage(k)) << "round " << r + 1 << " socket " << k;
            // Socket order: socket 1 takes the round's first number.
            const unsigned expected = 0x0100u + static_cast<unsigned>(4 * r + k - 1);
            EXPECT_EQ(chipNumber(k), expected) << "round " << r + 1 << " socket " << k;
            char hex[8];
            std::snprintf(hex, sizeof hex, "%04X", expected);
            EXPECT_EQ(c.serialHex, hex);
            numbers.insert(chipNumber(k));
        }
    }
    EXPECT_EQ(numbers.size(), 100u);
    EXPECT_EQ(project.serial.passCountText, "100");
    EXPECT_EQ(serialValue(project.serial), 0x0100u + 100u);  // the next chip's number
    const std::vector<ChipRecord> chips = journalChips();
    ASSERT_EQ(chips.size(), 100u);
    std::set<uint64_t> recorded;
    for (const ChipRecord& c : chips) {
        EXPECT_EQ(c.outcome, ChipOutcome::Pass);
        recorded.insert(*c.number);
    }
    EXPECT_EQ(recorded.size(), 100u);
    // Each chip is recorded with its socket and port.
    EXPECT_EQ(chips[0].port, "[1] VIRTUAL:NEW-CHIP");
    EXPECT_EQ(chips[3].port, "[4] VIRTUAL:NEW-CHIP");
}

// A fault of socket 2's writer fails socket 2 only; its number goes to the next round's first chip.
TEST_F(GangTest, AFaultOnSocketTwoFailsOnlySocketTwo) {
    struct Case {
        const char* name;
        WriterBox::Faults faults;
        const char* failure;
        bool switchedOff;  // a line fault: the socket takes no part in the next round
    };
    WriterBox::Faults noChip, silence, failAt;
    noChip.noChip = true;
    silence.silenceAfter = 0;
    failAt.failAtByte = 40;
    const Case cases[] = {
        {"no chip", noChip, "Nothing in socket or type error!!", false},
        {"silence", silence, "Connect timeout!", true},
        {"fail-at", failAt, "Data program fail !!", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gang.reset();
        views.clear();
        uis.clear();
        project.journal.open.reset();
        std::filesystem::remove(project.journal.path);
        setSerialValue(project.serial, 0x0100);
        project.serial.passCountText = "0";
        makeGang(4);
        ASSERT_TRUE(dispatchOperation(project, OperationType::AutoProgram));
        box(2).setFaults(c.faults);

        GangRound first = round();
        ASSERT_EQ(first.chips.size(), 4u);
        for (int k : {1, 3, 4}) {
            EXPECT_TRUE(first.chips[static_cast<std::size_t>(k - 1)].passed()) << "socket " << k;
            EXPECT_TRUE(chipHoldsImage(k));
        }
        const GangChip& bad = first.chips[1];
        EXPECT_TRUE(bad.ran);
        EXPECT_FALSE(bad.passed());
        EXPECT_EQ(bad.failure, c.failure);
        EXPECT_EQ(bad.lineFault, c.switchedOff);
        EXPECT_EQ(first.switchedOff, c.switchedOff ? std::vector<int>{2} : std::vector<int>{});
        EXPECT_EQ(gang->isOn(2), !c.switchedOff);
        EXPECT_EQ(project.serial.passCountText, "3");

        // The failed chip's number (0101) is taken again, by socket 1 of the next round.
        const GangRound second = round();
        EXPECT_TRUE(second.chips[0].passed());
        EXPECT_EQ(chipNumber(1), 0x0101u);
        EXPECT_EQ(second.chips[1].ran, !c.switchedOff);
        EXPECT_EQ(chipNumber(3), 0x0104u + (c.switchedOff ? 0u : 1u));

        std::vector<ChipOutcome> outcomes;
        for (const ChipRecord& r : journalChips()) outcomes.push_back(r.outcome);
        EXPECT_EQ(outcomes[1], ChipOutcome::Fail);
        EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), ChipOutcome::Pass), 6);
    }
}

TEST_F(GangTest, AStopInTheMiddleOfARoundEndsEverySocketAndRecordsItInterrupted) {
    makeGang(4);
    // The writers fall silent in the middle of the program data (they would time out after a second).
    WriterBox::Faults silent;
    silent.silenceAfter = 3000;
    for (int k = 1; k <= 4; ++k) box(k).setFaults(silent);
    ASSERT_TRUE(dispatchOperation(project, OperationType::AutoProgram));
    ASSERT_TRUE(gang->startRound());
    for (auto& v : views) ASSERT_TRUE(v->waitFor("Program data..."));
    gang->requestStop();
    const GangRound stopped = gang->finishRound();
    for (const GangChip& c : stopped.chips) {
        EXPECT_TRUE(c.interrupted()) << "socket " << c.socket;
        EXPECT_FALSE(c.lineFault);
    }
    EXPECT_TRUE(stopped.switchedOff.empty());
    EXPECT_EQ(project.serial.passCountText, "0");
    const std::vector<ChipRecord> chips = journalChips();
    ASSERT_EQ(chips.size(), 4u);
    for (const ChipRecord& c : chips) EXPECT_EQ(c.outcome, ChipOutcome::Interrupted);

    // The numbers of interrupted chips are held (they may be on a chip); the next round goes on after them.
    gang->clearStop();
    for (int k = 1; k <= 4; ++k) {
        box(k).setFaults({});
        // The box still waits for the rest of the stream the stop cut off (it would forget it after half a
        // second); opening its line again resets it at once.
        box(k).Close();
        box(k).Open();
    }
    const GangRound next = round();
    for (int k = 1; k <= 4; ++k) {
        EXPECT_TRUE(next.chips[static_cast<std::size_t>(k - 1)].passed())
            << next.chips[static_cast<std::size_t>(k - 1)].failure;
        EXPECT_EQ(chipNumber(k), 0x0104u + static_cast<unsigned>(k - 1));
    }
}

// A socket switched off takes no number and no chip; the others keep socket order among themselves.
TEST_F(GangTest, ASocketSwitchedOffIsLeftOut) {
    makeGang(3);
    gang->setOn(2, false);
    ASSERT_TRUE(dispatchOperation(project, OperationType::AutoProgram));
    const GangRound r = round();
    EXPECT_TRUE(r.chips[0].passed());
    EXPECT_FALSE(r.chips[1].ran);
    EXPECT_TRUE(r.chips[2].passed());
    EXPECT_EQ(chipNumber(1), 0x0100u);
    EXPECT_EQ(chipNumber(3), 0x0101u);
    EXPECT_EQ(journalChips().size(), 2u);
}

// The owner's port, open already, is used by the socket on it (a serial device opens only once) and stays
// open after the gang; the other sockets open their own.
TEST_F(GangTest, TheSocketOnTheOwnersOpenPortUsesItAndLeavesItOpen) {
    project.link.portEntry = "virtual";
    ASSERT_TRUE(PreparePort(project));
    const std::shared_ptr<CommPort> own = project.link.Comm1;
    std::vector<GangRun::Socket> sockets{{"virtual", nullptr, &ui}, {"virtual", nullptr, &ui}};
    {
        GangRun two(project, sockets);
        EXPECT_TRUE(two.openPorts().empty());
        EXPECT_EQ(two.link(1).Comm1, own);
        EXPECT_NE(two.link(2).Comm1, own);
        dynamic_cast<VirtualWriter&>(*two.link(1).Comm1).insertChipFor(project.device);
        dynamic_cast<VirtualWriter&>(*two.link(2).Comm1).insertChipFor(project.device);
        ASSERT_TRUE(dispatchOperation(project, OperationType::AutoProgram));
        ASSERT_TRUE(two.startRound());
        const GangRound r = two.finishRound();
        EXPECT_TRUE(r.chips[0].passed()) << r.chips[0].failure;
        EXPECT_TRUE(r.chips[1].passed()) << r.chips[1].failure;
    }
    EXPECT_TRUE(own->Enabled());
}

}  // namespace
}  // namespace qzr::test
