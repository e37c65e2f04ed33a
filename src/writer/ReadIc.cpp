#include "writer/ReadIc.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "app/MainState.h"
#include "device/DeviceCatalogue.h"
#include "options/Options.h"
#include "writer/CommLink.h"
#include "writer/WriterDetect.h"
#include "writer/WriterProtocol.h"
#include "app/StateHeader.h"

namespace qzr {

namespace read_text {
std::string connectTimeout(int n) {
    return "Connect Timeout!! (" + std::to_string(n) + ")";
}
}  // namespace read_text

// ---- Timer1 ----

ReadIcTimer::ReadIcTimer(std::chrono::milliseconds interval)
    : interval_(interval), thread_([this](std::stop_token stop) { run(stop); }) {}

ReadIcTimer::~ReadIcTimer() {
    thread_.request_stop();
    wake_.notify_all();
}

void ReadIcTimer::start() {
    std::lock_guard lock(mutex_);
    running_ = true;
    ++generation_;
    wake_.notify_all();
}

void ReadIcTimer::stop() {
    std::lock_guard lock(mutex_);
    running_ = false;
    ++generation_;
    wake_.notify_all();
}

void ReadIcTimer::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (!running_) {
            wake_.wait(lock, stop, [this] { return running_; });
            continue;
        }
        // One interval from the (re)start; a start or stop in the meantime begins the wait again.
        const uint64_t generation = generation_;
        const auto due = std::chrono::steady_clock::now() + interval_;
        while (!stop.stop_requested() && generation == generation_) {
            if (!wake_.wait_until(lock, stop, due, [&] { return generation != generation_; })) break;
        }
        if (stop.stop_requested() || generation != generation_) continue;
        ++count;
    }
}

// ---- The read ----

namespace {

using namespace read_text;

// How long one wait in the program-memory stage may block before the stop flag and the timer count are
// looked at again.
constexpr int kWaitSliceMs = 20;
// Bytes with bit 7 set that the program-memory stage skips before it gives up on the stream.
constexpr int kMaxSkippedBytes = 256;

class Reader {
  public:
    Reader(MainState& st, WriterLink& writer, ReadIcView& view, ReadIcTimer& timer)
        : st_(st), writer_(writer), view_(view), timer_(timer) {}

    ReadIcOutcome run() {
        ReadIcOutcome outcome = stages();
        timer_.stop();
        if (outcome != ReadIcOutcome::Done && stopped()) outcome = ReadIcOutcome::Stopped;
        view_.finished();
        return outcome;
    }

  private:
    ReadIcOutcome stages() {
        // 1. Device check.
        if (st_.device.deviceIndex == -1) return fail(ReadIcLine::Label1, kUnknownIc);
        // 2. Writer check.
        switch (writer_.CheckWriter()) {
            case lrWrongWriter:
                return fail(ReadIcLine::Label1, kWrongWriter);
            case lrTimeout:
                return fail(ReadIcLine::Label1, connectTimeout(1));
            case lrStopped:
                return ReadIcOutcome::Stopped;
            default:
                break;
        }
        if (stopped()) return ReadIcOutcome::Stopped;

        // 3. ID and checksum: 16 words.
        if (ReadIcOutcome o = read7(kAreaId, 32, ReadIcLine::Label2, 4); o != ReadIcOutcome::Done) return o;
        {
            auto id = st_.image.idArea();
            auto transfer = st_.image.transferArea();
            for (std::size_t i = 0; i < layout::kIdBytes; ++i) id[i] = masked(transfer[i], i);
        }
        view_.showLine(ReadIcLine::Label2, kIdOk, false);

        // 4. Options: the four option bytes and the four that follow them on the chip.
        if (ReadIcOutcome o = read7(kAreaOption, 8, ReadIcLine::Label1, 2); o != ReadIcOutcome::Done)
            return o;
        view_.showLine(ReadIcLine::Label1, kOptionOk, false);
        {
            auto transfer = st_.image.transferArea();
            for (std::size_t i = 0; i < 4; ++i) {
                st_.optionBytes[i] = masked(transfer[i], i);
                st_.options.readOptionBytes[i] = masked(transfer[4 + i], i);
            }
        }

        // 5. Auxiliary words: words 0-3 and 16-19 of a 20-word read.
        if (ReadIcOutcome o = read7(kAreaSpecial, 40, ReadIcLine::Label1, 3); o != ReadIcOutcome::Done)
            return o;
        {
            auto aux = st_.image.auxArea();
            auto transfer = st_.image.transferArea();
            for (std::size_t i = 0; i < 8; ++i) {
                aux[i] = masked(transfer[i], i);
                aux[8 + i] = masked(transfer[32 + i], i);
            }
        }

        // 6. Program memory.
        if (ReadIcOutcome o = readProgram(); o != ReadIcOutcome::Done) return o;

        // 7. EEPROM, for a device that has one.
        if (st_.device.hasEeprom()) return readEeprom();
        return ReadIcOutcome::Done;
    }

