#pragma once

#include <cstdint>
#include <string_view>

namespace qzr {

struct MainState;

struct HexParse {
    uint32_t value = 0;  // 0 when the text was not valid
    bool valid = false;
};

// Parses a hexadecimal text (any case; an empty text is a valid 0). Any character other than 0-9, A-F and
// a-f makes the text invalid and the result 0.
HexParse parseHex(std::string_view text);

// The same, leaving the validity in st.hexTextValid.
uint32_t HexToInt(MainState& st, std::string_view text);

}  // namespace qzr
