#include "core/journal/PgJournal.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <random>
#include <thread>
#include <utility>

namespace qzr {

namespace {

using Clock = std::chrono::steady_clock;

// The first key of every advisory lock this program takes ("QZRJ"); the second is a session's id, or 0 for
// the lock that makes and upgrades the layout.
constexpr long long kLockSpace = 0x515A524A;
constexpr long long kSessionKeys = 2147483647;  // a session id as the lock's second key (an int4)
constexpr int kSchemaVersion = 1;
constexpr const char* kNoAnswer = "no answer from the server";

// The layout of version 1. Numbers are 64-bit patterns stored as bigint (an 8-byte serial number above
// 2^63 is negative here, as in the SQLite file); they are only compared for equality.
const char* kSchemaV1 = R"sql(
CREATE SCHEMA IF NOT EXISTS qzr_journal;
CREATE TABLE qzr_journal.version (
    version integer NOT NULL
);
CREATE TABLE qzr_journal.lots (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    key text NOT NULL UNIQUE,
    chips bigint NOT NULL DEFAULT 0,
    last_number bigint
);
CREATE TABLE qzr_journal.sessions (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    host text NOT NULL,
    pid bigint NOT NULL,
    pid_start bigint NOT NULL,
    opened timestamptz NOT NULL DEFAULT now()
);
CREATE TABLE qzr_journal.chips (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    lot bigint REFERENCES qzr_journal.lots(id),
    number bigint,
    outcome text NOT NULL DEFAULT 'reserved'
        CHECK (outcome IN ('reserved', 'pass', 'fail', 'interrupted')),
    station text NOT NULL,
    host text NOT NULL,
    pid bigint NOT NULL,
    pid_start bigint NOT NULL,
    session bigint NOT NULL REFERENCES qzr_journal.sessions(id),
    token text NOT NULL UNIQUE,
    reserved_at timestamptz NOT NULL DEFAULT now(),
    port text NOT NULL,
    time text NOT NULL,
    operation text NOT NULL,
    device text NOT NULL,
    data_file text NOT NULL,
    memory text NOT NULL,
    options text NOT NULL,
    option_value text NOT NULL,
    serial text NOT NULL,
    qtp_file text NOT NULL,
    failed_step text NOT NULL DEFAULT '',
    duration_ms bigint NOT NULL DEFAULT 0,
    pass_count text NOT NULL,
    writer text NOT NULL,
    log_path text NOT NULL
);
CREATE INDEX chips_by_number ON qzr_journal.chips(lot, number);
CREATE INDEX chips_reserved ON qzr_journal.chips(id) WHERE outcome = 'reserved';
INSERT INTO qzr_journal.version(version) VALUES (1);
)sql";

// Upgrades: kUpgrades[v - 1] turns version v into v + 1 (none yet). Each ends by raising the version.
constexpr std::array<const char*, kSchemaVersion - 1> kUpgrades{};

const char* kChipColumns =
    "c.id, l.key, c.number, c.outcome, c.station, c.host, c.pid, c.pid_start, c.port, c.time, c.operation, "
    "c.device, c.data_file, c.memory, c.options, c.option_value, c.serial, c.qtp_file, c.failed_step, "
    "c.duration_ms, c.pass_count, c.writer, c.log_path";

// Errors after which the same transaction may succeed on a new try: the connection failed or the server
// is shutting down or starting (class 08, 57P01-57P03), a serialization conflict or deadlock, and a second
// insert of one reservation token (its first insert committed after all).
bool worthRetrying(const char* sqlState) {
    if (!sqlState) return true;  // no answer from the server at all
    const std::string s = sqlState;
    return s.starts_with("08") || s == "57P01" || s == "57P02" || s == "57P03" || s == "40001" ||
           s == "40P01" || s == "23505";
}

// A message of libpq or the server on one line: its line breaks (and the tabs after them) become blanks.
std::string trimmed(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') {
            out += text[i];
            continue;
        }
        while (i + 1 < text.size() && (text[i + 1] == '\t' || text[i + 1] == ' ')) ++i;
        out += ' ';
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string randomToken() {
    std::random_device device;
    std::string out;
    static const char* kDigits = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        const uint32_t v = device();
        for (int s = 28; s >= 0; s -= 4) out += kDigits[(v >> s) & 0xF];
    }
    return out;
}

