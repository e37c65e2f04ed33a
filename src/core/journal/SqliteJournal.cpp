#include "core/journal/SqliteJournal.h"

#include <sqlite3.h>

#include <filesystem>

#include "core/journal/PgJournal.h"

namespace qzr {

namespace {

// Marks the file as a journal of this program (PRAGMA application_id) and gives its layout's version.
constexpr int kApplicationId = 0x515A524A;  // "QZRJ"
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 10000;

const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS lots (
    id INTEGER PRIMARY KEY,
    key TEXT NOT NULL UNIQUE
);
CREATE TABLE IF NOT EXISTS chips (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    lot INTEGER REFERENCES lots(id),
    number INTEGER,
    outcome TEXT NOT NULL DEFAULT 'reserved',
    station TEXT NOT NULL,
    host TEXT NOT NULL,
    pid INTEGER NOT NULL,
    pid_start INTEGER NOT NULL,
    port TEXT NOT NULL,
    time TEXT NOT NULL,
    operation TEXT NOT NULL,
    device TEXT NOT NULL,
    data_file TEXT NOT NULL,
    memory TEXT NOT NULL,
    options TEXT NOT NULL,
    option_value TEXT NOT NULL,
    serial TEXT NOT NULL,
    qtp_file TEXT NOT NULL,
    failed_step TEXT NOT NULL DEFAULT '',
    duration_ms INTEGER NOT NULL DEFAULT 0,
    pass_count TEXT NOT NULL,
    writer TEXT NOT NULL,
    log_path TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS chips_by_number ON chips(lot, number);
CREATE INDEX IF NOT EXISTS chips_reserved ON chips(outcome) WHERE outcome = 'reserved';
)sql";

const char* kChipColumns =
    "c.id, l.key, c.number, c.outcome, c.station, c.host, c.pid, c.pid_start, c.port, c.time, c.operation, "
    "c.device, c.data_file, c.memory, c.options, c.option_value, c.serial, c.qtp_file, c.failed_step, "
    "c.duration_ms, c.pass_count, c.writer, c.log_path";

}  // namespace

const char* outcomeName(ChipOutcome outcome) {
    switch (outcome) {
        case ChipOutcome::Pass:
            return "pass";
        case ChipOutcome::Fail:
            return "fail";
        case ChipOutcome::Interrupted:
            return "interrupted";
        case ChipOutcome::Reserved:
            break;
    }
    return "reserved";
}

std::optional<ChipOutcome> outcomeFromName(std::string_view name) {
    for (ChipOutcome o :
         {ChipOutcome::Reserved, ChipOutcome::Pass, ChipOutcome::Fail, ChipOutcome::Interrupted})
        if (name == outcomeName(o)) return o;
    return std::nullopt;
}

std::string defaultJournalPath(const std::string& folder) {
    return (std::filesystem::path(folder.empty() ? "." : folder) / kJournalFileName).string();
}

std::unique_ptr<ProductionJournal> openProductionJournal(const std::string& location, std::string& error) {
    if (location.starts_with("postgresql://") || location.starts_with("postgres://"))
        return PgJournal::open(location, error);
    return SqliteJournal::open(location, error);
}

// A prepared statement, finalized when it goes out of scope.
class SqliteJournal::Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        ok_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return ok_; }
    Statement& bind(int i, long long v) {
        ok_ = ok_ && sqlite3_bind_int64(stmt_, i, v) == SQLITE_OK;
        return *this;
    }
    Statement& bind(int i, const std::string& v) {
        ok_ = ok_ && sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT) ==
                         SQLITE_OK;
        return *this;
    }
    Statement& bindNull(int i) {
        ok_ = ok_ && sqlite3_bind_null(stmt_, i) == SQLITE_OK;
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code (also when a bind failed).
    int step() {
        if (!ok_) return SQLITE_ERROR;
        const int rc = sqlite3_step(stmt_);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) ok_ = false;
        return rc;
    }
    bool run() { return step() == SQLITE_DONE; }
    void reset() { sqlite3_reset(stmt_); }
    long long integer(int col) const { return sqlite3_column_int64(stmt_, col); }
    bool isNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
    std::string text(int col) const {
        const auto* p = sqlite3_column_text(stmt_, col);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
                 : std::string();
    }

  private:
    sqlite3_stmt* stmt_ = nullptr;
    bool ok_ = false;
};

