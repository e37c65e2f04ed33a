#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "core/journal/ProductionJournal.h"

struct sqlite3;

namespace qzr {

// The journal in one SQLite file: write-ahead log, synchronous=FULL (a transaction is on disk when it
// commits), a busy time-out so that the window and the command line may share it. Its threads (the sockets
// of a gang) share one connection, one call at a time.
class SqliteJournal final : public ProductionJournal {
  public:
    // Opens or creates the file; null with `error` set when it is not a journal or cannot be opened.
    static std::unique_ptr<SqliteJournal> open(const std::string& path, std::string& error);
    ~SqliteJournal() override;
    SqliteJournal(const SqliteJournal&) = delete;
    SqliteJournal& operator=(const SqliteJournal&) = delete;

    const std::string& location() const override { return path_; }
    std::string recoverStale(const std::string& station, const ProcessIdentity& me,
                             std::vector<ChipRecord>& voided) override;
    std::string preview(const Lot& lot, const NumberRequest& request, NumberChoice& choice,
                        std::optional<uint64_t>& lastReserved) override;
    std::string reserve(const Lot* lot, const NumberRequest& request, ChipRecord& chip,
                        const PlaceNumber& place = {}) override;
    std::string finish(long long id, ChipOutcome outcome, const std::string& failedStep, long long durationMs,
                       const std::string& passCount) override;
    std::string counts(const std::string& lotKey, LotCounts& counts) override;
    std::string chips(std::vector<ChipRecord>& out) override;

  private:
    SqliteJournal(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
    class Statement;
    std::string failure(const std::string& what) const;
    bool exec(const char* sql);
    // The lot's id (0 when the lot is new; created when `create`), or -1 on an error.
    long long lotId(const std::string& key, bool create);
    std::string chooseIn(long long lot, const Lot& kind, const NumberRequest& request, NumberChoice& choice,
                         std::optional<uint64_t>& lastReserved);

    sqlite3* db_;
    std::string path_;
    std::mutex mutex_;
};

}  // namespace qzr
