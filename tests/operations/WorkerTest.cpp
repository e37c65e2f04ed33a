// The engine on its worker thread: restart, repeat timer and stop.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "EngineFixture.h"
#include "app/OperationSession.h"

namespace qzr::test {
namespace {

TEST_F(EngineTest, StopInTheDataStreamSendsNothingMore) {
    loadProject();
    std::atomic<bool> stop{false};
    InjectLink link(box);
    link.stop = &stop;
    link.stopAfterWrites = 500;  // in the middle of the 2048-byte data stream
    EXPECT_EQ(run(OperationType::AutoProgram, &link, &stop), RunOutcome::Stopped);
    // At most the second byte of the pair in progress goes out after the request.
    EXPECT_LE(link.writtenAfterStop, 2);
    const auto ex = box.exchanges();
    ASSERT_FALSE(ex.empty());
    EXPECT_EQ(ex.back().area, 0);
    EXPECT_LT(ex.back().dataBytes, 2048);
    // Nothing is shown after the stop: the last line is still the progress of the stream.
    const auto events = view.events();
    ASSERT_FALSE(events.empty());
    EXPECT_NE(events.back().find(" progress: "), std::string::npos) << events.back();
    EXPECT_EQ(st.serial.passCountText, "0");
}

class SessionTest : public EngineTest {};

// Counts the bytes the engine writes and lets a test thread wait (with a deadline) until a number of them
// has gone out.
class CountingLink final : public CommLink {
  public:
    explicit CountingLink(CommLink& inner) : inner_(inner) {}
    void PurgeIn() override { inner_.PurgeIn(); }
    void PurgeOut() override { inner_.PurgeOut(); }
    int Write(const uint8_t* buffer, int count) override {
        const int n = inner_.Write(buffer, count);
        {
            std::lock_guard lock(mutex_);
            written_ += count;
        }
        changed_.notify_all();
        return n;
    }
    int Read(uint8_t* buffer, int count) override { return inner_.Read(buffer, count); }
    int InQueCount() override { return inner_.InQueCount(); }
    bool Cts() override { return inner_.Cts(); }
    bool WaitForInput(int timeoutMs) override { return inner_.WaitForInput(timeoutMs); }

    int written() {
        std::lock_guard lock(mutex_);
        return written_;
    }
    bool waitForWritten(int n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return written_ >= n; });
    }

  private:
    CommLink& inner_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int written_ = 0;
};

TEST_F(SessionTest, StopEndsARunningStreamPromptlyAndLeavesNothingLocked) {
    // A real clock and a box that answers at the line rate: the 24576-byte stream of QZR-D52 takes seconds.
    useDevice("QZR-D52");
    loadProject();
    VirtualWriter paced;
    paced.Open();
    paced.insertChipFor(st.device);
    paced.setLinePacing(true);
    CountingLink link(paced);
    st.operation.operationType = OperationType::ProgramData;
    RecordingView v;
    OperationSession session(st, link, realClock(), v);
    session.start();
    // The stream is under way (the header and some data bytes have gone out).
    ASSERT_TRUE(link.waitForWritten(110));
    ASSERT_TRUE(session.running());
    session.stop();
    EXPECT_FALSE(session.running());
    EXPECT_EQ(session.lastOutcome(), RunOutcome::Stopped);
    // The worker has been joined, so nothing more is written: the stream was cut short.
    EXPECT_LT(link.written(), st.device.programByteCount);
    // The box and the state are usable at once: a fresh run on the same link works.
    paced.setLinePacing(false);
    paced.Close();  // the box still waits for the rest of the stream
    paced.Open();
    paced.insertChipFor(st.device);
    session.continueClicked();
    session.wait();
    EXPECT_EQ(session.lastOutcome(), RunOutcome::Passed);
}

TEST_F(SessionTest, ASerialPortErrorReachesTheWaitingThread) {
    loadProject();
    InjectLink link(box);
    link.throwAfterWrites = 100;
    st.operation.operationType = OperationType::ProgramData;
    OperationSession session(st, link, clock, view);
    session.start();
    EXPECT_THROW(session.wait(), ECommError);
    EXPECT_FALSE(session.running());
    EXPECT_EQ(session.lastOutcome(), RunOutcome::Failed);
    EXPECT_TRUE(view.model().exitEnabled);    // the dialog can be closed
    EXPECT_EQ(session.takeError(), nullptr);  // reported once
}