std::string numberText(uint64_t n) {
    return std::to_string(static_cast<long long>(n));
}

}  // namespace

std::string withoutPassword(const std::string& url) {
    std::string out = url;
    const auto scheme = out.find("://");
    if (scheme != std::string::npos) {
        const auto start = scheme + 3;
        const auto at = out.find('@', start);
        const auto slash = out.find('/', start);
        if (at != std::string::npos && (slash == std::string::npos || at < slash)) {
            const auto colon = out.find(':', start);
            if (colon != std::string::npos && colon < at) out.replace(colon + 1, at - colon - 1, "***");
        }
    }
    for (std::size_t p = out.find("password="); p != std::string::npos; p = out.find("password=", p + 1)) {
        const auto value = p + 9;
        const auto end = out.find('&', value);
        out.replace(value, (end == std::string::npos ? out.size() : end) - value, "***");
    }
    return out;
}

// A statement's result, cleared when it goes out of scope.
class PgJournal::Result {
  public:
    Result() = default;
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    Result(Result&& o) noexcept : r_(std::exchange(o.r_, nullptr)) {}
    Result& operator=(Result&& o) noexcept {
        std::swap(r_, o.r_);
        return *this;
    }
    explicit operator bool() const { return r_ != nullptr; }
    int rows() const { return PQntuples(r_); }
    bool isNull(int row, int col) const { return PQgetisnull(r_, row, col) != 0; }
    std::string text(int row, int col) const { return PQgetvalue(r_, row, col); }
    long long integer(int row, int col) const {
        try {
            return std::stoll(PQgetvalue(r_, row, col));
        } catch (...) {
            return 0;
        }
    }
    bool boolean(int row, int col) const { return text(row, col) == "t"; }

  private:
    PGresult* r_ = nullptr;
};

// One try of one transaction: its statements share the connection and a deadline.
struct PgJournal::Attempt {
    Attempt(pg_conn* c, Clock::time_point d, bool again = false) : conn(c), deadline(d), retried(again) {}

    pg_conn* conn = nullptr;
    Clock::time_point deadline;
    bool retried = false;  // an earlier try of the same call failed
    std::string why;       // the server's reason of the failure
    std::string message;   // a whole message instead of "Cannot … : why"
    bool retry = false;    // the failure is worth another try

    // Runs one statement (parameters as text, null for SQL NULL); on failure an empty result, `why` and
    // `retry` set. The answer is awaited on the socket until the deadline, never longer.
    Result run(const char* sql, std::initializer_list<std::optional<std::string>> params = {}) {
        std::vector<const char*> values;
        for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
        // Without parameters the simple protocol, which also runs a script of several statements.
        const int sent = values.empty() ? PQsendQuery(conn, sql)
                                        : PQsendQueryParams(conn, sql, static_cast<int>(values.size()),
                                                            nullptr, values.data(), nullptr, nullptr, 0);
        if (!sent) return lost(PQerrorMessage(conn));
        PGresult* last = nullptr;
        for (;;) {
            while (PQisBusy(conn)) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
                pollfd p{PQsocket(conn), POLLIN, 0};
                if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) == 0) {
                    PQclear(last);
                    return lost(kNoAnswer);
                }
                if (!PQconsumeInput(conn)) {
                    PQclear(last);
                    return lost(PQerrorMessage(conn));
                }
            }
            PGresult* r = PQgetResult(conn);
            if (!r) break;
            PQclear(last);
            last = r;
        }
        if (!last) return lost(PQerrorMessage(conn));
        const ExecStatusType status = PQresultStatus(last);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return Result(last);
        why = trimmed(PQresultErrorMessage(last));
        retry = PQstatus(conn) != CONNECTION_OK || worthRetrying(PQresultErrorField(last, PG_DIAG_SQLSTATE));
        PQclear(last);
        return {};
    }

    Result lost(const char* reason) {
        why = trimmed(reason ? reason : "");
        if (why.empty()) why = "the connection to the server was lost";
        retry = true;
        return {};
    }

    Step failed() const { return retry ? Step::Retry : Step::Failed; }
};

