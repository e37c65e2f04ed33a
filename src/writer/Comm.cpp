#include "writer/Comm.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>

namespace qzr {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until deadline (0 when it has passed).
int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return left > 1000000 ? 1000000 : static_cast<int>(left);
}

// Blocks the calling thread until deadline without touching the port.
void SleepUntil(Clock::time_point deadline) {
    std::mutex m;
    std::condition_variable cv;
    std::unique_lock lock(m);
    cv.wait_until(lock, deadline, [] { return false; });
}

// The driver's termios2 block, for bit rates without a B-constant (14400, 56000, 128000, 256000).
struct KernelTermios2 {
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed;
    speed_t c_ospeed;
};
constexpr unsigned long kGetTermios2 = _IOR('T', 0x2A, KernelTermios2);
constexpr unsigned long kSetTermios2 = _IOW('T', 0x2B, KernelTermios2);
constexpr tcflag_t kOtherBaud = 0010000;  // BOTHER: the speed is in c_ispeed / c_ospeed

// The B-constant of a standard rate; 0 when the rate has none.
speed_t StandardSpeed(int rate) {
    switch (rate) {
        case 110:
            return B110;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return 0;
    }
}

// The flags the component sets on a line and checks after setting them.
constexpr tcflag_t kCheckedCflag = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL | CREAD;
constexpr tcflag_t kCheckedIflag = IXON | IXOFF | INPCK | ICRNL | INLCR | IGNCR | ISTRIP;
constexpr tcflag_t kCheckedLflag = ICANON | ECHO | ISIG | IEXTEN;

bool SameSettings(const termios& wanted, const termios& got) {
    return (wanted.c_cflag & kCheckedCflag) == (got.c_cflag & kCheckedCflag) &&
           (wanted.c_iflag & kCheckedIflag) == (got.c_iflag & kCheckedIflag) &&
           (wanted.c_lflag & kCheckedLflag) == (got.c_lflag & kCheckedLflag) &&
           (wanted.c_oflag & OPOST) == (got.c_oflag & OPOST) && wanted.c_cc[VMIN] == got.c_cc[VMIN] &&
           wanted.c_cc[VTIME] == got.c_cc[VTIME] && wanted.c_cc[VSTART] == got.c_cc[VSTART] &&
           wanted.c_cc[VSTOP] == got.c_cc[VSTOP];
}

// How long a CTS query waits for the watcher's reading after a change before it asks the driver itself
// (a modem-status round trip to a USB adapter takes about a millisecond).
constexpr int kWatcherReadingMs = 4;

// The signal that wakes a watcher out of its blocking driver call; its handler does nothing.
extern "C" void CommWakeHandler(int) {}
int WakeSignal() {
    return SIGRTMIN + 5;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------

TEvent::TEvent(bool manualReset, bool initialState, std::string name)
    : manualReset_(manualReset), signalled_(initialState), name_(std::move(name)) {}

TEventWaitResult TEvent::WaitFor(int timeoutMs) {
    std::unique_lock lock(mutex_);
    auto ready = [this] { return signalled_; };
    bool ok = timeoutMs < 0 ? (cv_.wait(lock, ready), true)
                            : cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    if (!ok) return TEventWaitResult::wrTimeout;
    if (!manualReset_) signalled_ = false;
    return TEventWaitResult::wrSignaled;
}

void TEvent::SetEvent() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    if (manualReset_)
        cv_.notify_all();
    else
        cv_.notify_one();
}

void TEvent::ResetEvent() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

// ---------------------------------------------------------------------------------------------------------

int BaudrateValue(TBaudrate rate) {
    static constexpr int kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                     19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return kRates[static_cast<int>(rate)];
}

void TCommEventChars::Change(std::uint8_t& field, std::uint8_t value) {
    if (field == value) return;
    field = value;
    if (owner_) owner_->LineSettingChanged();
}

// ---------------------------------------------------------------------------------------------------------

void CommCtsCache::Store(std::uint32_t count, bool state) {
    {
        std::lock_guard lock(mutex_);
        // Counts only grow (modulo wrap); a reading taken at an older count must not replace a newer one.
        if (valid_ && static_cast<std::int32_t>(count - count_) < 0) return;
        valid_ = true;
        count_ = count;
        state_ = state;
    }
    stored_.notify_all();
}

