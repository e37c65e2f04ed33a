// The production record: CSV quoting, the header rules, one line per chip on disk before the dialog lets
// the next chip start, and a log that cannot be written.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <regex>

#include "EngineFixture.h"
#include "app/OperationSession.h"
#include "app/QtpCommands.h"
#include "core/operations/ProductionLog.h"
#include "core/serial_number/QtpFile.h"
#include "support/TestFiles.h"

namespace qzr::test {
namespace {

std::vector<std::string> logLines(const std::string& path) {
    std::vector<std::string> out;
    const std::string text = readFile(path);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) break;
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

TEST(ProductionLog, Quoting) {
    const struct {
        const char* field;
        const char* csv;
    } cases[] = {
        {"", ""},
        {"Auto-program", "Auto-program"},
        {"2A 55 00 00", "2A 55 00 00"},
        {"Data ........ not blank at (0000H), Data = 2000H !!",
         "\"Data ........ not blank at (0000H), Data = 2000H !!\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
        {"\"", "\"\"\"\""},
        {"Ärger.bin", "Ärger.bin"},
    };
    for (const auto& c : cases) EXPECT_EQ(csvField(c.field), c.csv) << c.field;
    EXPECT_EQ(csvLine({"a", "b,c", ""}), "a,\"b,c\",\r\n");
    EXPECT_EQ(productionLogHeader(),
              "Time,Operation,Device,Data file,Memory,w/OPTIONs,Option value,Serial No.,QTP file,Result,"
              "Failed step,Duration ms,Pass count,Writer\r\n");
}

TEST(ProductionLog, IsoLocalTimeHasSecondsAndZone) {
    EXPECT_TRUE(std::regex_match(isoLocalTime(1700000000),
                                 std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d")))
        << isoLocalTime(1700000000);
}

TEST(ProductionLog, HeaderRules) {
    const std::string header = productionLogHeader();
    const std::string line = "x,pass\r\n";
    const struct {
        const char* name;
        std::optional<std::string> before;  // nullopt: no file
        bool accepted;
        std::string after;  // when accepted
    } cases[] = {
        {"new file", std::nullopt, true, header + line},
        {"empty file", "", true, header + line},
        {"header only", header, true, header + line},
        {"earlier lines", header + "y,fail\r\n", true, header + "y,fail\r\n" + line},
        {"last line cut short", header + "y,fa", true, header + "y,fa\r\n" + line},
        {"header with LF", header.substr(0, header.size() - 2) + "\n", true,
         header.substr(0, header.size() - 2) + "\n" + line},
        {"another header", "Name,Serial\r\n", false, ""},
        {"shorter header", "Time,Operation\r\n", false, ""},
        {"longer header", header.substr(0, header.size() - 2) + ",Extra\r\n", false, ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.file("run.csv");
        if (c.before) writeFile(path, *c.before);
        const std::string error = appendProductionLog(path, line);
        if (c.accepted) {
            EXPECT_EQ(error, "") << c.name;
            EXPECT_EQ(readFile(path), c.after) << c.name;
        } else {
            EXPECT_NE(error.find("starts with another header"), std::string::npos) << c.name << ": " << error;
            EXPECT_EQ(readFile(path), *c.before) << c.name;  // not mixed
        }
    }
}

// A full disk (here: the file size limit) while a new log gets its header: the new file is removed again,
// not left empty; a file that was there before stays.
TEST(ProductionLog, ANewLogThatCannotTakeItsHeaderIsRemoved) {
    TempDir dir;
    writeFile(dir.file("there.csv"), std::string());
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string fresh = prepareProductionLog(dir.file("new.csv"));
    const std::string appended = appendProductionLog(dir.file("new2.csv"), "a,b\r\n");
    const std::string existing = prepareProductionLog(dir.file("there.csv"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);
    EXPECT_NE(fresh.find("Cannot write the production log"), std::string::npos) << fresh;
    EXPECT_NE(appended, "");
    EXPECT_NE(existing, "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("new.csv")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("new2.csv")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("there.csv")));
    EXPECT_EQ(std::filesystem::file_size(dir.file("there.csv")), 0u);
}

TEST(ProductionLog, UnwritableLogs) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "folder");
    std::vector<std::string> paths{dir.file("gone/run.csv"), dir.file("folder")};
    // A folder without write permission (the superuser writes there anyway).
    std::filesystem::create_directory(dir.path() / "locked");
    std::filesystem::permissions(dir.path() / "locked",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (geteuid() != 0) paths.push_back(dir.file("locked/run.csv"));
    for (const std::string& path : paths) {
        const std::string error = prepareProductionLog(path);
        EXPECT_NE(error.find("\"" + path + "\""), std::string::npos) << error;
        EXPECT_NE(appendProductionLog(path, "x\r\n"), "");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("gone")));
}

// Keeps the dialog's state and notes, whenever a button or the repeat timer is switched on, how many lines
// the log holds on disk at that moment.
class LogWatchingView final : public ProgressDialogModel {
  public:
    explicit LogWatchingView(std::string path) : path_(std::move(path)) {}
    void setContinueEnabled(bool e) override {
        if (e) note("Continue");
        ProgressDialogModel::setContinueEnabled(e);
    }
    void setExitEnabled(bool e) override {
        if (e) note("Exit");
        ProgressDialogModel::setExitEnabled(e);
    }
    void setRepeatTimer(bool e) override {
        if (e) note("timer");
        ProgressDialogModel::setRepeatTimer(e);
    }
    void setText(ViewLine l, const std::string& text) override {
        ProgressDialogModel::setText(l, text);
        if (!removeFolderAt.empty() && text == removeFolderAt)
            std::filesystem::remove_all(std::filesystem::path(path_).parent_path());
    }
    std::vector<std::string> notes;
    std::string removeFolderAt;  // the folder of the log disappears when a line gets this text

  private:
    void note(const char* what) {
        notes.push_back(std::string(what) + " " + std::to_string(logLines(path_).size()));
    }
    std::string path_;
};

class ProductionLogTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        loadProject();
        st.operation.productionLogPath = log;
    }
    RunOutcome runWith(OperationView& v, OperationType type) {
        st.operation.operationType = type;
        resetProgressLines(v);
        return OperationEngine(st, box, clock, v).run();
    }
    TempDir dir;
    std::string log = dir.file("run.csv");
};

TEST_F(ProductionLogTest, EachLineIsOnDiskBeforeTheNextChipCanStart) {
    st.operation.flashTestRepeat = true;
    LogWatchingView v(log);
    // Passed (Continue, Exit, repeat timer) and failed (Continue, Exit) runs.
    ASSERT_EQ(runWith(v, OperationType::BlankCheck), RunOutcome::Passed);
    ASSERT_EQ(runWith(v, OperationType::ProgramData), RunOutcome::Passed);
    ASSERT_EQ(runWith(v, OperationType::BlankCheck), RunOutcome::Failed);
    EXPECT_EQ(v.notes, (std::vector<std::string>{"timer 2", "Continue 2", "Exit 2", "timer 3", "Continue 3",
                                                 "Exit 3", "Continue 4", "Exit 4"}));
}

TEST_F(ProductionLogTest, EveryRunThatReachesTheChipIsRecorded) {
    RecordingView v;
    ASSERT_EQ(runWith(v, OperationType::BlankCheck), RunOutcome::Passed);
    ASSERT_EQ(runWith(v, OperationType::ProgramData), RunOutcome::Passed);
    ASSERT_EQ(runWith(v, OperationType::ProgramIdChecksum), RunOutcome::Passed);
    ASSERT_EQ(runWith(v, OperationType::BlankCheck), RunOutcome::Failed);
    // Refused before the writer is addressed: no chip reached, no line.
    st.options.optionStatus = {true, false};
    ASSERT_EQ(runWith(v, OperationType::AutoProgram), RunOutcome::Failed);
    box.setKind(VirtualWriter::Kind::Class2);
    ASSERT_EQ(runWith(v, OperationType::Verify), RunOutcome::Failed);

    const std::vector<std::string> lines = logLines(log);
    ASSERT_EQ(lines.size(), 5u);
    const std::regex line(
        "[-0-9T:+]{25},([^,]*),QZR-D10,,[0-9A-F]{4},[0-9A-F]{4},[^,]*,,,(pass|fail),(.*),[0-9]+,(\\d+),"
        "HRP021A V3\\.30");
    const char* expected[][3] = {
        {"Blank check", "pass", ""},
        {"Program data", "pass", ""},
        {"Program ID & checksum", "pass", ""},  // shown with one "&"
        {"Blank check", "fail", "ID or Checksum ...... Not Blank!!"},
    };
    for (std::size_t i = 0; i < 4; ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i + 1], m, line)) << lines[i + 1];
        EXPECT_EQ(m[1], expected[i][0]);
        EXPECT_EQ(m[2], expected[i][1]);
        EXPECT_EQ(m[3], expected[i][2]);
        EXPECT_EQ(m[4], "0");  // only auto-programs count
    }
}

TEST_F(ProductionLogTest, SerialNumbersFromAQtpFileNameTheFile) {
    st.image.setProgramWord(0x10, splitWord(0x3100));
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    st.serial.startAddress = 0x10;
    st.serial.wordCount = 1;
    st.serial.serialMode = true;
    const std::string qtp = dir.file("parts.txt");
    SerialNumberState writer = st.serial;
    writer.number = {0xA7};
    writeFile(qtp, buildQtpFile(writer, 1));
    ASSERT_TRUE(LoadQTPFile1Click(st, [&] { return std::optional<QtpFileChoice>({qtp, 2}); }));
    RecordingView v;
    ASSERT_EQ(runWith(v, OperationType::AutoProgram), RunOutcome::QtpFinished);
    const std::vector<std::string> lines = logLines(log);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(",A7," + qtp + ",pass,,"), std::string::npos) << lines[1];
}

