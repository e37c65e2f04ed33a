#include "core/writer/VirtualWriter.h"

#include <algorithm>
#include <thread>

namespace qzr {

namespace {

// One byte at 115200 bit/s with start and stop bits.
constexpr auto kByteTime = std::chrono::microseconds(87);

}  // namespace

VirtualWriter::VirtualWriter(Clock& clock) : clock_(clock), box_(clock) {}

void VirtualWriter::SetDeviceName(const std::string& name) {
    std::lock_guard lock(mutex_);
    if (open_) throw ECommError("Port already assigned (open)", -1);
    deviceName_ = name;
}

std::string VirtualWriter::DeviceName() const {
    std::lock_guard lock(mutex_);
    return deviceName_;
}

void VirtualWriter::SetFlowControl(TFlowControl flow) {
    std::lock_guard lock(mutex_);
    flow_ = flow;
}

void VirtualWriter::Open() {
    std::lock_guard lock(mutex_);
    if (open_) throw ECommError("Port already assigned (open)", -1);
    if (box_.faults().openError != 0) {
        lastOpenError_ = box_.faults().openError;
        return;
    }
    open_ = true;
    lastOpenError_ = 0;
    ++openCount_;
}

void VirtualWriter::Close() {
    std::lock_guard lock(mutex_);
    open_ = false;
    outQueue_.clear();
    pending_.clear();
    arrived_.clear();
    box_.reset();
}

bool VirtualWriter::Enabled() const {
    std::lock_guard lock(mutex_);
    return open_;
}

int VirtualWriter::LastOpenError() const {
    std::lock_guard lock(mutex_);
    return lastOpenError_;
}

void VirtualWriter::promote() {
    const auto now = pacing_ ? std::chrono::steady_clock::now() : TimePoint{};
    while (!pending_.empty() && pending_.front().second <= now) {
        arrived_.push_back(pending_.front().first);
        pending_.pop_front();
    }
}

void VirtualWriter::settle(bool look) {
    if (pacing_ || look) {
        const auto now = pacing_ ? std::chrono::steady_clock::now() : TimePoint{};
        while (!outQueue_.empty() && outQueue_.front().second <= now) {
            const auto [b, at] = outQueue_.front();
            outQueue_.pop_front();
            box_.receive(b);
            for (uint8_t answer : box_.takeAnswers()) {
                TimePoint t{};
                if (pacing_) {
                    // After the byte being answered has arrived, and after the answers before it.
                    t = std::max(at, lineFreeAt_) + kByteTime;
                    lineFreeAt_ = t;
                }
                pending_.emplace_back(answer, t);
            }
        }
    }
    promote();
}

void VirtualWriter::look() const {
    // Looking at the record is looking at the line: what was written has gone out by then.
    const_cast<VirtualWriter*>(this)->settle(true);
}

void VirtualWriter::PurgeIn() {
    std::lock_guard lock(mutex_);
    settle(false);
    arrived_.clear();
}

void VirtualWriter::PurgeOut() {
    std::lock_guard lock(mutex_);
    settle(false);
    outQueue_.clear();
}

int VirtualWriter::Write(const uint8_t* buffer, int count) {
    std::lock_guard lock(mutex_);
    if (!open_) return -1;
    // Whatever was written before has gone out by now.
    settle(true);
    const auto now = pacing_ ? std::chrono::steady_clock::now() : TimePoint{};
    for (int i = 0; i < count; ++i) {
        TimePoint at{};
        if (pacing_) {
            hostLineFreeAt_ = std::max(now, hostLineFreeAt_) + kByteTime;
            at = hostLineFreeAt_;
        }
        outQueue_.emplace_back(buffer[i], at);
    }
    return count;
}

int VirtualWriter::Read(uint8_t* buffer, int count) {
    std::lock_guard lock(mutex_);
    if (!open_) return 0;
    settle(true);
    int n = 0;
    while (n < count && !arrived_.empty()) {
        buffer[n++] = arrived_.front();
        arrived_.pop_front();
    }
    return n;
}

int VirtualWriter::InQueCount() {
    std::lock_guard lock(mutex_);
    if (!open_) return -1;
    settle(true);
    return static_cast<int>(arrived_.size());
}

bool VirtualWriter::Cts() {
    std::lock_guard lock(mutex_);
    if (open_) settle(true);
    return open_ && !box_.faults().ctsOff;
}

bool VirtualWriter::WaitForInput(int timeoutMs) {
    std::unique_lock lock(mutex_);
    if (open_) {
        settle(true);
        if (!arrived_.empty()) return true;
        if (!pending_.empty() || !outQueue_.empty()) {
            // Paced: sleep until the next byte moves on the line (or the time-out).
            auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
            if (!pending_.empty()) next = std::min(next, pending_.front().second);
            if (!outQueue_.empty()) next = std::min(next, outQueue_.front().second);
            lock.unlock();
            std::this_thread::sleep_until(next);
            lock.lock();
            settle(true);
            return !arrived_.empty();
        }
    }
    lock.unlock();
    clock_.sleepFor(timeoutMs);
    return false;
}

void VirtualWriter::setKind(Kind kind) {
    std::lock_guard lock(mutex_);
    box_.setKind(kind);
}

void VirtualWriter::setIdText(const std::string& text) {
    std::lock_guard lock(mutex_);
    box_.setIdText(text);
}

std::string VirtualWriter::idText() const {
    std::lock_guard lock(mutex_);
    return box_.idText();
}

void VirtualWriter::insertChip(bool flash, int coreType) {
    std::lock_guard lock(mutex_);
    box_.insertChip(flash, coreType);
}

void VirtualWriter::insertChipFor(const DeviceFields& device) {
    std::lock_guard lock(mutex_);
    box_.insertChipFor(device);
}

VirtualChip VirtualWriter::chip() const {
    std::lock_guard lock(mutex_);
    look();
    return box_.chip();
}

void VirtualWriter::setChip(const VirtualChip& chip) {
    std::lock_guard lock(mutex_);
    box_.setChip(chip);
}

void VirtualWriter::setFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    box_.setFaults(faults);
}

VirtualWriter::Faults VirtualWriter::faults() const {
    std::lock_guard lock(mutex_);
    return box_.faults();
}

void VirtualWriter::setLinePacing(bool on) {
    std::lock_guard lock(mutex_);
    pacing_ = on;
}

std::vector<VirtualWriter::Exchange> VirtualWriter::exchanges() const {
    std::lock_guard lock(mutex_);
    look();
    return box_.exchanges();
}

std::vector<std::array<uint8_t, 32>> VirtualWriter::downloads() const {
    std::lock_guard lock(mutex_);
    look();
    return box_.downloads();
}

int VirtualWriter::probeCount() const {
    std::lock_guard lock(mutex_);
    look();
    return box_.probeCount();
}

int VirtualWriter::idRequestCount() const {
    std::lock_guard lock(mutex_);
    look();
    return box_.idRequestCount();
}

int VirtualWriter::openCount() const {
    std::lock_guard lock(mutex_);
    return openCount_;
}

TFlowControl VirtualWriter::flowControl() const {
    std::lock_guard lock(mutex_);
    return flow_;
}

void VirtualWriter::clearRecord() {
    std::lock_guard lock(mutex_);
    settle(true);
    box_.clearRecord();
}

}  // namespace qzr