std::optional<bool> CommCtsCache::Lookup(std::uint32_t currentCount) const {
    std::lock_guard lock(mutex_);
    if (!Holds(currentCount)) return std::nullopt;
    return state_;
}

std::optional<bool> CommCtsCache::WaitFor(std::uint32_t currentCount, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    if (!stored_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return Holds(currentCount); }))
        return std::nullopt;
    return state_;
}

void CommCtsCache::Clear() {
    std::lock_guard lock(mutex_);
    valid_ = false;
}

// ---------------------------------------------------------------------------------------------------------

TCommEventThread::TCommEventThread(WaitFunction wait, EventSignal eventSignal)
    : state_(std::make_shared<State>()) {
    state_->wait = std::move(wait);
    state_->eventSignal = std::move(eventSignal);
    thread_ = std::thread([state = state_] { Run(state); });
}

TCommEventThread::~TCommEventThread() {
    Terminate();
}

TCommEventThread::WaitFunction TCommEventThread::ModemLineWait(int fd, int lineMask) {
    return [fd, lineMask] { return ::ioctl(fd, TIOCMIWAIT, static_cast<unsigned long>(lineMask)); };
}

bool TCommEventThread::WakeUpAvailable() {
    static const bool available = [] {
        struct sigaction old {};
        if (sigaction(WakeSignal(), nullptr, &old) != 0) return false;
        if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == CommWakeHandler) return true;
        if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) return false;  // someone else's
        struct sigaction sa {};
        sa.sa_handler = CommWakeHandler;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no SA_RESTART: the blocking call returns EINTR
        return sigaction(WakeSignal(), &sa, nullptr) == 0;
    }();
    return available;
}

void TCommEventThread::Run(const std::shared_ptr<State>& state) {
    // The wake-up signal must reach this thread even where the creator blocks it.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, WakeSignal());
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    while (!state->terminated.load()) {
        int r = state->wait();
        int err = errno;
        if (state->terminated.load()) break;
        if (r == 0) {
            if (state->eventSignal) state->eventSignal();
            continue;
        }
        if (err == EINTR) continue;
        state->failed.store(true);
        break;
    }
    state->finished.SetEvent();
}

bool TCommEventThread::Running() const {
    return thread_.joinable() && !state_->failed.load();
}

bool TCommEventThread::Terminate(int waitMs) {
    state_->terminated.store(true);
    if (!thread_.joinable()) return true;
    auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    // The signal can arrive just before the thread enters its wait; repeat it until the thread has ended.
    while (true) {
        if (WakeUpAvailable()) pthread_kill(thread_.native_handle(), WakeSignal());
        if (state_->finished.WaitFor(5) == TEventWaitResult::wrSignaled) break;
        if (Clock::now() >= deadline) {
            // A driver that ignores the wake-up: leave the thread behind rather than hang the caller; it ends
            // (and reports nothing more) when its wait returns.
            thread_.detach();
            return false;
        }
    }
    thread_.join();
    return true;
}

// ---------------------------------------------------------------------------------------------------------

std::string CommLatencyTimerPath(const std::string& sysfsRoot, unsigned major, unsigned minor) {
    return sysfsRoot + "/dev/char/" + std::to_string(major) + ":" + std::to_string(minor) +
           "/device/latency_timer";
}

int CommReadLatencyTimer(const std::string& sysfsRoot, unsigned major, unsigned minor) {
    std::ifstream in(CommLatencyTimerPath(sysfsRoot, major, minor));
    long value = -1;
    if (!(in >> value) || value < 0 || value > 255) return -1;
    return static_cast<int>(value);
}