TEST_F(ProductionLogTest, AStopAfterTheChipWasReachedIsRecordedAsInterrupted) {
    std::atomic<bool> stop{false};
    InjectLink link(box);
    link.stop = &stop;
    link.stopAfterWrites = 500;
    st.operation.operationType = OperationType::ProgramData;
    RecordingView v;
    EXPECT_EQ(OperationEngine(st, link, clock, v, &stop).run(), RunOutcome::Stopped);
    const std::vector<std::string> lines = logLines(log);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(",interrupted,,"), std::string::npos) << lines[1];
}

TEST_F(ProductionLogTest, ALogThatCannotBeWrittenStopsTheRunBeforeTheWriter) {
    st.operation.productionLogPath = dir.file("gone/run.csv");
    RecordingView v;
    st.operation.operationType = OperationType::AutoProgram;
    EXPECT_EQ(OperationEngine(st, box, clock, v).run(), RunOutcome::Failed);
    const ProgressDialogModel m = v.model();
    EXPECT_EQ(m.line(ViewLine::Data).text, "Cannot write the production log \"" + dir.file("gone/run.csv") +
                                               "\": No such file or directory");
    EXPECT_TRUE(m.line(ViewLine::Data).red);
    EXPECT_FALSE(m.continueEnabled);
    EXPECT_TRUE(m.exitEnabled);
    EXPECT_TRUE(box.exchanges().empty());
    EXPECT_EQ(st.serial.passCountText, "0");
}

