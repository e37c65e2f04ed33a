#pragma once

namespace qzr {

// What a core command asks the shell to refresh. Every hook does nothing by default; the GUI overrides what
// it shows, the command-line program shows nothing.
class ViewHooks {
  public:
    virtual ~ViewHooks() = default;
    // The ID and checksum window is closed (if open) and created again.
    virtual void recreateIdWindow() {}
    // The program memory view is closed (if open) and created again.
    virtual void recreateProgramWindow() {}
    // The program memory view, if open, reloads its cells.
    virtual void reloadProgramWindow() {}
    // The EEPROM view, if open, reloads its cells.
    virtual void reloadEepromWindow() {}
    // The EEPROM view is destroyed and, when `exists`, created again.
    virtual void recreateEepromWindow(bool /*exists*/) {}
    // An open disassembly window is closed and "Save Disassmble" disabled.
    virtual void closeDisassembly() {}
    // The option display (option value labels, option items, checksum captions) is refreshed.
    virtual void refreshOptionDisplay() {}
    // The checksum labels are refreshed.
    virtual void refreshChecksums() {}
    // The ID texts changed: the main window's "ID :" and "Checksum in IC:" show them again.
    virtual void refreshIdDisplay() {}
    // The serial-number, QTP and pass-count indicators are refreshed from the state.
    virtual void refreshSerialIndicators() {}
    // The single-area commands "Program ID and Checksum", "Program Memory" and "Program OPTION": their
    // toolbar buttons, and their menu items too when `menuItemsToo`, are enabled or disabled.
    virtual void enableSingleAreaCommands(bool /*enabled*/, bool /*menuItemsToo*/) {}
    // The commands that depend on the device (erase for flash, the four EEPROM commands) are enabled or
    // disabled from the device fields.
    virtual void refreshDeviceCommands() {}
    // The device, port and handshake choices changed in the state (a configuration file was loaded, the
    // writer check switched the handshake off): the lists show them again.
    virtual void refreshSelections() {}
};

}  // namespace qzr
