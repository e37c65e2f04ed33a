#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/writer/Comm.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

// A pseudo-terminal pair: the component opens the slave as its port, the test plays the far end on the
// master (whose termios requests reach the slave's settings).
class PtyPair {
  public:
    PtyPair() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        char name[128];
        if (ptsname_r(master_, name, sizeof name) == 0) slave_ = name;
    }
    ~PtyPair() { CloseMaster(); }
    bool Ok() const { return master_ >= 0 && !slave_.empty(); }
    int master() const { return master_; }
    const std::string& slave() const { return slave_; }
    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    void Send(const std::string& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads what the port sent, waiting up to one second for want bytes.
    std::string Receive(size_t want) const {
        std::string got;
        while (got.size() < want) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0) break;
            char buf[256];
            ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }
    termios Settings() const {
        termios t{};
        tcgetattr(master_, &t);
        return t;
    }

  private:
    int master_ = -1;
    std::string slave_;
};

class CommTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!pty.Ok()) GTEST_SKIP() << "no pseudo-terminals here";
        comm.SetDeviceName(pty.slave());
        comm.SetBaudRate(TBaudrate::br115200);
        comm.SetFlowControl(TFlowControl::fcNone);
    }
    void OpenPort() {
        comm.Open();
        ASSERT_TRUE(comm.Enabled()) << "errno " << comm.LastOpenError();
    }
    // Reads until want bytes came, waiting for input in between.
    std::string ReadAll(size_t want) {
        std::string got;
        while (got.size() < want && comm.WaitForInput(1000)) {
            std::uint8_t buf[64];
            int n = comm.Read(buf, sizeof buf);
            got.append(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
        }
        return got;
    }
    PtyPair pty;
    TComm comm;
};

speed_t Speed(const termios& t) {
    return cfgetospeed(&t);
}

// The output rate as the driver's termios2 block holds it (rates without a B-constant).
speed_t FreeRate(int fd) {
    struct {
        tcflag_t flags[4];
        cc_t line;
        cc_t cc[19];
        speed_t ispeed;
        speed_t ospeed;
    } t2{};
    if (ioctl(fd, _IOR('T', 0x2A, decltype(t2)), &t2) != 0) return 0;
    return t2.ospeed;
}

template <typename F>
ECommError Raised(F&& f) {
    try {
        f();
    } catch (const ECommError& e) {
        return e;
    }
    ADD_FAILURE() << "no ECommError raised";
    return ECommError("none", 0);
}

TEST(CommDefaults, MatchTheComponentsPublishedValues) {
    TComm comm;
    EXPECT_EQ(comm.DeviceName(), "Com2");
    EXPECT_EQ(comm.ReadTimeout(), 1000);
    EXPECT_EQ(comm.WriteTimeout(), 1000);
    EXPECT_EQ(comm.ReadBufSize(), 4096);
    EXPECT_EQ(comm.WriteBufSize(), 2048);
    EXPECT_EQ(comm.MonitorEvents().Mask(), 511U);
    EXPECT_EQ(comm.BaudRate(), TBaudrate::br9600);
    EXPECT_EQ(comm.Parity(), TParity::paNone);
    EXPECT_EQ(comm.Stopbits(), TStopbits::sb10);
    EXPECT_EQ(comm.Databits(), TDatabits::da8);
    EXPECT_EQ(comm.FlowControl(), TFlowControl::fcDefault);
    EXPECT_EQ(comm.Options().Mask(), 0U);
    EXPECT_EQ(comm.EventChars().XonChar(), 17);
    EXPECT_EQ(comm.EventChars().XoffChar(), 19);
    EXPECT_EQ(static_cast<int>(TBaudrate::br115200), 12);
    EXPECT_EQ(BaudrateValue(TBaudrate::br115200), 115200);
    EXPECT_EQ(BaudrateValue(TBaudrate::br110), 110);
    EXPECT_EQ(BaudrateValue(TBaudrate::br256000), 256000);
}

