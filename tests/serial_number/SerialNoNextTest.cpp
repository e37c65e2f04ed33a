#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/serial_number/SerialNumber.h"

namespace qzr {
namespace {

SerialNumberState numberOf(int n, uint64_t value, SerialKind mode, uint32_t increment = 1) {
    SerialNumberState s;
    s.wordCount = n;
    s.mode = mode;
    s.increment = increment;
    for (int k = 0; k < n; ++k)
        s.number[static_cast<std::size_t>(k)] = static_cast<uint8_t>(value >> (8 * k));
    return s;
}

uint64_t valueOf(const SerialNumberState& s) {
    uint64_t v = 0;
    for (int k = s.wordCount - 1; k >= 0; --k) v = (v << 8) | s.number[static_cast<std::size_t>(k)];
    return v;
}

TEST(SerialNoNext, SequentialCarriesAndWraps) {
    SerialNumberState s = numberOf(2, 0x00FE, SerialKind::Sequential, 3);
    SerialNoNext(s);
    EXPECT_EQ(valueOf(s), 0x0101u);
    SerialNoNext(s);
    EXPECT_EQ(valueOf(s), 0x0104u);

    s = numberOf(2, 0xFFFE, SerialKind::Sequential, 3);
    SerialNoNext(s);
    EXPECT_EQ(valueOf(s), 0x0001u);

    // A carry runs through every byte; bytes beyond n are never touched.
    s = numberOf(8, 0xFFFFFFFFFFFFFFFFull, SerialKind::Sequential, 1);
    SerialNoNext(s);
    EXPECT_EQ(valueOf(s), 0u);
    s = numberOf(3, 0x00FFFF, SerialKind::Sequential, 255);
    s.number[3] = 0xAA;
    SerialNoNext(s);
    EXPECT_EQ(valueOf(s), 0x0100FEu);
    EXPECT_EQ(s.number[3], 0xAA);
}

TEST(SerialNoNext, PseudoRandomOneByteFromZero) {
    SerialNumberState s = numberOf(1, 0x00, SerialKind::PseudoRandom);
    const std::vector<uint8_t> expected = {0x01, 0x03, 0x06, 0x0D, 0x1B, 0x37, 0x6F, 0xDE, 0xBD};
    for (uint8_t e : expected) {
        SerialNoNext(s);
        EXPECT_EQ(s.number[0], e);
    }
    for (int step = static_cast<int>(expected.size()); step < 255; ++step) {
        EXPECT_NE(s.number[0], 0x00) << "back at 00 after " << step << " steps";
        SerialNoNext(s);
    }
    EXPECT_EQ(s.number[0], 0x00);
}

// Every state but all ones is visited before the register repeats. The walk counts the steps until the
// register first returns to its start: a first return after P steps means the P states on the way all
// differ (a repeat among them would trap the walk in a cycle without its start), and P = 2^(8n) - 1 leaves
// out only the locked all-ones state. n = 3 takes 16.7 million steps, so the walk uses the packed register
// that SerialNoNext steps (held to SerialNoNext by the next test).
TEST(SerialNoNext, PseudoRandomVisitsEveryStateForOneToThreeBytes) {
    for (int n = 1; n <= 3; ++n) {
        const uint64_t states = (1ull << (8 * n)) - 1;
        for (const uint64_t start : {uint64_t{0}, uint64_t{0x5A5A5A} & states}) {
            uint64_t v = pseudoRandomStep(start, n);
            uint64_t steps = 1;
            while (v != start && steps <= states) {
                v = pseudoRandomStep(v, n);
                ++steps;
            }
            EXPECT_EQ(steps, states) << "n = " << n << ", start " << start;
        }
    }
}

TEST(SerialNoNext, SerialNoNextStepsThePackedRegister) {
    for (int n = 1; n <= 8; ++n) {
        SerialNumberState s = numberOf(n, 0x8877665544332211ull, SerialKind::PseudoRandom);
        uint64_t v = valueOf(s);
        for (int step = 0; step < 1000; ++step) {
            SerialNoNext(s);
            v = pseudoRandomStep(v, n);
            ASSERT_EQ(valueOf(s), v) << "n = " << n << ", step " << step;
        }
    }
}

TEST(SerialNoNext, AllOnesLocksEveryLength) {
    for (int n = 1; n <= 8; ++n) {
        SerialNumberState s = numberOf(n, ~0ull, SerialKind::PseudoRandom);
        SerialNoNext(s);
        EXPECT_EQ(valueOf(s), n == 8 ? ~0ull : (1ull << (8 * n)) - 1) << "n = " << n;
    }
}

// The register as written out bit by bit and byte by byte, to hold the packed implementation to.
void referenceStep(SerialNumberState& s, const std::vector<int>& taps) {
    const int n = s.wordCount;
    int parity = 0;
    for (int t : taps) parity ^= (s.number[static_cast<std::size_t>(t / 8)] >> (t % 8)) & 1;
    const int newBit = parity ^ 1;
    for (int k = n - 1; k >= 1; --k) {
        s.number[static_cast<std::size_t>(k)] =
            static_cast<uint8_t>(((s.number[static_cast<std::size_t>(k)] << 1) & 0xFF) |
                                 (s.number[static_cast<std::size_t>(k - 1)] >> 7));
    }
    s.number[0] = static_cast<uint8_t>(((s.number[0] << 1) & 0xFF) | newBit);
}

TEST(SerialNoNext, PseudoRandomMatchesTheTapTableForEveryLength) {
    const std::vector<std::vector<int>> taps = {
        {7, 3, 2, 1},  {15, 4, 2, 1},       {23, 3, 2, 0}, {31, 6, 4, 2, 1, 0},
        {39, 4, 3, 2}, {47, 6, 4, 3, 1, 0}, {55, 6, 3, 1}, {63, 3, 2, 0},
    };
    for (int n = 1; n <= 8; ++n) {
        SerialNumberState fast = numberOf(n, 0x0123456789ABCDEFull, SerialKind::PseudoRandom);
        SerialNumberState slow = fast;
        for (int step = 0; step < 5000; ++step) {
            SerialNoNext(fast);
            referenceStep(slow, taps[static_cast<std::size_t>(n - 1)]);
            ASSERT_EQ(fast.number, slow.number) << "n = " << n << ", step " << step;
        }
    }
}

TEST(SerialNoNext, ByteCountOutsideItsRangeIsClamped) {
    SerialNumberState s = numberOf(1, 0xFF, SerialKind::Sequential);
    s.wordCount = 0;  // as a file may leave it
    SerialNoNext(s);
    EXPECT_EQ(s.number[0], 0x00);
    EXPECT_EQ(s.number[1], 0x00);
    s.wordCount = 99;
    s.number.fill(0xFF);
    SerialNoNext(s);
    for (uint8_t b : s.number) EXPECT_EQ(b, 0x00);
}

}  // namespace
}  // namespace qzr
