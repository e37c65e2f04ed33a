#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qzr {

// Writes `content` to `path` whole or not at all: the bytes go to a new temporary file in the same folder,
// which is flushed to disk and then renamed over `path`. On any failure the temporary file is removed, an
// existing file at `path` is left untouched and false is returned.
bool writeWholeFile(const std::string& path, std::string_view content);

struct BoundedRead {
    enum Status { kOk, kCannotOpen, kTooLong } status = kCannotOpen;
    std::string content;  // the file's bytes when the status is kOk
};

// Reads the regular file at `path` when it holds at most `limit` bytes; stops reading as soon as it passes
// the limit.
BoundedRead readBoundedFile(const std::string& path, std::size_t limit);

}  // namespace qzr