TEST_F(ProductionLogTest, AChipThatCannotBeRecordedHoldsTheNextOneUntilAcknowledged) {
    // Two RTWI words at 0x0010 for a serial number.
    st.image.setProgramWord(0x10, splitWord(0x3100));
    st.image.setProgramWord(0x11, splitWord(0x3100));
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    st.serial.startAddress = 0x10;
    st.serial.wordCount = 2;
    st.serial.number = {0x05, 0x00};
    st.serial.serialMode = true;
    st.operation.flashTestRepeat = true;
    st.operation.operationType = OperationType::AutoProgram;
    log = dir.file("sub/run.csv");
    std::filesystem::create_directory(dir.file("sub"));
    st.operation.productionLogPath = log;

    LogWatchingView v(log);
    v.removeFolderAt = "Program data...";  // the folder goes away while the chip is programmed
    OperationSession session(st, box, clock, v);
    session.start();
    session.wait();
    EXPECT_EQ(session.lastOutcome(), RunOutcome::NotRecorded);
    EXPECT_FALSE(runPassed(RunOutcome::NotRecorded));
    // The chip holds its number and stays counted; the next chip gets the next number.
    EXPECT_EQ(box.chip().programWord(0x11) & 0xFF, 0x05u);
    EXPECT_EQ(st.serial.passCountText, "1");
    EXPECT_EQ(st.serial.number[0], 0x06);
    // Only Exit; no repeat; the reason and the chip's details in red.
    const std::string message = "Cannot write the production log \"" + log +
                                "\": No such file or directory; this chip is not recorded (pass, pass count "
                                "1, serial No. 0005)";
    EXPECT_EQ(session.recordFailure(), message);
    EXPECT_EQ(v.notes, std::vector<std::string>{"Exit 0"});
    EXPECT_FALSE(v.continueEnabled);
    EXPECT_FALSE(v.repeatTimer);
    EXPECT_EQ(v.line(ViewLine::TotalTime).text, message);
    EXPECT_TRUE(v.line(ViewLine::TotalTime).red);

    session.acknowledgeRecordFailure();
    EXPECT_TRUE(v.continueEnabled);
    EXPECT_FALSE(v.repeatTimer);
    EXPECT_EQ(v.line(ViewLine::TotalTime).text, "");
    EXPECT_FALSE(v.line(ViewLine::TotalTime).red);
    EXPECT_EQ(session.recordFailure(), "");
}

}  // namespace
}  // namespace qzr::test
