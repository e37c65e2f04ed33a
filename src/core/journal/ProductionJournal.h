#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/journal/Lot.h"
#include "core/journal/ProcessIdentity.h"
#include "core/journal/ProductionRecord.h"

namespace qzr {

// The production journal: every chip that a run reached, with the number it was given, recorded durably.
// A number is reserved before the first byte of the run that programs it and its outcome is recorded before
// the next chip; so after a crash, a kill or a power loss no number is given twice. One journal holds many
// lots (Lot.h). Every call is one transaction and is on disk when it returns; every call reports a failure
// as its result text (empty: done), the journal as it was.
//
// Two backends: the SQLite file (SqliteJournal.h) of one station or one machine, and a PostgreSQL server
// (PgJournal.h) that several stations share.

enum class ChipOutcome { Reserved, Pass, Fail, Interrupted };
const char* outcomeName(ChipOutcome outcome);  // "reserved", "pass", "fail", "interrupted"
std::optional<ChipOutcome> outcomeFromName(std::string_view name);

// One chip of the journal.
struct ChipRecord {
    long long id = 0;  // the journal's own, ascending
    std::string station;
    ProcessIdentity process;
    std::string port;                // the port (socket) the chip was programmed through
    std::string lot;                 // the lot's key; empty when the run carried no number
    std::optional<uint64_t> number;  // the number within the lot
    ChipOutcome outcome = ChipOutcome::Reserved;
    ProductionRecord record;  // the production log's columns (record.result follows the outcome)
    std::string logPath;      // the CSV production log the chip's line goes to; empty when none
};

// What a reservation asks for.
struct NumberRequest {
    uint64_t candidate = 0;   // the number the project holds now
    bool voidFailed = false;  // a failed chip's number is not used again
    bool reuse = false;       // the user chose to use numbers the lot holds
};

// Passed, failed and interrupted chips of one station in a lot.
struct StationCounts {
    std::string station;
    long long passed = 0;
    long long failed = 0;
    long long interrupted = 0;
    bool operator==(const StationCounts&) const = default;
};

// Passed, failed and interrupted chips of a lot (a number counted once per chip), in total and per station:
// every station that has a chip in the lot, by name.
struct LotCounts {
    long long passed = 0;
    long long failed = 0;
    long long interrupted = 0;
    std::vector<StationCounts> stations;
    bool operator==(const LotCounts&) const = default;
};

// Adds `chips` chips of `station` with outcome `outcome` (its name) to the counts; rows come grouped by
// station in name order. A station's reserved chips make it appear with no count.
void addToCounts(LotCounts& counts, const std::string& station, std::string_view outcome, long long chips);

class ProductionJournal {
  public:
    virtual ~ProductionJournal() = default;

    // The file or address the journal was opened by.
    virtual const std::string& location() const = 0;

    // Reservations whose process is known to be gone, and this station's own from another host (the station
    // started again), become interrupted (reservationStale); `voided` receives them as they are now.
    virtual std::string recoverStale(const std::string& station, const ProcessIdentity& me,
                                     std::vector<ChipRecord>& voided) = 0;

    // The number the next chip of the lot would take (chooseNumber) and the lot's last reserved number,
    // without reserving anything: for telling the user where a start value continues.
    virtual std::string preview(const Lot& lot, const NumberRequest& request, NumberChoice& choice,
                                std::optional<uint64_t>& lastReserved) = 0;

    // Reserves the chip: with a lot, its number is chosen (chooseNumber) and taken in the same transaction,
    // so that two processes sharing the lot never take one number; `chip.number` and `chip.id` are set.
    // `place`, when given, is called inside the transaction with the number chosen: it puts the number into
    // the project and returns the serial number's text as recorded (chip.record.serialNumber), or nullopt
    // when the number cannot be used (a QTP list has no such record): nothing is reserved then, the result
    // is empty and `chip.id` is 0. Without a lot (`lot` null) the chip is recorded without a number. An
    // exhausted lot is refused.
    using PlaceNumber = std::function<std::optional<std::string>(uint64_t number)>;
    virtual std::string reserve(const Lot* lot, const NumberRequest& request, ChipRecord& chip,
                                const PlaceNumber& place = {}) = 0;

    // The chip's outcome (not Reserved), with the failing step, the duration and the pass count after it.
    virtual std::string finish(long long id, ChipOutcome outcome, const std::string& failedStep,
                               long long durationMs, const std::string& passCount) = 0;

    virtual std::string counts(const std::string& lotKey, LotCounts& counts) = 0;

    // Every chip, oldest first.
    virtual std::string chips(std::vector<ChipRecord>& out) = 0;
};

// Opens the journal at `location`: a postgresql:// (or postgres://) address, else a file path (SQLite,
// created when missing). Sets `error` and returns null when it cannot be opened (not a journal, no
// permission, a server that cannot be reached).
std::unique_ptr<ProductionJournal> openProductionJournal(const std::string& location, std::string& error);

// The default journal of a project: "qzr-journal.db" in `folder` (the folder of its configuration file).
std::string defaultJournalPath(const std::string& folder);
inline constexpr const char* kJournalFileName = "qzr-journal.db";

}  // namespace qzr
