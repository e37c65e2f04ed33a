#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "core/common/HexRecord.h"

namespace {

TEST(HexRecord, DataRecordsAsEveryReaderExpectsThem) {
    struct Case {
        uint16_t address;
        std::vector<uint8_t> data;
        const char* text;
    };
    const Case cases[] = {
        {0x0030, {0x02, 0x33, 0x7A}, ":0300300002337A1E\r\n"},
        {0x0000, {}, ":0000000000\r\n"},
        {0x8200, {0xFF, 0x00}, ":02820000FF007D\r\n"},
        {0xFFFF, {0x01}, ":01FFFF000100\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qzr::hexRecord(c.address, c.data), c.text) << c.text;
        EXPECT_EQ(qzr::hexRecordChars(c.data.size()), std::string(c.text).size());
    }
}

}  // namespace
