// End to end over a pseudo-terminal: the command-line program drives the emulated writer through the real
// serial component, as it drives a writer box on a serial port.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/writer/PtyWriter.h"
#include "support/TestFiles.h"

extern char** environ;

namespace qzr::test {
namespace {

// A program for QZR-D10 (1024 words, low byte first), reset vector included.
std::vector<uint8_t> programBytes() {
    std::vector<uint8_t> bytes;
    for (unsigned n = 0; n < 1024; ++n) {
        const unsigned w = 0x2000 + (n * 7) % 0x1000;
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    return bytes;
}

// A project for that program with every option set and an ID.
std::string writeProject(const TempDir& dir) {
    const std::string prog = dir.file("prog.bin");
    writeFile(prog, programBytes());
    const std::string cfg = dir.file("proj.cfg");
    EXPECT_EQ(runCli({"-d", "QZR-D10", "-l", prog, "save-config", cfg}).status, 0);
    std::string text = readFile(cfg);
    const auto at = text.find("Option code: 7F 5F 00 00");
    if (at == std::string::npos) {
        ADD_FAILURE() << text;
        return cfg;
    }
    text.replace(at, 24, "Option code: 2A 55 00 00");
    text.replace(text.find("ID code: 7F 7F"), 14, "ID code: 51 5A");
    writeFile(cfg, text);
    return cfg;
}

class PtyEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.open(error)) << error;
        thread = std::thread([this] { server.serve(); });
    }
    void TearDown() override {
        server.stop();
        if (thread.joinable()) thread.join();
    }
    void insertChip(bool flash, int coreType) {
        server.withBox([&](WriterBox& box) { box.insertChip(flash, coreType); });
    }
    CliResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"-p", server.devicePath()});
        return runCli(args);
    }

    PtyWriter server;
    std::thread thread;
    TempDir dir;
};

