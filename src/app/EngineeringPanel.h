#pragma once

#include <functional>
#include <optional>
#include <string>

namespace qzr {

struct MainState;

// The hidden engineering panel: unlocked with an access code by a double-click on "Serial Port :", its
// three toggles and the two pulse-width fields.

// The access code; its last character is a blank.
inline constexpr const char* kAccessCode = "QPL5186 ";

// The double-click on "Serial Port :". A shown panel is hidden without asking. Otherwise `askPassword`
// shows the password dialog and gives its text (nullopt: closed without an answer); the text is upper-cased
// and kept in st.panel.passwordText, and the access code shows the panel. Anything else does nothing and
// says nothing. Result: whether the panel (and with it "Force Write") is shown now.
bool Label3DblClick(MainState& st, const std::function<std::optional<std::string>()>& askPassword);

// What a toggle button says: the action of its next click.
inline const char* toggleCaption(bool on) {
    return on ? "Disable" : "Enable";
}

// The toggles. "QTP Sim" does nothing while serial-number mode is off. Each returns the flag's new value.
bool QtpSimClick(MainState& st);
bool FlashPgmTestClick(MainState& st);
bool btShowTimeClick(MainState& st);

// The corrections made at every change of a pulse-width field: write pulse empty -> "5", 128 or more ->
// "127", 0 -> "1"; erase pulse empty -> "120", 256 or more -> "255", 0 -> "1". A text that is not a number
// stays as it is.
std::string correctPulseWidth(const std::string& text);
std::string correctEraseWidth(const std::string& text);

// A field changed: the corrected text becomes the panel's value and is returned (the field shows it).
std::string PulseWidthChange(MainState& st, const std::string& text);
std::string EraseWidthChange(MainState& st, const std::string& text);

}  // namespace qzr
