#include "core/serial_number/QtpFile.h"

#include <array>
#include <filesystem>

#include "core/common/FileIo.h"
#include "core/common/HexRecord.h"
#include "core/common/HexText.h"

namespace qzr {

namespace {

constexpr uint32_t kEepromRecordBase = 0x4200;  // record address of EEPROM byte 0
constexpr uint8_t kProgramMarker = 0x31;        // RTWI opcode byte beside each serial byte
constexpr uint8_t kEepromMarker = 0x00;

// Reads at most `limit` bytes of a regular file; nullopt when it cannot be read or is longer.
std::optional<std::string> readBounded(const std::string& path, std::size_t limit) {
    FilePrefix file;
    if (readFilePrefix(path, limit, file, true) != FileReadResult::ok) return std::nullopt;
    return std::string(file.bytes.begin(), file.bytes.end());
}

// The QTP status label: the path without everything up to and including its first separator.
std::string labelForPath(const std::string& path) {
    const std::size_t sep = path.find_first_of("\\/");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

// A name whose last component has no "." gets ".txt".
std::string withQtpExtension(const std::string& path) {
    const std::size_t sep = path.find_last_of("\\/");
    const std::size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
    if (path.find('.', nameStart) == std::string::npos) return path + ".txt";
    return path;
}

// Reads records from the file's content, one field at a time.
class RecordCursor {
  public:
    RecordCursor(const std::string& data, std::size_t pos) : data_(data), pos_(pos) {}
    std::size_t pos() const { return pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }
    char peek() const { return data_[pos_]; }
    void skip() { ++pos_; }
    // Two hexadecimal characters as a byte; false (nothing taken) when they are missing or not hexadecimal.
    bool hexByte(uint8_t& out) {
        if (data_.size() - pos_ < 2) return false;
        const HexParse p = parseHex(std::string_view(data_).substr(pos_, 2));
        if (!p.valid) return false;
        out = static_cast<uint8_t>(p.value);
        pos_ += 2;
        return true;
    }
    // A line end (CR LF, LF, or a lone CR) or the end of the file.
    bool lineEnd() {
        if (atEnd()) return true;
        if (peek() == '\r') {
            skip();
            if (!atEnd() && peek() == '\n') skip();
            return true;
        }
        if (peek() == '\n') {
            skip();
            return true;
        }
        return false;
    }

  private:
    const std::string& data_;
    std::size_t pos_;
};

}  // namespace

std::string qtpRecord(const SerialNumberState& serial) {
    const int n = serialByteCount(serial);
    const bool eeprom = serial.target == SerialTarget::Eeprom;
    const uint32_t address = (serial.startAddress + (eeprom ? kEepromRecordBase : 0)) & 0xFFFF;
    const uint8_t marker = eeprom ? kEepromMarker : kProgramMarker;
    std::array<uint8_t, 2 * kMaxSerialBytes> data{};
    for (int j = 0; j < n; ++j) {
        const int k = serial.byteOrder == SerialByteOrder::MsbFirst ? n - 1 - j : j;
        data[static_cast<std::size_t>(2 * j)] = serial.number[static_cast<std::size_t>(k)];
        data[static_cast<std::size_t>(2 * j + 1)] = marker;
    }
    const std::string record =
        hexRecord(static_cast<uint16_t>(address), std::span(data).first(static_cast<std::size_t>(2 * n)));
    return record;
}

void QTP_File(SerialNumberState& serial, std::string& out) {
    out += qtpRecord(serial);
    SerialNoNext(serial);
}

std::string buildQtpFile(SerialNumberState& serial, long parts) {
    std::string out;
    out.reserve(static_cast<std::size_t>(parts > 0 ? parts : 0) * (qtpRecord(serial).size()) + 16);
    for (long k = 0; k < parts; ++k) QTP_File(serial, out);
    out += kQtpEndRecord;
    return out;
}

QtpWriteResult writeQtpFile(SerialNumberState& serial, const std::string& chosenPath, long parts,
                            UserInterface& ui) {
    const std::string path = withQtpExtension(chosenPath);
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !ui.askYesNo("File Exists, Replace?")) {
        return QtpWriteResult::NotWritten;
    }
    SerialNumberState advanced = serial;
    const std::string content = buildQtpFile(advanced, parts);
    if (!writeFileWhole(path, content)) {
        ui.message("File can't be saved!");
        return QtpWriteResult::NotWritten;
    }
    serial.number = advanced.number;
    return QtpWriteResult::Written;
}

void ReadSerialData(SerialNumberState& serial, const DeviceFields& device, UserInterface& ui) {
    serial.qtpNoNumber = true;
    RecordCursor in(serial.qtpContent, std::min(serial.qtpReadOffset, serial.qtpContent.size()));
    const auto stop = [&](const char* text) {
        if (text != nullptr) ui.message(text);
        serial.qtpReadOffset = in.pos();
    };

    while (!in.atEnd() && (in.peek() == '\r' || in.peek() == '\n')) in.skip();  // blank lines
    if (in.atEnd() || in.peek() != ':') return stop("File Information Error!");
    in.skip();
    uint8_t count = 0;
    if (!in.hexByte(count)) return stop("File data error!");
    const int n = count / 2;
    if (n == 0) return stop(nullptr);  // the end record
    // A count that is odd or says more than 8 bytes does not fit a serial number.
    if (count % 2 != 0 || n > kMaxSerialBytes) return stop("File data error!");
    uint8_t addressHigh = 0, addressLow = 0, type = 0;
    if (!in.hexByte(addressHigh) || !in.hexByte(addressLow)) return stop("File data error!");
    if (!in.hexByte(type)) return stop("File data error!");
    uint32_t sum = count + addressHigh + addressLow + type;
    const uint32_t address = (static_cast<uint32_t>(addressHigh) << 8) | addressLow;
    const bool eeprom = address >= kEepromRecordBase;
    const uint32_t start = eeprom ? address - kEepromRecordBase : address;
    // An end-of-file record that claims data bytes carries no number.
    if (type == 0x01) return stop("File data error!");

    std::array<uint8_t, kMaxSerialBytes> bytes = serial.number;
    const uint8_t expectedMarker = eeprom ? kEepromMarker : kProgramMarker;
    for (int j = 0; j < n; ++j) {
        const int k = serial.byteOrder == SerialByteOrder::MsbFirst ? n - 1 - j : j;
        uint8_t value = 0, marker = 0;
        if (!in.hexByte(value)) return stop("File data error!");
        sum += value;
        if (!in.hexByte(marker) || marker != expectedMarker) return stop("File data error!");
        sum += marker;
        bytes[static_cast<std::size_t>(k)] = value;
    }
    uint8_t checksum = 0;
    if (!in.hexByte(checksum)) return stop("File data error!");
    if (((checksum + sum) & 0xFF) != 0) return stop("File Checksum Error!");
    if (!in.lineEnd()) return stop("File data error!");
    const uint32_t capacity = eeprom ? serialEepromCapacity(device) : serialProgramCapacity(device);
    if (static_cast<uint64_t>(start) + static_cast<uint64_t>(n) > capacity) return stop("File data error!");

    serial.wordCount = n;
    serial.startAddress = start;
    serial.target = eeprom ? SerialTarget::Eeprom : SerialTarget::ProgramMemory;
    serial.number = bytes;
    serial.qtpNoNumber = false;
    serial.qtpFileOpen = true;
    serial.qtpReadOffset = in.pos();
}

void CloseQtpFile(SerialNumberState& serial) {
    serial.qtpFileOpen = false;
    serial.qtpFileLabel.clear();
    serial.qtpFilePath.clear();
    serial.qtpContent.clear();
    serial.qtpContent.shrink_to_fit();
    serial.qtpReadOffset = 0;
}

void EndQtpProgramming(SerialNumberState& serial, bool& qtpSimulation, ViewHooks& views) {
    serial.serialMode = false;
    CloseQtpFile(serial);
    qtpSimulation = false;
    views.refreshSerialIndicators();
}

bool OpenQtpFile(SerialNumberState& serial, const std::string& path, const DeviceFields& device,
                 const MemoryImage& image, UserInterface& ui) {
    CloseQtpFile(serial);
    std::error_code ec;
    const bool isFile = std::filesystem::is_regular_file(path, ec);
    std::optional<std::string> content;
    if (isFile) content = readBounded(path, kMaxQtpFileBytes);
    if (!content) {
        ui.message(isFile ? "File Information Error!" : "Can't load file!");
        return false;
    }
    serial.qtpContent = std::move(*content);
    serial.qtpReadOffset = 0;
    serial.qtpFileLabel = labelForPath(path);
    serial.qtpFilePath = path;
    ReadSerialData(serial, device, ui);
    if (serial.qtpFileOpen && serial.target == SerialTarget::ProgramMemory) {
        for (int i = 0; i < serialByteCount(serial); ++i) {
            if (!isRtwiWord(image, serial.startAddress + static_cast<uint32_t>(i))) {
                ui.message("The program memory is not 'RTWI'");
                serial.qtpFileOpen = false;
                break;
            }
        }
    }
    return serial.qtpFileOpen;
}

}  // namespace qzr
