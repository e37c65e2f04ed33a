#pragma once

#include "core/info_sheet/InfoSheet.h"

namespace qzr {

struct MainState;

// FormShow: what the sheet takes from the main window (the seven kept texts included); part number = the
// device name, code number empty, serial mode "Disable".
InfoSheet infoSheetFromMain(const MainState& st);

// "Exit" (and the end of "Save && Print"): the seven kept texts back into the main window's state.
void keepInfoSheetTexts(MainState& st, const InfoSheet& sheet);

}  // namespace qzr
