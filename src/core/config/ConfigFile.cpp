#include "core/config/ConfigFile.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <system_error>

#include "core/common/HexText.h"
#include "core/writer/PortNames.h"

namespace qzr {

namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A decimal integer as the number conversion reads it: an optional sign and at least one digit, within the
// 32-bit range.
std::optional<long> decimalValue(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648L) return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > 2147483647L) return std::nullopt;
    return value;
}

// Parses the keyed text format; on a fault `badNumber` holds the text that did not convert.
class CfgParser {
  public:
    explicit CfgParser(std::string_view content) : in_(content) {}

    CfgFault parse(CfgValues& v);
    const std::string& badNumber() const { return badNumber_; }

  private:
    // Finds a key that must be there; false (a file-data fault) when it is missing or a line is too long.
    bool need(std::string_view key) { return in_.SearchStr(key) != 0 && !in_.failed(); }
    // The next word read as a decimal number; false (a number fault) when it does not convert.
    bool number(long& out) {
        const std::string word = in_.GetStr();
        const auto value = decimalValue(word);
        if (!value) {
            badNumber_ = word;
            return false;
        }
        out = *value;
        return true;
    }
    bool flag(bool& out) {
        long value = 0;
        if (!number(value)) return false;
        out = value != 0;
        return true;
    }
    // The next word read as a hex byte: one or two hex digits; false (a file-data fault) for a word that is
    // missing, too long or not hexadecimal.
    bool hexByte(uint8_t& out) {
        const std::string word = in_.GetStr();
        const HexParse parsed = parseHex(word);
        if (word.empty() || word.size() > 2 || !parsed.valid) return false;
        out = static_cast<uint8_t>(parsed.value);
        return true;
    }
    // The rest of the current line without the one blank after the key and without its line end.
    std::string restOfLine() {
        std::string text = in_.line();
        if (!text.empty() && text.front() == ' ') text.erase(0, 1);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (!text.empty() && text.back() == '\r') text.pop_back();
        return text;
    }
    // The rest of the line as restOfLine gives it, without blanks and TABs at its end: a data-file name,
    // which may hold blanks but ends in its extension.
    std::string fileName() {
        std::string text = restOfLine();
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
        return text;
    }
    CfgFault serialFields(CfgValues& v);
    void infoTexts(CfgValues& v);

    CfgReader in_;
    std::string badNumber_;
};

CfgFault CfgParser::serialFields(CfgValues& v) {
    long mode = 0, start = 0, count = 0, increment = 0, kind = 0, order = 0;
    if (!number(mode) || !number(start) || !number(count)) return CfgFault::number;
    const std::string bytes = in_.GetStr();
    if (!number(increment) || !number(kind) || !number(order)) return CfgFault::number;
    // The dialog holds at most four hex digits of address, 1 to 8 bytes, an increment below 256, two modes
    // and two byte orders; anything else would not fit the serial-number state.
    if (start < 0 || start > 0xFFFF || count < 0 || count > kMaxSerialBytes || increment < 0 ||
        increment > 255 || kind < 0 || kind > 1 || order < 0 || order > 1)
        return CfgFault::fileData;
    // The number: one to two hex digits per byte of the count (a shorter one fills the bytes it has).
    const std::size_t digits = 2 * static_cast<std::size_t>(count == 0 ? 1 : count);
    if (bytes.empty() || bytes.size() > digits || !parseHex(bytes).valid) return CfgFault::fileData;
    v.serialMode = mode != 0;
    v.startAddress = static_cast<uint32_t>(start);
    v.byteCount = count == 0 ? 1 : static_cast<int>(count);
    v.increment = static_cast<uint32_t>(increment);
    v.kind = static_cast<int>(kind);
    v.byteOrder = static_cast<int>(order);
    // Byte k is the hex pair that ends 2k characters before the end of the word.
    for (int k = 0; k < v.byteCount; ++k) {
        const long end = static_cast<long>(bytes.size()) - 2L * k;
        if (end <= 0) break;
        const long begin = std::max(0L, end - 2);
        v.serialBytes[static_cast<std::size_t>(k)] = static_cast<uint8_t>(
            parseHex(std::string_view(bytes).substr(static_cast<std::size_t>(begin),
                                                    static_cast<std::size_t>(end - begin)))
                .value);
    }
    return CfgFault::none;
}

void CfgParser::infoTexts(CfgValues& v) {
    v.hasInfo = true;
    if (in_.SearchStr("Customer's Name:")) v.info.customerName = restOfLine();
    if (in_.SearchStr("Customer's project name:")) v.info.projectName = restOfLine();
    if (in_.SearchStr("Frequency:")) v.info.operatingFrequency = in_.GetStr();
    if (in_.SearchStr("Operating voltage:")) {
        // "min ~ max": the word "~" separates the two and is never a value.
        std::string first = in_.GetStr();
        if (first == "~") {
            v.info.operatingVoltageHigh = in_.GetStr();
        } else {
            v.info.operatingVoltageLow = first;
            in_.GetStr();
            v.info.operatingVoltageHigh = in_.GetStr();
        }
    }
    if (in_.SearchStr("Operating current:")) v.info.operatingCurrent = in_.GetStr();
    if (in_.SearchStr("Sleep current:")) v.info.sleepCurrent = in_.GetStr();
}