TEST(CommFactory, GivesThePortWithTheWriterLinksLineSettings) {
    auto port = createSerialPort();
    ASSERT_NE(port, nullptr);
    EXPECT_FALSE(port->Enabled());
    auto* comm = dynamic_cast<TCustomComm*>(port.get());
    ASSERT_NE(comm, nullptr);
    EXPECT_EQ(comm->BaudRate(), TBaudrate::br115200);
    EXPECT_EQ(comm->Databits(), TDatabits::da8);
    EXPECT_EQ(comm->Parity(), TParity::paNone);
    EXPECT_EQ(comm->Stopbits(), TStopbits::sb10);
    EXPECT_EQ(comm->ReadBufSize(), 8192);
    EXPECT_EQ(comm->WriteBufSize(), 0);

    PtyPair pty;
    if (!pty.Ok()) return;
    port->SetDeviceName(pty.slave());
    port->SetFlowControl(TFlowControl::fcNone);
    port->Open();
    ASSERT_TRUE(port->Enabled());
    termios t = pty.Settings();
    EXPECT_EQ(cfgetospeed(&t), B115200);
}

TEST(CommClosed, ReportsNothingAndRefusesLineControl) {
    TComm comm;
    EXPECT_FALSE(comm.Enabled());
    EXPECT_EQ(comm.InQueCount(), -1);
    EXPECT_EQ(comm.OutQueCount(), -1);
    EXPECT_FALSE(comm.GetModemState(1));
    EXPECT_FALSE(comm.Cts());
    EXPECT_FALSE(comm.GetComState(1));
    EXPECT_FALSE(comm.WaitForInput(5));
    comm.PurgeIn();
    comm.PurgeOut();
    comm.Close();  // closing a closed port does nothing

    for (auto op : {+[](TComm& c) { c.SetDTRState(true); }, +[](TComm& c) { c.SetRTSState(false); },
                    +[](TComm& c) { c.SetXONState(true); }, +[](TComm& c) { c.SetBREAKState(true); }}) {
        ECommError e = Raised([&] { op(comm); });
        EXPECT_STREQ(e.what(), "Port not open, unable to complete operation (Error: -1) ");
        EXPECT_EQ(e.errorCode, -1);
    }
    std::uint8_t b = 0;
    ECommError r = Raised([&] { comm.Read(&b, 1); });
    EXPECT_EQ(r.message, "Read error");
    EXPECT_EQ(r.errorCode, EBADF);
    ECommError w = Raised([&] { comm.Write(&b, 1); });
    EXPECT_STREQ(w.what(), ("Write error (Error: " + std::to_string(EBADF) + ") ").c_str());
}

TEST(CommOpen, LeavesANonSerialPathClosedWithoutException) {
    test::TempDir dir;
    std::string file = dir.file("not-a-port.txt");
    test::writeFile(file, "hello");
    TComm comm;
    std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& name : {file, std::string("/dev/null"), dir.path().string(), fifo}) {
        comm.SetDeviceName(name);
        EXPECT_NO_THROW(comm.Open());
        EXPECT_FALSE(comm.Enabled()) << name;
        EXPECT_EQ(comm.LastOpenError(), 0) << name;
    }
    EXPECT_EQ(test::readFile(file), "hello");

    comm.SetDeviceName(dir.file("missing"));
    EXPECT_NO_THROW(comm.Open());
    EXPECT_FALSE(comm.Enabled());
    EXPECT_EQ(comm.LastOpenError(), ENOENT);
}

TEST(CommOpen, ReportsMissingPermission) {
    PtyPair pty;
    if (!pty.Ok()) GTEST_SKIP() << "no pseudo-terminals here";
    ASSERT_EQ(chmod(pty.slave().c_str(), 0), 0);
    // The superuser opens anything: the child gives up its privileges first.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(200);
        TComm comm;
        comm.SetDeviceName(pty.slave());
        comm.Open();
        _exit(comm.Enabled() ? 201 : comm.LastOpenError());
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EACCES);
}

