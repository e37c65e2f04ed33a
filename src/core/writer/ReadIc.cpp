#include "core/writer/ReadIc.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"
#include "core/writer/CommLink.h"
#include "core/writer/LinkState.h"
#include "core/writer/WriterProtocol.h"

namespace qzr {

namespace read_text {
std::string connectTimeout(int n) {
    return "Connect Timeout!! (" + std::to_string(n) + ")";
}
}  // namespace read_text

// ---- Timer1 ----

ReadIcTimer::ReadIcTimer(Clock& clock, int intervalTicks)
    : clock_(clock), interval_(intervalTicks < 1 ? 1 : intervalTicks) {}

void ReadIcTimer::catchUp() {
    const int now = clock_.clockTicks();
    if (running_) {
        phase_ += ticksSince(last_, now);
        count_ += phase_ / interval_;
        phase_ %= interval_;
    }
    last_ = now;
}

void ReadIcTimer::start() {
    std::lock_guard lock(mutex_);
    catchUp();
    running_ = true;
    phase_ = 0;
}

void ReadIcTimer::stop() {
    std::lock_guard lock(mutex_);
    catchUp();
    running_ = false;
}

int ReadIcTimer::count() {
    std::lock_guard lock(mutex_);
    catchUp();
    return count_;
}

void ReadIcTimer::reset() {
    std::lock_guard lock(mutex_);
    catchUp();
    count_ = 0;
}

// ---- The read ----

namespace {

using namespace read_text;

// The pause between two looks at CTS, and after a wait for input that returned at once.
constexpr int kPollMs = 1;
constexpr int kIdleMs = 2;
// Bytes with bit 7 set that the program-memory stage skips before it gives up on the stream.
constexpr int kMaxSkippedBytes = 256;

class Reader {
  public:
    Reader(ReadIcJob& job, WriterLink& writer, ReadIcView& view, ReadIcTimer& timer)
        : job_(job), writer_(writer), view_(view), timer_(timer) {}

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
        if (job_.device.deviceIndex == -1) return fail(ReadIcLine::Label1, kUnknownIc);
        // 2. Writer check.
        switch (writer_.CheckWriter(job_.device, job_.ui, job_.views)) {
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
            auto id = job_.image.idArea();
            auto transfer = job_.image.transferArea();
            for (std::size_t i = 0; i < layout::kIdBytes; ++i) id[i] = masked(transfer[i], i);
        }
        view_.showLine(ReadIcLine::Label2, kIdOk, false);

        // 4. Options: the four option bytes and the four that follow them on the chip.
        if (ReadIcOutcome o = read7(kAreaOption, 8, ReadIcLine::Label1, 2); o != ReadIcOutcome::Done)
            return o;
        view_.showLine(ReadIcLine::Label1, kOptionOk, false);
        {
            auto transfer = job_.image.transferArea();
            for (std::size_t i = 0; i < 4; ++i) {
                job_.optionBytes[i] = masked(transfer[i], i);
                job_.readOptionBytes[i] = masked(transfer[4 + i], i);
            }
        }

        // 5. Auxiliary words: words 0-3 and 16-19 of a 20-word read.
        if (ReadIcOutcome o = read7(kAreaSpecial, 40, ReadIcLine::Label1, 3); o != ReadIcOutcome::Done)
            return o;
        {
            auto aux = job_.image.auxArea();
            auto transfer = job_.image.transferArea();
            for (std::size_t i = 0; i < 8; ++i) {
                aux[i] = masked(transfer[i], i);
                aux[8 + i] = masked(transfer[32 + i], i);
            }
        }

        // 6. Program memory.
        if (ReadIcOutcome o = readProgram(); o != ReadIcOutcome::Done) return o;

        // 7. EEPROM, for a device that has one.
        if (job_.device.hasEeprom()) return readEeprom();
        return ReadIcOutcome::Done;
    }

    bool stopped() const { return writer_.stopRequested(); }

