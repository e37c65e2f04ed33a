#pragma once

#include <string>

namespace qzr {

// What is recorded of one chip: the columns of the CSV production log (ProductionLog.h) and of the
// production journal. Texts are as the dialog shows them ("&&" shown as "&").
struct ProductionRecord {
    std::string time;            // local time, ISO 8601 with seconds and zone: 2026-12-08T17:05:09+01:00
    std::string operation;       // the dialog title
    std::string device;          // the device list's text
    std::string dataFile;        // the data-file name, empty when none
    std::string memoryChecksum;  // "Memory"
    std::string optionChecksum;  // "w/OPTIONs" ("w/OPTIONs+EE" for a device with EEPROM)
    std::string optionValue;     // "Option value", e.g. "2A 55 00 00"
    std::string serialNumber;    // hex digits, most significant byte first; empty when the run placed none
    std::string qtpFile;         // the QTP file the number came from, empty when none
    std::string result;          // "pass", "fail" or "interrupted"
    std::string failure;         // the failing step's text when the run failed, else empty
    long long durationMs = 0;    // the run's duration
    std::string passCount;       // the pass count after the run
    std::string writer;          // the writer's identification text
};

}  // namespace qzr
