#pragma once

#include <memory>
#include <string>

#include "core/journal/ProductionJournal.h"

namespace qzr {

// The production journal of the program: the user's choices and the journal in use.
struct JournalState {
    // Whether this program keeps a journal at all (the window and the command line do; a state made for a
    // test does not unless it says so).
    bool enabled = false;
    // The journal the user named (settings dialog, --journal); empty: qzr-journal.db beside the project's
    // configuration file. A named journal records every chip, not only numbered ones.
    std::string path;
    std::string station;       // this station's name; empty: the host name
    bool voidFailed = false;   // a failed chip's number is not used again
    bool reuseSerial = false;  // the user chose to use numbers the lot holds (--reuse-serial, the dialog)
    // The window asks whether to reuse held numbers when a start value is set; the command line never asks
    // (only --reuse-serial reuses).
    bool askReuse = false;

    // The journal in use and what it was opened by; stale reservations are looked for once per opening.
    std::shared_ptr<ProductionJournal> open;
    std::string openLocation;
    bool recovered = false;
    // The QTP lot of the open file's content (its hash is taken once per content).
    std::string qtpLotContent;
    Lot qtpLot;
};

}  // namespace qzr