    // The high half of a word (an odd-numbered byte) keeps only the device's bits.
    uint8_t masked(uint8_t b, std::size_t index) const {
        return index % 2 == 1 ? static_cast<uint8_t>(b & job_.device.highByteMask) : b;
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
        WriterHeader h = header(area);
        h.setContinuation(true);
        putHeader(job_.image, h);
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

    // The header of a read of `area`: the device of the device list is looked up again first.
    WriterHeader header(uint8_t area) {
        updateDeviceFields(job_.device, job_.deviceListText);
        return buildWriterHeader(job_.device, job_.optionBytes, job_.header, area, kKindRead);
    }

    // Waits until CTS is on; false once the timer has counted three ticks, or on a stop.
    bool waitForCts(CommLink& link) {
        while (!link.Cts()) {
            if (stopped() || timer_.count() >= 3) return false;
            timer_.clock().sleepFor(kPollMs);
        }
        return true;
    }

    // Blocks until input arrives or a short slice has passed. A link that does not block (a closed port)
    // must not make the loop spin: a wait that returned within the same tick without input is followed by
    // a short pause.
    void idle(CommLink& link) {
        Clock& clock = timer_.clock();
        const int before = clock.clockTicks();
        if (!link.WaitForInput(kWaitSliceMs) && clock.clockTicks() == before) clock.sleepFor(kIdleMs);
    }

    ReadIcOutcome readProgram() {
        if (stopped()) return ReadIcOutcome::Stopped;
        const auto d = static_cast<std::size_t>(
            std::clamp(job_.device.programByteCount, 0, static_cast<int>(layout::kProgramBytes)));
        const WriterHeader programHeader = header(kAreaProgram);
        putHeader(job_.image, programHeader);
        const std::array<uint8_t, WriterHeader::kBytes> bytes = programHeader.encode();
        view_.setGauge(0);
        // Room for the data and for up to 11 surplus bytes, which are kept but not used.
        std::vector<uint8_t> buffer(d + 11, 0);

        CommLink& link = writer_.link();
        link.PurgeIn();
        link.PurgeOut();
        for (std::size_t h = 0; h < bytes.size(); ++h) {
            timer_.reset();
            timer_.start();
            if (!waitForCts(link)) return fail(ReadIcLine::Label3, connectTimeout(5));
            // Whatever came in before the stream is dropped before the header's last byte goes out: the
            // writer answers only after it, so none of its bytes can be lost. The output is not purged
            // again: it holds nothing but the header, and a purge would throw away what the writer has
            // not taken yet.
            if (h + 1 == bytes.size()) link.PurgeIn();
            link.Write(&bytes[h], 1);
            timer_.stop();
        }

        timer_.reset();
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
                timer_.reset();
                if (b == wb::kDone) {
                    if (i < d) return fail(ReadIcLine::Label3, kReadError);
                    view_.setGauge(100);
                    auto program = job_.image.programArea();
                    for (std::size_t j = 0; j < d; ++j) program[j] = masked(buffer[j], j);
                    view_.showLine(ReadIcLine::Label3, kDataOk, false);
                    job_.icReadDone = true;
                    timer_.stop();
                    return ReadIcOutcome::Done;
                }
                if (b == wb::kAdapterError) return fail(ReadIcLine::Label3, kAdapterError);
                if (b == wb::kNoChip) return fail(ReadIcLine::Label3, kNothingInSocket);
                if (b & wb::kAnswerBit) {
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
            if (timer_.count() >= 3) return fail(ReadIcLine::Label3, connectTimeout(6));
            if (n <= 0) idle(link);
        }
    }

    ReadIcOutcome readEeprom() {
        if (stopped()) return ReadIcOutcome::Stopped;
        const int e = std::clamp(job_.device.eepromSize, 0, static_cast<int>(layout::kEepromBytes));
        putHeader(job_.image, header(kAreaEeprom));
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
        auto transfer = job_.image.transferArea();
        std::copy_n(transfer.begin(), static_cast<std::size_t>(e), job_.image.eepromArea().begin());
        view_.showLine(ReadIcLine::EEInfo, kEepromOk, false);
        return ReadIcOutcome::Done;
    }

    ReadIcJob& job_;
    WriterLink& writer_;
    ReadIcView& view_;
    ReadIcTimer& timer_;
};

}  // namespace

ReadIcOutcome ReadIcProc(ReadIcJob& job, WriterLink& writer, ReadIcView& view, ReadIcTimer& timer) {
    return Reader(job, writer, view, timer).run();
}

// ---- The worker ----

ReadIcWorker::ReadIcWorker(const ReadIcJob& job, ReadIcView& view)
    : job_(job), view_(view), timer_(job.link.tickClock()) {}

ReadIcWorker::ReadIcWorker(const ReadIcJob& job, CommLink& link, Clock& clock, ReadIcView& view)
    : job_(job), link_(&link), clock_(&clock), view_(view), timer_(clock) {}

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
                WriterLink writer(job_.link, job_.image, *link_, *clock_, &stop_);
                outcome = ReadIcProc(job_, writer, view_, timer_);
            } else {
                WriterLink writer(job_.link, job_.image, &stop_);
                outcome = ReadIcProc(job_, writer, view_, timer_);
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

}  // namespace qzr