std::string CommLatencyWarning(const std::string& deviceName, int latencyMs, const std::string& timerPath) {
    if (latencyMs <= 2) return {};
    // The writer answers every byte of the program memory (32768 bytes for the largest device); each answer
    // waits for the adapter's latency timer on top of the byte's own time on the wire.
    constexpr double kBytes = 32768;
    constexpr double kWireMsPerByte = 10.0 * 1000.0 / 115200.0;
    double wireSeconds = kBytes * kWireMsPerByte / 1000.0;
    double slowSeconds = kBytes * (latencyMs + kWireMsPerByte) / 1000.0;
    int minutes = static_cast<int>(std::lround(slowSeconds / 60.0));
    return "Warning: the USB serial adapter of " + deviceName + " holds received bytes for " +
           std::to_string(latencyMs) + " ms (its latency timer) and did not accept low latency. The writer " +
           "answers every byte, so programming the largest device takes about " + std::to_string(minutes) +
           " minutes instead of about " + std::to_string(static_cast<int>(std::lround(wireSeconds))) +
           " seconds. To speed it up, as root: echo 1 > " + timerPath;
}

// ---------------------------------------------------------------------------------------------------------

struct TCustomComm::Saved {
    termios original{};
    bool serialChanged = false;
    serial_struct originalSerial{};
};

TCustomComm::TCustomComm() = default;

TCustomComm::~TCustomComm() {
    Close();
}

void TCustomComm::RequireOpen() const {
    if (fd_ < 0) throw ECommError("Port not open, unable to complete operation", -1);
}

void TCustomComm::SetDeviceName(const std::string& name) {
    if (name == deviceName_) return;
    if (Enabled()) throw ECommError("Port already assigned (open)", -1);
    deviceName_ = name;
}

void TCustomComm::SetMonitorEvents(TCommEventTypes events) {
    if (events == monitorEvents_) return;
    if (Enabled()) throw ECommError("Port already assigned (open)", -1);
    monitorEvents_ = events;
}

void TCustomComm::SetReadBufSize(int size) {
    if (size == readBufSize_) return;
    if (Enabled()) throw ECommError("Port already assigned (open)", -1);
    readBufSize_ = size;
}

void TCustomComm::SetWriteBufSize(int size) {
    if (size == writeBufSize_) return;
    if (Enabled()) throw ECommError("Port already assigned (open)", -1);
    writeBufSize_ = size;
}

void TCustomComm::LineSettingChanged() {
    if (Enabled()) ApplyLineSettings();
}

void TCustomComm::SetBaudRate(TBaudrate rate) {
    if (rate == baudRate_) return;
    baudRate_ = rate;
    LineSettingChanged();
}

void TCustomComm::SetParity(TParity parity) {
    if (parity == parity_) return;
    parity_ = parity;
    LineSettingChanged();
}

void TCustomComm::SetStopbits(TStopbits stopbits) {
    if (stopbits == stopbits_) return;
    stopbits_ = stopbits;
    LineSettingChanged();
}

void TCustomComm::SetDatabits(TDatabits databits) {
    if (databits == databits_) return;
    databits_ = databits;
    LineSettingChanged();
}

void TCustomComm::SetOptions(TCommOptions options) {
    if (options == options_) return;
    options_ = options;
    LineSettingChanged();
}

void TCustomComm::SetFlowControl(TFlowControl flow) {
    if (flow == flowControl_) return;
    flowControl_ = flow;
    LineSettingChanged();
}

// ---------------------------------------------------------------------------------------------------------
// Open and close.

void TCustomComm::Open() {
    if (Enabled()) throw ECommError("Port already assigned (open)", -1);
    lastOpenError_ = 0;
    adapterLatency_ = -1;
    latencyWarning_.clear();
    noModemLines_ = false;

    // Only a serial character device is a port; anything else is left alone (not even opened when the
    // name is no character device at all) and the port stays closed without a fuss.
    struct stat st {};
    if (::stat(deviceName_.c_str(), &st) == 0 && !S_ISCHR(st.st_mode)) return;
    int fd = ::open(deviceName_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastOpenError_ = errno;
        return;
    }
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !isatty(fd)) {
        ::close(fd);
        return;
    }
    // Exclusive: no other program (flock also holds against the superuser, who passes TIOCEXCL).
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        lastOpenError_ = (errno == EWOULDBLOCK) ? EBUSY : errno;
        ::close(fd);
        return;
    }
    auto saved = std::make_unique<Saved>();
    if (tcgetattr(fd, &saved->original) != 0) {
        lastOpenError_ = errno;
        ::close(fd);
        return;
    }
    ioctl(fd, TIOCEXCL);
    fd_ = fd;
    saved_ = std::move(saved);

    int bits = 0;
    if (ioctl(fd_, TIOCMGET, &bits) != 0 && (errno == ENOTTY || errno == EINVAL)) noModemLines_ = true;
    try {
        RequestLowLatency();
        SetTimeouts();
        ApplyLineSettings();
    } catch (const ECommError& e) {
        lastOpenError_ = e.errorCode;
        ReleasePort();
        throw;
    }
    CheckAdapterLatency();
    StartWatcher();
}