CfgFault CfgParser::parse(CfgValues& v) {
    if (!need("Version:")) return CfgFault::fileData;
    v.version = in_.GetStr();
    if (!need("File name:")) return CfgFault::fileData;
    v.dataFile = fileName();
    if (v.dataFile.find('\0') != std::string::npos) return CfgFault::fileData;  // no file has such a name

    if (!need("COM port:")) return CfgFault::fileData;
    const std::string port = in_.GetStr();
    const std::string digit = port.size() >= 4 ? port.substr(3, 1) : std::string();
    if (const auto portNumber = decimalValue(digit)) {
        // The fourth character selects one of the eight entries of the port list.
        if (*portNumber < 1 || *portNumber > 8) return CfgFault::fileData;
        v.portEntry = "Com" + digit;
    } else if (isVirtualPortEntry(port) || port.starts_with("/")) {
        // The command line also names the emulated writer or a device path; such an entry is kept as it is.
        v.portEntry = port;
    } else {
        badNumber_ = digit;
        return CfgFault::number;
    }

    if (!need("Device name:")) return CfgFault::fileData;
    v.device = in_.GetStr();

    if (!need("Serial mode:")) return CfgFault::fileData;
    if (CfgFault f = serialFields(v); f != CfgFault::none) return f;

    if (!need("Option code:")) return CfgFault::fileData;
    v.allOptionBytes = v.version >= "2.70";
    for (std::size_t k = 0; k < (v.allOptionBytes ? 4u : 2u); ++k) {
        if (!hexByte(v.optionBytes[k])) return CfgFault::fileData;
    }

    if (!need("ID code:")) return CfgFault::fileData;
    for (uint8_t& b : v.id) {
        if (!hexByte(b)) return CfgFault::fileData;
    }

    if (!need("Keep option:")) return CfgFault::fileData;
    if (!flag(v.keepOptions)) return CfgFault::number;
    if (!need("Write EE in auto:")) return CfgFault::fileData;
    if (!flag(v.programEepromInAuto)) return CfgFault::number;
    if (in_.SearchStr("Bypass IC check:") && !flag(v.bypassIcCheck)) return CfgFault::number;
    if (in_.SearchStr("Save EE Data:") && !flag(v.saveEepromWithData)) return CfgFault::number;

    if (v.version >= "2.74") infoTexts(v);
    return in_.failed() ? CfgFault::fileData : CfgFault::none;
}

}  // namespace

bool CfgReader::ReadLine() {
    line_.clear();
    if (pos_ >= content_.size()) return false;
    const std::size_t lf = content_.find('\n', pos_);
    const std::size_t end = lf == std::string_view::npos ? content_.size() : lf + 1;
    if (end - pos_ > kMaxConfigLineBytes) {
        failed_ = true;
    } else {
        line_.assign(content_.substr(pos_, end - pos_));
    }
    pos_ = end;
    return true;
}

std::size_t CfgReader::SearchStr(std::string_view key) {
    while (!failed_ && remaining() > 0) {
        ReadLine();
        const std::size_t at = line_.find(key);
        if (at != std::string::npos) {
            line_.erase(0, at + key.size());
            return at + 1;
        }
    }
    return 0;
}

std::string CfgReader::GetStr() {
    std::size_t i = 0;
    while (i < line_.size() && isSeparator(line_[i])) ++i;
    std::size_t j = i;
    while (j < line_.size() && !isSeparator(line_[j])) ++j;
    std::string word = line_.substr(i, j - i);
    line_.erase(0, j);
    return word;
}

CfgParse parseConfig(std::string_view content) {
    CfgParse result;
    // Only the keyed text format is read. The older "koi"/"qzr" files leave the place of their option and
    // ID bytes open; a partial reading would program chips with options the file never held.
    if (content.substr(0, 3) != "Ver") {
        result.fault = CfgFault::fileData;
        return result;
    }
    CfgParser parser(content);
    result.fault = parser.parse(result.values);
    result.badNumber = parser.badNumber();
    return result;
}

std::string configDataFilePath(const std::string& configPath, const std::string& dataFile) {
    namespace fs = std::filesystem;
    const fs::path name(dataFile);
    if (dataFile.empty() || name.is_absolute() || configPath.empty()) return dataFile;
    std::error_code ec;
    const fs::path beside = fs::path(configPath).parent_path() / name;
    if (fs::is_regular_file(beside, ec)) return beside.string();
    return dataFile;
}

std::string oneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

}  // namespace qzr
