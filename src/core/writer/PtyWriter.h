#pragma once

#include <mutex>
#include <string>

#include "core/writer/Clock.h"
#include "core/writer/WriterBox.h"

namespace qzr {

// The emulated writer box served on the master side of a pseudo-terminal, so that this program, other
// programs and tests can open the other side (devicePath()) as a real serial port. The bytes that arrive
// on the master go to the box; its answers are written back. Purges and drains on the other side act on
// the pseudo-terminal's own queues, as they do on a real port.
//
// The server keeps a handle of the other side open itself (in raw mode), so the line stays up between the
// programs that open and close it.
class PtyWriter {
  public:
    explicit PtyWriter(Clock& clock = realClock());
    ~PtyWriter();
    PtyWriter(const PtyWriter&) = delete;
    PtyWriter& operator=(const PtyWriter&) = delete;

    // Makes the pseudo-terminal; false with `error` set when the system refuses.
    bool open(std::string& error);
    // The device path of the other side (/dev/pts/N); empty before open().
    const std::string& devicePath() const { return path_; }

    // Serves the box until stop() is called (from any thread) or a byte is written to wakeFd() (from a
    // signal handler). Blocks in poll(); never spins. Returns false when the pseudo-terminal failed.
    bool serve();
    void stop();
    // The write end of the wake-up pipe.
    int wakeFd() const { return wake_[1]; }

    // Runs f on the box under the server's lock (set faults, insert a chip, look at the record).
    template <typename F>
    auto withBox(F&& f) {
        std::lock_guard lock(mutex_);
        return f(box_);
    }

  private:
    std::mutex mutex_;
    WriterBox box_;
    int master_ = -1;
    int slave_ = -1;
    int wake_[2] = {-1, -1};
    std::string path_;
};

}  // namespace qzr