void TCustomComm::Close() {
    if (!Enabled()) return;
    ReleasePort();
}

void TCustomComm::ReleasePort() {
    StopWatcher();
    // Both queues are discarded, then the port gets back the settings it had before.
    tcflush(fd_, TCIOFLUSH);
    if (saved_) {
        if (saved_->serialChanged) ioctl(fd_, TIOCSSERIAL, &saved_->originalSerial);
        tcsetattr(fd_, TCSANOW, &saved_->original);
    }
    ioctl(fd_, TIOCNXCL);
    flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
    saved_.reset();
    ctsCache_.Clear();
}

void TCustomComm::RequestLowLatency() {
    // A USB adapter otherwise holds each answer of the writer until its latency timer runs out. Drivers
    // without the request (or that refuse it) are used as they are.
    serial_struct ss{};
    if (ioctl(fd_, TIOCGSERIAL, &ss) != 0) return;
    if (ss.flags & ASYNC_LOW_LATENCY) return;
    serial_struct wanted = ss;
    wanted.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(fd_, TIOCSSERIAL, &wanted) == 0) {
        saved_->serialChanged = true;
        saved_->originalSerial = ss;
    }
}

void TCustomComm::CheckAdapterLatency() {
    struct stat st {};
    if (fstat(fd_, &st) != 0) return;
    unsigned maj = major(st.st_rdev);
    unsigned min = minor(st.st_rdev);
    adapterLatency_ = CommReadLatencyTimer("/sys", maj, min);
    latencyWarning_ =
        CommLatencyWarning(deviceName_, adapterLatency_, CommLatencyTimerPath("/sys", maj, min));
}

std::string TCustomComm::TakeLatencyWarning() {
    if (latencyWarning_.empty() || warnedDevice_ == deviceName_) return {};
    warnedDevice_ = deviceName_;
    return latencyWarning_;
}

void TCustomComm::SetTimeouts() {
    // Reads return at once with whatever has arrived; writes have no driver time-out.
    termios t{};
    if (tcgetattr(fd_, &t) != 0) throw ECommError("Error updating CommTimeouts", errno);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (tcsetattr(fd_, TCSANOW, &t) != 0) throw ECommError("Error updating CommTimeouts", errno);
    termios back{};
    if (tcgetattr(fd_, &back) != 0) throw ECommError("Error updating CommTimeouts", errno);
    if (back.c_cc[VMIN] != 0 || back.c_cc[VTIME] != 0)
        throw ECommError("Error updating CommTimeouts", EINVAL);
}