TEST_F(CommTest, OpenSetsARawLineAndCloseRestoresTheOriginal) {
    termios before = pty.Settings();
    before.c_lflag |= ICANON | ECHO;
    cfsetspeed(&before, B1200);
    ASSERT_EQ(tcsetattr(pty.master(), TCSANOW, &before), 0);

    OpenPort();
    EXPECT_EQ(comm.LastOpenError(), 0);
    termios open = pty.Settings();
    EXPECT_EQ(cfgetospeed(&open), B115200);
    EXPECT_EQ(open.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(open.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0U);
    EXPECT_EQ(open.c_lflag & (ICANON | ECHO | ISIG), 0U);
    EXPECT_EQ(open.c_iflag & (IXON | IXOFF | ICRNL), 0U);
    EXPECT_EQ(open.c_oflag & OPOST, 0U);
    EXPECT_EQ(open.c_cc[VMIN], 0);
    EXPECT_EQ(open.c_cc[VTIME], 0);

    comm.Close();
    EXPECT_FALSE(comm.Enabled());
    termios after = pty.Settings();
    EXPECT_EQ(cfgetospeed(&after), B1200);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));

    OpenPort();  // and it opens again
}

TEST_F(CommTest, OpenIsExclusiveAndRefusedTwice) {
    OpenPort();
    ECommError e = Raised([&] { comm.Open(); });
    EXPECT_STREQ(e.what(), "Port already assigned (open) (Error: -1) ");
    EXPECT_TRUE(comm.Enabled());

    TComm other;
    other.SetDeviceName(pty.slave());
    other.Open();
    EXPECT_FALSE(other.Enabled());
    EXPECT_EQ(other.LastOpenError(), EBUSY);
    comm.Close();
    other.Open();
    EXPECT_TRUE(other.Enabled());
}

TEST_F(CommTest, ReadReturnsAtOnceWithWhatHasArrived) {
    OpenPort();
    std::uint8_t buf[16];
    EXPECT_EQ(comm.Read(buf, sizeof buf), 0);  // idle line: nothing, and no wait for ReadTimeout
    EXPECT_EQ(comm.InQueCount(), 0);

    pty.Send(std::string("\xB5\x00\xB8", 3));
    ASSERT_TRUE(comm.WaitForInput(2000));
    EXPECT_EQ(ReadAll(3), std::string("\xB5\x00\xB8", 3));  // every byte value passes unchanged
    EXPECT_EQ(comm.Read(buf, sizeof buf), 0);

    pty.Send("\r\n\x11\x13");  // no translation, no software flow control with fcNone
    EXPECT_EQ(ReadAll(4), "\r\n\x11\x13");
}

TEST_F(CommTest, XonXoffBytesAreDataUnlessSoftwareHandshakeIsChosen) {
    // A fresh terminal line has IXON set; the writer's streams carry 0x11 and 0x13 as data.
    termios before = pty.Settings();
    before.c_iflag |= IXON;
    ASSERT_EQ(tcsetattr(pty.master(), TCSANOW, &before), 0);
    for (TFlowControl flow : {TFlowControl::fcDefault, TFlowControl::fcCTS}) {
        comm.SetFlowControl(flow);
        OpenPort();
        pty.Send("\x13\x11\x13");
        EXPECT_EQ(ReadAll(3), "\x13\x11\x13");
        const std::uint8_t out[] = {0x13, 0x41};
        EXPECT_EQ(comm.Write(out, 2), 2);
        EXPECT_EQ(pty.Receive(2), "\x13\x41");
        comm.Close();
    }
}

TEST_F(CommTest, WriteReachesTheFarEnd) {
    OpenPort();
    const std::uint8_t bytes[] = {0xA0, 0x0D, 0x0A, 0x00, 0xFF};
    EXPECT_EQ(comm.Write(bytes, 5), 5);
    EXPECT_EQ(pty.Receive(5), std::string("\xA0\r\n\x00\xFF", 5));
    EXPECT_EQ(comm.Write(bytes, 0), 0);
    EXPECT_EQ(comm.OutQueCount(), 0);
}

