#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace qzr {

struct MainState;
class CommLink;
class Clock;
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

// The read window's one-second timer (Timer1): while running it adds 1 to `count` at every tick. The read
// resets `count` and tests it; starting the timer begins a new full interval.
class ReadIcTimer {
  public:
    explicit ReadIcTimer(std::chrono::milliseconds interval = std::chrono::milliseconds(1000));
    ~ReadIcTimer();
    ReadIcTimer(const ReadIcTimer&) = delete;
    ReadIcTimer& operator=(const ReadIcTimer&) = delete;

    void start();
    void stop();
    std::chrono::milliseconds interval() const { return interval_; }

    std::atomic<int> count{0};

  private:
    void run(std::stop_token stop);

    const std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    bool running_ = false;
    uint64_t generation_ = 0;  // changes at every start and stop
    std::jthread thread_;
};

// How a read ended.
enum class ReadIcOutcome {
    Done,     // every stage read
    Failed,   // a stage failed; its text is on the view, the earlier stages' data stay in place
    Stopped,  // a stop was requested (the window was closed)
};

// Reads the chip in the socket stage by stage into the state: ID and checksum, options, auxiliary words,
// program memory, EEPROM. Sets `icReadDone` when the program memory was read completely. Every wait looks
// at the writer link's stop flag: once it is raised the read ends at once, without a text. Runs on the
// caller's thread; ReadIcWorker runs it on a worker thread.
ReadIcOutcome ReadIcProc(MainState& st, WriterLink& writer, ReadIcView& view, ReadIcTimer& timer);

// Runs ReadIcProc on its own worker thread with its own timer and stop flag, as the read window does while
// it is shown.
class ReadIcWorker {
  public:
    // Reads through the program's port st.link.Comm1 on the state's tick clock.
    ReadIcWorker(MainState& st, ReadIcView& view,
                 std::chrono::milliseconds timerInterval = std::chrono::milliseconds(1000));
    // Reads through the given link on the given clock (tests).
    ReadIcWorker(MainState& st, CommLink& link, Clock& clock, ReadIcView& view,
                 std::chrono::milliseconds timerInterval = std::chrono::milliseconds(1000));
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
    int count() const { return timer_.count.load(); }

  private:
    MainState& st_;
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

// The command "Read IC", before the read window is shown: re-opens the port when it is unusable and clears
// `icReadDone`. False when the port is still unusable; the command then does nothing more.
bool beginReadIc(MainState& st);
// After the read window has closed: when the chip was read completely, the views are rebuilt and an open
// disassembly window is closed.
void endReadIc(MainState& st);

}  // namespace qzr
