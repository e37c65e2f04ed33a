#pragma once

#include <string>

namespace qzr {

struct DeviceFields;
struct LinkState;

// The port entry "virtual:new-chip" (any case) is the virtual writer with an operator at the socket: at the
// start of every writer operation a fresh blank chip of the selected device sits in the socket, as when
// chips are swapped between runs of a production line. The plain "virtual" keeps its one chip.
inline constexpr const char* kFreshChipPortEntry = "virtual:new-chip";
bool isFreshChipPortEntry(const std::string& entry);

// Before a run: puts a fresh chip of `device` in when the program's port is the virtual writer opened for
// "virtual:new-chip" (the entry itself, or a ComN that resolves to it); otherwise nothing. With the
// environment variable QZR_CHIP_TRAY naming a folder, the chip taken out is kept there as a file (tests read
// the chips of a production run back from it).
void insertFreshChipForRun(LinkState& link, const DeviceFields& device);

}  // namespace qzr
