#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/image/MemoryImage.h"
#include "core/info_sheet/InfoSheetTexts.h"
#include "core/serial_number/SerialNumberState.h"

namespace qzr {

// The configuration file read at start-up and written at exit, in the start-up directory.
inline constexpr const char* kDefaultConfigName = "Default.cfg";

// Limits of the reader: a longer file, or a longer line, is refused with the file-data error.
inline constexpr std::size_t kMaxConfigFileBytes = 64 * 1024;
inline constexpr std::size_t kMaxConfigLineBytes = 4096;

// Reads the bytes of one configuration file line by line and key by key.
class CfgReader {
  public:
    explicit CfgReader(std::string_view content) : content_(content) {}

    // Reads the bytes up to and including the next LF (or the end) into the current line. A line longer
    // than kMaxConfigLineBytes marks the reader as failed. Returns false when no byte was left.
    bool ReadLine();
    // Reads lines until one contains `key`; the current line then holds the text after the key. Returns the
    // key's 1-based position in that line, 0 when the file ended without it.
    std::size_t SearchStr(std::string_view key);
    // Returns the next word of the current line (blank, TAB, CR and LF separate words) and removes it.
    std::string GetStr();

    const std::string& line() const { return line_; }
    std::size_t remaining() const { return content_.size() - pos_; }
    bool failed() const { return failed_; }

  private:
    std::string_view content_;
    std::size_t pos_ = 0;
    std::string line_;
    bool failed_ = false;
};

// Everything a configuration file sets, taken whole before any of it reaches the working state.
struct CfgValues {
    std::string version;
    std::string dataFile;
    std::string portEntry;  // "Com1".."Com8", "virtual" or a device path
    std::string device;
    bool serialMode = false;
    uint32_t startAddress = 0;
    int byteCount = 1;
    std::array<uint8_t, kMaxSerialBytes> serialBytes{};
    uint32_t increment = 1;
    int kind = 0;
    int byteOrder = 0;
    std::array<uint8_t, 4> optionBytes{};
    bool allOptionBytes = false;
    std::array<uint8_t, layout::kIdBytes> id{};
    bool keepOptions = false;
    bool programEepromInAuto = false;
    bool bypassIcCheck = false;
    bool saveEepromWithData = false;
    bool hasInfo = false;
    InfoSheetTexts info;
};

enum class Fault { none, fileData, number };

enum class CfgFault {
    none,
    fileData,  // a key missing, a line too long, a value out of range, a file of another format
    number,    // a decimal field that does not convert (`badNumber` holds its text)
};

struct CfgParse {
    CfgFault fault = CfgFault::none;
    CfgValues values;
    std::string badNumber;
};

// Parses a configuration file's content: the keyed text format only. Nothing of it reaches any state.
CfgParse parseConfig(std::string_view content);

// Where the data file that a configuration names is looked for: a relative name first beside the
// configuration file (a project folder keeps working wherever it is moved or opened from), then as it
// stands (from the working folder). Returns the first of them that is a regular file; otherwise the name as
// it stands, so that a message names what the file says. Absolute and empty names are returned unchanged.
std::string configDataFilePath(const std::string& configPath, const std::string& dataFile);

// A text kept on one line of the file: line breaks inside it become blanks.
std::string oneLine(std::string text);

}  // namespace qzr
