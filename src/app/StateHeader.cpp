#include "app/StateHeader.h"

#include <charconv>
#include <string>

#include "app/MainState.h"

namespace qzr {

namespace {

int panelNumber(const std::string& text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

HeaderSettings headerSettings(const MainState& st) {
    HeaderSettings s;
    s.bypassIcCheck = st.settings.bypassIcCheck;
    s.panelShown = st.panel.visible;
    s.pulseWidth = panelNumber(st.panel.pulseWidthText);
    s.eraseWidth = panelNumber(st.panel.eraseWidthText);
    return s;
}

void GetHeader(MainState& st, uint8_t area, uint8_t kind) {
    updateDeviceFields(st.device, st.deviceListText);
    putHeader(st.image, buildWriterHeader(st.device, st.optionBytes, headerSettings(st), area, kind));
}

void GetRomData(MainState& st) {
    GetRomData(st.device, st.image);
}

}  // namespace qzr
