#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/writer/Clock.h"

namespace qzr {

struct DeviceFields;

// The chip in the emulated writer's socket. Program, ID, option and special words are held as the writer
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

// The emulated writer box as a byte-level state machine: bytes from the program go in through receive(),
// the box's answers come out through takeAnswers(). It answers the probe (class 1, class 2 or
// identifying), the identification request, 10-byte headers of every area and kind (read streams, program
// streams with the per-byte or per-pair handshake and 0xB0 at the end, erase) and 32-byte download
// records. A header, record or program stream left unfinished for more than half a second is forgotten,
// so the box is ready for the next command after a lost byte.
//
// The in-process virtual writer (VirtualWriter) and the one served on a pseudo-terminal (PtyWriter) both
// run this box; each adds its own line in front of it. Not thread safe: its owner guards it.
class WriterBox {
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
        bool ctsOff = false;        // CTS held off (a line in front of the box applies it)
        int openError = 0;          // opening fails with this system error number (the line applies it)
    };

    explicit WriterBox(Clock& clock) : clock_(clock) {}

    // One byte from the program; the answers it causes are queued for takeAnswers().
    void receive(uint8_t b);
    // The answers given since the last call, in order.
    std::vector<uint8_t> takeAnswers();
    // Forgets a command in progress (the line was closed).
    void reset();

    void setKind(Kind kind) { kind_ = kind; }
    Kind kind() const { return kind_; }
    void setIdText(const std::string& text) { idText_ = text; }
    const std::string& idText() const { return idText_; }
    // Puts a fresh blank chip in the socket.
    void insertChip(bool flash, int coreType);
    void insertChipFor(const DeviceFields& device);
    const VirtualChip& chip() const { return chip_; }
    void setChip(const VirtualChip& chip) { chip_ = chip; }
    void setFaults(const Faults& faults) { faults_ = faults; }
    const Faults& faults() const { return faults_; }

    // The headers received, oldest first: the last kExchangeRecord at least (a box that serves chip after
    // chip for hours keeps a bounded record, not one entry per header ever received).
    static constexpr std::size_t kExchangeRecord = 1024;
    const std::vector<Exchange>& exchanges() const { return exchanges_; }
    const std::vector<std::array<uint8_t, 32>>& downloads() const { return downloads_; }
    int probeCount() const { return probes_; }
    int idRequestCount() const { return idRequests_; }
    void clearRecord();

  private:
    enum class Rx { Idle, Header, Download, Program };

    void headerDone();
    void downloadDone();
    void programByte(uint8_t b);
    void reply(uint8_t b);
    bool pairsInStream(uint8_t area) const;

    Clock& clock_;
    Kind kind_ = Kind::Identifying;
    std::string idText_ = " HRP021A V3.30";
    VirtualChip chip_;
    Faults faults_;

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

    std::vector<uint8_t> answers_;
    std::vector<Exchange> exchanges_;
    std::vector<std::array<uint8_t, 32>> downloads_;
    int probes_ = 0;
    int idRequests_ = 0;
};

}  // namespace qzr