    bool stopped() const { return writer_.stopRequested(); }

    // The high half of a word (an odd-numbered byte) keeps only the device's bits.
    uint8_t masked(uint8_t b, std::size_t index) const {
        return index % 2 == 1 ? static_cast<uint8_t>(b & st_.device.highByteMask) : b;
    }

    ReadIcOutcome fail(ReadIcLine line, const std::string& text) {
        if (stopped()) return ReadIcOutcome::Stopped;
        view_.showLine(line, text, true);
        return ReadIcOutcome::Failed;
    }

    // A 7-bit read of `count` bytes of `area` into the transfer area, with bit 6 of the command set.
    // Failure texts go to `line`, except "Writer Error!!", which always goes to Label2; `timeoutNo` numbers
    // the time-out text.
    ReadIcOutcome read7(uint8_t area, int count, ReadIcLine line, int timeoutNo) {
        if (stopped()) return ReadIcOutcome::Stopped;  // nothing more is sent after a stop request
        GetHeader(st_, area, kKindRead);
        st_.image.headerArea()[9] |= 0x40;
        // Every byte is kept, so every byte must come (the protocol lets a stream end one byte short).
        switch (writer_.Read7BitDataWhole(count)) {
            case lrDone:
                return ReadIcOutcome::Done;
            case lrStopped:
                return ReadIcOutcome::Stopped;
            case lrNoChip:
                return fail(line, kNothingInSocket);
            case lrAdapterError:
                return fail(line, kAdapterError);
            case lrTimeout:
                return fail(line, connectTimeout(timeoutNo));
            default:
                return fail(ReadIcLine::Label2, kWriterError);
        }
    }

    // Blocks for a short while in real time: the timer counts real seconds, whatever the tick clock does.
    static void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    // Waits until CTS is on; false once the timer has counted three ticks, or on a stop.
    bool waitForCts(CommLink& link) {
        while (!link.Cts()) {
            if (stopped() || timer_.count.load() >= 3) return false;
            pause(1);
        }
        return true;
    }

    // Blocks until input arrives or a short slice has passed.
    static void idle(CommLink& link) {
        const auto before = std::chrono::steady_clock::now();
        if (link.WaitForInput(kWaitSliceMs)) return;
        // A link that does not block (a closed port, a clock that only moves in tests) must not make this
        // loop spin.
        if (std::chrono::steady_clock::now() - before < std::chrono::milliseconds(2)) pause(2);
    }

    ReadIcOutcome readProgram() {
        if (stopped()) return ReadIcOutcome::Stopped;
        const auto d = static_cast<std::size_t>(
            std::clamp(st_.device.programByteCount, 0, static_cast<int>(layout::kProgramBytes)));
        GetHeader(st_, kAreaProgram, kKindRead);
        view_.setGauge(0);
        std::array<uint8_t, 10> header{};
        std::copy_n(st_.image.headerArea().begin(), header.size(), header.begin());
        // Room for the data and for up to 11 surplus bytes, which are kept but not used.
        std::vector<uint8_t> buffer(d + 11, 0);

        CommLink& link = writer_.link();
        link.PurgeIn();
        link.PurgeOut();
        for (std::size_t h = 0; h < header.size(); ++h) {
            timer_.count = 0;
            timer_.start();
            if (!waitForCts(link)) return fail(ReadIcLine::Label3, connectTimeout(5));
            // Whatever came in before the stream is dropped before the header's last byte goes out: the
            // writer answers only after it, so none of its bytes can be lost. The output is not purged
            // again: it holds nothing but the header, and a purge would throw away what the writer has
            // not taken yet.
            if (h + 1 == header.size()) link.PurgeIn();
            link.Write(&header[h], 1);
            timer_.stop();
        }

        timer_.count = 0;
        timer_.start();
        std::size_t i = 0;
        int skipped = 0;
        int shown = 0;
        std::array<uint8_t, 256> chunk{};
        for (;;) {
            if (stopped()) return ReadIcOutcome::Stopped;
            const int n = link.Read(chunk.data(), static_cast<int>(chunk.size()));
            for (int k = 0; k < n; ++k) {
                const uint8_t b = chunk[static_cast<std::size_t>(k)];
                timer_.count = 0;
                if (b == 0xB8) {
                    if (i < d) return fail(ReadIcLine::Label3, kReadError);
                    view_.setGauge(100);
                    auto program = st_.image.programArea();
                    for (std::size_t j = 0; j < d; ++j) program[j] = masked(buffer[j], j);
                    view_.showLine(ReadIcLine::Label3, kDataOk, false);
                    st_.icReadDone = true;
                    timer_.stop();
                    return ReadIcOutcome::Done;
                }
                if (b == 0xFD) return fail(ReadIcLine::Label3, kAdapterError);
                if (b == 0xFE) return fail(ReadIcLine::Label3, kNothingInSocket);
                if (b >= 0x80) {
                    // Other bytes with bit 7 set are skipped, but not without end: a line that keeps
                    // sending would keep the read alive for ever.
                    if (++skipped > kMaxSkippedBytes) return fail(ReadIcLine::Label3, kReadError);
                    continue;
                }
                // More data than the chip can hold (D + 11 bytes): this is no program-memory stream.
                if (i >= buffer.size()) return fail(ReadIcLine::Label3, kReadError);
                {
                    if (d > 0) {
                        const int p = static_cast<int>(i * 100 / d);
                        if (p > shown) {
                            shown = p;
                            view_.setGauge(p);
                        }
                    }
                    buffer[i] = b;
                    ++i;
                }
            }
            if (timer_.count.load() >= 3) return fail(ReadIcLine::Label3, connectTimeout(6));
            if (n <= 0) idle(link);
        }
    }

