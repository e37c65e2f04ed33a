#include "journal_pg/PgTestServer.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace qzr::test {

std::optional<std::string> testPgUrl() {
    const char* url = std::getenv("QZR_TEST_PG_URL");
    if (!url || !*url) return std::nullopt;
    return std::string(url);
}

std::string pgExec(const std::string& url, const std::string& sql) {
    PGconn* c = PQconnectdb(url.c_str());
    std::string error;
    if (PQstatus(c) != CONNECTION_OK) {
        error = PQerrorMessage(c);
    } else {
        PQsetNoticeProcessor(
            c, [](void*, const char*) {}, nullptr);
        PGresult* r = PQexec(c, sql.c_str());
        const ExecStatusType s = PQresultStatus(r);
        if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) error = PQresultErrorMessage(r);
        PQclear(r);
    }
    PQfinish(c);
    return error;
}

std::string withDatabase(const std::string& url, const std::string& database) {
    const auto host = url.find("://");
    const auto slash = url.find('/', host == std::string::npos ? 0 : host + 3);
    const auto query = url.find('?');
    std::string out = slash == std::string::npos ? url.substr(0, query) : url.substr(0, slash);
    out += "/" + database;
    if (query != std::string::npos) out += url.substr(query);
    return out;
}

ScratchDatabase::ScratchDatabase(std::string adminUrl) : adminUrl_(std::move(adminUrl)) {
    static std::atomic<int> counter{0};
    name_ = "qzr_t" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    pgExec(adminUrl_, "DROP DATABASE IF EXISTS " + name_);
    const std::string e = pgExec(adminUrl_, "CREATE DATABASE " + name_);
    EXPECT_EQ(e, "") << "the test database cannot be made";
    url_ = withDatabase(adminUrl_, name_);
}

ScratchDatabase::~ScratchDatabase() {
    pgExec(adminUrl_, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
}

}  // namespace qzr::test
