#pragma once

// The serial port component over POSIX termios: TCustomComm holds the state and behaviour, TComm is the
// instance the program owns (Comm1). Also the small synchronisation classes of the component.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "writer/CommLink.h"

namespace qzr {

// ---------------------------------------------------------------------------------------------------------
// Synchronisation classes.

enum class TEventWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

// Owns one synchronisation object; keeps the system error number of the last failed wait.
class THandleObject {
  public:
    virtual ~THandleObject() = default;
    int LastError() const { return lastError_; }

  protected:
    int lastError_ = 0;
};

// An event: signalled or not; a manual-reset event stays signalled until ResetEvent, an auto-reset event
// releases one waiter and clears itself.
class TEvent : public THandleObject {
  public:
    explicit TEvent(bool manualReset = true, bool initialState = false, std::string name = {});
    TEventWaitResult WaitFor(int timeoutMs);
    void SetEvent();
    void ResetEvent();
    const std::string& Name() const { return name_; }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool manualReset_;
    bool signalled_;
    std::string name_;
};

// A manual-reset, initially non-signalled, unnamed event.
class TSimpleEvent : public TEvent {
  public:
    TSimpleEvent() : TEvent(true, false) {}
};

// A mutual-exclusion lock; lock()/unlock() let std::lock_guard hold it.
class TCriticalSection {
  public:
    void Acquire() { mutex_.lock(); }
    void Release() { mutex_.unlock(); }
    void Enter() { Acquire(); }
    void Leave() { Release(); }
    void lock() { Acquire(); }
    void unlock() { Release(); }

  private:
    std::mutex mutex_;
};

// ---------------------------------------------------------------------------------------------------------
// Enumerations of the component (the value is the position).

enum class TBaudrate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum class TParity { paNone, paOdd, paEven, paMark, paSpace };
enum class TStopbits { sb10, sb15, sb20 };
enum class TDatabits { da4, da5, da6, da7, da8 };
enum class TCommOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
enum class TCommEventType { evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty };

// The bit rate a TBaudrate member names.
int BaudrateValue(TBaudrate rate);

// A set of enumeration members, one bit per position.
template <typename E>
class TEnumSet {
  public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> members) {
        for (E m : members) Include(m);
    }
    static constexpr TEnumSet FromMask(std::uint32_t mask) {
        TEnumSet s;
        s.bits_ = mask;
        return s;
    }
    constexpr bool Contains(E m) const { return (bits_ >> static_cast<int>(m)) & 1U; }
    constexpr void Include(E m) { bits_ |= 1U << static_cast<int>(m); }
    constexpr void Exclude(E m) { bits_ &= ~(1U << static_cast<int>(m)); }
    constexpr std::uint32_t Mask() const { return bits_; }
    constexpr bool operator==(const TEnumSet&) const = default;

  private:
    std::uint32_t bits_ = 0;
};

using TCommOptions = TEnumSet<TCommOption>;
using TCommEventTypes = TEnumSet<TCommEventType>;

// All nine line events (mask 511).
inline constexpr TCommEventTypes kAllCommEvents = TCommEventTypes::FromMask(511);

class TCustomComm;

// The five special characters; a change is applied to an open port at once.
class TCommEventChars {
  public:
    explicit TCommEventChars(TCustomComm* owner) : owner_(owner) {}
    std::uint8_t XonChar() const { return xon_; }
    std::uint8_t XoffChar() const { return xoff_; }
    std::uint8_t ErrorChar() const { return error_; }
    std::uint8_t EofChar() const { return eof_; }
    std::uint8_t EvtChar() const { return evt_; }
    void SetXonChar(std::uint8_t c) { Change(xon_, c); }
    void SetXoffChar(std::uint8_t c) { Change(xoff_, c); }
    void SetErrorChar(std::uint8_t c) { Change(error_, c); }
    void SetEofChar(std::uint8_t c) { Change(eof_, c); }
    void SetEvtChar(std::uint8_t c) { Change(evt_, c); }

  private:
    void Change(std::uint8_t& field, std::uint8_t value);
    TCustomComm* owner_;
    std::uint8_t xon_ = 17;
    std::uint8_t xoff_ = 19;
    std::uint8_t error_ = 0;
    std::uint8_t eof_ = 0;
    std::uint8_t evt_ = 0;
};

