#pragma once

#include <optional>
#include <string>

namespace qzr::test {

// The PostgreSQL server of the tests: scripts/test.sh starts a throwaway one and passes its address in
// QZR_TEST_PG_URL; without it the tests that need a server are skipped.
inline constexpr const char* kNoServer =
    "QZR_TEST_PG_URL is not set: the PostgreSQL journal is not tested (scripts/test.sh starts a server)";
std::optional<std::string> testPgUrl();

// Runs SQL on the server at `url`; empty, or the server's message.
std::string pgExec(const std::string& url, const std::string& sql);

// `url` with its database replaced.
std::string withDatabase(const std::string& url, const std::string& database);

// A database of its own for one test on the server at `adminUrl`, dropped at the end.
class ScratchDatabase {
  public:
    explicit ScratchDatabase(std::string adminUrl);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;
    const std::string& url() const { return url_; }
    const std::string& name() const { return name_; }

  private:
    std::string adminUrl_;
    std::string name_;
    std::string url_;
};

}  // namespace qzr::test