PgJournal::PgJournal(std::string url, Options options)
    : url_(std::move(url)), shownUrl_(withoutPassword(url_)), options_(options), me_(currentProcess()) {}

PgJournal::~PgJournal() {
    if (conn_ && PQstatus(conn_) == CONNECTION_OK) {
        // The session's lock goes now, not when the server has seen the connection close.
        Attempt a{conn_, Clock::now() + std::chrono::seconds(1)};
        a.run("SELECT pg_advisory_unlock_all()");
    }
    disconnect();
}

void PgJournal::disconnect() {
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
}

std::string PgJournal::failure(const char* what, const std::string& why) const {
    return std::string("Cannot ") + what + " the production journal \"" + shownUrl_ + "\": " + why;
}

bool PgJournal::connect(Clock::time_point deadline, std::string& why) {
    disconnect();
    // libpq waits at most connect_timeout seconds (2 at least) for a server that does not answer.
    const auto left = std::chrono::duration_cast<std::chrono::seconds>(deadline - Clock::now()).count();
    const std::string timeout = std::to_string(std::max<long long>(2, left));
    const char* keys[] = {"application_name", "dbname", "connect_timeout", nullptr};
    const char* values[] = {"qzr-writer", url_.c_str(), timeout.c_str(), nullptr};
    conn_ = PQconnectdbParams(keys, values, 1);
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
        why = trimmed(conn_ ? PQerrorMessage(conn_) : "out of memory");
        disconnect();
        return false;
    }
    // The server's notices ("already exists, skipping") are not the user's business.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    // A station that vanishes (power, network) must not keep its locks: the server ends a session that
    // idles inside a transaction (ours last milliseconds; one left open would hold its lot's row), and its
    // keepalive probes find a host that is gone within about a minute, which ends the session and its lock.
    Attempt settings{conn_, deadline};
    if (!settings.run("SET idle_in_transaction_session_timeout = '5s'; SET tcp_keepalives_idle = 30; "
                      "SET tcp_keepalives_interval = 10; SET tcp_keepalives_count = 3")) {
        why = settings.why;
        disconnect();
        return false;
    }
    if (session_ != 0) {
        // Back after a lost connection: the session is alive again once it holds its lock. A server process
        // of the lost connection that still holds it (it has not noticed the loss yet) is ended first.
        Attempt a{conn_, deadline};
        const std::string space = std::to_string(kLockSpace), key = std::to_string(session_ % kSessionKeys);
        if (!a.run(
                "SELECT pg_terminate_backend(pid) FROM pg_locks WHERE locktype = 'advisory' AND granted AND "
                "database = (SELECT oid FROM pg_database WHERE datname = current_database()) AND "
                "classid::bigint = $1::bigint AND objid::bigint = $2::bigint AND objsubid = 2 AND "
                "pid <> pg_backend_pid()",
                {space, key}) ||
            !a.run("SELECT pg_advisory_lock($1::int4, $2::int4)", {space, key})) {
            why = a.why;
            disconnect();
            return false;
        }
    }
    return true;
}