std::unique_ptr<SqliteJournal> SqliteJournal::open(const std::string& path, std::string& error) {
    const std::string cannot = "Cannot open the production journal \"" + path + "\": ";
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec)) {
        error = cannot + "not a file";
        return nullptr;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(
        path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        error = cannot + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<SqliteJournal> j(new SqliteJournal(db, path));
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // The layout is checked and made in one write transaction, so that two programs opening a new file at
    // once do not both make it.
    auto fail = [&](const std::string& why) {
        error = cannot + why;
        j->exec("ROLLBACK");
        return nullptr;
    };
    if (!j->exec("PRAGMA journal_mode=WAL") || !j->exec("PRAGMA synchronous=FULL") ||
        !j->exec("PRAGMA foreign_keys=ON") || !j->exec("PRAGMA cache_size=-512") ||
        !j->exec("BEGIN IMMEDIATE"))
        return fail(sqlite3_errmsg(db));
    long long appId = 0, version = 0, objects = 0;
    {
        Statement s(db, "PRAGMA application_id");
        if (s.step() == SQLITE_ROW) appId = s.integer(0);
        Statement v(db, "PRAGMA user_version");
        if (v.step() == SQLITE_ROW) version = v.integer(0);
        Statement o(db, "SELECT count(*) FROM sqlite_schema");
        if (o.step() != SQLITE_ROW) return fail(sqlite3_errmsg(db));
        objects = o.integer(0);
    }
    if (objects > 0 && appId != kApplicationId) return fail("not a production journal");
    if (appId == kApplicationId && version > kSchemaVersion)
        return fail("written by a newer version of this program");
    if (objects == 0) {
        const std::string pragmas = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                    "; PRAGMA user_version=" + std::to_string(kSchemaVersion);
        if (!j->exec(kSchema) || !j->exec(pragmas.c_str())) return fail(sqlite3_errmsg(db));
    }
    if (!j->exec("COMMIT")) return fail(sqlite3_errmsg(db));
    return j;
}

SqliteJournal::~SqliteJournal() {
    sqlite3_close(db_);
}

std::string SqliteJournal::failure(const std::string& what) const {
    return "Cannot " + what + " the production journal \"" + path_ + "\": " + sqlite3_errmsg(db_);
}

bool SqliteJournal::exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

namespace {

ChipRecord chipFrom(const auto& s) {
    ChipRecord c;
    c.id = s.integer(0);
    c.lot = s.text(1);
    if (!s.isNull(2)) c.number = static_cast<uint64_t>(s.integer(2));
    c.outcome = outcomeFromName(s.text(3)).value_or(ChipOutcome::Reserved);
    c.station = s.text(4);
    c.process = {s.text(5), s.integer(6), s.integer(7)};
    c.port = s.text(8);
    ProductionRecord& r = c.record;
    r.time = s.text(9);
    r.operation = s.text(10);
    r.device = s.text(11);
    r.dataFile = s.text(12);
    r.memoryChecksum = s.text(13);
    r.optionChecksum = s.text(14);
    r.optionValue = s.text(15);
    r.serialNumber = s.text(16);
    r.qtpFile = s.text(17);
    r.failure = s.text(18);
    r.durationMs = s.integer(19);
    r.passCount = s.text(20);
    r.writer = s.text(21);
    r.result = c.outcome == ChipOutcome::Reserved ? "" : outcomeName(c.outcome);
    c.logPath = s.text(22);
    return c;
}

}  // namespace

std::string SqliteJournal::recoverStale(const std::string& station, const ProcessIdentity& me,
                                        std::vector<ChipRecord>& voided) {
    voided.clear();
    std::lock_guard lock(mutex_);
    if (!exec("BEGIN IMMEDIATE")) return failure("write");
    std::vector<ChipRecord> open;
    {
        const std::string sql = std::string("SELECT ") + kChipColumns +
                                " FROM chips c LEFT JOIN lots l ON l.id = c.lot WHERE c.outcome = 'reserved' "
                                "ORDER BY c.id";
        Statement s(db_, sql.c_str());
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) open.push_back(chipFrom(s));
        if (rc != SQLITE_DONE) {
            const std::string e = failure("read");
            exec("ROLLBACK");
            return e;
        }
    }
    Statement mark(db_, "UPDATE chips SET outcome = 'interrupted' WHERE id = ?1 AND outcome = 'reserved'");
    for (ChipRecord& c : open) {
        if (!reservationStale(c.process, c.station, me, station, processAlive)) continue;
        mark.reset();
        if (!mark.bind(1, c.id).run()) {
            const std::string e = failure("write");
            exec("ROLLBACK");
            voided.clear();
            return e;
        }
        c.outcome = ChipOutcome::Interrupted;
        c.record.result = outcomeName(c.outcome);
        voided.push_back(std::move(c));
    }
    if (!exec("COMMIT")) {
        const std::string e = failure("write");
        exec("ROLLBACK");
        voided.clear();
        return e;
    }
    return {};
}

