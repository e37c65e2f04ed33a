#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qzr {

// Serial-number mode, the QTP file and the pass counter.
struct SerialNumberState {
    bool serialMode = false;
    uint32_t startAddress = 0;
    int wordCount = 1;
    std::array<uint8_t, 8> number{};
    uint32_t increment = 1;
    bool qtpFileOpen = false;
    std::string passCountText = "0";
};

}  // namespace qzr
