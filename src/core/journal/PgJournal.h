#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "core/journal/ProductionJournal.h"

struct pg_conn;

namespace qzr {

// The journal on a PostgreSQL server (postgresql://… or postgres://…), shared by several stations drawing
// from one lot. The layout lives in the schema "qzr_journal" and is created and upgraded by the program
// (docs/journal.md).
//
// Numbers: a reservation locks its lot's row (INSERT … ON CONFLICT DO UPDATE on lots, which takes the row
// lock) for the rest of its transaction, chooses the number by the same rules as the SQLite file
// (chooseNumber: the candidate unless the lot holds it, failed numbers given again, pseudo-random advance,
// QTP records) and inserts the chip before it commits. A sequence cannot express those rules (it only
// counts up, and never gives back a value whose transaction rolled back), so the row lock it is: it
// serializes the reservations of one lot and nothing else.
//
// Whose reservation: each opening is a session (table sessions) that holds a session-level advisory lock
// on its own id as long as its connection lives; the server drops it the moment the connection ends (the
// process ends or is killed, the host goes away once TCP gives up). A reservation is stale
//   - on this host, when its process is gone (as in the SQLite file);
//   - on another host, when its session's lock is not held and either the reservation belongs to this
//     station (the station started again) or it is older than staleAfter (kStaleAfter).
// The lock alone is not proof of death: a living station loses it while the server restarts or the network
// is down, until its next call reconnects; a living station calls again within a chip's time plus the 10 s
// of retries, so a reservation that old with no lock has no process behind it. A heartbeat was not chosen:
// it needs a thread writing every few seconds and compares clocks, and it calls a busy process dead when
// its thread is late. A station whose reservation was voided all the same records a pass on it later (the
// number stays used); any other outcome leaves it interrupted, as the user was told.
//
// The server may restart under the stations: every call retries on a lost connection for up to retryFor
// (10 s), reconnecting, and then gives up with the reason. A reservation carries a token of its own, so a
// retry after a commit whose answer was lost finds the chip it made instead of reserving a second one; a
// number is returned only once its commit is known.
class PgJournal final : public ProductionJournal {
  public:
    static constexpr std::chrono::milliseconds kRetryFor{10000};
    static constexpr std::chrono::seconds kStaleAfter{600};

    struct Options {
        std::chrono::milliseconds retryFor = kRetryFor;
        std::chrono::seconds staleAfter = kStaleAfter;
    };

    static std::unique_ptr<PgJournal> open(const std::string& url, std::string& error, Options options);
    static std::unique_ptr<PgJournal> open(const std::string& url, std::string& error) {
        return open(url, error, Options{});
    }
    ~PgJournal() override;
    PgJournal(const PgJournal&) = delete;
    PgJournal& operator=(const PgJournal&) = delete;

    const std::string& location() const override { return url_; }
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

    // This opening's session id (its advisory lock's key).
    long long session() const { return session_; }

  private:
    class Result;
    enum class Step { Done, Failed, Retry };
    struct Attempt;

    PgJournal(std::string url, Options options);
    // Connects (again) before `deadline`, makes the session and takes its lock.
    bool connect(std::chrono::steady_clock::time_point deadline, std::string& why);
    void disconnect();
    // Runs `body` (one transaction) until it is done or fails for good; a lost connection or a conflict
    // is retried until retryFor has passed since the first loss. The result text as the interface gives it.
    template <class Body>
    std::string withRetry(const char* what, Body&& body);
    std::string failure(const char* what, const std::string& why) const;
    std::string checkSchema(Attempt& a);

    std::string url_;
    std::string shownUrl_;  // the address without its password, for messages
    Options options_;
    pg_conn* conn_ = nullptr;
    long long session_ = 0;
    ProcessIdentity me_;
    std::mutex mutex_;
};

// The address with the password (user:password@ and password=) replaced by "***".
std::string withoutPassword(const std::string& url);

}  // namespace qzr