long long SqliteJournal::lotId(const std::string& key, bool create) {
    Statement find(db_, "SELECT id FROM lots WHERE key = ?1");
    find.bind(1, key);
    const int rc = find.step();
    if (rc == SQLITE_ROW) return find.integer(0);
    if (rc != SQLITE_DONE) return -1;
    if (!create) return 0;
    Statement add(db_, "INSERT INTO lots(key) VALUES (?1)");
    if (!add.bind(1, key).run()) return -1;
    return sqlite3_last_insert_rowid(db_);
}

std::string SqliteJournal::chooseIn(long long lot, const Lot& kind, const NumberRequest& request,
                                    NumberChoice& choice, std::optional<uint64_t>& lastReserved) {
    lastReserved.reset();
    long long rows = 0;
    if (lot > 0) {
        Statement last(db_,
                       "SELECT number, (SELECT count(*) FROM chips WHERE lot = ?1) FROM chips WHERE lot = ?1 "
                       "ORDER BY id DESC LIMIT 1");
        const int rc = last.bind(1, lot).step();
        if (rc == SQLITE_ROW) {
            if (!last.isNull(0)) lastReserved = static_cast<uint64_t>(last.integer(0));
            rows = last.integer(1);
        } else if (rc != SQLITE_DONE) {
            return failure("read");
        }
    }
    Statement held(
        db_, "SELECT 1 FROM chips WHERE lot = ?1 AND number = ?2 AND (outcome <> 'fail' OR ?3) LIMIT 1");
    bool readError = false;
    auto isHeld = [&](uint64_t n) {
        if (lot <= 0 || readError) return false;
        held.reset();
        const int rc =
            held.bind(1, lot).bind(2, static_cast<long long>(n)).bind(3, request.voidFailed ? 1 : 0).step();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) readError = true;
        return rc == SQLITE_ROW;
    };
    choice = chooseNumber(kind, request.candidate, lastReserved, isHeld, request.reuse,
                          static_cast<uint64_t>(rows) + 1);
    if (readError) return failure("read");
    return {};
}

std::string SqliteJournal::preview(const Lot& lot, const NumberRequest& request, NumberChoice& choice,
                                   std::optional<uint64_t>& lastReserved) {
    std::lock_guard lock(mutex_);
    if (!exec("BEGIN")) return failure("read");
    const long long id = lotId(lot.key, false);
    std::string e = id < 0 ? failure("read") : chooseIn(id, lot, request, choice, lastReserved);
    exec("COMMIT");
    return e;
}

