#include "app/EngineeringPanel.h"

#include <algorithm>
#include <cctype>

#include "app/MainState.h"

namespace qzr {

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// empty: the text for an empty field; a value at or above `limit` becomes limit - 1; 0 becomes 1.
std::string correctWidth(const std::string& text, const char* empty, int limit) {
    if (text.empty()) return empty;
    if (!std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) return text;
    const std::size_t first = text.find_first_not_of('0');
    if (first == std::string::npos) return "1";
    // More digits than the limit has is at or above it (and no overflow).
    if (text.size() - first > 4 || std::stoi(text.substr(first)) >= limit) return std::to_string(limit - 1);
    return text;
}

}  // namespace

bool Label3DblClick(MainState& st, const std::function<std::optional<std::string>()>& askPassword) {
    if (st.panel.visible) {
        st.panel.visible = false;
        return false;
    }
    const std::optional<std::string> text = askPassword();
    if (!text) return false;
    st.panel.passwordText = upper(*text);
    st.panel.visible = st.panel.passwordText == kAccessCode;
    return st.panel.visible;
}

bool QtpSimClick(MainState& st) {
    if (st.serial.serialMode) st.operation.qtpSimulation = !st.operation.qtpSimulation;
    return st.operation.qtpSimulation;
}

bool FlashPgmTestClick(MainState& st) {
    st.operation.flashTestRepeat = !st.operation.flashTestRepeat;
    return st.operation.flashTestRepeat;
}

bool btShowTimeClick(MainState& st) {
    st.operation.showProgramTime = !st.operation.showProgramTime;
    return st.operation.showProgramTime;
}

std::string correctPulseWidth(const std::string& text) {
    return correctWidth(text, "5", 128);
}

std::string correctEraseWidth(const std::string& text) {
    return correctWidth(text, "120", 256);
}

std::string PulseWidthChange(MainState& st, const std::string& text) {
    st.panel.pulseWidthText = correctPulseWidth(text);
    return st.panel.pulseWidthText;
}

std::string EraseWidthChange(MainState& st, const std::string& text) {
    st.panel.eraseWidthText = correctEraseWidth(text);
    return st.panel.eraseWidthText;
}

}  // namespace qzr
