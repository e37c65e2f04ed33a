// The command line with several -p: one gang, every line of a socket after "[K] ", one verdict per socket
// and chip, COUNT reached in a round, an unplugged socket switched off.
#include <sstream>

#include "cli/CliInput.h"
#include "support/JournalProject.h"
#include "support/TestFiles.h"

namespace qzr::test {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> gangArgs(const std::string& cfg, const std::vector<std::string>& ports,
                                  std::vector<std::string> tail) {
    std::vector<std::string> args{"-y", "-c", cfg};
    for (const std::string& p : ports) args.insert(args.end(), {"-p", p});
    args.insert(args.end(), {"serial", "10", "2", "0100"});
    args.insert(args.end(), tail.begin(), tail.end());
    return args;
}

TEST(GangCli, RunCountsChipsAndEndsAfterTheRoundThatReachesCount) {
    TempDir dir;
    const std::string cfg = writeProject(dir);
    const std::vector<std::string> ports(4, "virtual:new-chip");
    const CliResult r = runCliWithInput(gangArgs(cfg, ports, {"run", "auto", "7"}), "\n\n\n\n");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> verdicts;
    for (const std::string& line : linesOf(r.out)) {
        if (line.rfind("Chips: ", 0) == 0) continue;
        ASSERT_EQ(line[0], '[') << line;  // every line of the run is a socket's
        const int socket = line[1] - '0';
        ASSERT_TRUE(socket >= 1 && socket <= 4 && line.compare(2, 2, "] ") == 0) << line;
        if (line.find("Chip ") == 4) verdicts.push_back(line.substr(0, line.rfind(" (")));
    }
    // Two rounds of four: chips numbered in socket order, numbers taken in socket order.
    const std::vector<std::string> expected{
        "[1] Chip 1: PASS Serial No. 0100", "[2] Chip 2: PASS Serial No. 0101",
        "[3] Chip 3: PASS Serial No. 0102", "[4] Chip 4: PASS Serial No. 0103",
        "[1] Chip 5: PASS Serial No. 0104", "[2] Chip 6: PASS Serial No. 0105",
        "[3] Chip 7: PASS Serial No. 0106", "[4] Chip 8: PASS Serial No. 0107"};
    EXPECT_EQ(verdicts, expected);
    EXPECT_NE(r.out.find("Chips: 8, passed: 8, failed: 0\n"), std::string::npos);

    const CliResult journal = runCli({"-c", cfg, "journal"});
    EXPECT_EQ(linesOf(journal.out).size(), 9u);  // the header and eight chips
}

TEST(GangCli, AnUnpluggedSocketIsSwitchedOffAndTheOthersGoOn) {
    TempDir dir;
    const std::string cfg = writeProject(dir);
    const std::string missing = dir.file("no-such-port");
    const CliResult r = runCliWithInput(
        gangArgs(cfg, {"virtual:new-chip", missing, "virtual:new-chip"}, {"run", "auto", "4"}), "\n\n\n");
    EXPECT_EQ(r.status, 3) << "a socket switched off by a line fault";
    EXPECT_NE(r.out.find("[2] Open  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[1] Chip 1: PASS Serial No. 0100"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[3] Chip 2: PASS Serial No. 0101"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[3] Chip 4: PASS Serial No. 0103"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Chips: 4, passed: 4, failed: 0"), std::string::npos) << r.out;
}

TEST(GangCli, AWriterOperationActsOnEverySocketWithOneJsonObjectEach) {
    TempDir dir;
    const std::string cfg = writeProject(dir);
    const CliResult r = runCli(gangArgs(cfg, {"virtual:new-chip", "virtual:new-chip"}, {"--json", "auto"}));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> docs = linesOf(r.out);
    ASSERT_EQ(docs.size(), 2u) << r.out;
    for (int k = 1; k <= 2; ++k) {
        const std::string& doc = docs[static_cast<std::size_t>(k - 1)];
        EXPECT_NE(doc.find("\"chip\": " + std::to_string(k) + ","), std::string::npos) << doc;
        EXPECT_NE(doc.find("\"socket\": " + std::to_string(k) + ","), std::string::npos) << doc;
        EXPECT_NE(doc.find("\"port\": \"virtual:new-chip\""), std::string::npos) << doc;
        EXPECT_NE(doc.find("\"result\": \"pass\""), std::string::npos) << doc;
        EXPECT_NE(doc.find("\"serial\": \"010" + std::to_string(k - 1) + "\""), std::string::npos) << doc;
    }
}

}  // namespace
}  // namespace qzr::test
