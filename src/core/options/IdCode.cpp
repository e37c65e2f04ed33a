#include "core/options/IdCode.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/common/HexText.h"
#include "core/options/Options.h"

namespace qzr {

namespace {

constexpr std::size_t kIdTextBytes = 12;
constexpr std::size_t kChecksumByte = 12;

// The value of a hexadecimal digit, or -1.
int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A character of the ASCII checksum text: control values show as a blank.
char shown(uint8_t b) {
    return b < 0x20 ? ' ' : static_cast<char>(b);
}

}  // namespace

std::string idText(const MemoryImage& image, int mode) {
    const auto id = image.idArea().first(kIdTextBytes);
    if (mode == kIdModeHex) return hexByteList(id);
    std::string text;
    for (uint8_t b : id) {
        if (b == 0) break;
        text += static_cast<char>(b);
    }
    return text;
}

std::string idChecksumText(const DeviceFields& device, const MemoryImage& image, int mode) {
    const auto sum = image.idArea().subspan(kChecksumByte, 4);
    if (mode == kIdModeHex) return hexByteList(sum);
    const uint8_t hbm = device.highByteMask;
    if (sum[0] == 0x7F && sum[1] == hbm && sum[2] == 0x7F && sum[3] == hbm) return "Blank";
    std::string text;
    for (std::size_t w = 0; w < 2; ++w) {
        text += shown(sum[2 * w]);
        const uint8_t high = sum[2 * w + 1];
        if (device.coreType == 3) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%X", high);
            text += buf;
        } else {
            text += shown(high);
        }
    }
    return text;
}

void IDLabelShow(OptionState& options, const DeviceFields& device, const MemoryImage& image,
                 ViewHooks& views) {
    options.idText = idText(image, options.idDisplayMode);
    options.idChecksumText = idChecksumText(device, image, options.idDisplayMode);
    views.refreshIdDisplay();
}

std::string idEditorText(const MemoryImage& image, int mode) {
    std::string text = idText(image, mode);
    if (mode != kIdModeHex && text.size() > kIdTextBytes) text.resize(kIdTextBytes);
    return text;
}

void storeIdEditorText(MemoryImage& image, const DeviceFields& device, std::string_view text, int mode) {
    const uint8_t hbm = device.highByteMask;
    auto id = image.idArea();
    for (std::size_t i = 0; i < kIdTextBytes; ++i) {
        const uint8_t mask = (i % 2 == 0) ? 0x7F : hbm;
        uint8_t value;
        if (mode == kIdModeHex) {
            auto digit = [&](std::size_t pos) {
                const int d = pos < text.size() ? digitValue(text[pos]) : -1;
                return static_cast<uint8_t>(d < 0 ? 0xF : d);
            };
            value = static_cast<uint8_t>(digit(3 * i) << 4 | digit(3 * i + 1));
        } else {
            value = i < text.size() ? static_cast<uint8_t>(text[i]) : 0xFF;
        }
        id[i] = value & mask;
    }
}

void GetIdChecksum(const OptionState& options, const DeviceFields& device, MemoryImage& image) {
    const bool core3 = device.coreType == 3;
    const auto id = image.idArea();
    auto t = image.transferArea();
    for (std::size_t i = 0; i < id.size(); ++i) t[i] = (core3 && i % 2 == 1) ? (id[i] | 0x70) : id[i];
    const std::string c = memoryChecksumDigits(options, device, image);
    t[12] = static_cast<uint8_t>(c[0]);
    t[14] = static_cast<uint8_t>(c[2]);
    if (core3) {
        t[13] = static_cast<uint8_t>(digitValue(c[1]) | 0x70);
        t[15] = static_cast<uint8_t>(digitValue(c[3]) | 0x70);
    } else {
        t[13] = static_cast<uint8_t>(c[1]);
        t[15] = static_cast<uint8_t>(c[3]);
    }
}

IdVerifyResult VerifyIdChecksum(const OptionState& options, const DeviceFields& device,
                                const MemoryImage& image) {
    const bool core3 = device.coreType == 3;
    const uint8_t hbm = device.highByteMask;
    const auto id = image.idArea();
    const auto t = image.transferArea();
    IdVerifyResult result;
    for (std::size_t i = 0; i < kIdTextBytes; i += 2) {
        // The chip keeps only the bits of the high half, so the buffer's is compared under the same mask
        // (Clear ID leaves 0x7F there even on an 11-bit core).
        if (t[i] != id[i] || (t[i + 1] & hbm) != (id[i + 1] & hbm)) result.idDiffers = true;
    }
    const std::string c = memoryChecksumDigits(options, device, image);
    auto highDiffers = [&](uint8_t chip, char digit) {
        return core3 ? (chip & 0x0F) != digitValue(digit) : chip != static_cast<uint8_t>(digit);
    };
    if (t[12] != static_cast<uint8_t>(c[0]) || t[14] != static_cast<uint8_t>(c[2]) ||
        highDiffers(t[13], c[1]) || highDiffers(t[15], c[3])) {
        result.checksumDiffers = true;
    }
    return result;
}

IdExtendedView idExtendedView(const OptionState& options, const std::array<uint8_t, 4>& optionBytes,
                              const MemoryImage& image) {
    const auto id = image.idArea();
    IdExtendedView v;
    v.writerId = hexDigits(id[16], 2);
    v.writerModel = hexDigits(id[24], 2);
    v.firmwareVersion = hexDigits(id[25], 2);
    v.gangWriterId = hexDigits(id[22], 2);
    v.gangWriterModel = hexDigits(id[20], 2);
    v.gangWriterVersion = hexDigits(id[21], 2);
    v.dump = hexByteList(id.subspan(16, 16));
    std::array<uint8_t, 8> user{};
    std::copy(optionBytes.begin(), optionBytes.end(), user.begin());
    std::copy(options.readOptionBytes.begin(), options.readOptionBytes.end(), user.begin() + 4);
    v.userOption = hexByteList(user);
    const auto aux = image.auxArea();
    v.bodyOption0 = hexByteList(aux.first(8));
    v.bodyOption1 = hexByteList(aux.subspan(8, 8));
    return v;
}

}  // namespace qzr
