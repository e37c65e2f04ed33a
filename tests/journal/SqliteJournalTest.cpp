// The SQLite journal's own cases: files that are not a journal. What every backend must do (lots that
// continue, voided numbers, stale reservations, stations sharing a lot) is tested on SQLite and PostgreSQL
// alike in tests/journal_pg/JournalBackendsTest.cpp.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/journal/SqliteJournal.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

using test::TempDir;

TEST(SqliteJournal, WhatIsNotAJournalIsRefusedAndLeftAlone) {
    TempDir dir;
    test::writeFile(dir.file("text.db"), "not a database at all, just some text that is long enough to read");
    {
        // Another program's database.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir.file("other.db").c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE parts(name TEXT)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    std::filesystem::create_directory(dir.file("folder.db"));
    std::filesystem::create_directory(dir.file("locked"));
    ::chmod(dir.file("locked").c_str(), 0555);
    const bool root = ::geteuid() == 0;
    struct Case {
        std::string path;
        std::string reason;
    };
    std::vector<Case> cases = {
        {dir.file("text.db"), "not a database"},
        {dir.file("other.db"), "not a production journal"},
        {dir.file("folder.db"), "not a file"},
        {dir.file("missing/j.db"), "unable to open"},
    };
    if (!root) cases.push_back({dir.file("locked/j.db"), "unable to open"});
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(openProductionJournal(c.path, error)) << c.path;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_NE(error.find("Cannot open the production journal"), std::string::npos) << error;
    }
    EXPECT_EQ(test::readFile(dir.file("text.db")).substr(0, 10), "not a data");
    ::chmod(dir.file("locked").c_str(), 0755);
}

}  // namespace
}  // namespace qzr
