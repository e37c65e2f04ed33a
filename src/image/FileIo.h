#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qzr {

// The text after the last "." of a file name, upper-cased; empty when the name holds no ".".
std::string fileExtension(std::string_view fileName);

// The name shown first by the open and save dialogs: the file-name part cut before its first "." (the folder
// is kept); an empty text when that part holds no ".".
std::string dialogInitialName(std::string_view fileName);

enum class FileReadResult { ok, cannotOpen, tooLarge };

// The start of a file, read in one go through a buffer.
struct FilePrefix {
    std::vector<uint8_t> bytes;  // at most the bytes asked for
    uint64_t size = 0;           // the whole file's size
};

// Reads at most `maxBytes` bytes from the start of a regular file; with `wholeOnly` a longer file is not
// read at all (tooLarge). Anything but a regular file (a missing file, a folder, a device or pipe) cannot
// be opened.
FileReadResult readFilePrefix(const std::string& path, std::size_t maxBytes, FilePrefix& out,
                              bool wholeOnly = false);

// Whether a written file is flushed to disk before it replaces the old one: project files that must survive
// a power cut are; data-file saves, which must stay fast, are not (the rename still makes them whole).
enum class FileFlush { none, toDisk };

// Writes a whole file or nothing: the content goes to a new file in the same folder, which then replaces
// `path`. Returns false (and leaves any existing file untouched) when something failed.
bool writeFileWhole(const std::string& path, std::span<const uint8_t> content,
                    FileFlush flush = FileFlush::toDisk);
bool writeFileWhole(const std::string& path, std::string_view content, FileFlush flush = FileFlush::toDisk);

}  // namespace qzr
