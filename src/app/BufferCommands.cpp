#include "app/BufferCommands.h"

#include <algorithm>

#include "app/MainState.h"
#include "core/common/HexText.h"
#include "core/image/CellEdit.h"
#include "core/options/Options.h"

namespace qzr {

namespace {

// Runs the dialog's checks on OK; fills st.fill and returns true when they pass.
bool checkFillTexts(MainState& st, const FillDialogTexts& texts) {
    st.fill.fillStart = HexToInt(st.hexTextValid, texts.start);
    st.fill.fillEnd = HexToInt(st.hexTextValid, texts.end);
    st.fill.fillData = HexToInt(st.hexTextValid, texts.data);
    const char* problem = nullptr;
    if (st.fill.fillStart > st.fill.defaultEnd) {
        problem = "Start address is a invalid value!";
    } else if (st.fill.fillEnd > st.fill.defaultEnd) {
        problem = "End address is a invalid value!";
    } else if (st.fill.fillEnd < st.fill.fillStart) {
        problem = "Start address is a invalid value!";
    } else if (st.fill.fillData > st.fill.maxData) {
        problem = "Data is a invalid value!";
    }
    if (problem) {
        st.ui->error(problem);
        return false;
    }
    return true;
}

}  // namespace

void ClearBuffer(MainState& st) {
    const Word blank{0x7F, st.device.highByteMask};
    for (std::size_t n = 0; n < layout::kProgramWords; ++n) st.image.setProgramWord(n, blank);
    st.dataFileName.clear();
    st.dataFileDamaged = false;
    if (st.firstShowDone) st.views->recreateProgramWindow();
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    st.disassemblyOpen = false;
    st.views->closeDisassembly();
}

void ClearId(MainState& st) {
    auto id = st.image.idArea();
    std::fill(id.begin(), id.end(), 0x7F);
    st.views->recreateIdWindow();
}

void ClearEepromBuffer(MainState& st) {
    auto eeprom = st.image.eepromArea();
    std::fill(eeprom.begin(), eeprom.begin() + layout::kEepromClearBytes, 0);
    if (st.device.hasEeprom()) st.views->recreateEepromWindow(true);
    // The EEPROM bytes enter the "w/OPTIONs+EE:" checksum, which must not go on showing the old data.
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
}

FillDialogTexts fillDialogDefaults(MainState& st, bool eeprom) {
    if (eeprom) {
        st.fill.defaultEnd = static_cast<uint32_t>(std::max(st.device.eepromSize - 1, 0));
        st.fill.maxData = 0xFF;
    } else {
        st.fill.defaultEnd = st.device.romLastAddress;
        st.fill.maxData = 0x3FFF;
    }
    return FillDialogTexts{"0", hexText(st.fill.defaultEnd), hexText(st.fill.maxData)};
}

bool FillDataBuffer(MainState& st, const FillDialogTexts& texts) {
    fillDialogDefaults(st, false);
    const bool ok = checkFillTexts(st, texts);
    if (ok) {
        // The high half is held under the device's mask like every program word: on an 11-bit core the
        // default data 3FFF fills blank words (7FFH), as the chip will read them back.
        const Word w{static_cast<uint8_t>(st.fill.fillData & 0x7F),
                     static_cast<uint8_t>((st.fill.fillData >> 7) & st.device.highByteMask)};
        for (uint32_t a = st.fill.fillStart; a <= st.fill.fillEnd; ++a) st.image.setProgramWord(a, w);
    }
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    st.views->reloadProgramWindow();
    st.disassemblyOpen = false;
    st.views->closeDisassembly();
    return ok;
}

bool FillEepromBuffer(MainState& st, const FillDialogTexts& texts) {
    if (!st.device.hasEeprom()) return false;  // the command is disabled for such devices
    fillDialogDefaults(st, true);
    if (!checkFillTexts(st, texts)) return false;
    for (uint32_t a = st.fill.fillStart; a <= st.fill.fillEnd; ++a) {
        st.image.setEepromByte(a, static_cast<uint8_t>(st.fill.fillData & 0xFF));
    }
    st.views->recreateEepromWindow(true);
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    return true;
}

bool editProgramWord(MainState& st, std::size_t word, std::string_view cellText, uint32_t result) {
    bool written = false;
    if (result <= 0x3FFF && word < layout::kProgramWords && cellText == programCellText(st.image, word)) {
        written = st.image.setProgramWord(word, splitWord(result));
    }
    CalChecksum(st.options, st.optionBytes, st.device, st.image,
                *st.views);  // refreshes the checksum labels too
    return written;
}

bool editEepromByte(MainState& st, std::size_t index, std::string_view cellText, uint32_t result) {
    bool written = false;
    if (result < 256 && index < layout::kEepromBytes && cellText == eepromCellText(st.image, index)) {
        written = st.image.setEepromByte(index, static_cast<uint8_t>(result));
    }
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    return written;
}

}  // namespace qzr
