#include <gtest/gtest.h>

#include <sstream>

#include "support/TestFiles.h"

namespace qzr {
namespace {

int lineCount(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

TEST(CliFrame, DevicesListsTheTable) {
    auto r = test::runCli({"devices"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lineCount(r.out), 59);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "QZR-D01 2048 256 flash 1");
    EXPECT_NE(r.out.find("\nQZR-D10 1024 0 otp 1\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nQZR-D59 512 0 otp 3\n"), std::string::npos);
}

TEST(CliFrame, BadUsageRunsNothing) {
    // An unknown command after a good one: status 2 and the good one does not run.
    auto r = test::runCli({"devices", "frobnicate"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(test::runCli({"--bogus", "devices"}).status, 2);
    EXPECT_EQ(test::runCli({"-d"}).status, 2);
    EXPECT_EQ(test::runCli({}).status, 2);
    EXPECT_EQ(test::runCli({"-d", "QZR-D99", "devices"}).status, 2);
    EXPECT_EQ(test::runCli({"--handshake", "RTS", "devices"}).status, 2);
    // Options may stand anywhere on the line.
    EXPECT_EQ(test::runCli({"devices", "-d", "QZR-D10"}).status, 0);
}

TEST(CliFrame, DeviceNeedingAdaptorSaysSo) {
    auto r = test::runCli({"-d", "QZR-D59", "devices"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Please add the adaptor");
}

}  // namespace
}  // namespace qzr
