#pragma once

#include <cstdint>

#include "core/writer/WriterHeader.h"

namespace qzr {

struct MainState;

// The writer header from the working state, for the code that holds the whole state (the operation
// engine, the Read IC command, tests).

// What the headers take from the state: the bypass setting and the engineering panel's widths (a field is
// read as a decimal number up to its first other character).
HeaderSettings headerSettings(const MainState& st);

// Looks the device of the device list up again, then puts its header into the image's command header area.
void GetHeader(MainState& st, uint8_t area, uint8_t kind);

// Copies the program words of the state's device into the transfer area.
void GetRomData(MainState& st);

}  // namespace qzr
