#include "core/image/DataSave.h"

#include <algorithm>

#include "core/common/FileIo.h"
#include "core/common/HexRecord.h"
#include "core/common/UserInterface.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/DataLoad.h"
#include "core/image/MemoryImage.h"

namespace qzr {

namespace {

// The longest text a record can take: 11 characters around at most 16 data bytes of 2 characters each.
constexpr std::size_t kMaxRecordChars = hexRecordChars(16);

}  // namespace

std::optional<DataSaveFormat> saveFormatForName(const std::string& fileName) {
    const std::string ext = fileExtension(fileName);
    if (ext == "MHX") return DataSaveFormat::hex;
    if (ext == "BIN") return DataSaveFormat::binary;
    return std::nullopt;
}

DataSaveFormat chosenSaveFormat(const std::string& fileName, DataSaveFormat filterFormat) {
    return saveFormatForName(fileName).value_or(filterFormat);
}

std::vector<uint8_t> buildOutputImage(const DeviceFields& device, const MemoryImage& memory) {
    const std::size_t words = std::min<std::size_t>(
        static_cast<std::size_t>(std::max(device.programByteCount, 0)) / 2, layout::kProgramWords);
    const bool eeprom = device.hasEeprom();
    const std::size_t eepromSize =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(device.eepromSize, 0)), layout::kEepromBytes);
    std::vector<uint8_t> out(eeprom ? std::max(kBinWithEepromBase, 2 * words) + 2 * eepromSize : 2 * words,
                             0xFF);
    for (std::size_t w = 0; w < words; ++w) {
        const Word word = memory.programWord(w);
        out[2 * w] = static_cast<uint8_t>(word.low + 128 * (word.high & 1));
        out[2 * w + 1] = static_cast<uint8_t>(word.high >> 1);
    }
    if (eeprom) {
        const std::size_t base = out.size() - 2 * eepromSize;
        for (std::size_t k = 0; k < eepromSize; ++k) {
            out[base + 2 * k] = memory.eepromByte(k);
            out[base + 2 * k + 1] = 0x00;
        }
    }
    return out;
}

std::string buildHexText(std::span<const uint8_t> outputImage) {
    // Every word can at worst start a record of its own.
    std::string text((outputImage.size() / 2 + 2) * kMaxRecordChars, '\0');
    char* out = text.data();
    const uint8_t* image = outputImage.data();
    uint8_t record[16];
    std::size_t count = 0;
    uint32_t address = 0;
    for (std::size_t j = 0; j + 1 < outputImage.size(); j += 2) {
        const bool empty = image[j] == 0xFF && image[j + 1] == 0xFF;
        if (count > 0 && (j % 16 == 0 || empty)) {
            out = putHexRecord(out, static_cast<uint16_t>(address), std::span<const uint8_t>(record, count));
            count = 0;
        }
        if (!empty) {
            if (count == 0) address = static_cast<uint32_t>(j);
            record[count++] = image[j];
            record[count++] = image[j + 1];
        }
    }
    if (count > 0)
        out = putHexRecord(out, static_cast<uint16_t>(address), std::span<const uint8_t>(record, count));
    static constexpr char kEndRecord[] = ":00000001FF\r\n";
    out = std::copy_n(kEndRecord, sizeof kEndRecord - 1, out);
    text.resize(static_cast<std::size_t>(out - text.data()));
    return text;
}

bool SaveProgramMemory(const DeviceFields& device, const MemoryImage& memory, UserInterface& ui,
                       const std::string& fileName, DataSaveFormat format) {
    const std::vector<uint8_t> image = buildOutputImage(device, memory);
    bool ok = false;
    if (!fileName.empty()) {
        ok = format == DataSaveFormat::binary ? writeFileWhole(fileName, std::span<const uint8_t>(image))
                                              : writeFileWhole(fileName, buildHexText(image));
    }
    if (!ok) ui.message("Sorry, file can't be saved!");
    return ok;
}

}  // namespace qzr
