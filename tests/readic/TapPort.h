#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "core/writer/CommLink.h"

namespace qzr::test {

// A port in front of another (the virtual writer) that lets a test change what the program receives after
// a given header: drop, replace or add bytes of the answer, or hold CTS off. Every other call passes
// through.
class TapPort final : public CommPort {
  public:
    explicit TapPort(std::shared_ptr<CommPort> inner) : inner_(std::move(inner)) {}

    // Called with each 10-byte header the program sends (a write run starting with 0xA1 after a purge).
    std::function<void(const std::array<uint8_t, 10>&)> onHeader;
    // Called with each 32-byte download record (a write run starting with 0xA9 after a purge).
    std::function<void(const std::vector<uint8_t>&)> onRecord;
    // Applied to each byte the program receives after the last header, with its index in that answer:
    // returns the bytes delivered in its place (empty: dropped). Unset: passed as it is.
    std::function<std::vector<uint8_t>(int index, uint8_t b)> transform;
    // CTS forced off.
    bool ctsOff = false;
    // Reading fails as a broken serial device does (ECommError).
    bool failReads = false;

    // Whether a header is a read of the program memory (area 0, command 0xA5 without the continuation bit).
    static bool isProgramRead(const std::array<uint8_t, 10>& h) { return h[5] == 0 && h[9] == 0xA5; }

    void SetDeviceName(const std::string& name) override { inner_->SetDeviceName(name); }
    std::string DeviceName() const override { return inner_->DeviceName(); }
    void SetFlowControl(TFlowControl flow) override { inner_->SetFlowControl(flow); }
    void Open() override { inner_->Open(); }
    void Close() override { inner_->Close(); }
    bool Enabled() const override { return inner_->Enabled(); }
    int LastOpenError() const override { return inner_->LastOpenError(); }

    void PurgeIn() override {
        std::lock_guard lock(mutex_);
        pending_.clear();
        inner_->PurgeIn();
    }
    void PurgeOut() override {
        std::lock_guard lock(mutex_);
        written_.clear();
        inner_->PurgeOut();
    }
    int Write(const uint8_t* buffer, int count) override {
        const int n = inner_->Write(buffer, count);
        std::function<void(const std::array<uint8_t, 10>&)> headerHook;
        std::function<void(const std::vector<uint8_t>&)> recordHook;
        std::array<uint8_t, 10> header{};
        std::vector<uint8_t> record;
        {
            std::lock_guard lock(mutex_);
            for (int i = 0; i < count; ++i) written_.push_back(buffer[i]);
            if (written_.size() == 10 && written_[0] == 0xA1) {
                std::copy(written_.begin(), written_.end(), header.begin());
                index_ = 0;
                headerHook = onHeader;
            }
            if (written_.size() == 32 && written_[0] == 0xA9) {
                record = written_;
                index_ = 0;
                recordHook = onRecord;
            }
        }
        if (headerHook) headerHook(header);
        if (recordHook) recordHook(record);
        return n;
    }
    int Read(uint8_t* buffer, int count) override {
        if (failReads) throw ECommError("Read error", 5);
        std::lock_guard lock(mutex_);
        fill(count);
        int n = 0;
        while (n < count && !pending_.empty()) {
            buffer[n++] = pending_.front();
            pending_.pop_front();
        }
        return n;
    }
    int InQueCount() override {
        std::lock_guard lock(mutex_);
        const int inner = inner_->InQueCount();
        if (inner < 0) return inner;
        fill(inner);
        return static_cast<int>(pending_.size());
    }
    bool Cts() override { return !ctsOff && inner_->Cts(); }
    bool WaitForInput(int timeoutMs) override {
        {
            std::lock_guard lock(mutex_);
            if (!pending_.empty()) return true;
        }
        return inner_->WaitForInput(timeoutMs);
    }

  private:
    // Moves what the inner port has received through the transform into the pending queue.
    void fill(int count) {
        std::vector<uint8_t> in(static_cast<std::size_t>(count > 0 ? count : 0));
        const int n = count > 0 ? inner_->Read(in.data(), count) : 0;
        for (int i = 0; i < n; ++i) {
            const uint8_t b = in[static_cast<std::size_t>(i)];
            if (transform) {
                for (uint8_t out : transform(index_, b)) pending_.push_back(out);
            } else {
                pending_.push_back(b);
            }
            ++index_;
        }
    }

    std::shared_ptr<CommPort> inner_;
    std::mutex mutex_;
    std::vector<uint8_t> written_;
    std::deque<uint8_t> pending_;
    int index_ = 0;
};

}  // namespace qzr::test
