// A seeded sweep of line faults around the emulated writer: dropped, flipped and delayed bytes both ways,
// CTS going off, the writer falling silent. Whatever happens on the line, no auto-program, no chip copy
// (Read IC, then verify) and no device download reports success unless the chip (or the writer) holds
// exactly what the program meant, and no run hangs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <iostream>
#include <memory>
#include <random>

#include "app/DeviceCommands.h"
#include "app/DownloadCommand.h"
#include "app/MainState.h"
#include "app/OperationEngine.h"
#include "app/ReadIcCommand.h"
#include "core/operations/OperationView.h"
#include "core/options/Options.h"
#include "core/writer/Download.h"
#include "core/writer/FaultLink.h"
#include "core/writer/ReadIc.h"
#include "core/writer/VirtualWriter.h"
#include "support/RecordingUi.h"

namespace qzr::test {
namespace {

constexpr const char* kDevice = "QZR-D02";  // flash, 1024 words, 128 EEPROM bytes
constexpr int kRunsPerKind = 200;
// A run that has not ended after this long has hung (the longest fault-free run takes well under 1 s).
constexpr auto kHangLimit = std::chrono::seconds(60);

struct Project {
    std::vector<Word> program;
    std::vector<uint8_t> eeprom;
};

Project makeProject(uint32_t seed, int words, int eepromBytes) {
    std::mt19937 g(seed);
    Project p;
    for (int n = 0; n < words; ++n) p.program.push_back(splitWord(g() % 0x3FFF));
    for (int a = 0; a < eepromBytes; ++a) p.eeprom.push_back(static_cast<uint8_t>(g()));
    return p;
}

// A state on the device with the project in its image, valid options and the checksums.
std::unique_ptr<MainState> makeState(RecordingUi& ui, FakeClock& clock, const Project* project) {
    auto st = std::make_unique<MainState>();
    st->ui = &ui;
    st->link.portEntry = "virtual";  // a re-open after the handshake switch never meets a real device
    st->link.clock = &clock;
    EXPECT_TRUE(selectDevice(*st, kDevice));
    if (project) {
        for (std::size_t n = 0; n < project->program.size(); ++n)
            st->image.setProgramWord(n, project->program[n]);
        for (std::size_t a = 0; a < project->eeprom.size(); ++a)
            st->image.eepromArea()[a] = project->eeprom[a];
        st->optionBytes = {0x12, 0x5F, 0x7F, 0x7F};
        CalChecksum(st->options, st->optionBytes, st->device, st->image, *st->views);
        st->options.optionStatus = {};
    }
    return st;
}

// The chip holds the state's program memory and EEPROM.
bool chipEqualsImage(const VirtualChip& chip, const MainState& st) {
    const uint8_t hbm = st.device.highByteMask;
    for (int n = 0; n < st.device.programWordCount(); ++n) {
        const Word w = st.image.programWord(static_cast<std::size_t>(n));
        const auto j = static_cast<std::size_t>(2 * n);
        if (chip.program[j] != w.low || (chip.program[j + 1] & hbm) != (w.high & hbm)) return false;
    }
    for (int a = 0; a < st.device.eepromSize; ++a) {
        if (chip.eeprom[static_cast<std::size_t>(a)] != st.image.eepromByte(static_cast<std::size_t>(a)))
            return false;
    }
    return true;
}

// The faults of one run, drawn from its seed.
FaultPlan drawPlan(uint32_t seed) {
    std::mt19937 g(seed * 7919u + 17u);
    const double rates[] = {0, 0, 2e-5, 1e-4, 5e-4};
    auto rate = [&] { return rates[g() % 5]; };
    FaultPlan p;
    p.dropRate = rate();
    p.flipRate = rate();
    p.delayRate = rate();
    p.dropOutRate = rate();
    p.flipOutRate = rate();
    // Some delays within the box's half-second command time-out and the one-second reply budget, some
    // beyond.
    p.delayTicks = 5 + static_cast<int>(g() % 115);
    if (g() % 100 < 15) p.silenceAfter = static_cast<long>(g() % 6000);
    if (g() % 100 < 10) p.ctsOffAfter = static_cast<long>(g() % 6000);
    return p;
}

struct Tally {
    int runs = 0;
    int faultyRuns = 0;  // runs in which at least one fault was injected
    long faults = 0;
    int passed = 0;
    int passedWithFaults = 0;
};

// Runs f on a thread of its own; a run that does not end in time is stopped and reported as hung.
template <typename F>
auto bounded(std::atomic<bool>& stop, F f) {
    auto future = std::async(std::launch::async, f);
    if (future.wait_for(kHangLimit) != std::future_status::ready) {
        stop = true;
        ADD_FAILURE() << "a run hung";
    }
    return future.get();
}

void count(Tally& t, const FaultLink& link, bool passed) {
    const auto faults = static_cast<long>(link.log().size());
    ++t.runs;
    t.faults += faults;
    if (faults > 0) ++t.faultyRuns;
    if (passed) {
        ++t.passed;
        if (faults > 0) ++t.passedWithFaults;
    }
}

void report(const char* kind, const Tally& t) {
    std::cout << "fault sweep, " << kind << ": " << t.runs << " runs, " << t.faults << " faults in "
              << t.faultyRuns << " runs, " << t.passed << " passed (" << t.passedWithFaults
              << " of them with faults that did no harm)\n";
}

class FaultSweep : public ::testing::Test {
  protected:
    RecordingUi ui;
    FakeClock clock;
    VirtualWriter box{clock};

