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

// Writes a whole file or nothing: the content goes to a new file in the same folder, which is flushed to
// disk and then replaces `path`. A symbolic link is followed (the file it points to is replaced, the link
// stays); a `path` that exists and is not a regular file (a folder, a pipe, a device) is refused. The new
// file keeps the permissions of the file it replaces; a new file gets 0666 less the umask. The temporary
// file is created without a name where the system allows it and named only for the rename, so a killed
// save leaves nothing; temporary files of our own pattern that a killed process left in the folder (for
// any file of it) are removed. A file whose mode grants no write permission (0444) is refused, also when
// the program runs as root. Returns false (and leaves any existing file untouched) when something failed.
bool writeFileWhole(const std::string& path, std::span<const uint8_t> content);
bool writeFileWhole(const std::string& path, std::string_view content);

// The name of the temporary file that writeFileWhole uses for the `n`-th save of process `pid` to `target`
// (hidden, beside the target): "." + file name + ".tmp" + pid + "-" + n.
std::string temporaryFileName(const std::string& target, long pid, unsigned n);

}  // namespace qzr