    ReadIcOutcome readEeprom() {
        if (stopped()) return ReadIcOutcome::Stopped;
        const int e = std::clamp(st_.device.eepromSize, 0, static_cast<int>(layout::kEepromBytes));
        GetHeader(st_, kAreaEeprom, kKindRead);
        view_.showEepromLine();
        switch (writer_.Read8BitData(e)) {
            case lrDone:
                break;
            case lrStopped:
                return ReadIcOutcome::Stopped;
            case lrTimeout:
                return fail(ReadIcLine::EEInfo, connectTimeout(7));
            default:
                return fail(ReadIcLine::EEInfo, kWriterError);
        }
        auto transfer = st_.image.transferArea();
        std::copy_n(transfer.begin(), static_cast<std::size_t>(e), st_.image.eepromArea().begin());
        view_.showLine(ReadIcLine::EEInfo, kEepromOk, false);
        return ReadIcOutcome::Done;
    }

    MainState& st_;
    WriterLink& writer_;
    ReadIcView& view_;
    ReadIcTimer& timer_;
};

}  // namespace

ReadIcOutcome ReadIcProc(MainState& st, WriterLink& writer, ReadIcView& view, ReadIcTimer& timer) {
    return Reader(st, writer, view, timer).run();
}

// ---- The worker ----

ReadIcWorker::ReadIcWorker(MainState& st, ReadIcView& view, std::chrono::milliseconds timerInterval)
    : st_(st), view_(view), timer_(timerInterval) {}

ReadIcWorker::ReadIcWorker(MainState& st, CommLink& link, Clock& clock, ReadIcView& view,
                           std::chrono::milliseconds timerInterval)
    : st_(st), link_(&link), clock_(&clock), view_(view), timer_(timerInterval) {}

ReadIcWorker::~ReadIcWorker() {
    requestStop();
    if (thread_.joinable()) thread_.join();
}

void ReadIcWorker::start() {
    if (thread_.joinable() || finished_) return;
    thread_ = std::thread([this] {
        ReadIcOutcome outcome = ReadIcOutcome::Failed;
        try {
            if (link_ != nullptr) {
                WriterLink writer(st_, *link_, *clock_, &stop_);
                outcome = ReadIcProc(st_, writer, view_, timer_);
            } else {
                WriterLink writer(st_, &stop_);
                outcome = ReadIcProc(st_, writer, view_, timer_);
            }
        } catch (const ECommError&) {
            // The serial component failed; the waiting thread reports it. The window can be closed.
            error_ = std::current_exception();
            timer_.stop();
            view_.finished();
        }
        outcome_ = outcome;
        finished_ = true;
    });
}

ReadIcOutcome ReadIcWorker::wait() {
    if (thread_.joinable()) thread_.join();
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
    return outcome_;
}

// ---- The command ----

bool beginReadIc(MainState& st) {
    if (!PreparePort(st)) return false;
    st.icReadDone = false;
    return true;
}

void endReadIc(MainState& st) {
    if (!st.icReadDone) return;
    st.dataFileDamaged = false;  // the image now holds the chip's data
    st.views->recreateIdWindow();
    st.views->recreateProgramWindow();
    st.views->recreateEepromWindow(st.device.hasEeprom());
    UpdateOption(st);
    if (st.disassemblyOpen) {
        st.views->closeDisassembly();
        st.disassemblyOpen = false;
    }
}

}  // namespace qzr
