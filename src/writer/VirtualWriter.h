#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "writer/Clock.h"
#include "writer/CommLink.h"

namespace qzr {

struct DeviceFields;

// The chip in the virtual writer's socket. Program, ID, option and special words are held as the writer
// sends them: two 7-bit bytes a word, low part first. Blank is 0x7F 0x7F (0xFF for EEPROM bytes).
struct VirtualChip {
    bool flash = false;  // erased by the erase command; a one-time-programmable chip is not
    int coreType = 1;    // 3: 11-bit words, protected words read back ORed with 0x079F instead of 0x0F9F
    std::array<uint8_t, 32768> program{};
    std::array<uint8_t, 32> id{};
    std::array<uint8_t, 8> options{};   // four option words (the read header asks for 4)
    std::array<uint8_t, 40> special{};  // the 20-word special area
    std::array<uint8_t, 1024> eeprom{};

    VirtualChip() { blank(); }
    void blank();
    // The security option is programmed: bit 6 of option byte 1 clear (bit 3 for core type 3).
    bool isProtected() const;
    uint16_t programWord(std::size_t n) const {
        return n < program.size() / 2 ? static_cast<uint16_t>(program[2 * n] + 128u * program[2 * n + 1]) : 0;
    }
};

// An emulated writer box with an emulated chip, behind the same seam as the serial port: the protocol, the
// detection, Read IC and the engine drive it over real bytes and never know the difference.
//
// The box answers inside Write(): the probe (class 1, class 2 or identifying), the identification request,
// 10-byte headers of every area and kind (read streams, program streams with the per-byte or per-pair
// handshake and 0xB0 at the end, erase), and 32-byte download records. Its answers arrive on the line when
// the program next looks (Read, InQueCount, WaitForInput), so a purge right after sending a header does
// not lose them; a purge before the next exchange drops whatever was left. When silent, WaitForInput
// sleeps on the clock (a FakeClock then just moves on). Optionally the answers are paced at the line rate
// of 115200 bit/s. A header, record or program stream left unfinished for more than half a second is
// forgotten, so the box is ready for the next command after a lost byte.
//
// It keeps its chip across closes and re-opens (chip after chip in one session: insertChip() puts a fresh
// one in), records every header it received, and injects faults on request. All members are thread safe.
class VirtualWriter final : public CommPort {
  public:
    enum class Kind { Class1, Class2, Identifying };

    // One header the box received.
    struct Exchange {
        std::array<uint8_t, 10> header{};
        uint8_t command = 0;  // byte 9 without the continuation bit
        uint8_t area = 0;     // byte 5
        bool continuation = false;
        int dataBytes = 0;  // bytes received in the program stream that followed
    };

    // Faults, all off by default. They stay in force until changed.
    struct Faults {
        bool noChip = false;        // headers are answered 0xFE
        bool adapterError = false;  // headers are answered 0xFD
        int failAtByte = -1;        // a program stream answers 0xB1 at this byte index (or its pair)
        int silenceAfter = -1;      // after this many more answer bytes the box says nothing
        int wrongReply = -1;        // the next answer byte is replaced by this value (once)
        bool ctsOff = false;        // CTS held off
        int openError = 0;          // Open fails with this system error number
    };

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
    enum class Rx { Idle, Header, Download, Program };

    void receive(uint8_t b);
    void headerDone();
    void downloadDone();
    void programByte(uint8_t b);
    void reply(uint8_t b);
    void promote();
    bool pairsInStream(uint8_t area) const;

    mutable std::mutex mutex_;
    Clock& clock_;
    std::string deviceName_ = "virtual";
    TFlowControl flow_ = TFlowControl::fcDefault;
    bool open_ = false;
    int lastOpenError_ = 0;
    int openCount_ = 0;

    Kind kind_ = Kind::Identifying;
    std::string idText_ = " HRP021A V3.30";
    VirtualChip chip_;
    Faults faults_;
    bool pacing_ = false;

    Rx rx_ = Rx::Idle;
    std::vector<uint8_t> rxBuf_;
    int lastRxTick_ = 0;
    // The program stream in progress.
    uint8_t progArea_ = 0;
    int progTotal_ = 0;
    int progReceived_ = 0;
    int progUnit_ = 1;
    int unitFill_ = 0;
    bool unitBad_ = false;
    uint8_t eepromData_ = 0xFF;

    std::deque<std::pair<uint8_t, TimePoint>> pending_;  // answered, not yet on the line
    std::deque<uint8_t> arrived_;                        // on the line, waiting to be read
    TimePoint lineFreeAt_{};
    TimePoint hostLineFreeAt_{};  // when the last byte sent to the box has reached it (paced)

    std::vector<Exchange> exchanges_;
    std::vector<std::array<uint8_t, 32>> downloads_;
    int probes_ = 0;
    int idRequests_ = 0;
};

}  // namespace qzr