void TCustomComm::ApplyLineSettings() {
    const char* kRefused = "Error updating DataControlBlock";
    termios t{};
    if (tcgetattr(fd_, &t) != 0) throw ECommError(kRefused, errno);

    // Raw transfer: no line editing, no echo, no character translation.
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    int rate = BaudrateValue(baudRate_);
    speed_t speed = StandardSpeed(rate);
    // A rate without a B-constant is set through termios2 after the rest; B38400 holds its place.
    cfsetispeed(&t, speed ? speed : B38400);
    cfsetospeed(&t, speed ? speed : B38400);

    t.c_cflag &= ~CSIZE;
    switch (databits_) {
        case TDatabits::da4:
            throw ECommError(kRefused, EINVAL);  // no such character size here
        case TDatabits::da5:
            t.c_cflag |= CS5;
            break;
        case TDatabits::da6:
            t.c_cflag |= CS6;
            break;
        case TDatabits::da7:
            t.c_cflag |= CS7;
            break;
        case TDatabits::da8:
            t.c_cflag |= CS8;
            break;
    }
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (parity_) {
        case TParity::paNone:
            break;
        case TParity::paOdd:
            t.c_cflag |= PARENB | PARODD;
            break;
        case TParity::paEven:
            t.c_cflag |= PARENB;
            break;
        case TParity::paMark:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case TParity::paSpace:
            t.c_cflag |= PARENB | CMSPAR;
            break;
    }
    // 1.5 stop bits: the UART gives 1.5 for 5-bit characters when asked for 2.
    if (stopbits_ == TStopbits::sb10)
        t.c_cflag &= ~CSTOPB;
    else
        t.c_cflag |= CSTOPB;

    // Special characters; the error, end-of-file and event characters have no use on a raw line.
    t.c_cc[VSTART] = eventChars_.XonChar();
    t.c_cc[VSTOP] = eventChars_.XoffChar();

    // XON/XOFF only where asked for: a terminal line starts with IXON set, which would swallow the bytes
    // 0x11 and 0x13 of the writer's data streams. fcDefault keeps the port's hardware handshake as it was.
    if (flowControl_ != TFlowControl::fcSoftware) t.c_iflag &= ~(IXON | IXOFF | IXANY);
    switch (flowControl_) {
        case TFlowControl::fcNone:
            t.c_cflag &= ~CRTSCTS;
            break;
        case TFlowControl::fcCTS:
            t.c_cflag |= CRTSCTS;
            break;
        case TFlowControl::fcDTR:
            throw ECommError(kRefused, EINVAL);  // DSR/DTR handshake: not offered
        case TFlowControl::fcSoftware:
            t.c_iflag |= IXON | IXOFF;
            break;
        case TFlowControl::fcDefault:
            break;
    }
    if (options_.Contains(TCommOption::coParityCheck))
        t.c_iflag |= INPCK;
    else
        t.c_iflag &= ~INPCK;

    if (tcsetattr(fd_, TCSANOW, &t) != 0) throw ECommError(kRefused, errno);
    termios back{};
    if (tcgetattr(fd_, &back) != 0) throw ECommError(kRefused, errno);
    if (!SameSettings(t, back)) throw ECommError(kRefused, EINVAL);
    if (speed) {
        if (cfgetospeed(&back) != speed || cfgetispeed(&back) != speed) throw ECommError(kRefused, EINVAL);
    } else {
        KernelTermios2 t2{};
        if (ioctl(fd_, kGetTermios2, &t2) != 0) throw ECommError(kRefused, errno);
        t2.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << 16));
        t2.c_cflag |= kOtherBaud | (kOtherBaud << 16);
        t2.c_ispeed = static_cast<speed_t>(rate);
        t2.c_ospeed = static_cast<speed_t>(rate);
        if (ioctl(fd_, kSetTermios2, &t2) != 0) throw ECommError(kRefused, errno);
        KernelTermios2 back2{};
        if (ioctl(fd_, kGetTermios2, &back2) != 0) throw ECommError(kRefused, errno);
        // The driver rounds to what its clock can make; within 3 % is the same rate on the wire.
        if (std::abs(static_cast<double>(back2.c_ospeed) - rate) > rate * 0.03)
            throw ECommError(kRefused, EINVAL);
    }
    if (flowControl_ == TFlowControl::fcNone && !noModemLines_) {
        // Without handshake DTR and RTS are held inactive.
        int lines = TIOCM_DTR | TIOCM_RTS;
        if (ioctl(fd_, TIOCMBIC, &lines) != 0) throw ECommError(kRefused, errno);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Traffic.

int TCustomComm::Write(const std::uint8_t* buffer, int count) {
    std::lock_guard guard(lock_);
    if (count <= 0) return 0;
    auto deadline = Clock::now() + std::chrono::milliseconds(writeTimeout_);
    int done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, buffer + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) throw ECommError("Write error", errno);
        // The driver's queue is full: wait for room until the write time-out.
        int left = MsLeft(deadline);
        if (left == 0) return -1;
        pollfd p{fd_, POLLOUT, 0};
        int r = ::poll(&p, 1, left);
        if (r == 0) return -1;
        if (r < 0 && errno != EINTR) throw ECommError("Write error", errno);
        if (r > 0 && !(p.revents & POLLOUT)) {
            // Hung up or in error: the next write reports it, or the time-out ends the wait.
            if (p.revents & POLLNVAL) throw ECommError("Write error", EBADF);
            SleepUntil(deadline);
            return -1;
        }
    }
    return done;
}

