#include "core/operations/OperationView.h"

namespace qzr {

const char* viewLineName(ViewLine line) {
    switch (line) {
        case ViewLine::Title:
            return "stTitle";
        case ViewLine::Erase:
            return "lbEraseMsg";
        case ViewLine::BlankCheck:
            return "lbBlankCheckMsg";
        case ViewLine::Id:
            return "lbIDMsg";
        case ViewLine::Data:
            return "lbDataMsg";
        case ViewLine::Eeprom:
            return "lbEEMsg";
        case ViewLine::Option:
            return "lbOptionMsg";
        case ViewLine::Qtp:
            return "lbQTPMsg";
        case ViewLine::TotalTime:
            return "lbTotalTime";
    }
    return "";
}

std::string displayText(const std::string& stored) {
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        out += stored[i];
        if (stored[i] == '&' && i + 1 < stored.size() && stored[i + 1] == '&') ++i;
    }
    return out;
}

std::string storedText(const std::string& shown) {
    std::string out;
    for (char c : shown) {
        out += c;
        if (c == '&') out += '&';
    }
    return out;
}

ProgressDialogModel::ProgressDialogModel() {
    line(ViewLine::Title) = {"Auto Program", false, true};
    line(ViewLine::BlankCheck).visible = true;
    line(ViewLine::TotalTime).visible = true;
}

void resetProgressLines(OperationView& view) {
    view.setContinueEnabled(false);
    view.setExitEnabled(false);
    for (ViewLine l : {ViewLine::Erase, ViewLine::BlankCheck, ViewLine::Data, ViewLine::Id, ViewLine::Option,
                       ViewLine::Eeprom}) {
        view.setVisible(l, false);
        view.setRed(l, false);
    }
}

}  // namespace qzr
