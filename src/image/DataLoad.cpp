#include "image/DataLoad.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "config/ConfigFile.h"
#include "common/FileIo.h"
#include "image/HexReader.h"
#include "image/MemoryImage.h"
#include "image/PicTranslation.h"
#include "operations/OperationState.h"
#include "options/Options.h"
#include "serial_number/PassCounter.h"
#include "serial_number/SerialNumber.h"

namespace qzr {

namespace {

constexpr const char* kSizeUnmatch = "File size unmatch!";
constexpr const char* kTypeIncorrect = "File type incorrect!";

// Nesting of configuration loads: a configuration's data file is never itself a configuration.
thread_local int configLoadDepth = 0;

// "&Load Data" hands a configuration file to the configuration loader; a configuration that is not taken
// over ends with the device reset, and the file still counts as loaded.
bool loadConfigurationFile(MainState& st, const std::string& fileName) {
    st.configPath = fileName;
    if (!LoadCfgFile(st)) ResetData(st);
    return true;
}

// The first half of the device's program memory copied over the second half (intermediate form).
void duplicate(const MainState& st, MemoryImage& image) {
    auto program = image.programArea();
    const std::size_t h =
        std::min<std::size_t>(static_cast<std::size_t>(st.device.programByteCount) / 2, program.size() / 2);
    std::copy_n(program.begin(), h, program.begin() + static_cast<std::ptrdiff_t>(h));
}

// .obj and .bin: the size must be the device's, or half of it (then the program may be duplicated).
bool sizeCheckA(MainState& st, MemoryImage& image, uint64_t n) {
    const uint64_t full = static_cast<uint64_t>(st.device.programByteCount);
    if (n == full) return true;
    if (n == full / 2 && st.ui->askYesNo("Code size is half of ROM size. Duplicate the program ?")) {
        duplicate(st, image);
        return true;
    }
    st.ui->message(kSizeUnmatch);
    return false;
}

// .hex and .mhx: a program that fills at most half of the memory may be duplicated.
void duplicationOfferB(MainState& st, MemoryImage& image, uint64_t n) {
    if (static_cast<uint64_t>(st.device.programByteCount) / 2 >= n &&
        st.ui->askYesNo("Code size is less than half of ROM size. Duplicate the program ?")) {
        duplicate(st, image);
    }
}

void translate(MainState& st, MemoryImage& image, std::size_t n) {
    if (st.device.coreType == 1) {
        Pic5xToQzr(st, image, n);
    } else if (st.device.coreType == 2) {
        Pic6x7xToQzr(st, image, n);
    }
}

// Core type 3: bits 3-6 of each high byte (intermediate form) must be all set or all clear.
bool elevenBitWords(const MainState& st, const MemoryImage& image) {
    const auto program = image.programArea();
    const std::size_t end =
        std::min<std::size_t>(static_cast<std::size_t>(st.device.programByteCount), program.size());
    for (std::size_t i = 1; i < end; i += 2) {
        const uint8_t bits = program[i] & 0x78;
        if (bits != 0 && bits != 0x78) return false;
    }
    return true;
}

// Copies file bytes to the start of the program area; the rest of the area is left empty (0xFF).
void copyToProgram(MemoryImage& image, const std::vector<uint8_t>& bytes, std::size_t count) {
    auto program = image.programArea();
    std::fill(program.begin(), program.end(), 0xFF);
    std::copy_n(bytes.begin(), std::min({count, bytes.size(), program.size()}), program.begin());
}

// .bin: the program alone, or (for a device with EEPROM) program, filler and EEPROM tail. Returns n for the
// size check.
uint64_t readBin(MainState& st, MemoryImage& image, const FilePrefix& file) {
    const std::size_t full = static_cast<std::size_t>(st.device.programByteCount);
    const std::size_t eepromSize = static_cast<std::size_t>(std::max(st.device.eepromSize, 0));
    if (st.device.hasEeprom() && file.size == kBinWithEepromBase + 2 * eepromSize &&
        file.bytes.size() == file.size) {
        copyToProgram(image, file.bytes, full);
        uint64_t n = full;
        // Every word between the program and the EEPROM must be blank. A word that is not makes n point
        // past it, so the size check refuses the file even when the word lies right after the program.
        for (std::size_t i = full; i + 1 < kBinWithEepromBase; i += 2) {
            if (file.bytes[i] != 0xFF || file.bytes[i + 1] != 0xFF) n = i + 2;
        }
        for (std::size_t k = 0; k < eepromSize; ++k)
            image.setEepromByte(k, file.bytes[kBinWithEepromBase + 2 * k]);
        return n;
    }
    copyToProgram(image, file.bytes, layout::kProgramBytes);
    return file.size;
}

// The longest prefix worth reading for each kind.
std::size_t readLimit(DataFileKind kind) {
    switch (kind) {
        case DataFileKind::obj:
            return layout::kProgramBytes;
        case DataFileKind::bin:
            return kBinWithEepromBase + 2 * layout::kEepromBytes;
        case DataFileKind::hex:
        case DataFileKind::mhx:
            return kMaxHexTextBytes;
        case DataFileKind::cfg:
        case DataFileKind::other:
            break;
    }
    return 0;
}

}  // namespace

DataFileKind dataFileKind(const std::string& fileName) {
    const std::string ext = fileExtension(fileName);
    if (ext == "CFG") return DataFileKind::cfg;
    if (ext == "OBJ") return DataFileKind::obj;
    if (ext == "HEX") return DataFileKind::hex;
    if (ext == "BIN") return DataFileKind::bin;
    if (ext == "MHX") return DataFileKind::mhx;
    return DataFileKind::other;
}

void splitProgramWords(MemoryImage& image, uint8_t highByteMask) {
    uint8_t* p = image.programArea().data();
    for (std::size_t i = 0; i < layout::kProgramBytes; i += 2) {
        const uint8_t low = p[i];
        const uint8_t high = p[i + 1];
        p[i + 1] = static_cast<uint8_t>(((high << 1) + (low >> 7)) & highByteMask);
        p[i] = low & 0x7F;
    }
}

bool LoadProgramMemory(MainState& st, const std::string& fileName) {
    const DataFileKind kind = dataFileKind(fileName);
    FilePrefix file;
    const bool hexText = kind == DataFileKind::hex || kind == DataFileKind::mhx;
    switch (readFilePrefix(fileName, readLimit(kind), file, hexText)) {
        case FileReadResult::ok:
            break;
        case FileReadResult::cannotOpen:
            st.ui->message("File can't open!");
            return false;
        case FileReadResult::tooLarge:
            st.ui->message("File is too large!");
            return false;
    }

    if (kind == DataFileKind::cfg) {
        if (configLoadDepth > 0) {
            st.ui->message(kTypeIncorrect);
            return false;
        }
        ++configLoadDepth;
        const bool ok = loadConfigurationFile(st, fileName);
        --configLoadDepth;
        if (ok) SerialModeOff(st.serial, *st.views, false);
        return ok;
    }

    // The file is read into a copy of the image, which replaces the image only when the file is taken over.
    auto work = std::make_unique<MemoryImage>(st.image);
    const bool core3 = st.device.coreType == 3;
    bool damaged = false;
    switch (kind) {
        case DataFileKind::obj: {
            if (core3) {
                st.ui->message(kTypeIncorrect);
                return false;
            }
            copyToProgram(*work, file.bytes, file.bytes.size());
            translate(st, *work, file.bytes.size());
            if (!sizeCheckA(st, *work, file.bytes.size())) return false;
            break;
        }
        case DataFileKind::hex:
        case DataFileKind::mhx: {
            if (kind == DataFileKind::hex && core3) {
                st.ui->message(kTypeIncorrect);
                return false;
            }
            const std::string_view text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
            const HexLimits limits = kind == DataFileKind::hex ? kPicHexLimits : kQzrHexLimits;
            const HexReadResult read = HexToObj(st, *work, text, limits);
            damaged = !read.withoutError;
            const int n = read.highest;
            if (kind == DataFileKind::hex) translate(st, *work, static_cast<std::size_t>(n));
            duplicationOfferB(st, *work, static_cast<uint64_t>(n));
            break;
        }
        case DataFileKind::bin: {
            if (!sizeCheckA(st, *work, readBin(st, *work, file))) return false;
            break;
        }
        case DataFileKind::cfg:
        case DataFileKind::other:
            st.ui->message(kTypeIncorrect);
            return false;
    }

    SerialModeOff(st.serial, *st.views, false);
    if (core3 && !elevenBitWords(st, *work)) {
        st.ui->message("It is not 11-bit instructions !");
        return false;
    }
    splitProgramWords(*work, st.device.highByteMask);
    st.image = *work;
    st.dataFileDamaged = damaged;
    st.damagedDataAccepted = false;
    return true;
}

std::string damagedDataNote(const MainState& st) {
    return st.dataFileDamaged ? kDamagedDataNote : "";
}

bool confirmDamagedData(MainState& st, OperationType type) {
    switch (type) {
        case OperationType::ProgramIdChecksum:  // the ID checksum is built from the data
        case OperationType::ProgramData:
        case OperationType::ProgramEeprom:
        case OperationType::AutoProgram:
        case OperationType::AutoProgramNoBlankCheck:
        case OperationType::OverWrite:
            break;
        case OperationType::BlankCheck:
        case OperationType::EraseFlash:
        case OperationType::ProgramOptions:
        case OperationType::Verify:
        case OperationType::VerifyProtected:
            return true;
    }
    if (!st.dataFileDamaged || st.damagedDataAccepted) return true;
    st.damagedDataAccepted = st.ui->askYesNo(kDamagedDataQuestion);
    return st.damagedDataAccepted;
}

void UpdateScreen(MainState& st) {
    st.views->recreateIdWindow();
    st.views->recreateProgramWindow();
    st.views->recreateEepromWindow(st.device.hasEeprom());
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
}

bool FileOpen1Execute(MainState& st, const std::optional<std::string>& chosenFile) {
    if (chosenFile) {
        // Options and name are put back when the file is not taken over, so a refused file changes nothing.
        const auto previousOptions = st.optionBytes;
        const std::string previousName = st.dataFileName;
        if (!st.settings.keepOptions) st.optionBytes.fill(0x7F);
        std::error_code ec;
        if (!std::filesystem::exists(*chosenFile, ec)) {
            st.optionBytes = previousOptions;
            st.ui->message("File don't exist!");
            return false;
        }
        st.dataFileName = *chosenFile;
        if (!LoadProgramMemory(st, *chosenFile)) {
            st.optionBytes = previousOptions;
            st.dataFileName = previousName;
            return false;
        }
        UpdateScreen(st);
    }
    st.disassemblyOpen = false;
    st.views->closeDisassembly();
    SerialModeOff(st.serial, *st.views, true);
    ResetPassCount(st.serial, *st.views);
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    return chosenFile.has_value();
}

}  // namespace qzr