template <class Body>
std::string PgJournal::withRetry(const char* what, Body&& body) {
    std::lock_guard lock(mutex_);
    std::optional<Clock::time_point> giveUp;
    auto pause = std::chrono::milliseconds(50);
    for (bool retried = false;; retried = true) {
        const Clock::time_point deadline = giveUp.value_or(Clock::now() + options_.retryFor);
        std::string why;
        if (conn_ && PQstatus(conn_) == CONNECTION_OK) {
            Attempt a{conn_, deadline, retried};
            const Step step = body(a);
            if (step == Step::Done) return {};
            if (conn_ && PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE) {
                Attempt undo{conn_, Clock::now() + std::chrono::seconds(2)};
                if (!undo.run("ROLLBACK")) disconnect();
            }
            if (step == Step::Failed) return a.message.empty() ? failure(what, a.why) : a.message;
            why = a.why;
            if (conn_ && (PQstatus(conn_) != CONNECTION_OK || a.why == kNoAnswer)) disconnect();
        } else if (connect(deadline, why)) {
            continue;  // connected: try at once
        }
        if (!giveUp) giveUp = Clock::now() + options_.retryFor;
        if (Clock::now() >= *giveUp)
            return failure(
                what, why + " (tried again for " +
                          std::to_string(
                              std::chrono::duration_cast<std::chrono::seconds>(options_.retryFor).count()) +
                          " s)");
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, *giveUp - Clock::now()));
        pause = std::min(pause * 2, std::chrono::milliseconds(1000));
    }
}

std::string PgJournal::checkSchema(Attempt& a) {
    if (!a.run("BEGIN") || !a.run("SELECT pg_advisory_xact_lock($1::int4, 0)", {std::to_string(kLockSpace)}))
        return "";
    Result found = a.run(
        "SELECT EXISTS (SELECT 1 FROM pg_namespace WHERE nspname = 'qzr_journal'), "
        "to_regclass('qzr_journal.version') IS NOT NULL");
    if (!found) return "";
    const bool schema = found.boolean(0, 0), versioned = found.boolean(0, 1);
    if (schema && !versioned) {
        a.why = "the schema qzr_journal there is not a production journal";
        return "refused";
    }
    if (!schema && !a.run(kSchemaV1)) return "";
    Result v = a.run("SELECT max(version) FROM qzr_journal.version");
    if (!v) return "";
    long long version = v.isNull(0, 0) ? 0 : v.integer(0, 0);
    if (version > kSchemaVersion) {
        a.why = "written by a newer version of this program";
        return "refused";
    }
    if (version < 1) {
        a.why = "the schema qzr_journal there is not a production journal";
        return "refused";
    }
    for (; version < kSchemaVersion; ++version)
        if (!a.run(kUpgrades[static_cast<std::size_t>(version - 1)])) return "";
    if (!a.run("COMMIT")) return "";
    return "ok";
}

std::unique_ptr<PgJournal> PgJournal::open(const std::string& url, std::string& error, Options options) {
    std::unique_ptr<PgJournal> j(new PgJournal(url, options));
    std::string e = j->withRetry("open", [&](Attempt& a) {
        const std::string s = j->checkSchema(a);
        if (s == "ok") return Step::Done;
        return s == "refused" ? Step::Failed : a.failed();
    });
    if (e.empty())
        e = j->withRetry("open", [&](Attempt& a) {
            Result r = a.run(
                "INSERT INTO qzr_journal.sessions(host, pid, pid_start) VALUES ($1, $2, $3) RETURNING id",
                {j->me_.host, std::to_string(j->me_.pid), std::to_string(j->me_.startTime)});
            if (!r) return a.failed();
            j->session_ = r.integer(0, 0);
            if (!a.run("SELECT pg_advisory_lock($1::int4, $2::int4)",
                       {std::to_string(kLockSpace), std::to_string(j->session_ % kSessionKeys)}))
                return a.failed();
            return Step::Done;
        });
    if (!e.empty()) {
        error = e;
        return nullptr;
    }
    return j;
}