// ---------------------------------------------------------------------------------------------------------
// CTS cache: the CTS state together with the driver's count of CTS changes at the time it was read. The
// state is good for as long as the driver's count has not moved.

class CommCtsCache {
  public:
    // Keeps (count, state) unless a reading taken at a later count is already held.
    void Store(std::uint32_t count, bool state);
    // The held state when it was read at currentCount or later; nothing when the line has changed since.
    std::optional<bool> Lookup(std::uint32_t currentCount) const;
    // As Lookup, waiting up to timeoutMs for a reading at currentCount or later to be stored.
    std::optional<bool> WaitFor(std::uint32_t currentCount, int timeoutMs) const;
    void Clear();

  private:
    bool Holds(std::uint32_t currentCount) const {
        return valid_ && static_cast<std::int32_t>(count_ - currentCount) >= 0;
    }
    mutable std::mutex mutex_;
    mutable std::condition_variable stored_;
    bool valid_ = false;
    std::uint32_t count_ = 0;
    bool state_ = false;
};

// ---------------------------------------------------------------------------------------------------------
// The line-event watcher of an open port: a thread that blocks in the driver's wait for a modem-line change
// and reports each change. Terminate wakes it (the blocking wait is interrupted by a signal directed at the
// thread) and joins it; the wait itself can be replaced, so the wake-up can be checked without hardware.

class TCommEventThread {
  public:
    // The blocking wait: returns 0 on a change, or -1 with errno set (EINTR when woken).
    using WaitFunction = std::function<int()>;
    // Called on the watcher thread after every change.
    using EventSignal = std::function<void()>;

    TCommEventThread(WaitFunction wait, EventSignal eventSignal);
    ~TCommEventThread();
    TCommEventThread(const TCommEventThread&) = delete;
    TCommEventThread& operator=(const TCommEventThread&) = delete;

    // Waits on the driver of fd for a change of any line in lineMask (TIOCM_* bits).
    static WaitFunction ModemLineWait(int fd, int lineMask);
    // Whether a thread can be woken out of a blocking driver call in this process (a wake-up signal could be
    // claimed); without it no watcher is started.
    static bool WakeUpAvailable();

    // Asks the thread to end, wakes it and waits for it; true when it has ended within waitMs.
    bool Terminate(int waitMs = 2000);
    // The wait failed with something other than a wake-up (the driver cannot wait for line changes, or the
    // device is gone); the thread has ended.
    bool Failed() const { return state_->failed.load(); }
    bool Running() const;

  private:
    // Shared with the thread, so that a thread left behind never touches a destroyed object.
    struct State {
        WaitFunction wait;
        EventSignal eventSignal;
        std::atomic<bool> terminated{false};
        std::atomic<bool> failed{false};
        TSimpleEvent finished;
    };
    static void Run(const std::shared_ptr<State>& state);
    std::shared_ptr<State> state_;
    std::thread thread_;
};

// ---------------------------------------------------------------------------------------------------------
// USB serial adapters: the latency timer of the adapter behind a tty, and the warning when it is slow.

// Reads <sysfsRoot>/dev/char/<major>:<minor>/device/latency_timer; -1 when there is none.
int CommReadLatencyTimer(const std::string& sysfsRoot, unsigned major, unsigned minor);
// The path of that file (for the remedy in the warning).
std::string CommLatencyTimerPath(const std::string& sysfsRoot, unsigned major, unsigned minor);
// The warning for an adapter whose latency timer stays at latencyMs; empty when latencyMs <= 2.
std::string CommLatencyWarning(const std::string& deviceName, int latencyMs, const std::string& timerPath);

// ---------------------------------------------------------------------------------------------------------
// The component.

using TCommEvent = std::function<void(TCustomComm& sender, bool status)>;
using TCommErrorEvent = std::function<void(TCustomComm& sender, int errors)>;
using TCommRxCharEvent = std::function<void(TCustomComm& sender, int count)>;

class TCustomComm : public CommPort {
  public:
    TCustomComm();
    ~TCustomComm() override;
    TCustomComm(const TCustomComm&) = delete;
    TCustomComm& operator=(const TCustomComm&) = delete;

    // CommLink
    void PurgeIn() override;
    void PurgeOut() override;
    int Write(const std::uint8_t* buffer, int count) override;
    int Read(std::uint8_t* buffer, int count) override;
    int InQueCount() override;
    bool Cts() override { return GetModemState(1); }
    bool WaitForInput(int timeoutMs) override;

