// The lot and next-number rules, without a database.
#include <gtest/gtest.h>

#include <set>

#include "core/journal/Lot.h"
#include "core/journal/ProcessIdentity.h"

namespace qzr {
namespace {

SerialNumberState serialOf(int bytes, uint64_t value, SerialKind mode = SerialKind::Sequential,
                           uint32_t inc = 1) {
    SerialNumberState s;
    s.wordCount = bytes;
    s.mode = mode;
    s.increment = inc;
    s.startAddress = 0x10;
    setSerialValue(s, value);
    return s;
}

TEST(Lot, KnownByWhereTheNumberGoesAndHowItAdvancesNotByItsValue) {
    const SerialNumberState base = serialOf(2, 0x0100);
    const std::string key = serialLot("QZR-D12", base).key;
    EXPECT_EQ(serialLot("QZR-D12", serialOf(2, 0x7777)).key, key) << "the start value is not part of the lot";

    struct Change {
        const char* what;
        void (*apply)(SerialNumberState&);
    };
    const Change changes[] = {
        {"address", [](SerialNumberState& s) { s.startAddress = 0x11; }},
        {"bytes", [](SerialNumberState& s) { s.wordCount = 3; }},
        {"order", [](SerialNumberState& s) { s.byteOrder = SerialByteOrder::LsbFirst; }},
        {"target", [](SerialNumberState& s) { s.target = SerialTarget::Eeprom; }},
        {"mode", [](SerialNumberState& s) { s.mode = SerialKind::PseudoRandom; }},
        {"increment", [](SerialNumberState& s) { s.increment = 2; }},
    };
    std::set<std::string> keys{key, serialLot("QZR-D13", base).key};
    for (const Change& c : changes) {
        SerialNumberState s = base;
        c.apply(s);
        EXPECT_TRUE(keys.insert(serialLot("QZR-D12", s).key).second) << c.what;
    }
    // In pseudo-random mode the increment plays no part.
    SerialNumberState r1 = serialOf(2, 1, SerialKind::PseudoRandom, 1),
                      r2 = serialOf(2, 1, SerialKind::PseudoRandom, 9);
    EXPECT_EQ(serialLot("D", r1).key, serialLot("D", r2).key);
}

TEST(Lot, QtpListIsKnownByItsContent) {
    const std::string list = ":020100000531C7\r\n:020100000631C6\r\n:00000001FF";
    EXPECT_EQ(qtpLot(list).key, qtpLot(std::string(list)).key);
    EXPECT_NE(qtpLot(list).key, qtpLot(list + "\r\n").key);
    EXPECT_EQ(qtpLot(list).kind, LotKind::Qtp);
}

TEST(Lot, Sha256OfKnownTexts) {
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length needs a second padding block.
    EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256Hex(std::string(1000, 'a')).size(), 64u);
}

TEST(Lot, NextNumberFollowsTheSerialRules) {
    struct Case {
        Lot lot;
        uint64_t from;
        uint64_t next;
    };
    auto seq = [](int n, uint32_t inc) {
        return serialLot("D", serialOf(n, 0, SerialKind::Sequential, inc));
    };
    const Lot random1 = serialLot("D", serialOf(1, 0, SerialKind::PseudoRandom));
    const Case cases[] = {
        {seq(2, 3), 0x00FE, 0x0101}, {seq(2, 3), 0xFFFE, 0x0001}, {seq(1, 1), 0xFF, 0x00},
        {seq(8, 1), ~0ull, 0},       {random1, 0x00, 0x01},       {random1, 0x01, 0x03},
        {random1, 0x6F, 0xDE},       {qtpLot("x"), 4, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(nextInLot(c.lot, c.from), c.next) << c.lot.key << " from " << c.from;
}

TEST(Lot, SerialValueRoundTripsThroughTheBytes) {
    SerialNumberState s = serialOf(3, 0x010203);
    EXPECT_EQ(s.number[0], 0x03);
    EXPECT_EQ(s.number[2], 0x01);
    EXPECT_EQ(s.number[3], 0x00);
    EXPECT_EQ(serialValue(s), 0x010203u);
    EXPECT_EQ(lotNumberText(serialLot("D", s), 0x0106), "000106");
    EXPECT_EQ(lotNumberText(qtpLot(""), 0), "record 1");
}

TEST(Lot, ChooseNumberTakesTheCandidateOrContinuesPastWhatTheLotHolds) {
    const Lot lot = serialLot("D", serialOf(2, 0));
    const std::set<uint64_t> heldSet{0x100, 0x101, 0x102, 0x103, 0x104, 0x105, 0x107};
    auto held = [&](uint64_t n) { return heldSet.count(n) > 0; };
    struct Case {
        uint64_t candidate;
        std::optional<uint64_t> last;
        bool reuse;
        uint64_t number;
        bool moved;
    };
    const Case cases[] = {
        {0x0200, 0x105, false, 0x0200, false},  // a new start value beyond the lot
        {0x00FF, 0x105, false, 0x00FF, false},  // free below the lot
        {0x0100, 0x105, false, 0x0106, true},   // the project started again: continues
        {0x0103, 0x105, false, 0x0106, true},
        {0x0100, 0x106, false, 0x0108, true},  // 0107 is held too: skipped
        {0x0100, 0x105, true, 0x0100, false},  // the user chose to reuse
        {0x0104, std::nullopt, false, 0x0106, true},
    };
    for (const Case& c : cases) {
        const NumberChoice got = chooseNumber(lot, c.candidate, c.last, held, c.reuse, 100);
        EXPECT_EQ(got.number, c.number) << std::hex << c.candidate;
        EXPECT_EQ(got.moved, c.moved) << std::hex << c.candidate;
        EXPECT_FALSE(got.exhausted);
    }
    // Every number held: exhausted after the steps allowed, never an endless search.
    const NumberChoice full = chooseNumber(
        lot, 1, 1, [](uint64_t) { return true; }, false, 50);
    EXPECT_TRUE(full.exhausted);
}

TEST(Lot, ContinuesMessageNamesTheHeldRange) {
    const Lot lot = serialLot("D", serialOf(2, 0));
    EXPECT_EQ(continuesMessage(lot, 0x100, 0x105, 0x106),
              "Serial No. continues at 0106: 0100-0105 are in the journal");
    EXPECT_EQ(continuesMessage(lot, 0x105, 0x105, 0x106),
              "Serial No. continues at 0106: 0105 is in the journal");
    EXPECT_EQ(continuesMessage(qtpLot("q"), 0, 2, 3),
              "The QTP file continues at record 4: records 1-3 are in the journal");
}

TEST(ProcessIdentityTest, StaleOnlyWhenTheOwnerIsKnownToBeGone) {
    const ProcessIdentity me{"bench-1", 100, 5};
    const ProcessIdentity deadHere{"bench-1", 90, 4}, liveHere{"bench-1", 91, 4}, elsewhere{"bench-2", 90, 4};
    auto alive = [&](const ProcessIdentity& p) { return p == liveHere || p == me; };
    struct Case {
        ProcessIdentity owner;
        std::string ownerStation;
        bool stale;
    };
    const Case cases[] = {
        {deadHere, "A", true},  {deadHere, "B", true},    // gone, whatever its station
        {liveHere, "A", false}, {me, "A", false},         // never while it lives
        {elsewhere, "A", true}, {elsewhere, "B", false},  // this station started again / someone else's
    };
    for (const Case& c : cases)
        EXPECT_EQ(reservationStale(c.owner, c.ownerStation, me, "A", alive), c.stale)
            << c.owner.host << " " << c.owner.pid << " " << c.ownerStation;
}

TEST(ProcessIdentityTest, ThisProcessLivesAndAFinishedOneDoesNot) {
    const ProcessIdentity me = currentProcess();
    EXPECT_TRUE(processAlive(me));
    EXPECT_GT(me.startTime, 0);
    ProcessIdentity reused = me;
    reused.startTime = me.startTime + 1;  // the id now belongs to another program
    EXPECT_FALSE(processAlive(reused));
    EXPECT_FALSE(processAlive({me.host, 0, 0}));
}

}  // namespace
}  // namespace qzr