namespace {

ChipRecord chipFrom(const auto& r, int row) {
    ChipRecord c;
    c.id = r.integer(row, 0);
    c.lot = r.text(row, 1);
    if (!r.isNull(row, 2)) c.number = static_cast<uint64_t>(r.integer(row, 2));
    c.outcome = outcomeFromName(r.text(row, 3)).value_or(ChipOutcome::Reserved);
    c.station = r.text(row, 4);
    c.process = {r.text(row, 5), r.integer(row, 6), r.integer(row, 7)};
    c.port = r.text(row, 8);
    ProductionRecord& p = c.record;
    p.time = r.text(row, 9);
    p.operation = r.text(row, 10);
    p.device = r.text(row, 11);
    p.dataFile = r.text(row, 12);
    p.memoryChecksum = r.text(row, 13);
    p.optionChecksum = r.text(row, 14);
    p.optionValue = r.text(row, 15);
    p.serialNumber = r.text(row, 16);
    p.qtpFile = r.text(row, 17);
    p.failure = r.text(row, 18);
    p.durationMs = r.integer(row, 19);
    p.passCount = r.text(row, 20);
    p.writer = r.text(row, 21);
    p.result = c.outcome == ChipOutcome::Reserved ? "" : outcomeName(c.outcome);
    c.logPath = r.text(row, 22);
    return c;
}

}  // namespace

std::string PgJournal::recoverStale(const std::string& station, const ProcessIdentity& me,
                                    std::vector<ChipRecord>& voided) {
    const std::string sql =
        std::string("SELECT ") + kChipColumns +
        ", c.reserved_at < now() - make_interval(secs => $1::double precision), EXISTS (SELECT 1 FROM "
        "pg_locks k WHERE k.locktype = 'advisory' AND k.granted AND k.database = (SELECT oid FROM "
        "pg_database WHERE datname = current_database()) AND k.classid::bigint = $2::bigint AND "
        "k.objid::bigint = c.session % $3::bigint AND k.objsubid = 2) FROM qzr_journal.chips c LEFT JOIN "
        "qzr_journal.lots l ON l.id = c.lot WHERE c.outcome = 'reserved' ORDER BY c.id FOR UPDATE OF c";
    return withRetry("write", [&](Attempt& a) {
        voided.clear();
        if (!a.run("BEGIN")) return a.failed();
        Result open = a.run(sql.c_str(), {std::to_string(options_.staleAfter.count()),
                                          std::to_string(kLockSpace), std::to_string(kSessionKeys)});
        if (!open) return a.failed();
        std::string ids;
        for (int row = 0; row < open.rows(); ++row) {
            ChipRecord c = chipFrom(open, row);
            const bool old = open.boolean(row, 23), live = open.boolean(row, 24);
            const bool stale = c.process.host == me.host
                                   ? reservationStale(c.process, c.station, me, station, processAlive)
                                   : !live && (c.station == station || old);
            if (!stale) continue;
            ids += (ids.empty() ? "{" : ",") + std::to_string(c.id);
            c.outcome = ChipOutcome::Interrupted;
            c.record.result = outcomeName(c.outcome);
            voided.push_back(std::move(c));
        }
        if (!ids.empty() &&
            !a.run("UPDATE qzr_journal.chips SET outcome = 'interrupted' WHERE id = ANY($1::bigint[])",
                   {ids + "}"}))
            return a.failed();
        if (!a.run("COMMIT")) {
            voided.clear();
            return a.failed();
        }
        return Step::Done;
    });
}

