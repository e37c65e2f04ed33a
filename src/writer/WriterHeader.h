#pragma once

#include <cstdint>

namespace qzr {

struct MainState;

// Looks the device of the device list up again, then fills the 10-byte writer header at the start of the
// image's command header area.
void GetHeader(MainState& st, uint8_t area, uint8_t kind);

// Copies the program words into the transfer area (core type 3: high bytes ORed with 0x70).
void GetRomData(MainState& st);

}  // namespace qzr
