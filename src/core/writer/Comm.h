#pragma once

// The serial port component over POSIX termios: TCustomComm holds the state and behaviour, TComm is the
// instance the program owns (Comm1). Its parts: the synchronisation classes (SerialSync.h), the line-event
// watcher (SerialEventWatcher.h), the USB adapter latency (SerialLatency.h) and the line settings
// (SerialLineSettings.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/writer/CommLink.h"
#include "core/writer/SerialEventWatcher.h"
#include "core/writer/SerialLatency.h"
#include "core/writer/SerialLineSettings.h"
#include "core/writer/SerialSync.h"

namespace qzr {

// ---------------------------------------------------------------------------------------------------------
// Line events.

enum class TCommEventType { evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty };

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
    CommLineSettings LineSettings() const;
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
    bool OpenDevice();
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
