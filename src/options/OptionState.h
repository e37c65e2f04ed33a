#pragma once

#include <cstdint>
#include <string>

namespace qzr {

// Option display state and checksums.
struct OptionState {
    // bit 0: some option item is blank; bit 1: some option item is in error.
    uint8_t optionStatus = 0;
};

}  // namespace qzr
