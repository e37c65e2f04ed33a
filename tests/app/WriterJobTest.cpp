// The rule for writer jobs: a job works on a snapshot, and its result reaches the owner's state in one place
// (applyJobResult), as far as its scope allows, with the refreshes it asked for replayed in order.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "app/MainState.h"
#include "app/WriterJob.h"
#include "core/writer/CommLink.h"

namespace qzr {
namespace {

// Records the refreshes by name, and the thread they ran on.
struct NamedViews final : ViewHooks {
    void refreshSelections() override { add("selections"); }
    void refreshChecksums() override { add("checksums"); }
    void recreateEepromWindow(bool exists) override { add(exists ? "eeprom" : "no eeprom"); }
    void add(const std::string& name) {
        calls.push_back(name);
        threads.push_back(std::this_thread::get_id());
    }
    std::vector<std::string> calls;
    std::vector<std::thread::id> threads;
};

// What every job below does to its snapshot: the link, the scratch areas, the project and the window flags.
void changeEverything(MainState& st, const std::atomic<bool>&) {
    st.link.handshake = "None";
    st.link.writerIdText = " HRP021A V3.30";
    st.image.headerArea()[0] = 0xAD;
    st.image.transferArea()[0] = 0x42;
    st.image.setProgramWord(0, Word{0x01, 0x02});
    st.serial.passCountText = "5";
    st.idWindowOpen = !st.idWindowOpen;
    st.views->refreshSelections();
    st.views->recreateEepromWindow(false);
    st.views->refreshChecksums();
}

TEST(WriterJob, TheResultIsAppliedAsFarAsTheScopeAllowsWithTheRefreshesInOrder) {
    struct Case {
        JobScope scope;
        bool projectTaken;  // program word and pass count
    };
    for (const Case c : {Case{JobScope::Link, false}, Case{JobScope::Project, true}}) {
        SCOPED_TRACE(c.scope == JobScope::Link ? "link" : "project");
        NamedViews views;
        MainState st;
        st.views = &views;
        st.link.handshake = "CTS";
        WriterJob job(st, c.scope, changeEverything);
        job.start();
        // The owner's state is its own while the job runs: a Link job leaves the project to the window.
        st.image.setProgramWord(1, Word{0x03, 0x04});
        job.finish(st);

        EXPECT_EQ(st.link.handshake, "None");
        EXPECT_EQ(st.link.writerIdText, " HRP021A V3.30");
        EXPECT_EQ(st.image.headerArea()[0], 0xAD);
        EXPECT_EQ(st.image.transferArea()[0], 0x42);
        EXPECT_EQ(st.image.programWord(0) == (Word{0x01, 0x02}), c.projectTaken);
        EXPECT_EQ(st.serial.passCountText, c.projectTaken ? "5" : "0");
        // What the window's own edits and flags are: never taken from a job.
        EXPECT_EQ(st.image.programWord(1) == (Word{0x03, 0x04}), !c.projectTaken);
        EXPECT_FALSE(st.idWindowOpen);
        EXPECT_EQ(st.views, &views);
        EXPECT_EQ(views.calls, (std::vector<std::string>{"selections", "no eeprom", "checksums"}));
        for (const std::thread::id id : views.threads) EXPECT_EQ(id, std::this_thread::get_id());
        job.finish(st);  // once only
        EXPECT_EQ(views.calls.size(), 3u);
    }
}

TEST(WriterJob, TheStopRequestReachesTheWorkAndAnErrorComesAfterTheResult) {
    MainState st;
    bool sawStop = false;
    WriterJob job(st, JobScope::Link, [&sawStop](MainState& s, const std::atomic<bool>& stop) {
        sawStop = stop.load();
        s.link.portError = true;
        throw ECommError("Write error", 5);
    });
    job.requestStop();
    job.start();
    EXPECT_THROW(job.finish(st), ECommError);
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(st.link.portError) << "what the job did before it failed is applied";
    EXPECT_TRUE(job.ended());
}

TEST(WriterJob, AJobNeverStartedChangesNothing) {
    MainState st;
    {
        WriterJob job(st, JobScope::Project, changeEverything);
        st.serial.passCountText = "7";
        job.finish(st);
    }
    EXPECT_EQ(st.serial.passCountText, "7");
    EXPECT_EQ(st.link.handshake, "CTS");
}

}  // namespace
}  // namespace qzr
