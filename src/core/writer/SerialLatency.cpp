#include "core/writer/SerialLatency.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cmath>
#include <fstream>

namespace qzr {

std::string CommLatencyTimerPath(const std::string& sysfsRoot, unsigned major, unsigned minor) {
    return sysfsRoot + "/dev/char/" + std::to_string(major) + ":" + std::to_string(minor) +
           "/device/latency_timer";
}

int CommReadLatencyTimer(const std::string& sysfsRoot, unsigned major, unsigned minor) {
    std::ifstream in(CommLatencyTimerPath(sysfsRoot, major, minor));
    long value = -1;
    if (!(in >> value) || value < 0 || value > 255) return -1;
    return static_cast<int>(value);
}

std::string CommLatencyWarning(const std::string& deviceName, int latencyMs, const std::string& timerPath) {
    if (latencyMs <= 2) return {};
    // The writer answers every byte of the program memory (32768 bytes for the largest device); each answer
    // waits for the adapter's latency timer on top of the byte's own time on the wire.
    constexpr double kBytes = 32768;
    constexpr double kWireMsPerByte = 10.0 * 1000.0 / 115200.0;
    double wireSeconds = kBytes * kWireMsPerByte / 1000.0;
    double slowSeconds = kBytes * (latencyMs + kWireMsPerByte) / 1000.0;
    int minutes = static_cast<int>(std::lround(slowSeconds / 60.0));
    return "Warning: the USB serial adapter of " + deviceName + " holds received bytes for " +
           std::to_string(latencyMs) + " ms (its latency timer) and did not accept low latency. The writer " +
           "answers every byte, so programming the largest device takes about " + std::to_string(minutes) +
           " minutes instead of about " + std::to_string(static_cast<int>(std::lround(wireSeconds))) +
           " seconds. To speed it up, as root: echo 1 > " + timerPath;
}

CommAdapterLatency CommCheckAdapterLatency(int fd, const std::string& deviceName) {
    CommAdapterLatency result;
    struct stat st {};
    if (fstat(fd, &st) != 0) return result;
    unsigned maj = major(st.st_rdev);
    unsigned min = minor(st.st_rdev);
    result.latencyMs = CommReadLatencyTimer("/sys", maj, min);
    result.warning = CommLatencyWarning(deviceName, result.latencyMs, CommLatencyTimerPath("/sys", maj, min));
    return result;
}

bool CommRequestLowLatency(int fd, serial_struct& original) {
    // A USB adapter otherwise holds each answer of the writer until its latency timer runs out.
    serial_struct ss{};
    if (ioctl(fd, TIOCGSERIAL, &ss) != 0) return false;
    if (ss.flags & ASYNC_LOW_LATENCY) return false;
    serial_struct wanted = ss;
    wanted.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(fd, TIOCSSERIAL, &wanted) != 0) return false;
    original = ss;
    return true;
}

void CommRestoreSerial(int fd, const serial_struct& original) {
    ioctl(fd, TIOCSSERIAL, &original);
}

}  // namespace qzr
