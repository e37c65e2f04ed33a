#pragma once

namespace qzr {

struct MainState;

// "Clear OPTION": all four option bytes 0x7F, then UpdateOption.
void ClearOption(MainState& st);

// EditOPTIONClick after the dialog closed: when the editor changed the options, UpdateOption and the flag
// cleared.
void finishOptionEditor(MainState& st);

}  // namespace qzr