int TCustomComm::Read(std::uint8_t* buffer, int count) {
    std::lock_guard guard(lock_);
    if (count <= 0) return 0;
    while (true) {
        ssize_t n = ::read(fd_, buffer, static_cast<size_t>(count));
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN) return 0;
        throw ECommError("Read error", errno);
    }
}

bool TCustomComm::WaitForInput(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    if (fd_ < 0) {
        SleepUntil(deadline);
        return false;
    }
    while (true) {
        pollfd p{fd_, POLLIN, 0};
        int r = ::poll(&p, 1, MsLeft(deadline));
        if (r < 0) {
            if (errno == EINTR) continue;
            SleepUntil(deadline);
            return false;
        }
        if (r == 0) return false;
        int waiting = 0;
        if (ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0) return true;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // The line is gone: nothing will arrive, and poll would return at once; wait out the time.
            SleepUntil(deadline);
            return false;
        }
        if (MsLeft(deadline) == 0) return false;
    }
}

int TCustomComm::InQueCount() {
    if (fd_ < 0) return -1;
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0) return 0;
    return waiting;
}

int TCustomComm::OutQueCount() {
    if (fd_ < 0) return -1;
    int pending = 0;
    if (ioctl(fd_, TIOCOUTQ, &pending) != 0) return 0;
    return pending;
}

void TCustomComm::PurgeIn() {
    if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

void TCustomComm::PurgeOut() {
    if (fd_ >= 0) tcflush(fd_, TCOFLUSH);
}

// ---------------------------------------------------------------------------------------------------------
// Modem lines.

bool TCustomComm::ReadModemBits(int& bits) {
    return fd_ >= 0 && ioctl(fd_, TIOCMGET, &bits) == 0;
}

bool TCustomComm::WatchingModemLines() const {
    return watcher_ && watcher_->Running();
}

bool TCustomComm::GetModemState(int index) {
    if (fd_ < 0 || index < 1 || index > 4) return false;
    if (noModemLines_) {
        // A pseudo-terminal has no modem lines: nothing holds the sender back, so CTS is on.
        return index == 1;
    }
    if (index == 1 && WatchingModemLines()) {
        // The driver counts CTS changes locally; while the count stands, the watcher's reading holds and
        // the adapter need not be asked (on a USB adapter every modem-status query is a round trip).
        serial_icounter_struct ic{};
        if (ioctl(fd_, TIOCGICOUNT, &ic) == 0) {
            auto count = static_cast<std::uint32_t>(ic.cts);
            if (auto state = ctsCache_.Lookup(count)) return *state;
            // The line has just changed and the watcher, woken by the change, is already reading it: its
            // reading comes sooner than a query of our own would.
            if (auto state = ctsCache_.WaitFor(count, kWatcherReadingMs)) return *state;
            int bits = 0;
            if (!ReadModemBits(bits)) return false;
            ctsCache_.Store(count, (bits & TIOCM_CTS) != 0);
            return (bits & TIOCM_CTS) != 0;
        }
    }
    int bits = 0;
    if (!ReadModemBits(bits)) return false;
    static constexpr int kLine[] = {TIOCM_CTS, TIOCM_DSR, TIOCM_RNG, TIOCM_CD};
    return (bits & kLine[index - 1]) != 0;
}

bool TCustomComm::GetComState(int index) {
    if (fd_ < 0) return false;
    // Only the hold on CTS can be seen here: hardware handshake on and CTS off. The driver does not tell
    // whether it holds for DSR, carrier detect or XOFF.
    if (index == 0 || index == 1 || index > 5) {
        termios t{};
        if (tcgetattr(fd_, &t) != 0 || !(t.c_cflag & CRTSCTS)) return false;
        return !GetModemState(1);
    }
    return false;
}

void TCustomComm::ModemControl(unsigned long request, int bits) {
    RequireOpen();
    if (ioctl(fd_, request, &bits) != 0) throw ECommError("EscapeCommFunction failure", errno);
}

void TCustomComm::SetDTRState(bool on) {
    ModemControl(on ? TIOCMBIS : TIOCMBIC, TIOCM_DTR);
}

void TCustomComm::SetRTSState(bool on) {
    ModemControl(on ? TIOCMBIS : TIOCMBIC, TIOCM_RTS);
}

void TCustomComm::SetXONState(bool on) {
    RequireOpen();
    if (tcflow(fd_, on ? TCOON : TCOOFF) != 0) throw ECommError("EscapeCommFunction failure", errno);
}

void TCustomComm::SetBREAKState(bool on) {
    RequireOpen();
    if (ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) != 0) throw ECommError("EscapeCommFunction failure", errno);
    tcflush(fd_, TCIOFLUSH);
}

