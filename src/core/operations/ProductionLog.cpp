#include "core/operations/ProductionLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/common/HexText.h"
#include "core/options/OptionState.h"
#include "core/serial_number/SerialNumber.h"
#include "core/writer/LinkState.h"

namespace qzr {

namespace {

std::string reason(int error) {
    return std::error_code(error, std::system_category()).message();
}

std::string cannotWrite(const std::string& path, int error) {
    return "Cannot write the production log \"" + path + "\": " + reason(error);
}

// Closes the descriptor when it goes out of scope.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now; the error of the close (a delayed write error) or 0.
    int close() {
        const int r = ::close(fd_);
        fd_ = -1;
        return r == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

// Writes all bytes; 0 or the error.
int writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Makes a newly created file's directory entry durable too.
void syncDirectoryOf(const std::string& path) {
    std::filesystem::path dir = std::filesystem::path(path).parent_path();
    if (dir.empty()) dir = ".";
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Appends `bytes` and flushes them to disk; on a failure the file is cut back to `size`. 0 or the error.
int appendDurably(int fd, off_t size, const std::string& bytes) {
    int error = writeAll(fd, bytes);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (error != 0 && ::ftruncate(fd, size) == 0) ::fsync(fd);
    return error;
}

// Opens the log for appending and makes sure it starts with the header (writing it into an empty file).
// On success `size` is the file's size after that; on failure `error` says why.
int openPrepared(const std::string& path, off_t& size, std::string& error) {
    // Whether this call made the file: a new file that cannot take its header is removed again.
    bool created = true;
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    }
    if (fd < 0) {
        error = cannotWrite(path, errno);
        return -1;
    }
    Fd file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = cannotWrite(path, errno);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "The production log \"" + path + "\" is not a file";
        return -1;
    }
    const std::string header = productionLogHeader();
    if (info.st_size == 0) {
        if (const int e = appendDurably(fd, 0, header); e != 0) {
            error = cannotWrite(path, e);
            if (created) {
                ::unlink(path.c_str());
                syncDirectoryOf(path);
            }
            return -1;
        }
        syncDirectoryOf(path);
        size = static_cast<off_t>(header.size());
    } else {
        // The first line must be the header (its CR may be missing).
        std::string first(header.size(), '\0');
        const ssize_t n = ::pread(fd, first.data(), first.size(), 0);
        if (n < 0) {
            error = cannotWrite(path, errno);
            return -1;
        }
        first.resize(static_cast<std::size_t>(n));
        const std::string bare = header.substr(0, header.size() - 2);
        const bool same = first == header || first == bare + "\n" ||
                          (static_cast<off_t>(n) == info.st_size && first == bare);
        if (!same) {
            error = "The production log \"" + path +
                    "\" starts with another header; no line is added to it (choose another file)";
            return -1;
        }
        size = info.st_size;
    }
    return file.release();
}

}  // namespace

ProductionRecord projectRecord(std::string_view device, std::string_view dataFile, const OptionState& options,
                               const SerialNumberState& serial, const LinkState& link) {
    ProductionRecord r;
    r.device = device;
    r.dataFile = dataFile;
    r.memoryChecksum = options.memoryChecksumText;
    r.optionChecksum = options.optionChecksumText;
    r.optionValue = options.optionValueText;
    r.passCount = serial.passCountText;
    const std::string& id = link.writerIdText;
    const std::size_t first = id.find_first_not_of(' ');
    r.writer = first == std::string::npos ? std::string() : id.substr(first);
    return r;
}

std::string serialNumberHex(const SerialNumberState& serial) {
    std::string out;
    for (int i = serialByteCount(serial) - 1; i >= 0; --i)
        out += hexDigits(serial.number[static_cast<std::size_t>(i)], 2);
    return out;
}

const std::vector<std::string>& productionLogColumns() {
    static const std::vector<std::string> kColumns{
        "Time",       "Operation", "Device", "Data file",   "Memory",      "w/OPTIONs",  "Option value",
        "Serial No.", "QTP file",  "Result", "Failed step", "Duration ms", "Pass count", "Writer"};
    return kColumns;
}

std::string csvField(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string csvLine(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        out += csvField(fields[i]);
    }
    return out + "\r\n";
}

std::string productionLogHeader() {
    return csvLine(productionLogColumns());
}

namespace {

std::vector<std::string> recordFields(const ProductionRecord& r) {
    return {r.time,           r.operation,      r.device,      r.dataFile,
            r.memoryChecksum, r.optionChecksum, r.optionValue, r.serialNumber,
            r.qtpFile,        r.result,         r.failure,     std::to_string(r.durationMs),
            r.passCount,      r.writer};
}

}  // namespace

std::string productionLogLine(const ProductionRecord& r) {
    return csvLine(recordFields(r));
}

std::string journalCsvHeader() {
    std::vector<std::string> columns = productionLogColumns();
    columns.insert(columns.end(), {"Station", "Lot", "Outcome"});
    return csvLine(columns);
}

std::string journalCsvLine(const ChipRecord& chip) {
    std::vector<std::string> fields = recordFields(chip.record);
    fields[9] = outcomeName(chip.outcome);
    fields.insert(fields.end(), {chip.station, chip.lot, outcomeName(chip.outcome)});
    return csvLine(fields);
}

std::string isoLocalTime(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[40];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0) return {};
    std::string out(text);
    // "+0100" -> "+01:00"
    if (out.size() >= 5) out.insert(out.size() - 2, ":");
    return out;
}

std::string prepareProductionLog(const std::string& path) {
    off_t size = 0;
    std::string error;
    const int fd = openPrepared(path, size, error);
    if (fd < 0) return error;
    Fd file(fd);
    if (const int e = file.close(); e != 0) return cannotWrite(path, e);
    return {};
}

std::string appendProductionLog(const std::string& path, const std::string& line) {
    off_t size = 0;
    std::string error;
    const int fd = openPrepared(path, size, error);
    if (fd < 0) return error;
    Fd file(fd);
    std::string bytes = line;
    char last = '\n';
    if (::pread(fd, &last, 1, size - 1) == 1 && last != '\n') bytes.insert(0, "\r\n");
    if (const int e = appendDurably(fd, size, bytes); e != 0) return cannotWrite(path, e);
    if (const int e = file.close(); e != 0) return cannotWrite(path, e);
    return {};
}

}  // namespace qzr
