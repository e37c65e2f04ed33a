#include "image/HexText.h"

#include "app/MainState.h"

namespace qzr {

HexParse parseHex(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else {
            return HexParse{0, false};
        }
        value = value * 16 + digit;  // wraps like the 32-bit original on over-long texts
    }
    return HexParse{value, true};
}

uint32_t HexToInt(MainState& st, std::string_view text) {
    const HexParse p = parseHex(text);
    st.hexTextValid = p.valid;
    return p.value;
}

}  // namespace qzr
