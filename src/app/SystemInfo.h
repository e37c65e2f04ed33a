#pragma once

#include <cstdint>
#include <string>

namespace qzr {

// What the about box says about the program and the machine.

// "Version : " and the window title from its first "V" ("QZR Writer V2.77" gives "Version : V2.77").
std::string aboutVersionText(const std::string& windowTitle);

// The machine's total physical memory in kilobytes (0 when the system does not say).
uint64_t physicalMemoryKb();
// The memory line: the kilobytes and " KB".
std::string memoryText(uint64_t kilobytes);

// The operating-system line: the system's name, then " (Build ", its release and ")" ("Linux (Build
// 6.1.0-18-amd64)"); "Unknown" when the system does not say.
std::string operatingSystemText();

// The writer's identification as the about box shows it: the text without its leading and trailing blanks,
// or "Unknown" when there is none.
std::string writerFirmwareText(const std::string& writerIdText);

// The program's own modification history, shown by the version window.
const char* versionHistoryText();

}  // namespace qzr
