// Faults injected between the protocol and the virtual writer.
#include <gtest/gtest.h>

#include <set>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "app/StateHeader.h"
#include "core/device/DeviceCatalogue.h"
#include "core/writer/FaultLink.h"
#include "core/writer/VirtualWriter.h"
#include "core/writer/WriterProtocol.h"

namespace qzr {
namespace {

template <typename F>
FaultPlan with(F set) {
    FaultPlan p;
    set(p);
    return p;
}

class FaultLinkTest : public ::testing::Test {
  protected:
    FaultLinkTest() : box(clock) {
        box.Open();
        selectDevice(st, "QZR-D11");
    }
    LinkResult readId(FaultLink& link) {
        WriterLink w(st.link, st.image, link, clock);
        GetHeader(st, kAreaId, kKindRead);
        return w.Read7BitData(32);
    }
    MainState st;
    FakeClock clock{0};
    VirtualWriter box;
};

TEST_F(FaultLinkTest, FixedFaultsAtPositions) {
    {
        // One lost byte of 32: the end byte after count - 1 bytes still counts as complete.
        FaultLink link(box, clock, 1, with([](FaultPlan& p) { p.dropIn = {5}; }));
        EXPECT_EQ(readId(link), lrDone);
        EXPECT_EQ(link.log(), std::vector<std::string>{"drop in 5"});
    }
    {
        FaultLink link(box, clock, 1, with([](FaultPlan& p) { p.dropIn = {5, 6}; }));
        EXPECT_EQ(readId(link), lrBadReply);
    }
    {
        // A flipped bit can turn a data byte into an unknown reply; which bit is seeded.
        FaultLink::Plan plan;
        plan.flipIn = {3};
        FaultLink a(box, clock, 7, plan);
        FaultLink b(box, clock, 7, plan);
        const LinkResult ra = readId(a);
        const LinkResult rb = readId(b);
        EXPECT_EQ(ra, rb);
        EXPECT_EQ(a.log(), b.log());
        ASSERT_EQ(a.log().size(), 1u);
        const bool topBit = a.log()[0] == "flip in 3 bit 7";
        EXPECT_EQ(ra, topBit ? lrBadReply : lrDone);
    }
    {
        FaultLink link(box, clock, 1, with([](FaultPlan& p) {
                           p.delayIn = {10};
                           p.delayTicks = 150;
                       }));
        EXPECT_EQ(readId(link), lrTimeout);
    }
    {
        FaultLink link(box, clock, 1, with([](FaultPlan& p) {
                           p.delayIn = {10};
                           p.delayTicks = 60;
                       }));
        EXPECT_EQ(readId(link), lrDone);
    }
    {
        // A header byte lost on the way: the writer waits for the tenth byte and never answers.
        FaultLink link(box, clock, 1, with([](FaultPlan& p) { p.dropOut = {4}; }));
        EXPECT_EQ(readId(link), lrTimeout);
    }
    {
        FaultLink link(box, clock, 1, with([](FaultPlan& p) { p.silenceAfter = 20; }));
        EXPECT_EQ(readId(link), lrTimeout);
    }
    {
        FaultLink link(box, clock, 1, with([](FaultPlan& p) { p.ctsOff = true; }));
        EXPECT_EQ(readId(link), lrTimeout);
    }
}

TEST_F(FaultLinkTest, RandomFaultsAreReproducibleAndAlwaysEndInAKnownResult) {
    FaultLink::Plan plan;
    plan.dropRate = 0.02;
    plan.flipRate = 0.02;
    plan.delayRate = 0.01;
    plan.delayTicks = 120;
    auto run = [&](uint32_t seed) {
        FaultLink link(box, clock, seed, plan);
        std::vector<LinkResult> results;
        for (int i = 0; i < 20; ++i) results.push_back(readId(link));
        return std::make_pair(results, link.log());
    };
    const auto first = run(42);
    const auto again = run(42);
    EXPECT_EQ(first, again);
    EXPECT_FALSE(first.second.empty());
    const std::set<LinkResult> allowed{lrDone, lrBadReply, lrTimeout, lrNoChip, lrAdapterError};
    for (LinkResult r : first.first) EXPECT_TRUE(allowed.count(r)) << static_cast<int>(r);
    EXPECT_NE(run(43).second, first.second);
}

}  // namespace
}  // namespace qzr
