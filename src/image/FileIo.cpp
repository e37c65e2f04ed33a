#include "image/FileIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>

namespace qzr {

namespace fs = std::filesystem;

std::string fileExtension(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(fileName.substr(dot + 1));
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

std::string dialogInitialName(std::string_view fileName) {
    const auto slash = fileName.find_last_of('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const auto dot = fileName.find('.', nameStart);
    if (dot == std::string_view::npos) return {};
    return std::string(fileName.substr(0, dot));
}

FileReadResult readFilePrefix(const std::string& path, std::size_t maxBytes, FilePrefix& out,
                              bool wholeOnly) {
    out = FilePrefix{};
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) return FileReadResult::cannotOpen;
    std::ifstream in(path, std::ios::binary);
    if (!in) return FileReadResult::cannotOpen;
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end < 0) return FileReadResult::cannotOpen;
    in.seekg(0, std::ios::beg);
    out.size = static_cast<uint64_t>(end);
    if (wholeOnly && out.size > maxBytes) return FileReadResult::tooLarge;
    const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(out.size, maxBytes));
    out.bytes.resize(want);
    in.read(reinterpret_cast<char*>(out.bytes.data()), static_cast<std::streamsize>(want));
    out.bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return FileReadResult::ok;
}

namespace {

bool writeAll(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool writeFileWhole(const std::string& path, std::span<const uint8_t> content, FileFlush flush) {
    if (path.empty()) return false;
    static std::atomic<unsigned> counter{0};
    const fs::path target(path);
    const std::string temp =
        (target.parent_path() / ("." + target.filename().string() + ".tmp" + std::to_string(::getpid()) +
                                 "-" + std::to_string(counter++)))
            .string();
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, content.data(), content.size());
    if (ok && flush == FileFlush::toDisk) ok = ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

bool writeFileWhole(const std::string& path, std::string_view content, FileFlush flush) {
    return writeFileWhole(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(content.data()), content.size()),
        flush);
}

}  // namespace qzr
