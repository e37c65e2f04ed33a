#pragma once

namespace qzr {

struct MainState;

// Normalises the option bytes for the device and rebuilds the option display state (option items,
// optionStatus, the option value text); asks the views to refresh the option display.
void UpdateOption(MainState& st);

// Recomputes the checksums from the program words and the option bytes.
void CalChecksum(MainState& st);

}  // namespace qzr
