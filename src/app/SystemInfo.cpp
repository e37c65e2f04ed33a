#include "app/SystemInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

namespace qzr {

std::string aboutVersionText(const std::string& windowTitle) {
    const std::size_t v = windowTitle.find('V');
    return "Version : " + (v == std::string::npos ? std::string() : windowTitle.substr(v));
}

uint64_t physicalMemoryKb() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 1024u;
}

std::string memoryText(uint64_t kilobytes) {
    return std::to_string(kilobytes) + " KB";
}

std::string operatingSystemText() {
    struct utsname u {};
    if (::uname(&u) != 0 || u.sysname[0] == '\0') return "Unknown";
    return std::string(u.sysname) + " (Build " + u.release + ")";
}

std::string writerFirmwareText(const std::string& writerIdText) {
    const std::size_t first = writerIdText.find_first_not_of(' ');
    if (first == std::string::npos) return "Unknown";
    const std::size_t last = writerIdText.find_last_not_of(' ');
    return writerIdText.substr(first, last - first + 1);
}

const char* versionHistoryText() {
    return "QZR Writer modification history\r\n"
           "\r\n"
           "V2.77\r\n"
           "  - Desktop program: progress dialog with the running chip count and the time of each chip;\r\n"
           "    Enter repeats a finished auto-program.\r\n"
           "  - Read IC, device download, serial numbers and QTP files from the window.\r\n"
           "  - Virtual writer with a fresh chip per run (port entry \"virtual:new-chip\").\r\n"
           "\r\n"
           "V2.76\r\n"
           "  - Command-line program for scripts and production lines.\r\n"
           "  - Writer detection compares port entries without regard to case.\r\n"
           "\r\n"
           "V2.75\r\n"
           "  - Two bytes per handshake in the data and EEPROM streams for newer writer firmware.\r\n"
           "  - QTP files: a damaged record ends QTP programming instead of programming a partial number.\r\n"
           "\r\n"
           "V2.70\r\n"
           "  - Flash devices: erase pulse width and flash programming test on the engineering panel.\r\n"
           "\r\n"
           "V2.60\r\n"
           "  - Serial-number mode into program memory (RTWI tables) or EEPROM, sequential or\r\n"
           "    pseudo-random.\r\n"
           "\r\n"
           "V2.50\r\n"
           "  - Customer information sheet, saved as text or printed.\r\n"
           "\r\n"
           "V2.00\r\n"
           "  - First release for the QZR family.\r\n";
}

}  // namespace qzr