namespace {

// The number a chip of the lot takes (chooseNumber), read inside the caller's transaction. `lot` is the
// lot's row id (0: the lot is new); `rows` and `last` are its chip count and last reserved number.
template <class Attempt>
bool chooseIn(Attempt& a, long long lot, long long rows, std::optional<uint64_t> last, const Lot& kind,
              const NumberRequest& request, NumberChoice& choice) {
    bool readError = false;
    auto held = [&](uint64_t n) {
        if (lot <= 0 || readError) return false;
        auto r = a.run(
            "SELECT 1 FROM qzr_journal.chips WHERE lot = $1 AND number = $2 AND (outcome <> 'fail' OR $3) "
            "LIMIT 1",
            {std::to_string(lot), numberText(n), std::string(request.voidFailed ? "true" : "false")});
        if (!r) readError = true;
        return r && r.rows() > 0;
    };
    choice =
        chooseNumber(kind, request.candidate, last, held, request.reuse, static_cast<uint64_t>(rows) + 1);
    return !readError;
}

}  // namespace

std::string PgJournal::preview(const Lot& lot, const NumberRequest& request, NumberChoice& choice,
                               std::optional<uint64_t>& lastReserved) {
    return withRetry("read", [&](Attempt& a) {
        lastReserved.reset();
        if (!a.run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")) return a.failed();
        Result r = a.run("SELECT id, chips, last_number FROM qzr_journal.lots WHERE key = $1", {lot.key});
        if (!r) return a.failed();
        long long id = 0, rows = 0;
        if (r.rows() > 0) {
            id = r.integer(0, 0);
            rows = r.integer(0, 1);
            if (!r.isNull(0, 2)) lastReserved = static_cast<uint64_t>(r.integer(0, 2));
        }
        if (!chooseIn(a, id, rows, lastReserved, lot, request, choice) || !a.run("COMMIT")) return a.failed();
        return Step::Done;
    });
}

std::string PgJournal::reserve(const Lot* lot, const NumberRequest& request, ChipRecord& chip,
                               const PlaceNumber& place) {
    const std::string token = randomToken();
    chip.id = 0;
    return withRetry("write", [&](Attempt& a) {
        chip.id = 0;
        chip.number.reset();
        chip.lot.clear();
        if (a.retried) {
            // An earlier try may have committed with its answer lost: then that chip is the reservation.
            Result mine = a.run("SELECT id, number FROM qzr_journal.chips WHERE token = $1", {token});
            if (!mine) return a.failed();
            if (mine.rows() > 0) {
                if (lot) {
                    const uint64_t n = static_cast<uint64_t>(mine.integer(0, 1));
                    if (place) {
                        std::optional<std::string> text = place(n);
                        if (!text) {
                            a.message = "The production journal \"" + shownUrl_ + "\" reserved " +
                                        lotNumberText(*lot, n) + ", which cannot be placed again";
                            return Step::Failed;
                        }
                        chip.record.serialNumber = std::move(*text);
                    }
                    chip.number = n;
                    chip.lot = lot->key;
                }
                chip.id = mine.integer(0, 0);
                chip.outcome = ChipOutcome::Reserved;
                return Step::Done;
            }
        }
        if (!a.run("BEGIN")) return a.failed();
        long long lotRow = 0;
        if (lot) {
            // Taking the lot's row lock: the reservations of one lot follow one another from here.
            Result r = a.run(
                "INSERT INTO qzr_journal.lots(key) VALUES ($1) ON CONFLICT (key) DO UPDATE SET key = "
                "EXCLUDED.key RETURNING id, chips, last_number",
                {lot->key});
            if (!r) return a.failed();
            lotRow = r.integer(0, 0);
            std::optional<uint64_t> last;
            if (!r.isNull(0, 2)) last = static_cast<uint64_t>(r.integer(0, 2));
            NumberChoice choice;
            if (!chooseIn(a, lotRow, r.integer(0, 1), last, *lot, request, choice)) return a.failed();
            if (choice.exhausted) {
                a.message = "The production journal \"" + shownUrl_ + "\" holds every number of this lot";
                return Step::Failed;
            }
            if (place) {
                std::optional<std::string> text = place(choice.number);
                if (!text) {
                    // Nothing reserved: the number cannot be used.
                    if (!a.run("ROLLBACK")) return a.failed();
                    return Step::Done;
                }
                chip.record.serialNumber = std::move(*text);
            }
            chip.number = choice.number;
            chip.lot = lot->key;
        }
        const ProductionRecord& p = chip.record;
        Result added = a.run(
            "INSERT INTO qzr_journal.chips(lot, number, station, host, pid, pid_start, session, token, port, "
            "time, operation, device, data_file, memory, options, option_value, serial, qtp_file, "
            "pass_count, "
            "writer, log_path) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, "
            "$16, "
            "$17, $18, $19, $20, $21) RETURNING id",
            {lot ? std::optional(std::to_string(lotRow)) : std::nullopt,
             chip.number ? std::optional(numberText(*chip.number)) : std::nullopt,
             chip.station,
             chip.process.host,
             std::to_string(chip.process.pid),
             std::to_string(chip.process.startTime),
             std::to_string(session_),
             token,
             chip.port,
             p.time,
             p.operation,
             p.device,
             p.dataFile,
             p.memoryChecksum,
             p.optionChecksum,
             p.optionValue,
             p.serialNumber,
             p.qtpFile,
             p.passCount,
             p.writer,
             chip.logPath});
        if (!added) return a.failed();
        const long long id = added.integer(0, 0);
        if (lot && !a.run("UPDATE qzr_journal.lots SET chips = chips + 1, last_number = $2 WHERE id = $1",
                          {std::to_string(lotRow), numberText(*chip.number)}))
            return a.failed();
        if (!a.run("COMMIT")) return a.failed();
        chip.id = id;
        chip.outcome = ChipOutcome::Reserved;
        return Step::Done;
    });
}

std::string PgJournal::finish(long long id, ChipOutcome outcome, const std::string& failedStep,
                              long long durationMs, const std::string& passCount) {
    // A chip voided meanwhile (its station looked gone) takes a pass, which holds its number as the void
    // did; any other outcome leaves it interrupted, so that its number is not given again.
    return withRetry("write", [&](Attempt& a) {
        Result r = a.run(
            "UPDATE qzr_journal.chips SET outcome = CASE WHEN outcome = 'interrupted' AND $2 <> 'pass' THEN "
            "outcome ELSE $2 END, failed_step = $3, duration_ms = $4, pass_count = $5 WHERE id = $1 "
            "RETURNING id",
            {std::to_string(id), std::string(outcomeName(outcome)), failedStep, std::to_string(durationMs),
             passCount});
        if (!r) return a.failed();
        if (r.rows() != 1) {
            a.message = "The production journal \"" + shownUrl_ + "\" has no chip " + std::to_string(id);
            return Step::Failed;
        }
        return Step::Done;
    });
}

std::string PgJournal::counts(const std::string& lotKey, LotCounts& counts) {
    return withRetry("read", [&](Attempt& a) {
        counts = {};
        Result r = a.run(
            "SELECT c.station, c.outcome, count(*) FROM qzr_journal.chips c JOIN qzr_journal.lots l ON l.id "
            "= "
            "c.lot WHERE l.key = $1 GROUP BY c.station, c.outcome ORDER BY c.station COLLATE \"C\"",
            {lotKey});
        if (!r) return a.failed();
        for (int row = 0; row < r.rows(); ++row)
            addToCounts(counts, r.text(row, 0), r.text(row, 1), r.integer(row, 2));
        return Step::Done;
    });
}

std::string PgJournal::chips(std::vector<ChipRecord>& out) {
    const std::string sql =
        std::string("SELECT ") + kChipColumns +
        " FROM qzr_journal.chips c LEFT JOIN qzr_journal.lots l ON l.id = c.lot ORDER BY c.id";
    return withRetry("read", [&](Attempt& a) {
        out.clear();
        Result r = a.run(sql.c_str());
        if (!r) return a.failed();
        for (int row = 0; row < r.rows(); ++row) out.push_back(chipFrom(r, row));
        return Step::Done;
    });
}

}  // namespace qzr