std::string SqliteJournal::reserve(const Lot* lot, const NumberRequest& request, ChipRecord& chip,
                                   const PlaceNumber& place) {
    std::lock_guard lock(mutex_);
    if (!exec("BEGIN IMMEDIATE")) return failure("write");
    auto abandon = [&](std::string e) {
        exec("ROLLBACK");
        return e;
    };
    long long id = 0;
    chip.id = 0;
    chip.number.reset();
    chip.lot.clear();
    if (lot) {
        id = lotId(lot->key, true);
        if (id < 0) return abandon(failure("write"));
        NumberChoice choice;
        std::optional<uint64_t> last;
        if (std::string e = chooseIn(id, *lot, request, choice, last); !e.empty()) return abandon(e);
        if (choice.exhausted)
            return abandon("The production journal \"" + path_ + "\" holds every number of this lot");
        if (place) {
            std::optional<std::string> text = place(choice.number);
            if (!text) {
                chip.id = 0;
                return abandon({});
            }
            chip.record.serialNumber = std::move(*text);
        }
        chip.number = choice.number;
        chip.lot = lot->key;
    }
    Statement add(
        db_,
        "INSERT INTO chips(lot, number, outcome, station, host, pid, pid_start, port, time, operation, "
        "device, "
        "data_file, memory, options, option_value, serial, qtp_file, pass_count, writer, log_path) VALUES "
        "(?1, ?2, 'reserved', ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19)");
    if (lot)
        add.bind(1, id).bind(2, static_cast<long long>(*chip.number));
    else
        add.bindNull(1).bindNull(2);
    const ProductionRecord& r = chip.record;
    add.bind(3, chip.station)
        .bind(4, chip.process.host)
        .bind(5, chip.process.pid)
        .bind(6, chip.process.startTime)
        .bind(7, chip.port)
        .bind(8, r.time)
        .bind(9, r.operation)
        .bind(10, r.device)
        .bind(11, r.dataFile)
        .bind(12, r.memoryChecksum)
        .bind(13, r.optionChecksum)
        .bind(14, r.optionValue)
        .bind(15, r.serialNumber)
        .bind(16, r.qtpFile)
        .bind(17, r.passCount)
        .bind(18, r.writer)
        .bind(19, chip.logPath);
    if (!add.run()) return abandon(failure("write"));
    chip.id = sqlite3_last_insert_rowid(db_);
    chip.outcome = ChipOutcome::Reserved;
    if (!exec("COMMIT")) return abandon(failure("write"));
    return {};
}

std::string SqliteJournal::finish(long long id, ChipOutcome outcome, const std::string& failedStep,
                                  long long durationMs, const std::string& passCount) {
    std::lock_guard lock(mutex_);
    Statement s(
        db_,
        "UPDATE chips SET outcome = ?2, failed_step = ?3, duration_ms = ?4, pass_count = ?5 WHERE id = ?1");
    s.bind(1, id)
        .bind(2, std::string(outcomeName(outcome)))
        .bind(3, failedStep)
        .bind(4, durationMs)
        .bind(5, passCount);
    if (!s.run()) return failure("write");
    if (sqlite3_changes(db_) != 1)
        return "The production journal \"" + path_ + "\" has no chip " + std::to_string(id);
    return {};
}

std::string SqliteJournal::counts(const std::string& lotKey, LotCounts& counts) {
    std::lock_guard lock(mutex_);
    counts = {};
    Statement s(
        db_,
        "SELECT c.station, c.outcome, count(*) FROM chips c JOIN lots l ON l.id = c.lot WHERE l.key = ?1 "
        "GROUP BY c.station, c.outcome ORDER BY c.station");
    s.bind(1, lotKey);
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) addToCounts(counts, s.text(0), s.text(1), s.integer(2));
    if (rc != SQLITE_DONE) {
        counts = {};
        return failure("read");
    }
    return {};
}

std::string SqliteJournal::chips(std::vector<ChipRecord>& out) {
    std::lock_guard lock(mutex_);
    out.clear();
    const std::string sql = std::string("SELECT ") + kChipColumns +
                            " FROM chips c LEFT JOIN lots l ON l.id = c.lot ORDER BY c.id";
    Statement s(db_, sql.c_str());
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) out.push_back(chipFrom(s));
    return rc == SQLITE_DONE ? std::string() : failure("read");
}

}  // namespace qzr
