// Several stations, one lot: station processes (the command-line program on emulated writers with a fresh
// chip per run) program chip after chip from one lot, killed with SIGKILL at random points and started
// again; on the server, the server restarts once in the middle. In the end every station has its chips,
// no number is on two chips that passed, no voided number was used again, and every reserved number is
// pass, fail or interrupted.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "core/journal/ProductionJournal.h"
#include "journal_pg/PgTestServer.h"
#include "support/JournalProject.h"
#include "support/TestFiles.h"

extern char** environ;

namespace qzr {
namespace {

using test::runCli;
using test::TempDir;

// The command-line program beside this test program in the build folder.
std::string cliProgram() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const auto cli = self.parent_path() / "qzr-writer-cli";
    return !ec && std::filesystem::exists(cli) ? cli.string() : std::string();
}

// The output of a shell command, and whether it succeeded.
bool shell(const std::string& command, std::string& output) {
    output.clear();
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return false;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p)) output += buffer;
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return ::pclose(p) == 0;
}

// A PostgreSQL server of this test alone (it is restarted under the stations), started with the test
// set-up's script in its scratch folder (scripts/test.sh), stopped and removed at the end.
class OwnServer {
  public:
    OwnServer() {
        const char* script = std::getenv("QZR_TEST_PG_SERVER");
        const char* scratch = std::getenv("QZR_TEST_PG_SCRATCH");
        if (!script || !scratch) return;
        script_ = script;
        dir_ = std::string(scratch) + "/stations-" + std::to_string(::getpid());
        std::string out;
        if (shell("bash '" + script_ + "' start '" + dir_ + "'", out) && out.starts_with("postgresql://"))
            url_ = out;
        else
            ADD_FAILURE() << "the test server did not start: " << out;
    }
    ~OwnServer() {
        std::string out;
        if (!dir_.empty()) shell("bash '" + script_ + "' stop '" + dir_ + "' 2>&1", out);
    }
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;
    const std::string& url() const { return url_; }
    bool restart() {
        std::string out;
        return shell("bash '" + script_ + "' restart '" + dir_ + "' 2>&1", out);
    }

  private:
    std::string script_, dir_, url_;
};

struct Station {
    std::string name;
    pid_t pid = -1;
    int fd = -1;
    std::size_t killAt = 0;
    std::string output;
    bool killed = false;
};

struct StationSetup {
    std::string backend;
    int stations;
    int chips;  // per station
};

void PrintTo(const StationSetup& s, std::ostream* os) {
    *os << s.backend << ", " << s.stations << " stations x " << s.chips << " chips";
}

class Stations : public ::testing::TestWithParam<StationSetup> {};