    // CommPort
    void SetDeviceName(const std::string& name) override;
    std::string DeviceName() const override { return deviceName_; }
    void SetFlowControl(TFlowControl flow) override;
    void Open() override;
    void Close() override;
    bool Enabled() const override { return fd_ >= 0; }
    int LastOpenError() const override { return lastOpenError_; }
    std::string TakeLatencyWarning() override;

    int OutQueCount();
    // 1 CTS, 2 DSR, 3 ring indicator, 4 carrier detect; false for other indexes, when closed or unreadable.
    bool GetModemState(int index);
    // 1 (and 0, > 5) waits for CTS, 2 for DSR, 3 for carrier detect, 4 XOFF received, 5 XOFF sent.
    bool GetComState(int index);
    void SetDTRState(bool on);
    void SetRTSState(bool on);
    void SetXONState(bool on);
    void SetBREAKState(bool on);

    // Properties.
    int ReadTimeout() const { return readTimeout_; }
    void SetReadTimeout(int ms) { readTimeout_ = ms; }
    int WriteTimeout() const { return writeTimeout_; }
    void SetWriteTimeout(int ms) { writeTimeout_ = ms; }
    int ReadBufSize() const { return readBufSize_; }
    void SetReadBufSize(int size);
    int WriteBufSize() const { return writeBufSize_; }
    void SetWriteBufSize(int size);
    TCommEventTypes MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TCommEventTypes events);
    TBaudrate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudrate rate);
    TParity Parity() const { return parity_; }
    void SetParity(TParity parity);
    TStopbits Stopbits() const { return stopbits_; }
    void SetStopbits(TStopbits stopbits);
    TDatabits Databits() const { return databits_; }
    void SetDatabits(TDatabits databits);
    TCommOptions Options() const { return options_; }
    void SetOptions(TCommOptions options);
    TFlowControl FlowControl() const { return flowControl_; }
    TCommEventChars& EventChars() { return eventChars_; }

    TCommEvent OnBreak, OnCts, OnDsr, OnRing, OnRlsd, OnRxFlag, OnTxEmpty;
    TCommErrorEvent OnError;
    TCommRxCharEvent OnRxChar;

    // The watcher keeps the CTS state current (the driver can wait for line changes).
    bool WatchingModemLines() const;
    // The latency timer (ms) of the USB adapter behind the open port; -1 when there is none.
    int AdapterLatency() const { return adapterLatency_; }

  private:
    friend class TCommEventChars;
    void LineSettingChanged();
    void ApplyLineSettings();
    void SetTimeouts();
    void RequestLowLatency();
    void CheckAdapterLatency();
    void StartWatcher();
    void StopWatcher();
    void ModemLinesChanged();
    void HandleCommEvent(TCommEventTypes events);
    bool ReadModemBits(int& bits);
    void RequireOpen() const;
    void ModemControl(unsigned long request, int bits);
    void ReleasePort();

    int fd_ = -1;
    int lastOpenError_ = 0;
    std::string deviceName_ = "Com2";
    int readTimeout_ = 1000;
    int writeTimeout_ = 1000;
    int readBufSize_ = 4096;
    int writeBufSize_ = 2048;
    TCommEventTypes monitorEvents_ = kAllCommEvents;
    TBaudrate baudRate_ = TBaudrate::br9600;
    TParity parity_ = TParity::paNone;
    TStopbits stopbits_ = TStopbits::sb10;
    TDatabits databits_ = TDatabits::da8;
    TCommOptions options_;
    TFlowControl flowControl_ = TFlowControl::fcDefault;
    TCommEventChars eventChars_{this};

    TCriticalSection lock_;  // serialises Read and Write

    struct Saved;  // the settings found at open, restored at close
    std::unique_ptr<Saved> saved_;
    bool noModemLines_ = false;  // the device has no modem-control lines (a pseudo-terminal)
    int adapterLatency_ = -1;
    std::string latencyWarning_;
    std::string warnedDevice_;  // the device whose warning was already handed out

    CommCtsCache ctsCache_;
    std::unique_ptr<TCommEventThread> watcher_;
    int lastLines_ = 0;  // modem bits seen by the watcher, for the event handlers
};

// The instance the program owns; it publishes every property of TCustomComm.
class TComm : public TCustomComm {
  public:
    using TCustomComm::TCustomComm;
};

}  // namespace qzr
