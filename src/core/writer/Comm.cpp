#include "core/writer/Comm.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>

namespace qzr {

namespace {

// How long a CTS query waits for the watcher's reading after a change before it asks the driver itself
// (a modem-status round trip to a USB adapter takes about a millisecond).
constexpr int kWatcherReadingMs = 4;

}  // namespace

void TCommEventChars::Change(std::uint8_t& field, std::uint8_t value) {
    if (field == value) return;
    field = value;
    if (owner_) owner_->LineSettingChanged();
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

CommLineSettings TCustomComm::LineSettings() const {
    CommLineSettings s;
    s.baudRate = baudRate_;
    s.databits = databits_;
    s.parity = parity_;
    s.stopbits = stopbits_;
    s.flowControl = flowControl_;
    s.options = options_;
    s.xonChar = eventChars_.XonChar();
    s.xoffChar = eventChars_.XoffChar();
    return s;
}

// ---------------------------------------------------------------------------------------------------------
// Open and close.

void TCustomComm::Open() {
    if (Enabled()) throw ECommError("Port already assigned (open)", -1);
    lastOpenError_ = 0;
    adapterLatency_ = -1;
    latencyWarning_.clear();
    noModemLines_ = false;
    if (!OpenDevice()) return;

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

bool TCustomComm::OpenDevice() {
    // Only a serial character device is a port; anything else is left alone (not even opened when the
    // name is no character device at all) and the port stays closed without a fuss.
    struct stat st {};
    if (::stat(deviceName_.c_str(), &st) == 0 && !S_ISCHR(st.st_mode)) return false;
    int fd = ::open(deviceName_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastOpenError_ = errno;
        return false;
    }
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !isatty(fd)) {
        ::close(fd);
        return false;
    }
    // Exclusive: no other program (flock also holds against the superuser, who passes TIOCEXCL).
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        lastOpenError_ = (errno == EWOULDBLOCK) ? EBUSY : errno;
        ::close(fd);
        return false;
    }
    auto saved = std::make_unique<Saved>();
    if (tcgetattr(fd, &saved->original) != 0) {
        lastOpenError_ = errno;
        ::close(fd);
        return false;
    }
    ioctl(fd, TIOCEXCL);
    fd_ = fd;
    saved_ = std::move(saved);
    return true;
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
        if (saved_->serialChanged) CommRestoreSerial(fd_, saved_->originalSerial);
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
    saved_->serialChanged = CommRequestLowLatency(fd_, saved_->originalSerial);
}

void TCustomComm::CheckAdapterLatency() {
    CommAdapterLatency found = CommCheckAdapterLatency(fd_, deviceName_);
    adapterLatency_ = found.latencyMs;
    latencyWarning_ = found.warning;
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
    termios current{};
    if (tcgetattr(fd_, &current) != 0) throw ECommError(kRefused, errno);
    std::optional<termios> wanted = CommLineTermios(current, LineSettings());
    if (!wanted) throw ECommError(kRefused, EINVAL);

    int rate = BaudrateValue(baudRate_);
    if (tcsetattr(fd_, TCSANOW, &*wanted) != 0) throw ECommError(kRefused, errno);
    termios back{};
    if (tcgetattr(fd_, &back) != 0) throw ECommError(kRefused, errno);
    if (!CommSameLineSettings(*wanted, back, rate)) throw ECommError(kRefused, EINVAL);
    if (!CommStandardSpeed(rate)) CommSetFreeRate(fd_, rate);
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
    auto deadline = CommClock::now() + std::chrono::milliseconds(writeTimeout_);
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
        int left = CommMsLeft(deadline);
        if (left == 0) return -1;
        pollfd p{fd_, POLLOUT, 0};
        int r = ::poll(&p, 1, left);
        if (r == 0) return -1;
        if (r < 0 && errno != EINTR) throw ECommError("Write error", errno);
        if (r > 0 && !(p.revents & POLLOUT)) {
            // Hung up or in error: the next write reports it, or the time-out ends the wait.
            if (p.revents & POLLNVAL) throw ECommError("Write error", EBADF);
            CommSleepUntil(deadline);
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
    auto deadline = CommClock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    if (fd_ < 0) {
        CommSleepUntil(deadline);
        return false;
    }
    while (true) {
        pollfd p{fd_, POLLIN, 0};
        int r = ::poll(&p, 1, CommMsLeft(deadline));
        if (r < 0) {
            if (errno == EINTR) continue;
            CommSleepUntil(deadline);
            return false;
        }
        if (r == 0) return false;
        int waiting = 0;
        if (ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0) return true;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // The line is gone: nothing will arrive, and poll would return at once; wait out the time.
            CommSleepUntil(deadline);
            return false;
        }
        if (CommMsLeft(deadline) == 0) return false;
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