// ---------------------------------------------------------------------------------------------------------
// The watcher.

void TCustomComm::StartWatcher() {
    if (noModemLines_ || !TCommEventThread::WakeUpAvailable()) return;
    serial_icounter_struct ic{};
    if (ioctl(fd_, TIOCGICOUNT, &ic) != 0) return;  // the driver keeps no line counts: query directly
    int bits = 0;
    if (!ReadModemBits(bits)) return;
    ctsCache_.Store(static_cast<std::uint32_t>(ic.cts), (bits & TIOCM_CTS) != 0);
    lastLines_ = bits;
    int mask = TIOCM_CTS;
    if (monitorEvents_.Contains(TCommEventType::evDsr)) mask |= TIOCM_DSR;
    if (monitorEvents_.Contains(TCommEventType::evRing)) mask |= TIOCM_RNG;
    if (monitorEvents_.Contains(TCommEventType::evRlsd)) mask |= TIOCM_CD;
    watcher_ = std::make_unique<TCommEventThread>(TCommEventThread::ModemLineWait(fd_, mask),
                                                  [this] { ModemLinesChanged(); });
}

void TCustomComm::StopWatcher() {
    if (!watcher_) return;
    watcher_->Terminate(1000);
    watcher_.reset();
}

void TCustomComm::ModemLinesChanged() {
    // Runs on the watcher thread: read the count first, so a change after the reading shows as a new count.
    serial_icounter_struct ic{};
    int bits = 0;
    if (ioctl(fd_, TIOCGICOUNT, &ic) != 0 || !ReadModemBits(bits)) return;
    ctsCache_.Store(static_cast<std::uint32_t>(ic.cts), (bits & TIOCM_CTS) != 0);
    int changed = bits ^ lastLines_;
    lastLines_ = bits;
    TCommEventTypes events;
    if (changed & TIOCM_CTS) events.Include(TCommEventType::evCts);
    if (changed & TIOCM_DSR) events.Include(TCommEventType::evDsr);
    if (changed & TIOCM_RNG) events.Include(TCommEventType::evRing);
    if (changed & TIOCM_CD) events.Include(TCommEventType::evRlsd);
    HandleCommEvent(TCommEventTypes::FromMask(events.Mask() & monitorEvents_.Mask()));
}

void TCustomComm::HandleCommEvent(TCommEventTypes events) {
    // Handlers run on the watcher thread. Only modem-line changes are watched; a break, line errors and
    // received bytes are not reported.
    auto call = [&](TCommEventType type, const TCommEvent& handler, int line) {
        if (events.Contains(type) && handler) handler(*this, (lastLines_ & line) != 0);
    };
    call(TCommEventType::evCts, OnCts, TIOCM_CTS);
    call(TCommEventType::evDsr, OnDsr, TIOCM_DSR);
    call(TCommEventType::evRing, OnRing, TIOCM_RNG);
    call(TCommEventType::evRlsd, OnRlsd, TIOCM_CD);
}

}  // namespace qzr
