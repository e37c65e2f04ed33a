#pragma once

#include <QString>

namespace qzr::gui {

// Object names of the main window's controls of the 13 option items: item 6 is the security item.
QString optionCaptionName(int k);
QString optionValueName(int k);

}  // namespace qzr::gui
