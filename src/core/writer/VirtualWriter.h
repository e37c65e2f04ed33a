#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "core/writer/Clock.h"
#include "core/writer/CommLink.h"
#include "core/writer/WriterBox.h"

namespace qzr {

// The emulated writer box (WriterBox) with an emulated chip, in the program's own process, behind the same
// seam as the serial port: the protocol, the detection, Read IC and the engine drive it over real bytes and
// never know the difference.
//
// In front of the box sits a line that behaves as a real port's queues do. A byte the program writes waits
// in the output queue until the program next looks at the line (Read, InQueCount, WaitForInput, CTS, the
// next Write), as if it had meanwhile gone out; a purge of the output before that discards it, as a real
// port (and, every time, a pseudo-terminal) does. The box's answers wait in the input queue until read; a
// purge of the input discards what has arrived. When silent, WaitForInput sleeps on the clock (a FakeClock
// then just moves on). Optionally bytes travel at the line rate of 115200 bit/s both ways; then a byte
// reaches the box one byte time after the line to the box is free, and the answer follows one byte time
// after that.
//
// It keeps its chip across closes and re-opens (chip after chip in one session: insertChip() puts a fresh
// one in), records every header it received, and injects faults on request. All members are thread safe.
class VirtualWriter final : public CommPort {
  public:
    using Kind = WriterBox::Kind;
    using Exchange = WriterBox::Exchange;
    using Faults = WriterBox::Faults;

    explicit VirtualWriter(Clock& clock = realClock());

    // CommPort.
    void SetDeviceName(const std::string& name) override;
    std::string DeviceName() const override;
    void SetFlowControl(TFlowControl flow) override;
    void Open() override;
    void Close() override;
    bool Enabled() const override;
    int LastOpenError() const override;

    // CommLink.
    void PurgeIn() override;
    void PurgeOut() override;
    int Write(const uint8_t* buffer, int count) override;
    int Read(uint8_t* buffer, int count) override;
    int InQueCount() override;
    bool Cts() override;
    bool WaitForInput(int timeoutMs) override;

    // The box.
    void setKind(Kind kind);
    void setIdText(const std::string& text);  // default " HRP021A V3.30"
    std::string idText() const;
    // Puts a fresh blank chip in the socket.
    void insertChip(bool flash, int coreType);
    void insertChipFor(const DeviceFields& device);
    VirtualChip chip() const;
    void setChip(const VirtualChip& chip);
    void setFaults(const Faults& faults);
    Faults faults() const;
    // Answers arrive at the line rate (about 87 us a byte) instead of at once; a byte the program sends
    // reaches the box one byte time after the line to the box is free, and is answered after that.
    void setLinePacing(bool on);

    // The record.
    std::vector<Exchange> exchanges() const;
    std::vector<std::array<uint8_t, 32>> downloads() const;
    int probeCount() const;
    int idRequestCount() const;
    int openCount() const;
    TFlowControl flowControl() const;
    void clearRecord();

  private:
    using TimePoint = std::chrono::steady_clock::time_point;

    // Brings the line up to date: bytes that have reached the box are handed to it and its answers queued;
    // answers whose time has come arrive. `look`: the program looks at the line, so everything it wrote has
    // gone out (without pacing; with pacing only time decides).
    void settle(bool look);
    void look() const;  // settle(true) for the record's accessors (the caller holds the lock)
    void promote();

    mutable std::mutex mutex_;
    Clock& clock_;
    std::string deviceName_ = "virtual";
    TFlowControl flow_ = TFlowControl::fcDefault;
    bool open_ = false;
    int lastOpenError_ = 0;
    int openCount_ = 0;
    bool pacing_ = false;

    WriterBox box_;
    std::deque<std::pair<uint8_t, TimePoint>> outQueue_;  // written, not yet at the box
    std::deque<std::pair<uint8_t, TimePoint>> pending_;   // answered, not yet on the line
    std::deque<uint8_t> arrived_;                         // on the line, waiting to be read
    TimePoint lineFreeAt_{};
    TimePoint hostLineFreeAt_{};  // when the last byte sent to the box will have reached it (paced)
};

}  // namespace qzr
