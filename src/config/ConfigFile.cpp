#include "config/ConfigFile.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "image/DataLoad.h"
#include "common/FileIo.h"
#include "common/HexText.h"
#include "options/Options.h"
#include "serial_number/SerialNumber.h"
#include "writer/PortNames.h"

namespace qzr {

namespace {

constexpr const char* kCrLf = "\r\n";

// A text kept on one line of the file: line breaks inside it become blanks.
std::string oneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

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

// Parses the keyed text format; on a fault `badNumber` holds the text that did not convert.
class CfgParser {
  public:
    CfgParser(MainState& st, std::string_view content) : st_(st), in_(content) {}

    Fault parse(CfgValues& v);
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
    Fault serialFields(CfgValues& v);
    void infoTexts(CfgValues& v);

    MainState& st_;
    CfgReader in_;
    std::string badNumber_;
};

Fault CfgParser::serialFields(CfgValues& v) {
    long mode = 0, start = 0, count = 0, increment = 0, kind = 0, order = 0;
    if (!number(mode) || !number(start) || !number(count)) return Fault::number;
    const std::string bytes = in_.GetStr();
    if (!number(increment) || !number(kind) || !number(order)) return Fault::number;
    // The dialog holds at most four hex digits of address, 1 to 8 bytes, an increment below 256, two modes
    // and two byte orders; anything else would not fit the serial-number state.
    if (start < 0 || start > 0xFFFF || count < 0 || count > kMaxSerialBytes || increment < 0 ||
        increment > 255 || kind < 0 || kind > 1 || order < 0 || order > 1)
        return Fault::fileData;
    // The number: one to two hex digits per byte of the count (a shorter one fills the bytes it has).
    const std::size_t digits = 2 * static_cast<std::size_t>(count == 0 ? 1 : count);
    if (bytes.empty() || bytes.size() > digits || !parseHex(bytes).valid) return Fault::fileData;
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
            HexToInt(st_.hexTextValid, std::string_view(bytes).substr(static_cast<std::size_t>(begin),
                                                         static_cast<std::size_t>(end - begin))));
    }
    return Fault::none;
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

Fault CfgParser::parse(CfgValues& v) {
    if (!need("Version:")) return Fault::fileData;
    v.version = in_.GetStr();
    if (!need("File name:")) return Fault::fileData;
    v.dataFile = fileName();
    if (v.dataFile.find('\0') != std::string::npos) return Fault::fileData;  // no file has such a name

    if (!need("COM port:")) return Fault::fileData;
    const std::string port = in_.GetStr();
    const std::string digit = port.size() >= 4 ? port.substr(3, 1) : std::string();
    if (const auto portNumber = decimalValue(digit)) {
        // The fourth character selects one of the eight entries of the port list.
        if (*portNumber < 1 || *portNumber > 8) return Fault::fileData;
        v.portEntry = "Com" + digit;
    } else if (isVirtualPortEntry(port) || port.starts_with("/")) {
        // The command line also names the emulated writer or a device path; such an entry is kept as it is.
        v.portEntry = port;
    } else {
        badNumber_ = digit;
        return Fault::number;
    }

    if (!need("Device name:")) return Fault::fileData;
    v.device = in_.GetStr();

    if (!need("Serial mode:")) return Fault::fileData;
    if (Fault f = serialFields(v); f != Fault::none) return f;

    if (!need("Option code:")) return Fault::fileData;
    v.allOptionBytes = v.version >= "2.70";
    for (std::size_t k = 0; k < (v.allOptionBytes ? 4u : 2u); ++k) {
        if (!hexByte(v.optionBytes[k])) return Fault::fileData;
    }

    if (!need("ID code:")) return Fault::fileData;
    for (uint8_t& b : v.id) {
        if (!hexByte(b)) return Fault::fileData;
    }

    if (!need("Keep option:")) return Fault::fileData;
    if (!flag(v.keepOptions)) return Fault::number;
    if (!need("Write EE in auto:")) return Fault::fileData;
    if (!flag(v.programEepromInAuto)) return Fault::number;
    if (in_.SearchStr("Bypass IC check:") && !flag(v.bypassIcCheck)) return Fault::number;
    if (in_.SearchStr("Save EE Data:") && !flag(v.saveEepromWithData)) return Fault::number;

    if (v.version >= "2.74") infoTexts(v);
    return in_.failed() ? Fault::fileData : Fault::none;
}

void fileDataError(MainState& st) {
    st.ui->message("'" + st.configPath + "' file data error!");
}

// Takes the parsed values over into the working state (the device is already looked up).
void apply(MainState& st, const CfgValues& v) {
    st.deviceListText = v.device;
    st.dataFileName = v.dataFile;
    st.link.portEntry = v.portEntry;
    st.link.portName = portDisplayName(v.portEntry);

    SerialNumberState& s = st.serial;
    s.serialMode = v.serialMode;
    s.startAddress = v.startAddress;
    s.wordCount = v.byteCount;
    std::copy_n(v.serialBytes.begin(), v.byteCount, s.number.begin());
    s.increment = v.increment;
    s.mode = static_cast<SerialKind>(v.kind);
    s.byteOrder = static_cast<SerialByteOrder>(v.byteOrder);
    ShowSerialNo(st.serial, *st.views);

    st.optionBytes[0] = v.optionBytes[0];
    st.optionBytes[1] = v.optionBytes[1];
    if (v.allOptionBytes) {
        st.optionBytes[2] = v.optionBytes[2];
        st.optionBytes[3] = v.optionBytes[3];
    }
    std::copy(v.id.begin(), v.id.end(), st.image.idArea().begin());

    st.settings.keepOptions = v.keepOptions;
    st.settings.programEepromInAuto = v.programEepromInAuto;
    st.settings.bypassIcCheck = v.bypassIcCheck;
    st.settings.saveEepromWithData = v.saveEepromWithData;
    if (v.hasInfo) st.info = v.info;
    st.views->refreshSerialIndicators();
    st.views->refreshDeviceCommands();
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

std::string SaveCfg(MainState& st) {
    SerialNumberState& s = st.serial;
    if (s.wordCount == 0) s.wordCount = 1;
    const int n = std::clamp(s.wordCount, 1, kMaxSerialBytes);

    std::string text;
    auto put = [&text](const std::string& line) { text += line + kCrLf; };
    put(std::string("Version: ") + kVersionText);
    put("File name: " + oneLine(st.dataFileName));
    put("COM port: " + oneLine(st.link.portEntry));
    put("Device name: " + oneLine(st.deviceListText));
    std::string serialBytes;
    for (int k = n - 1; k >= 0; --k) serialBytes += hexDigits(s.number[static_cast<std::size_t>(k)], 2);
    put("Serial mode: " + std::string(s.serialMode ? "1" : "0") + " " + std::to_string(s.startAddress) + " " +
        std::to_string(n) + " " + serialBytes + " " + std::to_string(s.increment) + " " +
        std::to_string(static_cast<int>(s.mode)) + " " + std::to_string(static_cast<int>(s.byteOrder)));
    put("Option code: " + hexByteList(st.optionBytes));
    std::string id;
    for (uint8_t b : st.image.idArea()) id += hexDigits(b, 2) + " ";
    put("ID code: " + id);
    auto bit = [](bool on) { return std::string(on ? "1" : "0"); };
    put("Keep option: " + bit(st.settings.keepOptions));
    put("Write EE in auto: " + bit(st.settings.programEepromInAuto));
    put("Bypass IC check: " + bit(st.settings.bypassIcCheck));
    put("Save EE Data: " + bit(st.settings.saveEepromWithData));
    put("Customer's Name: " + oneLine(st.info.customerName));
    put("Customer's project name: " + oneLine(st.info.projectName));
    put("Frequency: " + oneLine(st.info.operatingFrequency));
    put("Operating voltage: " + oneLine(st.info.operatingVoltageLow) + " ~ " +
        oneLine(st.info.operatingVoltageHigh));
    put("Operating current: " + oneLine(st.info.operatingCurrent));
    put("Sleep current: " + oneLine(st.info.sleepCurrent));
    return text;
}

bool LoadCfg(MainState& st, std::string_view content) {
    // Only the keyed text format is read. The older "koi"/"qzr" files leave the place of their option and
    // ID bytes open; a partial reading would program chips with options the file never held.
    if (content.substr(0, 3) != "Ver") {
        fileDataError(st);
        return false;
    }
    CfgValues values;
    CfgParser parser(st, content);
    switch (parser.parse(values)) {
        case Fault::none:
            break;
        case Fault::fileData:
            fileDataError(st);
            return false;
        case Fault::number:
            st.ui->error("'" + parser.badNumber() + "' is not a valid integer value");
            return false;
    }
    if (GetICInfo(st, values.device) < 0) {
        fileDataError(st);
        return false;
    }
    apply(st, values);
    st.views->refreshSelections();

    std::error_code ec;
    const std::string& name = st.dataFileName;
    if (name.empty() || !std::filesystem::is_regular_file(name, ec)) {
        st.ui->message(name.empty() ? "No data file name" : "Can not find '" + name + "' !");
        st.dataFileName.clear();
        return false;
    }
    // A configuration naming a configuration file (itself, perhaps) would load without end.
    if (dataFileKind(name) == DataFileKind::cfg) {
        fileDataError(st);
        return false;
    }
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    if (!LoadProgramMemory(st, name)) return false;
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    if (st.firstShowDone) UpdateScreen(st);
    return true;
}

bool LoadCfgFile(MainState& st) {
    FilePrefix file;
    switch (readFilePrefix(st.configPath, kMaxConfigFileBytes, file, true)) {
        case FileReadResult::ok:
            return LoadCfg(st, std::string(file.bytes.begin(), file.bytes.end()));
        case FileReadResult::tooLarge:
            fileDataError(st);
            return false;
        case FileReadResult::cannotOpen:
            break;
    }
    st.ui->message("File can't open!");
    return false;
}

bool writeConfigFile(MainState& st, const std::string& path) {
    if (!writeFileWhole(path, SaveCfg(st))) {
        st.ui->message("File can't be saved!");
        return false;
    }
    return true;
}

bool LoadConfigFile(MainState& st, const std::string& path) {
    st.configPath = path;
    const bool loaded = LoadCfgFile(st);
    if (!loaded) ResetData(st);
    st.disassemblyOpen = false;
    st.views->closeDisassembly();
    return loaded;
}

bool FileSaveItemClick(MainState& st, const std::string& name, int filterIndex) {
    if (filterIndex != 1 || name.empty()) {
        st.ui->message("File can't be saved!");
        return false;
    }
    return writeConfigFile(st, name);
}

bool LoadConfig1Click(MainState& st, const std::string& name, int filterIndex) {
    if (filterIndex != 1 || name.empty()) {
        st.ui->message("Can't load file!");
        return false;
    }
    return LoadConfigFile(st, name);
}

bool loadStartupConfig(MainState& st, const std::string& directory) {
    const std::string path = (std::filesystem::path(directory) / kDefaultConfigName).string();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
        return false;
    }
    st.configPath = path;
    const bool loaded = LoadCfgFile(st);
    if (!loaded) ResetData(st);
    return loaded;
}

bool saveExitConfig(MainState& st, const std::string& directory) {
    st.configPath = (std::filesystem::path(directory) / kDefaultConfigName).string();
    return writeConfigFile(st, st.configPath);
}

}  // namespace qzr
