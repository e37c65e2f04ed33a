#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "core/writer/Clock.h"
#include "core/writer/WriterHeader.h"

namespace qzr {

struct DeviceFields;
struct LinkState;
class CommLink;
class MemoryImage;
class UserInterface;
class ViewHooks;
class WriterLink;

// The status lines of the read window.
enum class ReadIcLine {
    Label1,  // device and writer check, options
    Label2,  // ID and checksum; "Writer Error!!" of the first three reads
    Label3,  // program memory
    EEInfo,  // EEPROM, hidden until the EEPROM read starts
};

// Texts of the read window.
namespace read_text {
inline constexpr const char* kCaption = "Read";
inline constexpr const char* kUnknownIc = "Unknow IC Type!!";
inline constexpr const char* kWrongWriter = "Writer type is error!";
inline constexpr const char* kNothingInSocket = "Nothing in socket or type error!!";
inline constexpr const char* kAdapterError = "IC adapter board error!!";
inline constexpr const char* kWriterError = "Writer Error!!";
inline constexpr const char* kReadError = "Read error!!";
inline constexpr const char* kIdOk = "Read ID and Checksum OK";
inline constexpr const char* kOptionOk = "Read OPTION OK";
inline constexpr const char* kDataOk = "Read Data OK";
inline constexpr const char* kEepromOk = "Read EEPROM OK";
// "Connect Timeout!! (n)", n = 1 (writer check) .. 7 (EEPROM).
std::string connectTimeout(int n);
}  // namespace read_text

// What the read shows while it runs. Called on the worker thread; a window marshals the calls to its own
// thread. Every text reaches the view as its stage ends.
class ReadIcView {
  public:
    virtual ~ReadIcView() = default;
    // A status line shows `text`: a success in the normal colour, a failure in red.
    virtual void showLine(ReadIcLine /*line*/, const std::string& /*text*/, bool /*failure*/) {}
    // The EEPROM status line becomes visible.
    virtual void showEepromLine() {}
    // The program-memory gauge, 0..100.
    virtual void setGauge(int /*percent*/) {}
    // The read has ended (successfully or not): "OK" becomes usable.
    virtual void finished() {}
};

// One second in ticks: the interval of the read window's timer.
inline constexpr int kReadIcTimerTicks = 100;

// The read window's one-second timer (Timer1), counted on the tick clock: while running, its count goes up
// by 1 at the end of every full interval since it was (re)started. The read resets the count and tests it;
// a reset does not begin a new interval, a start does. Safe to read from another thread.
class ReadIcTimer {
  public:
    explicit ReadIcTimer(Clock& clock, int intervalTicks = kReadIcTimerTicks);

    void start();
    void stop();
    int count();
    void reset();
    Clock& clock() { return clock_; }

  private:
    void catchUp();  // brings the count up to the clock (the caller holds the lock)

    Clock& clock_;
    const int interval_;
    std::mutex mutex_;
    bool running_ = false;
    int last_ = 0;   // the tick the count was last brought up to
    int phase_ = 0;  // ticks of the current interval passed
    int count_ = 0;
};

// What a chip read works on: the pieces of the working state it looks at and fills.
struct ReadIcJob {
    LinkState& link;
    MemoryImage& image;
    DeviceFields& device;
    std::string deviceListText;  // the device is looked up again by it before every header
    std::array<uint8_t, 4>& optionBytes;
    std::array<uint8_t, 4>& readOptionBytes;
    bool& icReadDone;
    HeaderSettings header;
    UserInterface& ui;  // the writer check's messages
    ViewHooks& views;
};

// How a read ended.
enum class ReadIcOutcome {
    Done,     // every stage read
    Failed,   // a stage failed; its text is on the view, the earlier stages' data stay in place
    Stopped,  // a stop was requested (the window was closed)
};

// Reads the chip in the socket stage by stage into the job's pieces: ID and checksum, options, auxiliary
// words, program memory, EEPROM. Sets `icReadDone` when the program memory was read completely. Every wait
// looks at the writer link's stop flag: once it is raised the read ends at once, without a text. The
// time-outs count on the timer's clock. Runs on the caller's thread; ReadIcWorker runs it on a worker
// thread. The command around it is in app/ReadIcCommand.h.
ReadIcOutcome ReadIcProc(ReadIcJob& job, WriterLink& writer, ReadIcView& view, ReadIcTimer& timer);

// Runs ReadIcProc on its own worker thread with its own timer and stop flag, as the read window does while
// it is shown.
class ReadIcWorker {
  public:
    // Reads through the program's port job.link.Comm1 on the link's tick clock.
    ReadIcWorker(const ReadIcJob& job, ReadIcView& view);
    // Reads through the given link on the given clock (tests).
    ReadIcWorker(const ReadIcJob& job, CommLink& link, Clock& clock, ReadIcView& view);
    // Requests a stop and waits for the worker: the read ends within one exchange.
    ~ReadIcWorker();
    ReadIcWorker(const ReadIcWorker&) = delete;
    ReadIcWorker& operator=(const ReadIcWorker&) = delete;

    // Starts the read (once).
    void start();
    // Raises the stop flag (closing the window); does not wait.
    void requestStop() { stop_ = true; }
    // Waits for the worker to end; returns how the read ended. An error of the serial component that ended
    // the worker (ECommError) is thrown here, on the waiting thread.
    ReadIcOutcome wait();
    bool finished() const { return finished_.load(); }
    // The timer's count (for a window that shows it, and for tests).
    int count() { return timer_.count(); }

  private:
    ReadIcJob job_;
    CommLink* link_ = nullptr;
    Clock* clock_ = nullptr;
    ReadIcView& view_;
    ReadIcTimer timer_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    ReadIcOutcome outcome_ = ReadIcOutcome::Stopped;
    std::exception_ptr error_;
    std::thread thread_;
};

}  // namespace qzr
