#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/common/UserInterface.h"
#include "core/common/ViewHooks.h"
#include "core/config/Settings.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"
#include "core/info_sheet/InfoSheetTexts.h"
#include "core/journal/JournalState.h"
#include "core/operations/OperationState.h"
#include "core/options/OptionState.h"
#include "core/serial_number/SerialNumberState.h"
#include "core/writer/LinkState.h"

namespace qzr {

inline constexpr const char* kVersionText = "2.77";

// The hidden engineering panel.
struct EngineeringPanel {
    bool visible = false;
    std::string pulseWidthText = "6";    // "Write pulse width:" in units of 0.2 ms
    std::string eraseWidthText = "180";  // "Erase pulse width:" in units of 0.1 ms
    std::string passwordText;            // last entry of the password dialog, upper-cased
};

// Parameters of the Fill Buffer dialog.
struct FillParameters {
    uint32_t fillStart = 0;
    uint32_t fillEnd = 0;
    uint32_t fillData = 0;
    uint32_t defaultEnd = 0;
    uint32_t maxData = 0;
};

// The working state of the program: one owner, the main window (or the command-line program, or a test).
// Subsystems keep their fields in their own structs, grouped here.
struct MainState {
    MainState();

    // The device list's current text; every writer exchange looks the device up by it again.
    std::string deviceListText;
    DeviceFields device;

    std::array<uint8_t, 4> optionBytes{0x7F, 0x7F, 0x7F, 0x7F};
    MemoryImage image;

    // The seven state bytes after the image.
    bool icReadDone = false;
    bool idWindowOpen = false;
    bool programWindowOpen = false;
    bool optionsChanged = false;
    bool disassemblyOpen = false;
    bool hexTextValid = true;  // result flag of HexToInt
    bool eepromWindowOpen = false;

    OptionState options;
    OperationState operation;
    Settings settings;
    LinkState link;
    SerialNumberState serial;
    JournalState journal;  // the production journal
    EngineeringPanel panel;
    FillParameters fill;

    // Files.
    std::string dataFileName;      // shown as the program-memory window's title
    std::string startupDirectory;  // current directory when the state was created
    std::string configPath;        // configuration file in use
    // The data in the image came from a file whose reading reported an error (a damaged HEX file), and
    // whether the user has agreed to program them all the same (asked once per such load).
    bool dataFileDamaged = false;
    bool damagedDataAccepted = false;
    bool firstShowDone = false;

    // Customer information sheet texts kept between openings of the sheet.
    InfoSheetTexts info;

    // The shell's seams; never null (a silent default until the front end sets its own).
    UserInterface* ui;
    ViewHooks* views;
};

}  // namespace qzr
