#pragma once

namespace qzr {

// The settings of the Configuration dialog.
struct Settings {
    bool keepOptions = false;         // "Keep Options while new program data are loaded"
    bool programEepromInAuto = true;  // "Program EEPROM in Auto program mode"
    bool bypassIcCheck = false;       // "Bypass IC check"
    bool saveEepromWithData = false;
};

}  // namespace qzr