TEST_F(CommTest, WriteGivesUpAfterWriteTimeoutWhenTheFarEndTakesNothing) {
    OpenPort();
    comm.SetWriteTimeout(50);
    std::vector<std::uint8_t> big(1 << 20, 0x55);  // more than the pseudo-terminal holds
    EXPECT_EQ(comm.Write(big.data(), static_cast<int>(big.size())), -1);
}

TEST_F(CommTest, PurgeInDiscardsReceivedBytes) {
    OpenPort();
    pty.Send("abc");
    ASSERT_TRUE(comm.WaitForInput(2000));
    for (int i = 0; i < 100 && comm.InQueCount() < 3; ++i) comm.WaitForInput(10);
    EXPECT_EQ(comm.InQueCount(), 3);
    comm.PurgeIn();
    comm.PurgeOut();
    EXPECT_EQ(comm.InQueCount(), 0);
    std::uint8_t b;
    EXPECT_EQ(comm.Read(&b, 1), 0);
    EXPECT_FALSE(comm.WaitForInput(10));
}

TEST_F(CommTest, WaitForInputWakesOnDataAndTimesOut) {
    OpenPort();
    EXPECT_FALSE(comm.WaitForInput(20));
    EXPECT_FALSE(comm.WaitForInput(0));
    // The byte is sent while the wait runs (or just before it): either way the wait returns with it and does
    // not run into its time-out.
    std::thread sender([this] { pty.Send("Z"); });
    bool woke = comm.WaitForInput(5000);
    sender.join();
    EXPECT_TRUE(woke);
    EXPECT_EQ(ReadAll(1), "Z");
}

