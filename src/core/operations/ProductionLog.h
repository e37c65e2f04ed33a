#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "core/journal/ProductionJournal.h"
#include "core/journal/ProductionRecord.h"

namespace qzr {

struct OptionState;
struct SerialNumberState;
struct LinkState;

// The production record: one CSV line (RFC 4180, UTF-8, CR LF line ends) per chip that a writer
// operation reached, appended to the file named by OperationState::productionLogPath. A new file starts
// with the header line; a file that starts with another header is refused, never mixed.

// The fields that the state gives: device, data file, checksums, option value, pass count and writer; the
// others stay empty.
ProductionRecord projectRecord(std::string_view device, std::string_view dataFile, const OptionState& options,
                               const SerialNumberState& serial, const LinkState& link);

// The serial number as hex digits, most significant byte first, without blanks ("05", "0012FE").
std::string serialNumberHex(const SerialNumberState& serial);

// The column names of the header line, in order.
const std::vector<std::string>& productionLogColumns();

// RFC 4180: a field with a comma, a double quote, CR or LF is enclosed in double quotes, its double quotes
// doubled; any other field stands as it is.
std::string csvField(std::string_view field);
// The fields joined by commas, ended by CR LF.
std::string csvLine(const std::vector<std::string>& fields);

std::string productionLogHeader();
std::string productionLogLine(const ProductionRecord& record);

// The journal's chips as CSV (the `journal` command): the log's columns, then Station, Lot and Outcome.
std::string journalCsvHeader();
std::string journalCsvLine(const ChipRecord& chip);

// Local time as ISO 8601 with seconds and the zone offset ("2026-12-08T17:05:09+01:00").
std::string isoLocalTime(std::time_t t);

// Checks that lines can be added to the log: a missing or empty file is created with the header line (and
// flushed to disk); an existing file must start with exactly this header. Returns the reason why not,
// empty when lines can be added.
std::string prepareProductionLog(const std::string& path);

// Prepares the log, then appends the line with one write and flushes it to disk (fsync) before it returns.
// A file whose last line lacks its line end gets one first. A write that fails (full disk, removed folder,
// no permission) leaves the file as it was, a partly written line cut off again. Returns the reason of a
// failure, empty when the line is on disk.
std::string appendProductionLog(const std::string& path, const std::string& line);

}  // namespace qzr
