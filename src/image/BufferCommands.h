#pragma once

#include <string>

namespace qzr {

struct MainState;

// "Clear Buffer": every program word blank, data-file name emptied, views rebuilt, checksum recomputed.
void ClearBuffer(MainState& st);
// "Clear ID": all 32 ID bytes 0x7F (second bytes unmasked).
void ClearId(MainState& st);
// "Clear EEPROM Buffer": the first 598 EEPROM bytes 0.
void ClearEepromBuffer(MainState& st);

// The three texts of the Fill Buffer dialog as the user left them.
struct FillDialogTexts {
    std::string start = "0";
    std::string end;
    std::string data;
};

// Texts the Fill Buffer dialog starts with for the program memory ("Fill Data Buffer") or the EEPROM.
FillDialogTexts fillDialogDefaults(MainState& st, bool eeprom);

// "Fill Data Buffer" / "Fill EEPROM buffer" after the dialog ended with OK: checks the texts in order (the
// first failure is shown through ui->error and nothing is filled), fills and refreshes. Returns true when
// the range was filled.
bool FillDataBuffer(MainState& st, const FillDialogTexts& texts);
bool FillEepromBuffer(MainState& st, const FillDialogTexts& texts);

}  // namespace qzr
