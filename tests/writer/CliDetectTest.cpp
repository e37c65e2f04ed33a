// The command-line program's detect.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/Cli.h"

namespace qzr {
namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result runCli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(CliDetect, VirtualWriterConnectsAndShowsItsIdentification) {
    const auto r = runCli({"-p", "virtual", "detect"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Connect OK!\nWriter: HRP021A V3.30\nFirmware version: V3.30\n");
}

TEST(CliDetect, APortThatCannotBeOpenedFailsAtOnce) {
    const auto r = runCli({"-p", "/nonexistent/port", "detect"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("Open  /nonexistent/port Port Error!!\n", 0), 0u) << r.out;
}

TEST(CliDetect, ComEntriesFollowTheirEnvironmentVariable) {
    ::setenv("QZR_COM7", "virtual", 1);
    const auto r = runCli({"-p", "com7", "detect", "detect"});
    ::unsetenv("QZR_COM7");
    EXPECT_EQ(r.status, 0);
    // Identified once; the second check answers at once.
    EXPECT_EQ(r.out,
              "Connect OK!\nWriter: HRP021A V3.30\nFirmware version: V3.30\nConnect OK!\nWriter: HRP021A "
              "V3.30\nFirmware version: V3.30\n");
}

}  // namespace
}  // namespace qzr