TEST_P(Stations, ShareOneLotThroughKillsAndARestart) {
    const StationSetup setup = GetParam();
    const std::string cli = cliProgram();
    if (cli.empty()) GTEST_SKIP() << "qzr-writer-cli is not built beside the test program";
    TempDir dir;
    std::unique_ptr<OwnServer> server;
    std::string location = dir.file("qzr-journal.db");
    if (setup.backend == "postgresql") {
        if (!std::getenv("QZR_TEST_PG_SERVER") || !std::getenv("QZR_TEST_PG_SCRATCH"))
            GTEST_SKIP()
                << "QZR_TEST_PG_SERVER and QZR_TEST_PG_SCRATCH are not set: scripts/test.sh sets them "
                   "for the test that restarts a server of its own";
        server = std::make_unique<OwnServer>();
        ASSERT_FALSE(server->url().empty());
        location = server->url();
    }
    const std::string cfg = writeProject(dir);

    std::mt19937 random(23);
    std::vector<Station> stations(static_cast<std::size_t>(setup.stations));
    for (int s = 0; s < setup.stations; ++s)
        stations[static_cast<std::size_t>(s)].name = "s" + std::to_string(s + 1);
    std::string error;
    auto journal = openProductionJournal(location, error);
    ASSERT_TRUE(journal) << error;
    auto passedBy = [&](const std::string& station) {
        std::vector<ChipRecord> chips;
        EXPECT_EQ(journal->chips(chips), "");
        return std::count_if(chips.begin(), chips.end(), [&](const ChipRecord& c) {
            return c.station == station && c.outcome == ChipOutcome::Pass;
        });
    };
    // Starts the station's next run for the chips it still lacks; false when it has them all.
    auto start = [&](Station& st) {
        const long long left = setup.chips - passedBy(st.name);
        if (left <= 0) return false;
        std::vector<std::string> args = {
            cli,     "-y",     "-c", cfg, "-p",  "virtual:new-chip", "--journal", location, "--station",
            st.name, "serial", "10", "2", "0100"};
        const long long chips = std::min<long long>(left, 4);
        for (long long i = 0; i < chips; ++i) args.push_back("auto");
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&st.pid, cli.c_str(), &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        st.fd = fds[0];
        st.output.clear();
        st.killed = false;
        // A chip prints about 400 bytes: most runs die somewhere, some end by themselves.
        st.killAt =
            std::uniform_int_distribution<std::size_t>(1, static_cast<std::size_t>(chips) * 600)(random);
        return true;
    };

    int runs = 0, kills = 0, stopped = 0, finished = 0, runsAfterRestart = 0;
    bool restarted = !server;
    for (Station& st : stations) {
        if (start(st)) ++runs;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(4);
    for (;;) {
        std::vector<pollfd> polls;
        std::vector<Station*> owners;
        for (Station& st : stations)
            if (st.fd >= 0) {
                polls.push_back({st.fd, POLLIN, 0});
                owners.push_back(&st);
            }
        if (polls.empty()) break;
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the stations did not finish in time";
        ASSERT_GE(::poll(polls.data(), polls.size(), 1000), 0);
        for (std::size_t i = 0; i < polls.size(); ++i) {
            if (!polls[i].revents) continue;
            Station& st = *owners[i];
            char buffer[512];
            const ssize_t n = ::read(st.fd, buffer, sizeof buffer);
            if (n > 0) {
                st.output.append(buffer, static_cast<std::size_t>(n));
                if (!st.killed && st.output.size() >= st.killAt) {
                    ::kill(st.pid, SIGKILL);
                    st.killed = true;
                }
                continue;
            }
            ::close(st.fd);
            st.fd = -1;
            int status = 0;
            ::waitpid(st.pid, &status, 0);
            if (WIFSIGNALED(status)) {
                ++kills;
            } else if (WEXITSTATUS(status) == 3 &&
                       st.output.find("production journal") != std::string::npos) {
                ++stopped;  // the journal was out of reach too long: the line stopped, with the reason
            } else {
                EXPECT_EQ(WEXITSTATUS(status), 0) << st.name << ":\n" << st.output;
                ++finished;
            }
            if (restarted && server) ++runsAfterRestart;
            if (start(st)) ++runs;
        }
        // Once the stations are well into the lot, the server restarts under them.
        if (!restarted && runs >= setup.stations * setup.chips / 8) {
            ASSERT_TRUE(server->restart());
            restarted = true;
        }
    }

    // Every station's process is gone: what they left reserved becomes interrupted.
    std::vector<ChipRecord> voided;
    ASSERT_EQ(journal->recoverStale("checker", currentProcess(), voided), "");
    std::vector<ChipRecord> chips;
    ASSERT_EQ(journal->chips(chips), "");
    JournalTally tally = checkNoNumberTwice(chips);
    auto& outcomes = tally.outcomes;
    std::size_t passedCount = 0;
    for (const auto& [lot, numbers] : tally.passed) passedCount += numbers.size();
    EXPECT_EQ(passedCount, static_cast<std::size_t>(setup.stations * setup.chips));
    EXPECT_EQ(outcomes["pass"] + outcomes["fail"] + outcomes["interrupted"], static_cast<int>(chips.size()));
    ASSERT_FALSE(chips.empty());
    LotCounts counts;
    ASSERT_EQ(journal->counts(chips.front().lot, counts), "");
    ASSERT_EQ(counts.stations.size(), stations.size());
    for (const StationCounts& s : counts.stations) EXPECT_EQ(s.passed, setup.chips) << s.station;
    EXPECT_EQ(counts.interrupted, outcomes["interrupted"]);
    EXPECT_GT(kills, setup.stations * 2);
    EXPECT_GT(finished, setup.stations);
    if (server) {
        EXPECT_TRUE(restarted);
        EXPECT_GT(runsAfterRestart, setup.stations);
    }
    std::printf("%d runs: %d killed, %d stopped by the journal, %d finished; %d passed, %d interrupted\n",
                runs, kills, stopped, finished, outcomes["pass"], outcomes["interrupted"]);
}

INSTANTIATE_TEST_SUITE_P(Backends, Stations,
                         ::testing::Values(StationSetup{"postgresql", 4, 50}, StationSetup{"sqlite", 2, 50}),
                         [](const auto& info) { return info.param.backend; });

}  // namespace
}  // namespace qzr