TEST_F(PtyEndToEnd, DetectsTheWriter) {
    const CliResult r = cli({"-d", "QZR-D10", "detect"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Connect OK!\nWriter: HRP021A V3.30\nFirmware version: V3.30\n");
}

TEST_F(PtyEndToEnd, ReadsTheWholeChipWithItsEeprom) {
    // QZR-D05: 4096 words and 256 EEPROM bytes.
    VirtualChip chip;
    chip.flash = true;
    chip.coreType = 2;
    for (std::size_t n = 0; n < 4096; ++n) {
        const unsigned w = (n * 2654435761u >> 7) & 0x3FFF;
        chip.program[2 * n] = static_cast<uint8_t>(w & 0x7F);
        chip.program[2 * n + 1] = static_cast<uint8_t>(w >> 7);
    }
    for (std::size_t a = 0; a < 256; ++a) chip.eeprom[a] = static_cast<uint8_t>(a * 37 + 11);
    server.withBox([&](WriterBox& box) { box.setChip(chip); });

    const std::string out = dir.file("chip.bin");
    for (int round = 0; round < 3; ++round) {  // every time, not by luck of timing
        std::filesystem::remove(out);
        const CliResult r = cli({"-d", "QZR-D05", "read", out});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.out, "Read ID and Checksum OK\nRead OPTION OK\nRead Data OK\nRead EEPROM OK\n");
        const std::string file = readFile(out);
        ASSERT_EQ(file.size(), 0x8200u + 512u);
        for (std::size_t n = 0; n < 4096; ++n) {
            const unsigned got =
                static_cast<uint8_t>(file[2 * n]) + 256u * static_cast<uint8_t>(file[2 * n + 1]);
            ASSERT_EQ(got, chip.programWord(n)) << "word " << n;
        }
        for (std::size_t a = 0; a < 256; ++a) {
            ASSERT_EQ(static_cast<uint8_t>(file[0x8200 + 2 * a]), chip.eeprom[a]) << "EEPROM byte " << a;
        }
    }
}

TEST_F(PtyEndToEnd, AutoProgramsAndVerifiesChipAfterChip) {
    const std::string cfg = writeProject(dir);
    const auto image = programBytes();
    for (int chipNo = 0; chipNo < 2; ++chipNo) {
        insertChip(false, 1);
        const CliResult r = cli({"-y", "-c", cfg, "auto", "verify"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("OPTION program & verify OK\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("OPTION verify OK\n"), std::string::npos) << r.out;
        const VirtualChip chip = server.withBox([](WriterBox& box) { return box.chip(); });
        for (std::size_t n = 0; n < 1024; ++n)
            ASSERT_EQ(chip.programWord(n), image[2 * n] + 256u * image[2 * n + 1]) << "word " << n;
        // The programmed chip reads back as the image.
        const std::string out = dir.file("back.bin");
        ASSERT_EQ(cli({"-d", "QZR-D10", "read", out}).status, 0);
        EXPECT_EQ(readFile(out), std::string(image.begin(), image.end()));
    }
    // The same chip again: the blank check refuses it.
    const CliResult again = cli({"-y", "-c", cfg, "auto"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "ID or Checksum ...... Not Blank!!\n");
}

TEST_F(PtyEndToEnd, DownloadsDeviceData) {
    const CliResult r = cli({"download", "QZR-D01,QZR-D02"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const auto records = server.withBox([](WriterBox& box) { return box.downloads(); });
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0][1], 0xFF);
    EXPECT_EQ(records[2][1], 2);
}

TEST_F(PtyEndToEnd, WriterFaultsEndTheRunWithTheirTexts) {
    const std::string cfg = writeProject(dir);
    struct Case {
        const char* name;
        WriterBox::Faults faults;
        std::vector<std::string> command;
        const char* err;
    };
    WriterBox::Faults noChip, adapter, failAt, silent, silentRead;
    noChip.noChip = true;
    adapter.adapterError = true;
    failAt.failAtByte = 100;
    // Probe, identification, blank check, ID program and verify: the silence falls into the data stream.
    silent.silenceAfter = 2400;
    // Probe, identification, ID, options, special words: into the program-memory stream of the read.
    silentRead.silenceAfter = 400;
    const Case cases[] = {
        {"no chip", noChip, {"-y", "-c", cfg, "auto"}, "Nothing in socket or type error!!\n"},
        {"adapter", adapter, {"-d", "QZR-D10", "read", dir.file("x.bin")}, "IC adapter board error!!\n"},
        {"fail at byte 100", failAt, {"-y", "-c", cfg, "auto"}, "Data program fail !!\n"},
        {"silence in the data stream", silent, {"-y", "-c", cfg, "auto"}, "Connect Timeout!!\n"},
        {"silence in Read IC",
         silentRead,
         {"-d", "QZR-D10", "read", dir.file("y.bin")},
         "Connect Timeout!! (6)\n"},
    };
    for (const Case& c : cases) {
        server.withBox([&](WriterBox& box) {
            box.insertChip(false, 1);
            box.setFaults(c.faults);
        });
        const CliResult r = cli(c.command);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name << "\n" << r.out;
        server.withBox([](WriterBox& box) { box.setFaults({}); });
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.bin")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("y.bin")));
}

TEST_F(PtyEndToEnd, WithoutDashPThePortOfTheConfigurationStands) {
    const std::string a = dir.file("a.cfg"), b = dir.file("b.cfg"), c = dir.file("c.cfg");
    const std::string prog = dir.file("prog.bin");
    writeFile(prog, programBytes());
    ASSERT_EQ(cli({"-d", "QZR-D10", "-l", prog, "save-config", a}).status, 0);
    std::string text = readFile(a);
    ASSERT_NE(text.find("COM port: " + server.devicePath() + "\r\n"), std::string::npos) << text;
    const CliResult r = runCli({"-c", a, "detect"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("Connect OK!\n", 0), 0u) << r.out;

    text.replace(text.find(server.devicePath()), server.devicePath().size(), "Com5");
    writeFile(b, text);
    for (const auto& [port, expected] : {std::pair<std::string, std::string>{"", "Com5"}, {"Com3", "Com3"}}) {
        std::vector<std::string> args = {"-c", b, "save-config", c};
        if (!port.empty()) args.insert(args.begin(), {"-p", port});
        ASSERT_EQ(runCli(args).status, 0);
        EXPECT_NE(readFile(c).find("COM port: " + expected + "\r\n"), std::string::npos) << port;
    }
}

// The program itself: `emulate LINK` in one process, `read` through the link in another.
TEST(PtyEmulateCommand, ServesTheBoxOnALinkUntilInterrupted) {
    TempDir dir;
    const std::string link = dir.file("writer");
    int pipeFd[2];
    ASSERT_EQ(pipe(pipeFd), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFd[0]);
    std::vector<std::string> args = {QZR_CLI_PATH, "-d", "QZR-D10", "emulate", link};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, QZR_CLI_PATH, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFd[1]);

    // The device path comes as the first line (bounded wait).
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{pipeFd[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char buf[256];
        const ssize_t n = read(pipeFd[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, static_cast<std::size_t>(n));
    }
    ASSERT_NE(line.find('\n'), std::string::npos) << line;
    line.resize(line.find('\n'));
    EXPECT_EQ(line.rfind("/dev/pts/", 0), 0u) << line;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), line);

    const std::string out = dir.file("chip.bin");
    const CliResult r = runCli({"-d", "QZR-D10", "-p", link, "read", out});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    std::string blank;
    for (int n = 0; n < 1024; ++n) blank += "\xFF\x3F";
    EXPECT_EQ(readFile(out), blank);
    // Programmed and verified through the link, the chip reads back byte-exact.
    const CliResult programmed = runCli({"-y", "-c", writeProject(dir), "-p", link, "auto", "verify"});
    EXPECT_EQ(programmed.status, 0) << programmed.out << programmed.err;
    EXPECT_EQ(runCli({"-d", "QZR-D10", "-p", link, "read", out, "verify"}).status, 0);
    const auto image = programBytes();
    EXPECT_EQ(readFile(out), std::string(image.begin(), image.end()));

    // The process ends on SIGINT: its pidfd becomes readable when it has ended (bounded wait).
    const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    ASSERT_GE(pidFd, 0);
    kill(pid, SIGINT);
    pollfd p{pidFd, POLLIN, 0};
    const bool ended = poll(&p, 1, 10000) == 1;
    close(pidFd);
    close(pipeFd[0]);
    int status = 0;
    if (!ended) kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ASSERT_TRUE(ended) << "emulate did not end on SIGINT";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(PtyEmulateCommand, UnknownFaultWordsAreBadUsage) {
    const CliResult r = runCli({"emulate", "link", "no-such-fault"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown fault: no-such-fault"), std::string::npos) << r.err;
    EXPECT_EQ(runCli({"emulate", "fail-at=x"}).status, 2);
}

}  // namespace
}  // namespace qzr::test