    void SetUp() override { box.Open(); }
    void freshBox() {
        box.Close();
        box.Open();
        box.setFaults({});
    }
};

TEST_F(FaultSweep, AutoProgramPassesOnlyWhenTheChipHoldsTheImage) {
    Tally tally;
    for (uint32_t seed = 1; seed <= kRunsPerKind; ++seed) {
        const Project project = makeProject(seed, 1024, 128);
        auto st = makeState(ui, clock, &project);
        st->operation.operationType = OperationType::AutoProgram;
        freshBox();
        box.insertChipFor(st->device);
        FaultLink link(box, clock, seed, drawPlan(seed));
        ProgressDialogModel view;
        std::atomic<bool> stop{false};
        const RunOutcome outcome =
            bounded(stop, [&] { return OperationEngine(*st, link, clock, view, &stop).run(); });
        const bool passed = runPassed(outcome);
        count(tally, link, passed);
        if (passed) {
            EXPECT_TRUE(chipEqualsImage(box.chip(), *st)) << "seed " << seed;
        }
    }
    report("auto-program", tally);
    EXPECT_GT(tally.faultyRuns, kRunsPerKind / 3);
}

TEST_F(FaultSweep, ACopiedChipPassesOnlyWhenTheFileEqualsTheChip) {
    // A programmed chip to copy.
    const Project project = makeProject(4242, 1024, 128);
    VirtualChip programmed;
    {
        auto st = makeState(ui, clock, &project);
        st->operation.operationType = OperationType::AutoProgram;
        box.insertChipFor(st->device);
        ProgressDialogModel view;
        ASSERT_EQ(OperationEngine(*st, box, clock, view).run(), RunOutcome::Passed);
        programmed = box.chip();
    }
    Tally tally;
    for (uint32_t seed = 1; seed <= kRunsPerKind; ++seed) {
        auto st = makeState(ui, clock, nullptr);
        freshBox();
        box.setChip(programmed);
        FaultLink link(box, clock, seed, drawPlan(seed));
        std::atomic<bool> stop{false};
        // Read IC, then the verify that makes the copy safe (the read itself has no checksum).
        const bool passed = bounded(stop, [&] {
            WriterLink writer(st->link, st->image, link, clock, &stop);
            ReadIcView readView;
            ReadIcTimer timer(clock);
            ReadIcJob job = readIcJob(*st);
            if (ReadIcProc(job, writer, readView, timer) != ReadIcOutcome::Done) return false;
            endReadIc(*st);
            st->operation.operationType = OperationType::Verify;
            ProgressDialogModel view;
            return runPassed(OperationEngine(*st, link, clock, view, &stop).run());
        });
        count(tally, link, passed);
        if (passed) {
            EXPECT_TRUE(chipEqualsImage(box.chip(), *st)) << "seed " << seed;
        }
    }
    report("read and verify", tally);
    EXPECT_GT(tally.faultyRuns, kRunsPerKind / 3);
}

TEST_F(FaultSweep, ADownloadPassesOnlyWhenTheWriterGotEveryRecord) {
    DeviceSelection selection;
    selection.selectDefault();
    // The records of a download without faults.
    std::vector<std::array<uint8_t, 32>> expected;
    {
        auto st = makeState(ui, clock, nullptr);
        box.clearRecord();
        WriterLink writer(st->link, st->image, box, clock);
        DownloadView view;
        ASSERT_TRUE(DownLoadClick(*st, writer, selection, view));
        expected = box.downloads();
        ASSERT_FALSE(expected.empty());
    }
    Tally tally;
    for (uint32_t seed = 1; seed <= kRunsPerKind; ++seed) {
        auto st = makeState(ui, clock, nullptr);
        freshBox();
        box.clearRecord();
        // Denser faults: a download is short.
        FaultPlan plan = drawPlan(seed);
        plan.flipOutRate *= 10;
        plan.dropOutRate *= 10;
        plan.flipRate *= 10;
        if (plan.silenceAfter >= 0) plan.silenceAfter %= 40;
        if (plan.ctsOffAfter >= 0) plan.ctsOffAfter %= 600;
        FaultLink link(box, clock, seed, plan);
        std::atomic<bool> stop{false};
        const bool passed = bounded(stop, [&] {
            WriterLink writer(st->link, st->image, link, clock, &stop);
            DownloadView view;
            return DownLoadClick(*st, writer, selection, view);
        });
        count(tally, link, passed);
        if (passed) {
            EXPECT_EQ(box.downloads(), expected) << "seed " << seed;
        }
    }
    report("download", tally);
    EXPECT_GT(tally.faultyRuns, kRunsPerKind / 4);
}

}  // namespace
}  // namespace qzr::test
