#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace qzr {

// The one exception of the writer link: a fixed message followed by " (Error: N) ".
class ECommError : public std::runtime_error {
  public:
    ECommError(const std::string& message, int errorCode)
        : std::runtime_error(message + " (Error: " + std::to_string(errorCode) + ") "),
          errorCode(errorCode),
          message(message) {}
    int errorCode;        // the system error number, or -1
    std::string message;  // the message without the suffix
};

// What the writer protocol needs of a port. The serial component and the virtual writer both provide it;
// the protocol, detection, read and engine never know which one they drive.
class CommLink {
  public:
    virtual ~CommLink() = default;
    virtual void PurgeIn() = 0;
    virtual void PurgeOut() = 0;
    // Writes count bytes; returns the number written, or -1 when the write did not complete in time.
    virtual int Write(const uint8_t* buffer, int count) = 0;
    // Returns at once with the bytes already received (0 .. count); never waits for bytes to arrive.
    virtual int Read(uint8_t* buffer, int count) = 0;
    // Received bytes waiting; -1 when closed.
    virtual int InQueCount() = 0;
    // The CTS line (false when closed or unreadable).
    virtual bool Cts() = 0;
    // Blocks until a received byte is waiting or timeoutMs have passed; true when a byte is waiting.
    virtual bool WaitForInput(int timeoutMs) = 0;
};

enum class TFlowControl { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };

// A port that is opened by name: the program's Comm1.
class CommPort : public CommLink {
  public:
    virtual void SetDeviceName(const std::string& name) = 0;
    virtual std::string DeviceName() const = 0;
    virtual void SetFlowControl(TFlowControl flow) = 0;
    // Opens DeviceName; on failure returns quietly with the port closed (see LastOpenError).
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual bool Enabled() const = 0;
    // The system error number of the last failed Open (0 when the last Open succeeded).
    virtual int LastOpenError() const = 0;
    // A warning about the port to show the user once (a slow USB adapter); empty when there is none.
    virtual std::string TakeLatencyWarning() { return {}; }
};

// The serial component over the operating system's serial device.
std::unique_ptr<CommPort> createSerialPort();

}  // namespace qzr