TEST_F(CommTest, FarEndGoneEndsInTimeouts) {
    OpenPort();
    pty.CloseMaster();
    // poll reports the hang-up at once; the wait still lasts its time, so a caller's loop does not spin.
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(comm.WaitForInput(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
    std::uint8_t b;
    EXPECT_EQ(comm.Read(&b, 1), 0);
    comm.Close();
    EXPECT_FALSE(comm.Enabled());
}

TEST_F(CommTest, PseudoTerminalHasNoModemLines) {
    OpenPort();
    EXPECT_TRUE(comm.GetModemState(1));  // nothing holds the sender back
    EXPECT_TRUE(comm.Cts());
    EXPECT_FALSE(comm.GetModemState(2));
    EXPECT_FALSE(comm.GetModemState(3));
    EXPECT_FALSE(comm.GetModemState(4));
    EXPECT_FALSE(comm.GetModemState(0));
    EXPECT_FALSE(comm.GetModemState(5));
    EXPECT_FALSE(comm.WatchingModemLines());
    EXPECT_FALSE(comm.GetComState(1));

    ECommError e = Raised([&] { comm.SetDTRState(true); });
    EXPECT_EQ(e.message, "EscapeCommFunction failure");
    EXPECT_EQ(e.errorCode, ENOTTY);
    EXPECT_NO_THROW(comm.SetXONState(true));
    EXPECT_NO_THROW(comm.SetBREAKState(false));
    EXPECT_EQ(comm.TakeLatencyWarning(), "");
    EXPECT_EQ(comm.AdapterLatency(), -1);
}

TEST_F(CommTest, FixedPropertiesAreRefusedWhileOpen) {
    OpenPort();
    EXPECT_NO_THROW(comm.SetDeviceName(pty.slave()));  // the same value is no change
    EXPECT_NO_THROW(comm.SetReadBufSize(comm.ReadBufSize()));
    ECommError e = Raised([&] { comm.SetDeviceName("/dev/null"); });
    EXPECT_STREQ(e.what(), "Port already assigned (open) (Error: -1) ");
    EXPECT_EQ(e.errorCode, -1);
    EXPECT_EQ(comm.DeviceName(), pty.slave());
    Raised([&] { comm.SetReadBufSize(8192); });
    Raised([&] { comm.SetWriteBufSize(0); });
    Raised([&] { comm.SetMonitorEvents(TCommEventTypes{TCommEventType::evCts}); });
    comm.Close();
    comm.SetReadBufSize(8192);
    comm.SetWriteBufSize(0);
    EXPECT_EQ(comm.ReadBufSize(), 8192);
    EXPECT_EQ(comm.WriteBufSize(), 0);
}

TEST_F(CommTest, LineSettingsAreReappliedWhileOpen) {
    OpenPort();
    comm.SetBaudRate(TBaudrate::br9600);
    EXPECT_EQ(Speed(pty.Settings()), B9600);

    comm.SetFlowControl(TFlowControl::fcCTS);
    EXPECT_NE(pty.Settings().c_cflag & CRTSCTS, 0U);
    comm.SetFlowControl(TFlowControl::fcDefault);  // keeps the port's hardware handshake
    EXPECT_NE(pty.Settings().c_cflag & CRTSCTS, 0U);
    EXPECT_EQ(pty.Settings().c_iflag & (IXON | IXOFF), 0U);
    comm.SetFlowControl(TFlowControl::fcSoftware);
    EXPECT_EQ(pty.Settings().c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    comm.SetFlowControl(TFlowControl::fcNone);
    EXPECT_EQ(pty.Settings().c_cflag & CRTSCTS, 0U);
    EXPECT_EQ(pty.Settings().c_iflag & (IXON | IXOFF), 0U);

    comm.EventChars().SetXonChar(0x21);
    EXPECT_EQ(pty.Settings().c_cc[VSTART], 0x21);
    comm.SetStopbits(TStopbits::sb20);
    EXPECT_NE(pty.Settings().c_cflag & CSTOPB, 0U);
    comm.SetOptions(TCommOptions{TCommOption::coParityCheck});
    EXPECT_NE(pty.Settings().c_iflag & INPCK, 0U);

    // A rate without a standard constant goes through the driver's free rate setting.
    comm.SetBaudRate(TBaudrate::br14400);
    EXPECT_EQ(comm.BaudRate(), TBaudrate::br14400);
    EXPECT_EQ(FreeRate(pty.master()), 14400U);
    comm.SetBaudRate(TBaudrate::br115200);
    EXPECT_EQ(Speed(pty.Settings()), B115200);
    EXPECT_TRUE(comm.Enabled());
}

TEST_F(CommTest, SettingsTheLineDoesNotTakeAreRefused) {
    OpenPort();
    // A pseudo-terminal always runs 8 bits without parity: reading back shows the refusal.
    ECommError e = Raised([&] { comm.SetParity(TParity::paEven); });
    EXPECT_STREQ(e.what(),
                 ("Error updating DataControlBlock (Error: " + std::to_string(EINVAL) + ") ").c_str());
    EXPECT_EQ(e.errorCode, EINVAL);
    comm.SetParity(TParity::paNone);
    Raised([&] { comm.SetDatabits(TDatabits::da7); });
    comm.SetDatabits(TDatabits::da8);
    Raised([&] { comm.SetFlowControl(TFlowControl::fcDTR); });
    comm.SetFlowControl(TFlowControl::fcNone);
    EXPECT_TRUE(comm.Enabled());

    // Refused at open: the port is left closed and the error is kept.
    comm.Close();
    comm.SetDatabits(TDatabits::da4);
    Raised([&] { comm.Open(); });
    EXPECT_FALSE(comm.Enabled());
    EXPECT_EQ(comm.LastOpenError(), EINVAL);
    comm.SetDatabits(TDatabits::da8);
    OpenPort();
}

// The program's own use of the port: the writer check of the command-line program runs over the pty
// against a scripted writer (class probe answered "identifying", then the identification text).
TEST(CommWithTheProgram, DetectsAWriterOnThePort) {
    PtyPair pty;
    if (!pty.Ok()) GTEST_SKIP() << "no pseudo-terminals here";
    std::atomic<bool> stop{false};
    std::string seen;
    std::thread writer([&] {
        while (!stop) {
            pollfd p{pty.master(), POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) continue;
            char buf[64];
            ssize_t n = ::read(pty.master(), buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                seen += buf[i];
                if (buf[i] == '\xA0') pty.Send("\xB4");
                if (buf[i] == '\xAD') pty.Send(" HRP021A V3.30\xB8");
            }
        }
    });
    test::CliResult r = test::runCli({"-p", pty.slave(), "detect"});
    stop = true;
    writer.join();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Connect OK!"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("V3.30"), std::string::npos) << r.out;
    EXPECT_EQ(seen, "\xA0\xAD");
}

TEST(CommSync, EventsSignalAndTimeOut) {
    TSimpleEvent manual;
    EXPECT_EQ(manual.WaitFor(1), TEventWaitResult::wrTimeout);
    manual.SetEvent();
    EXPECT_EQ(manual.WaitFor(0), TEventWaitResult::wrSignaled);
    EXPECT_EQ(manual.WaitFor(0), TEventWaitResult::wrSignaled);  // stays set until reset
    manual.ResetEvent();
    EXPECT_EQ(manual.WaitFor(0), TEventWaitResult::wrTimeout);

    TEvent autoReset(false, true, "once");
    EXPECT_EQ(autoReset.Name(), "once");
    EXPECT_EQ(autoReset.WaitFor(0), TEventWaitResult::wrSignaled);
    EXPECT_EQ(autoReset.WaitFor(0), TEventWaitResult::wrTimeout);

    TSimpleEvent later;
    std::thread t([&] { later.SetEvent(); });
    EXPECT_EQ(later.WaitFor(-1), TEventWaitResult::wrSignaled);
    t.join();

    TCriticalSection cs;
    int shared = 0;
    std::thread a([&] {
        for (int i = 0; i < 10000; ++i) {
            std::lock_guard g(cs);
            ++shared;
        }
    });
    for (int i = 0; i < 10000; ++i) {
        cs.Enter();
        ++shared;
        cs.Leave();
    }
    a.join();
    EXPECT_EQ(shared, 20000);
}

TEST(CommCts, CacheHoldsOnlyWhileTheChangeCountStands) {
    CommCtsCache cache;
    EXPECT_FALSE(cache.Lookup(0).has_value());
    cache.Store(5, true);
    EXPECT_EQ(cache.Lookup(5), std::optional<bool>(true));
    EXPECT_FALSE(cache.Lookup(6).has_value());  // the line changed since the reading
    cache.Store(4, false);                      // an older reading does not replace a newer one
    EXPECT_EQ(cache.Lookup(5), std::optional<bool>(true));
    cache.Store(6, false);
    EXPECT_EQ(cache.Lookup(6), std::optional<bool>(false));
    cache.Store(0xFFFFFFFFU, true);  // a count that wrapped is older than 6 ... unless it came first
    EXPECT_EQ(cache.Lookup(6), std::optional<bool>(false));
    EXPECT_EQ(cache.Lookup(5), std::optional<bool>(false));  // a reading newer than the count asked for
    cache.Clear();
    EXPECT_FALSE(cache.Lookup(6).has_value());
    cache.Store(0xFFFFFFFFU, true);
    cache.Store(1, false);  // newer across the wrap
    EXPECT_EQ(cache.Lookup(1), std::optional<bool>(false));
}

TEST(CommCts, QueryWaitsForTheWatchersReadingOfAChange) {
    CommCtsCache cache;
    cache.Store(7, false);
    EXPECT_FALSE(cache.WaitFor(8, 1).has_value());  // nobody stores: the query asks the driver itself
    std::thread watcher([&] { cache.Store(8, true); });
    EXPECT_EQ(cache.WaitFor(8, 5000), std::optional<bool>(true));
    watcher.join();
}

TEST(CommWatcher, ReportsChangesAndStopsOutOfABlockingWait) {
    if (!TCommEventThread::WakeUpAvailable()) GTEST_SKIP() << "wake-up signal taken";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::atomic<int> changes{0};
    TSimpleEvent twoChanges;
    // A blocking read stands in for the driver's wait: one byte on the pipe is one line change.
    TCommEventThread watcher(
        [fd = fds[0]] {
            char c;
            ssize_t n = ::read(fd, &c, 1);
            return n == 1 ? 0 : -1;
        },
        [&] {
            if (++changes == 2) twoChanges.SetEvent();
        });
    ASSERT_EQ(::write(fds[1], "xy", 2), 2);
    ASSERT_EQ(twoChanges.WaitFor(5000), TEventWaitResult::wrSignaled);
    EXPECT_EQ(changes.load(), 2);
    EXPECT_TRUE(watcher.Running());
    // Now blocked in read(): Terminate must wake it rather than wait for a byte that never comes.
    EXPECT_TRUE(watcher.Terminate());
    EXPECT_FALSE(watcher.Failed());
    EXPECT_TRUE(watcher.Terminate());  // a second request is harmless
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(CommWatcher, LeavesBehindAWaitThatIgnoresTheWakeUpWithoutHangingTheCaller) {
    auto release = std::make_shared<TSimpleEvent>();
    auto entered = std::make_shared<TSimpleEvent>();
    auto changes = std::make_shared<std::atomic<int>>(0);
    // Set when the thread left behind has ended and let go of what it was given.
    auto ended = std::make_shared<TSimpleEvent>();
    {
        std::shared_ptr<void> held(nullptr, [ended](void*) { ended->SetEvent(); });
        TCommEventThread watcher(
            [release, entered, held] {
                entered->SetEvent();
                release->WaitFor(-1);  // a driver that does not return on a signal
                return 0;
            },
            [changes] { ++*changes; });
        ASSERT_EQ(entered->WaitFor(5000), TEventWaitResult::wrSignaled);
        EXPECT_FALSE(watcher.Terminate(30));
        EXPECT_FALSE(watcher.Running());
    }  // destroyed while its thread still waits
    EXPECT_NE(ended->WaitFor(0), TEventWaitResult::wrSignaled);
    release->SetEvent();
    // The thread ends on its own (its wait returned a change) and reports nothing once it was asked to end.
    ASSERT_EQ(ended->WaitFor(5000), TEventWaitResult::wrSignaled);
    EXPECT_EQ(changes->load(), 0);
}

TEST(CommWatcher, EndsWhenTheDriverCannotWait) {
    std::atomic<int> changes{0};
    TCommEventThread watcher(
        [] {
            errno = ENOTTY;
            return -1;
        },
        [&] { ++changes; });
    ASSERT_TRUE(watcher.WaitEnded(5000));
    EXPECT_TRUE(watcher.Failed());
    EXPECT_FALSE(watcher.Running());
    EXPECT_TRUE(watcher.Terminate());
    EXPECT_EQ(changes.load(), 0);
}

TEST(CommLatency, ReadsTheAdaptersTimerAndWarnsWhenItIsSlow) {
    test::TempDir sys;
    EXPECT_EQ(CommReadLatencyTimer(sys.path().string(), 188, 0), -1);  // not a USB adapter
    std::string path = CommLatencyTimerPath(sys.path().string(), 188, 0);
    EXPECT_EQ(path, sys.path().string() + "/dev/char/188:0/device/latency_timer");
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    test::writeFile(path, "16\n");
    EXPECT_EQ(CommReadLatencyTimer(sys.path().string(), 188, 0), 16);
    test::writeFile(path, "junk\n");
    EXPECT_EQ(CommReadLatencyTimer(sys.path().string(), 188, 0), -1);

    EXPECT_EQ(CommLatencyWarning("/dev/ttyUSB0", 2, path), "");
    EXPECT_EQ(CommLatencyWarning("/dev/ttyUSB0", -1, path), "");
    std::string w = CommLatencyWarning("/dev/ttyUSB0", 16, path);
    EXPECT_NE(w.find("/dev/ttyUSB0"), std::string::npos);
    EXPECT_NE(w.find("16 ms"), std::string::npos);
    EXPECT_NE(w.find("about 9 minutes instead of about 3 seconds"), std::string::npos) << w;
    EXPECT_NE(w.find("echo 1 > " + path), std::string::npos);
}

}  // namespace
}  // namespace qzr
