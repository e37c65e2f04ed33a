#include "core/image/DataLoad.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "core/common/FileIo.h"
#include "core/common/UserInterface.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/HexReader.h"
#include "core/image/MemoryImage.h"
#include "core/image/PicTranslation.h"

namespace qzr {

namespace {

constexpr const char* kSizeUnmatch = "File size unmatch!";
constexpr const char* kTypeIncorrect = "File type incorrect!";

// What one load works with: the device, the messages, and where the format warnings go (null: none).
struct LoadContext {
    const DeviceFields& device;
    UserInterface& ui;
    UserInterface* warnings;
};

// The first half of the device's program memory copied over the second half (intermediate form).
void duplicate(const LoadContext& ctx, MemoryImage& image) {
    auto program = image.programArea();
    const std::size_t h =
        std::min<std::size_t>(static_cast<std::size_t>(ctx.device.programByteCount) / 2, program.size() / 2);
    std::copy_n(program.begin(), h, program.begin() + static_cast<std::ptrdiff_t>(h));
}

// .obj and .bin: the size must be the device's, or half of it (then the program may be duplicated).
bool sizeCheckA(const LoadContext& ctx, MemoryImage& image, uint64_t n) {
    const uint64_t full = static_cast<uint64_t>(ctx.device.programByteCount);
    if (n == full) return true;
    if (n == full / 2 && ctx.ui.askYesNo("Code size is half of ROM size. Duplicate the program ?")) {
        duplicate(ctx, image);
        return true;
    }
    ctx.ui.message(kSizeUnmatch);
    return false;
}

// .hex and .mhx: a program that fills at most half of the memory may be duplicated.
void duplicationOfferB(const LoadContext& ctx, MemoryImage& image, uint64_t n) {
    if (static_cast<uint64_t>(ctx.device.programByteCount) / 2 >= n &&
        ctx.ui.askYesNo("Code size is less than half of ROM size. Duplicate the program ?")) {
        duplicate(ctx, image);
    }
}

void translate(const LoadContext& ctx, MemoryImage& image, std::size_t n) {
    if (ctx.device.coreType == 1) {
        Pic5xToQzr(ctx.device, ctx.warnings, image, n);
    } else if (ctx.device.coreType == 2) {
        Pic6x7xToQzr(ctx.device, ctx.warnings, image, n);
    }
}

// Core type 3: bits 3-6 of each high byte (intermediate form) must be all set or all clear.
bool elevenBitWords(const LoadContext& ctx, const MemoryImage& image) {
    const auto program = image.programArea();
    const std::size_t end =
        std::min<std::size_t>(static_cast<std::size_t>(ctx.device.programByteCount), program.size());
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
uint64_t readBin(const LoadContext& ctx, MemoryImage& image, const FilePrefix& file) {
    const std::size_t full = static_cast<std::size_t>(ctx.device.programByteCount);
    const std::size_t eepromSize = static_cast<std::size_t>(std::max(ctx.device.eepromSize, 0));
    if (ctx.device.hasEeprom() && file.size == kBinWithEepromBase + 2 * eepromSize &&
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

DataLoadResult loadDataFile(const DeviceFields& device, UserInterface& ui, UserInterface* formatWarnings,
                            MemoryImage& image, const std::string& fileName) {
    const LoadContext ctx{device, ui, formatWarnings};
    const DataFileKind kind = dataFileKind(fileName);
    FilePrefix file;
    const bool hexText = kind == DataFileKind::hex || kind == DataFileKind::mhx;
    switch (readFilePrefix(fileName, readLimit(kind), file, hexText)) {
        case FileReadResult::ok:
            break;
        case FileReadResult::cannotOpen:
            ctx.ui.message("File can't open!");
            return {};
        case FileReadResult::tooLarge:
            ctx.ui.message("File is too large!");
            return {};
    }

    if (kind == DataFileKind::cfg) return {DataLoadOutcome::configuration, false};

    // The file is read into a copy of the image, which replaces the image only when the file is taken over.
    auto work = std::make_unique<MemoryImage>(image);
    const bool core3 = ctx.device.coreType == 3;
    bool damaged = false;
    switch (kind) {
        case DataFileKind::obj: {
            if (core3) {
                ctx.ui.message(kTypeIncorrect);
                return {};
            }
            copyToProgram(*work, file.bytes, file.bytes.size());
            translate(ctx, *work, file.bytes.size());
            if (!sizeCheckA(ctx, *work, file.bytes.size())) return {};
            break;
        }
        case DataFileKind::hex:
        case DataFileKind::mhx: {
            if (kind == DataFileKind::hex && core3) {
                ctx.ui.message(kTypeIncorrect);
                return {};
            }
            const std::string_view text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
            const HexLimits limits = kind == DataFileKind::hex ? kPicHexLimits : kQzrHexLimits;
            const HexReadResult read = HexToObj(ctx.device, ctx.ui, *work, text, limits);
            damaged = !read.withoutError;
            const int n = read.highest;
            if (kind == DataFileKind::hex) translate(ctx, *work, static_cast<std::size_t>(n));
            duplicationOfferB(ctx, *work, static_cast<uint64_t>(n));
            break;
        }
        case DataFileKind::bin: {
            if (!sizeCheckA(ctx, *work, readBin(ctx, *work, file))) return {};
            break;
        }
        case DataFileKind::cfg:
        case DataFileKind::other:
            ctx.ui.message(kTypeIncorrect);
            return {};
    }

    if (core3 && !elevenBitWords(ctx, *work)) {
        ctx.ui.message("It is not 11-bit instructions !");
        return {DataLoadOutcome::refusedAfterReading, false};
    }
    splitProgramWords(*work, ctx.device.highByteMask);
    image = *work;
    return {DataLoadOutcome::taken, damaged};
}

}  // namespace qzr
