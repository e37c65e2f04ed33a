#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/common/FileIo.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

namespace fs = std::filesystem;

unsigned modeOf(const std::string& path) {
    struct stat sb {};
    EXPECT_EQ(::stat(path.c_str(), &sb), 0) << path;
    return sb.st_mode & 0777;
}

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WholeFileWriter, SymbolicLinksAreFollowedAndStay) {
    test::TempDir dir;
    test::writeFile(dir.file("real.cfg"), std::string("old"));
    fs::create_symlink("real.cfg", dir.file("link.cfg"));             // relative
    fs::create_symlink(dir.file("link.cfg"), dir.file("chain.cfg"));  // absolute, to a link
    fs::create_symlink("made.cfg", dir.file("dangling.cfg"));
    const struct {
        std::string written, link, target;
    } cases[] = {
        {"link.cfg", "link.cfg", "real.cfg"},
        {"chain.cfg", "chain.cfg", "real.cfg"},
        {"dangling.cfg", "dangling.cfg", "made.cfg"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(writeFileWhole(dir.file(c.written), "via " + c.written)) << c.written;
        EXPECT_TRUE(fs::is_symlink(dir.file(c.link))) << c.written;
        EXPECT_EQ(test::readFile(dir.file(c.target)), "via " + c.written);
    }
    EXPECT_EQ(entries(dir.path()),
              (std::vector<std::string>{"chain.cfg", "dangling.cfg", "link.cfg", "made.cfg", "real.cfg"}));
    // A loop of links is refused.
    fs::create_symlink("b.cfg", dir.file("a.cfg"));
    fs::create_symlink("a.cfg", dir.file("b.cfg"));
    EXPECT_FALSE(writeFileWhole(dir.file("a.cfg"), "x"));
}

TEST(WholeFileWriter, TargetsThatAreNotRegularFilesAreRefused) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    fs::create_directory(dir.file("folder"));
    fs::create_symlink("fifo", dir.file("to-fifo"));
    for (const char* name : {"fifo", "folder", "to-fifo"}) {
        EXPECT_FALSE(writeFileWhole(dir.file(name), "x")) << name;
    }
    EXPECT_TRUE(fs::is_fifo(dir.file("fifo")));
    EXPECT_TRUE(fs::is_directory(dir.file("folder")));
    EXPECT_TRUE(fs::is_symlink(dir.file("to-fifo")));
    EXPECT_EQ(entries(dir.path()).size(), 3u);  // no temporary file left
}

TEST(WholeFileWriter, ReplacedFilesKeepTheirPermissions) {
    test::TempDir dir;
    for (const unsigned mode : {0600u, 0640u, 0755u, 0200u}) {
        const std::string path = dir.file("f" + std::to_string(mode));
        test::writeFile(path, std::string("old"));
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(writeFileWhole(path, "new"));
        EXPECT_EQ(modeOf(path), mode);
        EXPECT_EQ(test::readFile(path), "new");
    }
    const mode_t mask = ::umask(0022);
    ::umask(mask);
    ASSERT_TRUE(writeFileWhole(dir.file("fresh"), "new"));
    EXPECT_EQ(modeOf(dir.file("fresh")), 0666u & ~static_cast<unsigned>(mask));
}

// A file that nobody may write is refused by its mode bits (also when the test runs as root, who could
// write it), and left as it was; a save of the command line reports it.
TEST(WholeFileWriter, FilesWithoutWritePermissionAreNotReplaced) {
    test::TempDir dir;
    for (const unsigned mode : {0444u, 0400u, 0555u, 0000u}) {
        const std::string path = dir.file("f" + std::to_string(mode));
        test::writeFile(path, std::string("old"));
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        EXPECT_FALSE(writeFileWhole(path, "new")) << std::oct << mode;
        EXPECT_EQ(modeOf(path), mode);
        ::chmod(path.c_str(), 0600);
        EXPECT_EQ(test::readFile(path), "old");
        ::chmod(path.c_str(), mode);
    }
    EXPECT_EQ(entries(dir.path()).size(), 4u);  // no temporary file left

    const std::string cfg = dir.file("p.cfg");
    ASSERT_EQ(test::runCli({"save-config", cfg}).status, 0);
    ASSERT_EQ(::chmod(cfg.c_str(), 0444), 0);
    const test::CliResult r = test::runCli({"-d", "QZR-D10", "save-config", cfg});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "File can't be saved!\n");
    EXPECT_EQ(test::readFile(cfg).find("QZR-D10"), std::string::npos);
}

TEST(WholeFileWriter, TemporaryFilesOfKilledSavesAreRemoved) {
    test::TempDir dir;
    const std::string target = dir.file("p.cfg");
    // The pid of a process that has ended.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);

    const std::string stale = temporaryFileName(target, child, 7);
    const std::string running = temporaryFileName(target, ::getpid(), 100000);
    const std::string otherFile = temporaryFileName(dir.file("other.cfg"), child, 1);
    const std::string notOurs = dir.file(".p.cfg.tmp-notes");
    for (const std::string& f : {stale, running, otherFile, notOurs}) test::writeFile(f, std::string("t"));
    ASSERT_TRUE(writeFileWhole(target, "new"));
    // The next save in the folder removes what killed saves left, whichever file they were for.
    for (const std::string& f : {stale, otherFile}) EXPECT_FALSE(fs::exists(f)) << f;
    for (const std::string& f : {running, notOurs}) EXPECT_TRUE(fs::exists(f)) << f;
    EXPECT_EQ(entries(dir.path()).size(), 3u);
}

TEST(WholeFileWriter, CommandLineSavesRespectTheFileSystem) {
    test::TempDir dir;
    // save through a symbolic link
    test::writeFile(dir.file("real.bin"), std::string("old"));
    fs::create_symlink("real.bin", dir.file("link.bin"));
    test::CliResult r = test::runCli({"-d", "QZR-D10", "save", dir.file("link.bin")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(fs::is_symlink(dir.file("link.bin")));
    EXPECT_EQ(fs::file_size(dir.file("real.bin")), 2048u);

    // save-config over a FIFO
    ASSERT_EQ(::mkfifo(dir.file("fifo.cfg").c_str(), 0600), 0);
    r = test::runCli({"save-config", dir.file("fifo.cfg")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "File can't be saved!\n");
    EXPECT_TRUE(fs::is_fifo(dir.file("fifo.cfg")));

    // a 0600 configuration saved again, and disasm over a folder
    ASSERT_EQ(test::runCli({"save-config", dir.file("p.cfg")}).status, 0);
    ASSERT_EQ(::chmod(dir.file("p.cfg").c_str(), 0600), 0);
    ASSERT_EQ(test::runCli({"save-config", dir.file("p.cfg")}).status, 0);
    EXPECT_EQ(modeOf(dir.file("p.cfg")), 0600u);
    fs::create_directory(dir.file("d.dis"));
    EXPECT_EQ(test::runCli({"disasm", dir.file("d.dis")}).status, 1);
    EXPECT_TRUE(fs::is_directory(dir.file("d.dis")));
}

}  // namespace
}  // namespace qzr
