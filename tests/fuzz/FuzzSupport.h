#pragma once

// Shared pieces of the fuzz targets: property checks that stop the run, a reader of the fuzz input, and a
// user interface that records what the core shows and answers from the input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/UserInterface.h"

namespace qzr::fuzz {

[[noreturn]] inline void propertyFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
    std::abort();
}

}  // namespace qzr::fuzz

// Marks the harness's own loops over whole areas: they are not what the fuzzer should learn from, and
// tracing their comparisons would cost most of the run's time.
#define FUZZ_NOT_TRACED __attribute__((no_sanitize("coverage")))

// Checks a property of the code under test; a failure aborts, so the fuzzer keeps the input.
#define FUZZ_CHECK(cond) \
    ((cond) ? static_cast<void>(0) : ::qzr::fuzz::propertyFailed(#cond, __FILE__, __LINE__))

namespace qzr::fuzz {

// The fuzz input read from the front: a few choices, then the rest as the payload.
class Input {
  public:
    Input(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t word() {
        const uint16_t low = byte();
        return static_cast<uint16_t>(low | (byte() << 8));
    }
    // The next `n` bytes (fewer at the end) as a text.
    std::string text(std::size_t n) {
        const std::size_t take = n < size_ - pos_ ? n : size_ - pos_;
        std::string t(reinterpret_cast<const char*>(data_ + pos_), take);
        pos_ += take;
        return t;
    }
    std::string_view rest() const {
        return std::string_view(reinterpret_cast<const char*>(data_ + pos_), size_ - pos_);
    }
    std::size_t remaining() const { return size_ - pos_; }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Records every text and answers questions from the bits of `answers` (bit k answers question k; Yes for a
// set bit).
class RecordingUi final : public UserInterface {
  public:
    explicit RecordingUi(uint32_t answers = 0) : answers_(answers) {}
    void message(const std::string& text) override { log.push_back(text); }
    void error(const std::string& text) override { log.push_back(text); }
    bool askYesNo(const std::string& text) override { return answer(text); }
    bool askAbortIgnore(const std::string& text) override { return answer(text); }

    std::vector<std::string> log;
    int questions = 0;

  private:
    bool answer(const std::string& text) {
        log.push_back(text);
        const bool yes = questions < 32 && ((answers_ >> questions) & 1u) != 0;
        ++questions;
        return yes;
    }
    uint32_t answers_;
};

}  // namespace qzr::fuzz
