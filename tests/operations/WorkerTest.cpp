// The engine on its worker thread: restart, repeat timer and stop.
#include <chrono>
#include <thread>

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

TEST_F(SessionTest, StopEndsARunningStreamPromptlyAndLeavesNothingLocked) {
    // A real clock and a box that answers at the line rate: the 24576-byte stream of QZR-D52 takes seconds.
    useDevice("QZR-D52");
    loadProject();
    VirtualWriter paced;
    paced.Open();
    paced.insertChipFor(st.device);
    paced.setLinePacing(true);
    st.operation.operationType = OperationType::ProgramData;
    RecordingView v;
    OperationSession session(st, paced, realClock(), v);
    session.start();
    // Wait (bounded) until the stream is under way.
    for (int i = 0; i < 500; ++i) {
        const auto ex = paced.exchanges();
        if (!ex.empty() && ex.back().dataBytes > 100) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(session.running());
    session.stop();
    EXPECT_FALSE(session.running());
    EXPECT_EQ(session.lastOutcome(), RunOutcome::Stopped);
    // Bytes the worker wrote just before it stopped are still on the (paced) line for a few milliseconds;
    // once they have arrived, nothing more comes.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int sent = paced.exchanges().back().dataBytes;
    EXPECT_LT(sent, st.device.programByteCount);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(paced.exchanges().back().dataBytes, sent);  // the worker is gone: no further bytes
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

TEST_F(SessionTest, ViewHooksAreQuietWhileTheDialogIsOpen) {
    struct CountingViews : ViewHooks {
        void refreshSerialIndicators() override { ++calls; }
        void refreshChecksums() override { ++calls; }
        void reloadProgramWindow() override { ++calls; }
        int calls = 0;
    } views;
    st.views = &views;
    loadProject();
    st.operation.operationType = OperationType::AutoProgram;
    views.calls = 0;
    {
        OperationSession session(st, box, clock, view);
        session.start();
        session.wait();
        EXPECT_EQ(views.calls, 0);
    }
    EXPECT_EQ(st.views, &views);
    const auto events = view.events();
    EXPECT_EQ(events.back(), "state changed");
}

}  // namespace
}  // namespace qzr::test
