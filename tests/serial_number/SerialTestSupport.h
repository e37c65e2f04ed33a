#pragma once

#include <cstdint>
#include <memory>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "support/RecordingUi.h"

namespace qzr::test {

// A project on QZR-D01 (2048 program words, 256 EEPROM bytes) whose messages are recorded.
struct SerialFixtureState {
    SerialFixtureState() {
        selectDevice(st, "QZR-D01");
        st.ui = &ui;
    }
    // Program words [first, first + count) become RTWI words 0x3100.
    void putRtwi(uint32_t first, uint32_t count) {
        for (uint32_t a = first; a < first + count; ++a) st.image.setProgramWord(a, splitWord(0x3100));
    }
    uint16_t word(uint32_t address) const { return wordValue(st.image.programWord(address)); }

    RecordingUi ui;
    MainState st;
};

}  // namespace qzr::test
