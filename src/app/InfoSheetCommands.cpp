#include "app/InfoSheetCommands.h"

#include <string>
#include <string_view>

#include "app/MainState.h"

namespace qzr {

namespace {

// The part of a path after its last folder separator ("\" or "/").
std::string baseName(std::string_view path) {
    const auto cut = path.find_last_of("\\/");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

}  // namespace

InfoSheet infoSheetFromMain(const MainState& st) {
    InfoSheet s;
    s.customerName = st.info.customerName;
    s.projectName = st.info.projectName;
    s.frequency = st.info.operatingFrequency;
    s.voltageLow = st.info.operatingVoltageLow;
    s.voltageHigh = st.info.operatingVoltageHigh;
    s.current = st.info.operatingCurrent;
    s.sleepCurrent = st.info.sleepCurrent;
    s.dataFileName = baseName(st.dataFileName);
    s.deviceName = st.deviceListText;
    s.partNo = st.deviceListText;
    s.memoryChecksum = st.options.memoryChecksumText;
    s.optionChecksum = st.options.optionChecksumText;
    s.optionChecksumCaption = st.options.optionChecksumCaption;
    s.optionValue = st.options.optionValueText;
    for (std::size_t k = 0; k < s.options.size(); ++k) {
        const OptionItemView& item = st.options.items[k];
        s.options[k] = InfoSheetOption{item.caption, item.valueText, item.captionVisible, item.valueEnabled};
    }
    return s;
}

void keepInfoSheetTexts(MainState& st, const InfoSheet& s) {
    st.info.customerName = s.customerName;
    st.info.projectName = s.projectName;
    st.info.operatingFrequency = s.frequency;
    st.info.operatingVoltageLow = s.voltageLow;
    st.info.operatingVoltageHigh = s.voltageHigh;
    st.info.operatingCurrent = s.current;
    st.info.sleepCurrent = s.sleepCurrent;
}

}  // namespace qzr
