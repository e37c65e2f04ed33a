#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "ImageTestSupport.h"
#include "core/image/HexReader.h"

namespace qzr {
namespace {

// A well-formed data record for the tests' inputs.
std::string record(uint32_t address, const std::vector<uint8_t>& data, uint8_t type = 0) {
    char buf[16];
    uint32_t sum = static_cast<uint32_t>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    std::snprintf(buf, sizeof buf, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address, type);
    std::string r = buf;
    for (uint8_t b : data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        r += buf;
        sum += b;
    }
    std::snprintf(buf, sizeof buf, "%02X", (256 - sum % 256) % 256);
    return r + buf + "\r\n";
}
const std::string kEnd = ":00000001FF\r\n";

struct HexReader : test::ImageFixture {
    HexReader() { device("QZR-D10"); }
    int read(const std::string& text, HexLimits limits = kQzrHexLimits) {
        return HexToObj(st.device, *st.ui, st.image, text, limits).highest;
    }
    bool readWithoutError(const std::string& text) {
        return HexToObj(st.device, *st.ui, st.image, text, kQzrHexLimits).withoutError;
    }
    uint8_t programByte(std::size_t a) const { return st.image.programArea()[a]; }
};

TEST_F(HexReader, StoresBytesAsTheFileHoldsThemWithHighBytesMasked) {
    EXPECT_EQ(read(":0400000001020304F2\r\n" + record(4, {0xFF, 0xFF, 0x80, 0xC1}) + kEnd), 7);
    EXPECT_TRUE(ui.log.empty());
    const std::vector<uint8_t> expect{0x01, 0x02, 0x03, 0x04, 0xFF, 0x3F, 0x80, 0x01};
    EXPECT_TRUE(std::equal(expect.begin(), expect.end(), st.image.all().begin() + 48));
    EXPECT_EQ(programByte(8), 0xFF);  // never written
    EXPECT_EQ(programByte(layout::kProgramBytes - 1), 0xFF);

    device("QZR-D59");  // core type 3: high bytes keep 3 bits
    read(record(0, {0xFF, 0xFF}) + kEnd);
    EXPECT_EQ(programByte(1), 0x07);
}

TEST_F(HexReader, PreparesProgramAndEepromButNotTheIdArea) {
    st.image.setIdWord(0, Word{0x12, 0x34});
    st.image.setProgramWord(100, Word{0x12, 0x34});
    st.image.setEepromByte(0, 0x55);
    st.image.setEepromByte(597, 0x55);
    st.image.setEepromByte(598, 0x66);
    EXPECT_EQ(read(kEnd), 0);
    EXPECT_EQ(st.image.idWord(0), (Word{0x12, 0x34}));
    EXPECT_EQ(st.image.programWord(100), (Word{0xFF, 0xFF}));
    EXPECT_EQ(st.image.eepromByte(0), 0);
    EXPECT_EQ(st.image.eepromByte(597), 0);
    EXPECT_EQ(st.image.eepromByte(598), 0x66);
}

TEST_F(HexReader, AddressLimitsOfTheTwoKinds) {
    // .hex: a configuration word at 400EH is not stored but counts as the highest address.
    EXPECT_EQ(read(record(0, {1, 2}) + record(0x400E, {0x34, 0x12}) + kEnd, kPicHexLimits), 0x400F);
    EXPECT_EQ(programByte(0), 1);
    EXPECT_TRUE(std::all_of(st.image.programArea().begin() + 2, st.image.programArea().end(),
                            [](uint8_t b) { return b == 0xFF; }));
    // EEPROM: even addresses only, from the EEPROM start.
    read(record(0x4200, {0x55, 0xAA, 0x66}) + kEnd, kPicHexLimits);
    EXPECT_EQ(st.image.eepromByte(0), 0x55);
    EXPECT_EQ(st.image.eepromByte(1), 0x66);
    EXPECT_EQ(st.image.eepromByte(2), 0);
    // .mhx: program words up to 3FFFH, EEPROM at 8200H; the result is capped at 8000H.
    EXPECT_EQ(read(record(0x7FFE, {0x11, 0x22}) + record(0x8100, {1}) + record(0x8202, {0x77, 0}) + kEnd),
              0x8000);
    EXPECT_EQ(programByte(0x7FFE), 0x11);
    EXPECT_EQ(st.image.eepromByte(1), 0x77);
}

TEST_F(HexReader, ReportsOnlyTheLastErrorWithItsRecordNumber) {
    std::string text;
    for (uint32_t r = 1; r <= 8; ++r) text += record(2 * r, {static_cast<uint8_t>(r), 0});
    // Record 3: wrong checksum. Record 7: a bad data character; its checksum fits the 0 read for it.
    text.replace(text.find(":02000600"), 15, ":0200060003009F");
    text.replace(text.find(":02000E00"), 15, ":02000E00X700F0");
    EXPECT_EQ(read(text + kEnd), 17);
    EXPECT_EQ(ui.log, (std::vector<std::string>{"Data error at line 7 !"}));
    EXPECT_EQ(programByte(6), 3);  // both records were stored
    EXPECT_EQ(programByte(14), 0);

    ui.log.clear();
    read(record(0, {1}) + "\r\n\r\nnoise\r\n" + record(2, {1}) + ":0100040001FF\r\n" + kEnd);
    EXPECT_EQ(ui.log, (std::vector<std::string>{"Checksum error at line 3 !"}));  // blank lines do not count
}

TEST_F(HexReader, MalformedFieldsGiveTheirMessages) {
    read(":0100G00001FE\r\n" + kEnd);
    EXPECT_EQ(ui.log.back(), "Address error at line 1 !");
    // An unparsable byte count ends the reading with its message; the next record is not read.
    EXPECT_EQ(read(record(0, {1, 2}) + ":ZZ000000\r\n" + record(0x10, {1, 2})), 1);
    EXPECT_EQ(ui.log.back(), "Byte No. error at line 2 !");
    EXPECT_EQ(programByte(0x10), 0xFF);
    // A checksum that is not hexadecimal is a checksum error.
    read(":0100000001ZZ\r\n" + kEnd);
    EXPECT_EQ(ui.log.back(), "Checksum error at line 1 !");
    // A record cut short: the missing characters read as 0 and the checksum does not match.
    ui.log.clear();
    EXPECT_EQ(read(":10001000AB"), 0x1F);
    EXPECT_EQ(programByte(0x10), 0xAB);
    EXPECT_EQ(programByte(0x11), 0);
    EXPECT_EQ(ui.log, (std::vector<std::string>{"Checksum error at line 1 !"}));
}

TEST_F(HexReader, ReportsWhetherTheTextWasReadWithoutError) {
    const struct {
        std::string text;
        bool clean;
        std::string message;
    } cases[] = {
        {record(0, {1, 2}) + kEnd, true, ""},
        {record(0, {1, 2}), true, ""},  // no end record
        {"", true, ""},
        {":0400000001020304F3\r\n" + kEnd, false, "Checksum error at line 1 !"},
        // Cut short: the checksum field is missing, even where 00 would have matched the sum.
        {":0100FF00\r\n" + kEnd, false, "Checksum error at line 1 !"},
        {":0100FF0000\r\n" + kEnd, false, "Checksum error at line 1 !"},
        {record(0, {1}) + ":02000000AB", false, "Checksum error at line 2 !"},
        {record(0, {1}) + ":0200", false, "Checksum error at line 2 !"},
        {":0", false, "Byte No. error at line 1 !"},
        {":\r\n" + record(0, {1}), false, "Byte No. error at line 1 !"},
        {":0100000001FE\r\n:01000000XXFF\r\n" + kEnd, false, "Data error at line 2 !"},
    };
    for (const auto& c : cases) {
        ui.log.clear();
        EXPECT_EQ(readWithoutError(c.text), c.clean) << c.text;
        EXPECT_EQ(ui.log,
                  c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message})
            << c.text;
    }
}

TEST_F(HexReader, TextWithoutRecordsLoadsNothing) {
    EXPECT_EQ(read(""), 0);
    EXPECT_EQ(read("no records here\r\n"), 0);
    EXPECT_TRUE(ui.log.empty());
    EXPECT_TRUE(std::all_of(st.image.programArea().begin(), st.image.programArea().end(),
                            [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(HexReader, LowerCaseAndALastLineWithoutLineEnd) {
    EXPECT_EQ(read(":02000000ab0c47"), 1);
    EXPECT_TRUE(ui.log.empty());
    EXPECT_EQ(programByte(0), 0xAB);
    EXPECT_EQ(programByte(1), 0x0C);
}

TEST_F(HexReader, NoWriteLeavesTheProgramAndEepromAreas) {
    // Bytes on every address a record can name, and binary garbage: everything outside the program and
    // EEPROM areas stays as it was.
    auto all = st.image.all();
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i * 7);
    const MemoryImage before = st.image;
    std::string text;
    for (uint32_t a = 0; a < 0x10000; a += 0xF0) text += record(a, std::vector<uint8_t>(255, 0x5A), 4);
    for (int i = 0; i < 4096; ++i) text += static_cast<char>((i * 131) & 0xFF);
    for (const HexLimits limits : {kPicHexLimits, kQzrHexLimits}) {
        read(text, limits);
        for (std::size_t i = 0; i < layout::kImageSize; ++i) {
            const bool program =
                i >= layout::kProgramOffset && i < layout::kProgramOffset + layout::kProgramBytes;
            const bool eeprom = i >= layout::kEepromOffset;
            if (!program && !eeprom) {
                ASSERT_EQ(all[i], before.all()[i]) << "offset " << i;
            }
        }
    }
    // Data with a type-04 record is stored like any other.
    EXPECT_EQ(st.image.programArea()[0], 0x5A);
    EXPECT_EQ(st.image.eepromByte(layout::kEepromBytes - 1), 0x5A);
}

}  // namespace
}  // namespace qzr
