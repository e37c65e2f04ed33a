#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/journal/ProductionJournal.h"

namespace qzr {

struct MainState;

// The production journal as the program uses it (ProductionJournal.h): which journal, which lot, which
// number, and what the user is told.

// The journal in use: the one the user named, else qzr-journal.db in the folder of the configuration file
// in use, else in the start-up folder.
std::string journalLocation(const MainState& st);

// Whether writer runs are recorded in the journal: the program keeps one, and serial-number mode is on, a
// QTP file is open or the user named a journal.
bool journalWanted(const MainState& st);

// This station's name in the journal: the one set, else the host name.
std::string stationName(const MainState& st);

// Opens the journal in use (again when its location changed since). Result: empty, or the reason why it
// cannot be opened.
std::string openJournal(MainState& st);

// Once per opening: reservations of processes that are gone become interrupted; the user is told once
// ("Serial No. 0104 was being programmed when the program stopped; it is voided"), and each such chip's line
// (Result "interrupted") is added to the production log it was meant for.
void recoverJournal(MainState& st);

// The lot of the number the next chip takes: the QTP list while one is open, else the serial-number
// settings; nullopt while serial-number mode is off.
std::optional<Lot> currentLot(MainState& st);
// The number the project holds now within that lot: the serial number, or the index of the QTP record
// read last.
uint64_t currentNumber(const MainState& st);
// Makes `number` the project's number: the serial bytes, or the QTP record of that index read; then placed
// into the image (SerialNo2Memory). false when the QTP list has no such record or the number cannot be
// placed.
bool placeNumber(MainState& st, const Lot& lot, uint64_t number);

// Before a writer operation starts (the user-interface thread): opens the journal when writer runs are
// recorded, voids stale reservations, and moves a number that the lot already holds past the lot's numbers
// ("Serial No. continues at 0106: 0100-0105 are in the journal"), unless the user chose to reuse numbers.
// false when the journal cannot be opened or read (the reason shown as an error): the operation does not
// run.
bool prepareJournal(MainState& st);

// A start value was just set (the dialog's OK). Where the window asks (JournalState::askReuse) and the lot
// holds the value: "Serial No. 0100-0105 are in the journal. Use them again?" Yes lets the held numbers be
// used again (until the next start value); No moves the value past them ("Serial No. continues at ...").
// Elsewhere the reuse choice is left as it is.
void startValueSet(MainState& st);

// The counts of the current lot for the window (passed / failed / interrupted); nullopt without a journal in
// use or a lot.
std::optional<LotCounts> currentLotCounts(MainState& st);

// The same as the window shows it beside the serial number: "passed / failed / interrupted" ("12 / 1 / 0"),
// then, when several stations share the lot, a line per station ("line-2: 6 / 0 / 0"); empty without a
// journal in use or a lot.
std::string lotCountsText(MainState& st);

// At the window's start: when writer runs are recorded or the project's journal exists, it is opened and
// reservations that a stopped program left are voided (the user is told once, recoverJournal).
void journalAtStart(MainState& st);

// The chips of the journal in use, oldest first (none when its file is not there). Result: empty, or the
// reason why the journal cannot be read.
std::string journalChips(MainState& st, std::vector<ChipRecord>& chips);

// The journal in use as CSV, oldest chip first: the production log's columns, then Station, Lot and Outcome.
// Result: empty, or the reason why the journal cannot be read.
std::string journalCsv(MainState& st, std::string& csv);

}  // namespace qzr
