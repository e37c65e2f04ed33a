#include "core/common/FileIo.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
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

// The name a save finally writes: `path` with its symbolic links followed (a link to a missing file names
// that file). Fails on a loop of links.
bool followLinks(const std::string& path, fs::path& out) {
    fs::path p(path);
    for (int links = 0; links < 40; ++links) {
        struct stat sb {};
        if (::lstat(p.c_str(), &sb) != 0 || !S_ISLNK(sb.st_mode)) {
            out = p;
            return true;
        }
        std::error_code ec;
        const fs::path to = fs::read_symlink(p, ec);
        if (ec) return false;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return false;
}

// "." + name + ".tmp" + pid + "-" + n (any name): the pid of a temporary file of that pattern, or -1.
long temporaryFilePid(std::string_view entry) {
    if (entry.size() < 2 || entry[0] != '.') return -1;
    const auto tmp = entry.rfind(".tmp");
    if (tmp == std::string_view::npos || tmp < 2) return -1;
    entry.remove_prefix(tmp + 4);
    const auto dash = entry.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == entry.size()) return -1;
    auto digits = [](std::string_view t) {
        return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (dash > 9 || !digits(entry.substr(0, dash)) || !digits(entry.substr(dash + 1))) return -1;
    return std::stol(std::string(entry.substr(0, dash)));
}

// Removes the temporary files that saves into `folder` left when their process was killed (between naming
// the complete temporary file and renaming it), whatever file they were meant to replace.
void removeStaleTemporaries(const fs::path& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        const long pid = temporaryFilePid(entry);
        if (pid <= 0 || pid == static_cast<long>(::getpid())) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // its process still runs
        struct stat sb {};
        if (::lstat((folder / entry).c_str(), &sb) != 0 || !S_ISREG(sb.st_mode)) continue;
        ::unlink((folder / entry).c_str());
    }
}

// Writes the content to an open new file, gives it the permissions of the file it replaces (if any) and
// flushes it to disk.
bool fillFile(int fd, std::span<const uint8_t> content, const struct stat* previous) {
    if (!writeAll(fd, content.data(), content.size())) return false;
    if (previous != nullptr && ::fchmod(fd, previous->st_mode & 0777) != 0) return false;
    return ::fsync(fd) == 0;
}

// Writes the content to a new file in `folder` and gives it the name `temp`; false when that failed (then
// nothing is left). Where the system allows it the file has no name until it is complete and on disk.
bool writeTemporary(const fs::path& folder, const std::string& temp, std::span<const uint8_t> content,
                    const struct stat* previous) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
        if (!fillFile(fd, content, previous)) {
            ::close(fd);
            return false;
        }
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            if (::close(fd) == 0) return true;
            ::unlink(temp.c_str());
            return false;
        }
        ::close(fd);  // the unnamed file cannot be named here: it is written again under its name
    }
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = fillFile(fd, content, previous);
    ok = ::close(fd) == 0 && ok;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

// Flushes a folder's entries (the rename) to disk; a folder that cannot be opened is left alone.
void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string temporaryFileName(const std::string& target, long pid, unsigned n) {
    const fs::path t(target);
    return (t.parent_path() /
            ("." + t.filename().string() + ".tmp" + std::to_string(pid) + "-" + std::to_string(n)))
        .string();
}

bool writeFileWhole(const std::string& path, std::span<const uint8_t> content) {
    if (path.empty()) return false;
    fs::path target;
    if (!followLinks(path, target) || target.filename().empty()) return false;
    struct stat previous {};
    const bool exists = ::stat(target.c_str(), &previous) == 0;
    if (exists && !S_ISREG(previous.st_mode)) return false;
    if (!exists && errno != ENOENT) return false;
    // A file that grants nobody write permission is not replaced, whoever saves (root too).
    if (exists && (previous.st_mode & 0222) == 0) return false;

    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    removeStaleTemporaries(folder);
    static std::atomic<unsigned> counter{0};
    const std::string temp = temporaryFileName(target.string(), static_cast<long>(::getpid()), counter++);
    if (!writeTemporary(folder, temp, content, exists ? &previous : nullptr)) return false;
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    syncFolder(folder);
    return true;
}

bool writeFileWhole(const std::string& path, std::string_view content) {
    return writeFileWhole(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(content.data()), content.size()));
}

}  // namespace qzr