TEST_F(SessionTest, ContinueAndTimerRestartTheOperation) {
    loadProject();
    st.operation.operationType = OperationType::BlankCheck;
    st.operation.flashTestRepeat = true;
    OperationSession session(st, box, clock, view);
    session.start();
    session.wait();
    EXPECT_EQ(session.lastOutcome(), RunOutcome::Passed);
    EXPECT_TRUE(view.model().repeatTimer);

    view.clear();
    session.timerTick();
    session.wait();
    EXPECT_EQ(session.repeatCount(), 0);  // a good run resets it
    const auto events = view.events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0], "timer off");
    EXPECT_EQ(events[1], "Continue off");
    EXPECT_EQ(events[2], "Exit off");

    // A failure stops the repetition; Continue reruns from the start on the next chip.
    box.setFaults({.noChip = true});
    session.timerTick();
    session.wait();
    EXPECT_EQ(session.lastOutcome(), RunOutcome::Failed);
    EXPECT_EQ(session.repeatCount(), 1);
    EXPECT_FALSE(view.model().repeatTimer);
    box.setFaults({});
    session.continueClicked();
    session.wait();
    EXPECT_EQ(session.lastOutcome(), RunOutcome::Passed);
    EXPECT_FALSE(view.model().line(ViewLine::BlankCheck).red);
}

// A run works on a snapshot of the state: the owner's state and views are untouched while the worker runs,
// and when the run is collected its result is applied and every refresh it asked for reaches the owner's
// views on the owner's thread (none is lost, as when they were silenced during the run).
TEST_F(SessionTest, ARunWorksOnASnapshotAndItsResultIsAppliedWithItsRefreshes) {
    struct CountingViews : ViewHooks {
        void refreshSerialIndicators() override { calls.push_back(std::this_thread::get_id()); }
        void refreshChecksums() override { calls.push_back(std::this_thread::get_id()); }
        void reloadProgramWindow() override { calls.push_back(std::this_thread::get_id()); }
        std::vector<std::thread::id> calls;
    } views;
    st.views = &views;
    loadProject();
    st.operation.operationType = OperationType::AutoProgram;
    views.calls.clear();
    {
        OperationSession session(st, box, clock, view);
        // The job's side of the chip sees the run's snapshot, the chip counted, before it is applied.
        const MainState* snapshot = nullptr;
        std::string countAfterChip;
        RunOutcome outcome = RunOutcome::Stopped;
        session.beforeChip = [&](MainState& s) { snapshot = &s; };
        session.afterChip = [&](MainState& s, RunOutcome o) {
            countAfterChip = s.serial.passCountText;
            outcome = o;
        };
        session.start();
        // The worker does not write the owner's state: it still shows no chip while the run goes on.
        EXPECT_EQ(st.serial.passCountText, "0");
        session.wait();
        EXPECT_EQ(st.serial.passCountText, "1");  // the run's result
        EXPECT_NE(snapshot, nullptr);
        EXPECT_NE(snapshot, &st);
        EXPECT_EQ(countAfterChip, "1");
        EXPECT_EQ(outcome, RunOutcome::Passed);
        EXPECT_FALSE(views.calls.empty());
        for (const std::thread::id id : views.calls) EXPECT_EQ(id, std::this_thread::get_id());
    }
    EXPECT_EQ(st.views, &views);
    const auto events = view.events();
    EXPECT_EQ(events.back(), "state changed");
}

// The same job type runs N at once on N ports: four sessions, each on its own state and writer, program
// their chips side by side and each counts its own chip.
TEST_F(SessionTest, FourSessionsRunSideBySideOnFourPorts) {
    loadProject();
    st.operation.operationType = OperationType::AutoProgram;
    constexpr int kPorts = 4;
    std::vector<std::unique_ptr<MainState>> states;
    std::vector<std::unique_ptr<VirtualWriter>> boxes;
    std::vector<std::unique_ptr<RecordingView>> views;
    std::vector<std::unique_ptr<OperationSession>> sessions;
    for (int i = 0; i < kPorts; ++i) {
        states.push_back(std::make_unique<MainState>(st));
        states.back()->ui = MainState().ui;  // each its own (silent) user interface
        boxes.push_back(std::make_unique<VirtualWriter>(clock));
        boxes.back()->Open();
        boxes.back()->insertChipFor(st.device);
        views.push_back(std::make_unique<RecordingView>());
        sessions.push_back(
            std::make_unique<OperationSession>(*states.back(), *boxes.back(), clock, *views.back()));
    }
    for (auto& s : sessions) s->start();
    for (int i = 0; i < kPorts; ++i) {
        sessions[static_cast<std::size_t>(i)]->wait();
        EXPECT_EQ(sessions[static_cast<std::size_t>(i)]->lastOutcome(), RunOutcome::Passed) << i;
        EXPECT_EQ(states[static_cast<std::size_t>(i)]->serial.passCountText, "1") << i;
    }
    EXPECT_EQ(st.serial.passCountText, "0");  // the state they were copied from is not theirs
}

}  // namespace
}  // namespace qzr::test
