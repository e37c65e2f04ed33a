// The writer protocol primitives against a scripted port on a fake clock.
#include <gtest/gtest.h>

#include <atomic>

#include "app/MainState.h"
#include "core/writer/WriterProtocol.h"
#include "writer/ScriptedLink.h"

namespace qzr {
namespace {

using test::ScriptedLink;

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> v;
    for (int b : list) v.push_back(static_cast<uint8_t>(b));
    return v;
}

TEST(Clock, BudgetCountsAcrossTheMinuteWrapAndExpiresAfterMoreThan100Ticks) {
    FakeClock clock(5990);
    clock.setTicks(95);  // the next minute: 105 ticks later
    EXPECT_TRUE(CheckTimeOut(clock, 5990));
    clock.setTicks(5990 + 100 - 6000);  // 90 in the next minute: exactly 100 ticks
    EXPECT_FALSE(CheckTimeOut(clock, 5990));

    clock.setTicks(1000 + 100);
    EXPECT_FALSE(CheckTimeOut(clock, 1000));
    clock.setTicks(1000 + 101);
    EXPECT_TRUE(CheckTimeOut(clock, 1000));
}

TEST(Clock, RealClockTicksStayWithinTheMinute) {
    const int t = realClock().clockTicks();
    EXPECT_GE(t, 0);
    EXPECT_LT(t, kTicksPerMinute);
}

TEST(Clock, DelayWaitsForTheTicksByMovingTheClockAndHonoursAStop) {
    FakeClock clock(5998);
    EXPECT_TRUE(DelayIn10ms(clock, 5));
    EXPECT_EQ(clock.clockTicks(), 3);  // wrapped
    std::atomic<bool> stop{true};
    const int before = clock.clockTicks();
    EXPECT_FALSE(DelayIn10ms(clock, 90, &stop));
    EXPECT_EQ(clock.clockTicks(), before);
}

TEST(Versions, CompareAsTextsAndDecideTheModes) {
    EXPECT_GT(compareVersion("V3.3", "V3.27"), 0);
    EXPECT_GT(compareVersion("V3.21a", "V3.21"), 0);
    EXPECT_LT(compareVersion("", "V3.27"), 0);
    EXPECT_EQ(versionFromIdText(" HRP021A V3.30"), "V3.30");
    EXPECT_EQ(versionFromIdText(" HRP021A v3.30"), "");

    EXPECT_TRUE(writeDataPairMode(" HRP021 V3.20", "V3.20"));
    EXPECT_FALSE(twoBytesPerHandshake(" HRP021 V3.20", "V3.20"));
    EXPECT_FALSE(twoBytesPerHandshake(" HRP021 V3.25", "V3.25"));
    EXPECT_TRUE(twoBytesPerHandshake(" HRP021A V3.26", "V3.26"));
    EXPECT_TRUE(twoBytesPerHandshake("HRP011 V3.21", "V3.21"));
    EXPECT_FALSE(writeDataPairMode("HRP011 V3.19", "V3.19"));
    EXPECT_FALSE(writeDataPairMode("HRP012 V3.50", "V3.50"));
    EXPECT_TRUE(isModelHrp021A(" HRP021A V3.08"));
    EXPECT_FALSE(isModelHrp021A(" HRP021 V3.08"));
}

class ProtocolTest : public ::testing::Test {
  protected:
    ProtocolTest() : clock(1000), port(clock), writer(st.link, st.image, port, clock, &stop) {
        auto h = st.image.headerArea();
        for (int i = 0; i < 32; ++i) h[i] = static_cast<uint8_t>(0xA1 + i);
    }
    MainState st;
    FakeClock clock;
    ScriptedLink port;
    std::atomic<bool> stop{false};
    WriterLink writer;
};

TEST_F(ProtocolTest, SendHeaderReturnsTheAnswerAndPausesOneTickAfterTheFirstByte) {
    port.replyAfter(10, bytes({0xB5}));
    EXPECT_EQ(writer.SendHeader(10), lrReady);
    ASSERT_EQ(port.written.size(), 10u);
    EXPECT_EQ(port.written[0], 0xA1);
    EXPECT_EQ(port.written[9], 0xAA);
    EXPECT_GE(ticksSince(port.writeTicks[0], port.writeTicks[1]), 1);
    EXPECT_EQ(port.writeTicks[1], port.writeTicks[9]);
    EXPECT_GE(port.purges, 1);
}

TEST_F(ProtocolTest, SendHeaderMapsEachAnswer) {
    const std::pair<int, LinkResult> cases[] = {{0xB5, lrReady},  {0xB8, lrDone},     {0xFD, lrAdapterError},
                                                {0xFE, lrNoChip}, {0x42, lrBadReply}, {0xB0, lrBadReply}};
    for (auto [answer, code] : cases) {
        ScriptedLink p(clock);
        WriterLink w(st.link, st.image, p, clock);
        p.replyAfter(32, bytes({answer}));
        EXPECT_EQ(w.SendHeader(32), code) << answer;
        EXPECT_EQ(p.written.size(), 32u);
    }
}

TEST_F(ProtocolTest, SendHeaderTimesOutOneSecondAfterTheLastByte) {
    EXPECT_EQ(writer.SendHeader(10), lrTimeout);
    const int waited = ticksSince(port.writeTicks[9], clock.clockTicks());
    EXPECT_GT(waited, 100);
    EXPECT_LE(waited, 103);
}

TEST_F(ProtocolTest, AnAnswerJustInsideTheBudgetCounts) {
    port.replyAfter(10, bytes({0xB8}), 100);
    EXPECT_EQ(writer.SendHeader(10), lrDone);
}

TEST_F(ProtocolTest, CtsThatNeverComesTimesOutWithoutSendingAndWithoutSpinning) {
    port.cts = false;
    EXPECT_EQ(writer.SendHeader(10), lrTimeout);
    EXPECT_TRUE(port.written.empty());
    // The wait slept on the clock in short steps rather than spinning through it.
    EXPECT_GT(clock.sleptMs(), 1000);
}

TEST_F(ProtocolTest, Read7BitDataAcceptsCountMinusOneBytesThenTheEnd) {
    port.replyAfter(10, bytes({1, 2, 3, 4, 5, 6, 7, 0xB8}));
    EXPECT_EQ(writer.Read7BitData(8), lrDone);
    EXPECT_EQ(st.image.transferArea()[6], 7);
    EXPECT_EQ(port.written.size(), 10u);
}

TEST_F(ProtocolTest, Read7BitDataWithTooFewBytesOrAnUnknownByteIsABadReply) {
    port.replyAfter(10, bytes({1, 2, 3, 4, 5, 6, 0xB8}));
    EXPECT_EQ(writer.Read7BitData(8), lrBadReply);

    ScriptedLink p2(clock);
    WriterLink w2(st.link, st.image, p2, clock);
    p2.replyAfter(10, bytes({1, 2, 0x90, 4, 5, 6, 7, 8, 0xB8}));
    EXPECT_EQ(w2.Read7BitData(8), lrBadReply);

    ScriptedLink p3(clock);
    WriterLink w3(st.link, st.image, p3, clock);
    p3.replyAfter(10, bytes({0xFE}));
    EXPECT_EQ(w3.Read7BitData(8), lrNoChip);
    ScriptedLink p4(clock);
    WriterLink w4(st.link, st.image, p4, clock);
    p4.replyAfter(10, bytes({1, 0xFD}));
    EXPECT_EQ(w4.Read7BitData(8), lrAdapterError);
}

TEST_F(ProtocolTest, Read7BitDataKeepsTheFirstCountBytesAndDropsTheRest) {
    auto t = st.image.transferArea();
    t[8] = 0x55;
    t[9] = 0x66;
    port.replyAfter(10, bytes({10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0xB8}));
    EXPECT_EQ(writer.Read7BitData(8), lrDone);
    EXPECT_EQ(t[0], 10);
    EXPECT_EQ(t[7], 17);
    EXPECT_EQ(t[8], 0x55);
    EXPECT_EQ(t[9], 0x66);
}

TEST_F(ProtocolTest, Read7BitDataBudgetRunsFromTheLastStoredByte) {
    // Each byte comes 0.9 s after the one before: slow, but always inside the budget.
    port.replyAfter(10, bytes({1}), 90);
    port.replyAfter(10, bytes({2}), 180);
    port.replyAfter(10, bytes({0xB8}), 270);
    EXPECT_EQ(writer.Read7BitData(2), lrDone);

    // An end byte that arrives after the budget still ends in a time-out.
    ScriptedLink late(clock);
    WriterLink w(st.link, st.image, late, clock);
    late.replyAfter(10, bytes({1}), 0);
    late.replyAfter(10, bytes({0xB8}), 102);
    EXPECT_EQ(w.Read7BitData(2), lrTimeout);
}

TEST_F(ProtocolTest, Read8BitDataTakesEveryValueAsDataUntilTheCount) {
    port.replyAfter(10, bytes({0xB8, 0xFE, 0x00, 0xFF, 0xB8}));
    EXPECT_EQ(writer.Read8BitData(4), lrDone);
    auto t = st.image.transferArea();
    EXPECT_EQ(t[0], 0xB8);
    EXPECT_EQ(t[1], 0xFE);
    EXPECT_EQ(t[3], 0xFF);

    ScriptedLink p2(clock);
    WriterLink w2(st.link, st.image, p2, clock);
    p2.replyAfter(10, bytes({1, 2, 3, 4, 5}));
    EXPECT_EQ(w2.Read8BitData(4), lrBadReply);

    ScriptedLink p3(clock);
    WriterLink w3(st.link, st.image, p3, clock);
    p3.replyAfter(10, bytes({1, 2, 3}));
    EXPECT_EQ(w3.Read8BitData(4), lrTimeout);
}

TEST_F(ProtocolTest, ReadWriterIdStoresAtMostMaxCharsAndAppends) {
    st.image.headerArea()[0] = 0xAD;
    st.link.writerIdText = "x";
    std::vector<uint8_t> text;
    for (char c : std::string("ABCDEFGHIJKLMNOP")) text.push_back(static_cast<uint8_t>(c));  // 16 characters
    port.replyAfter(1, text);
    EXPECT_EQ(writer.ReadWriterID(15), lrDone);
    EXPECT_EQ(st.link.writerIdText, "xABCDEFGHIJKLMNO");
    EXPECT_EQ(port.written, bytes({0xAD}));

    ScriptedLink p2(clock);
    WriterLink w2(st.link, st.image, p2, clock);
    st.link.writerIdText.clear();
    p2.replyAfter(1, bytes({'H', 'R', 0xB8}));
    EXPECT_EQ(w2.ReadWriterID(15), lrDone);
    EXPECT_EQ(st.link.writerIdText, "HR");

    ScriptedLink p3(clock);
    WriterLink w3(st.link, st.image, p3, clock);
    p3.replyAfter(1, bytes({'H'}));
    const int start = clock.clockTicks();
    EXPECT_EQ(w3.ReadWriterID(15), lrTimeout);
    EXPECT_GT(ticksSince(start, clock.clockTicks()), 100);
}

TEST_F(ProtocolTest, WriteDataOneAnswerPerByteUntilDone) {
    auto t = st.image.transferArea();
    for (int i = 0; i < 8; ++i) t[i] = static_cast<uint8_t>(i + 1);
    for (int i = 1; i <= 7; ++i) port.replyAfter(i, bytes({0xB5}));
    port.replyAfter(8, bytes({0xB0}));
    EXPECT_EQ(writer.WriteData(8), lrWriteDone);
    EXPECT_EQ(port.written, bytes({1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(ProtocolTest, WriteDataInPairModeSendsTwoBytesPerAnswer) {
    st.link.writerIdText = " HRP021A V3.20";
    st.link.writerVersion = "V3.20";
    for (int i = 0; i < 8; ++i) st.image.transferArea()[i] = static_cast<uint8_t>(i);
    // Each answer is armed only once both bytes of its pair have been written.
    port.replyAfter(2, bytes({0xB5}));
    port.replyAfter(4, bytes({0xB5}));
    port.replyAfter(6, bytes({0xB5}));
    port.replyAfter(8, bytes({0xB0}));
    port.cts = true;
    EXPECT_EQ(writer.WriteData(8), lrWriteDone);
    EXPECT_EQ(port.written.size(), 8u);
    // The second byte of a pair goes out without a CTS wait: same tick as the first.
    EXPECT_EQ(port.writeTicks[0], port.writeTicks[1]);
}

TEST_F(ProtocolTest, WriteDataFailureIndexIsTheByteJustSent) {
    for (int i = 1; i <= 6; ++i) port.replyAfter(i, bytes({0xB5}));
    port.replyAfter(7, bytes({0xB1}));
    EXPECT_EQ(writer.WriteData(16), lrWriteFail);
    EXPECT_EQ(st.link.writeFailIndex, 6);

    ScriptedLink pairs(clock);
    WriterLink w(st.link, st.image, pairs, clock);
    st.link.writerIdText = "HRP011 V3.20";
    st.link.writerVersion = "V3.20";
    for (int i = 2; i <= 6; i += 2) pairs.replyAfter(i, bytes({0xB5}));
    pairs.replyAfter(8, bytes({0xB1}));
    EXPECT_EQ(w.WriteData(16), lrWriteFail);
    EXPECT_EQ(st.link.writeFailIndex, 7);
}

TEST_F(ProtocolTest, WriteDataEarlyDoneUnknownAnswerAndMissingDone) {
    port.replyAfter(1, bytes({0xB5}));
    port.replyAfter(2, bytes({0xB0}));
    EXPECT_EQ(writer.WriteData(8), lrBadReply);

    ScriptedLink odd(clock);
    WriterLink w2(st.link, st.image, odd, clock);
    odd.replyAfter(1, bytes({0x33}));
    EXPECT_EQ(w2.WriteData(8), lrBadReply);

    // A writer that keeps answering 0xB5 is sent count + 5 bytes, then the write counts as done.
    ScriptedLink eager(clock);
    WriterLink w3(st.link, st.image, eager, clock);
    for (int i = 1; i <= 20; ++i) eager.replyAfter(i, bytes({0xB5}));
    EXPECT_EQ(w3.WriteData(8), lrWriteDone);
    EXPECT_EQ(eager.written.size(), 13u);
}

TEST_F(ProtocolTest, WriteDataRefusesACountBeyondTheTransferArea) {
    EXPECT_EQ(writer.WriteData(32768), lrBadReply);
    EXPECT_TRUE(port.written.empty());
}

TEST_F(ProtocolTest, AStopRequestEndsEveryWaitWithinOneSlice) {
    // Silence: the stop comes during the wait for the reply.
    port.onWait = [&] { stop = true; };
    const int start = clock.clockTicks();
    EXPECT_EQ(writer.SendHeader(10), lrStopped);
    EXPECT_LT(ticksSince(start, clock.clockTicks()), 10);

    ScriptedLink noCts(clock);
    noCts.cts = false;
    WriterLink w(st.link, st.image, noCts, clock, &stop);
    EXPECT_EQ(w.Read7BitData(8), lrStopped);
    EXPECT_EQ(w.WriteData(8), lrStopped);
    EXPECT_EQ(w.ReadWriterID(15), lrStopped);
    EXPECT_EQ(w.Read8BitData(8), lrStopped);
    EXPECT_FALSE(w.DelayIn10ms(90));
}

TEST_F(ProtocolTest, StreamingBlocksWaitForCtsAndForAByte) {
    port.cts = false;
    EXPECT_EQ(writer.PacedSend(0x11, clock.clockTicks()), WriterLink::WaitResult::Timeout);
    port.cts = true;
    EXPECT_EQ(writer.PacedSend(0x11, clock.clockTicks()), WriterLink::WaitResult::Ok);
    const int start = clock.clockTicks();
    EXPECT_EQ(writer.WaitForByte(start, 250), WriterLink::WaitResult::Timeout);
    EXPECT_GT(ticksSince(start, clock.clockTicks()), 250);
    port.replyAfter(1, bytes({0x42}), 50);
    writer.WriteByte(0x01);
    EXPECT_EQ(writer.WaitForByte(clock.clockTicks()), WriterLink::WaitResult::Ok);
    uint8_t b = 0;
    EXPECT_TRUE(writer.ReadByte(b));
    EXPECT_EQ(b, 0x42);
    EXPECT_FALSE(writer.ReadByte(b));
}

}  // namespace
}  // namespace qzr
