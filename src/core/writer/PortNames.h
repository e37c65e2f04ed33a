#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qzr {

// Port entries: "Com1" .. "Com8" (any case), a device path such as /dev/ttyUSB0, "virtual" or
// "virtual:new-chip".

// True for "virtual" (any case): the built-in emulated writer; also for "virtual:new-chip", the same writer
// with a fresh chip in its socket at the start of every run (FreshChip.h).
bool isVirtualPortEntry(const std::string& entry);
// n for an entry "ComN" (any case, N >= 1), else nullopt.
std::optional<int> comPortNumber(const std::string& entry);
// The text messages show for an entry: ComN and "virtual" in capitals (COM3), a device path as given.
std::string portDisplayName(const std::string& entry);

// Whether two entries name the same port: ComN entries by their number, "virtual" entries without regard
// to case, device paths exactly. Every comparison of port entries uses this one.
bool samePortEntry(const std::string& a, const std::string& b);

// The serial devices present, in the order ComN counts them: /dev/ttyUSB*, then /dev/ttyACM*, then
// /dev/ttyS*, each group in numeric order. Only character devices count.
std::vector<std::string> presentSerialDevices(const std::string& devDir = "/dev");

// What an entry opens: for ComN the environment variable QZR_COMN when set (a device path, or
// "virtual"), otherwise the N-th present serial device, otherwise the entry itself (which then fails to
// open); anything else is returned as it stands.
std::string resolvePortEntry(const std::string& entry, const std::string& devDir = "/dev");

// One entry of the desktop program's port list: what the user picks, and the device it opens now ("virtual"
// for the emulated writer; empty when nothing is behind it, as for a ComN beyond the present devices).
struct PortListEntry {
    std::string entry;
    std::string device;
};

// The serial devices present by their stable names: the links in `devDir`/serial/by-id that lead to a
// character device, sorted by name. Such a name opens the same adapter whatever order the system counted
// the adapters in.
std::vector<std::string> stableSerialNames(const std::string& devDir = "/dev");

// The port list: "Com1" .. "Com8", each with the device it opens (resolvePortEntry), then the stable
// names of the present devices, each with the device it leads to.
std::vector<PortListEntry> portListEntries(const std::string& devDir = "/dev");

}  // namespace qzr
