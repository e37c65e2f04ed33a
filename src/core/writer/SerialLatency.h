#pragma once

// USB serial adapters: the latency timer of the adapter behind a tty, the warning when it is slow, and the
// driver's low-latency request made at open and taken back at close.

#include <string>

struct serial_struct;  // <linux/serial.h>

namespace qzr {

// Reads <sysfsRoot>/dev/char/<major>:<minor>/device/latency_timer; -1 when there is none.
int CommReadLatencyTimer(const std::string& sysfsRoot, unsigned major, unsigned minor);
// The path of that file (for the remedy in the warning).
std::string CommLatencyTimerPath(const std::string& sysfsRoot, unsigned major, unsigned minor);
// The warning for an adapter whose latency timer stays at latencyMs; empty when latencyMs <= 2.
std::string CommLatencyWarning(const std::string& deviceName, int latencyMs, const std::string& timerPath);

// The latency timer (ms) of the USB adapter behind an open port (-1 when there is none) and the warning for
// it (empty when it is fast enough).
struct CommAdapterLatency {
    int latencyMs = -1;
    std::string warning;
};
// Looks up the adapter behind the open tty fd (named deviceName in the warning) under /sys.
CommAdapterLatency CommCheckAdapterLatency(int fd, const std::string& deviceName);

// Asks the driver of the open tty fd for low latency. True when it changed the driver's setting; original
// then holds the setting before, for CommRestoreSerial at close. Drivers without the request (or that refuse
// it) are left as they are.
bool CommRequestLowLatency(int fd, serial_struct& original);
// Gives the driver of fd back the setting CommRequestLowLatency found.
void CommRestoreSerial(int fd, const serial_struct& original);

}  // namespace qzr
