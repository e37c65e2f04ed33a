#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// A double-click edit in the program memory view: `cellText` is what the view shows for `word`, `result`
// what the word editor gave. A result above 3FFFH, a word outside the program area or a cell that no
// longer shows the word's current value (a stale view) leaves the image alone. The checksums are
// recomputed in every case. True when the word was written and the cell is to show `result` in 4 digits.
bool editProgramWord(MainState& st, std::size_t word, std::string_view cellText, uint32_t result);

// The same for the EEPROM view: a result of 256 or more, an index outside the EEPROM area or a stale cell
// change nothing; the checksums (which count the EEPROM of a device that has one) are recomputed in every
// case. True when the byte was written and the cell is to show `result` in 2 digits.
bool editEepromByte(MainState& st, std::size_t index, std::string_view cellText, uint32_t result);

}  // namespace qzr
