#include "core/image/PicTranslation.h"

#include <algorithm>
#include <array>

#include "core/common/UserInterface.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"

namespace qzr {

namespace {

constexpr int kNoMatch = -1;

// 12-bit byte-oriented file operations, by w AND FFC0H.
int pic12FileOp(uint16_t code) {
    switch (code) {
        case 0x1C0:
            return 0x1B00;  // ADDWF -> ADDWR
        case 0x140:
            return 0x1200;  // ANDWF -> ANDWR
        case 0x240:
            return 0x1F00;  // COMF -> COMR
        case 0x0C0:
            return 0x1D00;  // DECF -> DECR
        case 0x2C0:
            return 0x1E00;  // DECFSZ -> DECRSZ
        case 0x280:
            return 0x1900;  // INCF -> INCR
        case 0x3C0:
            return 0x1A00;  // INCFSZ -> INCRSZ
        case 0x100:
            return 0x1300;  // IORWF -> IORWR
        case 0x200:
            return 0x1800;  // MOVF -> LDR
        case 0x340:
            return 0x1500;  // RLF -> RLR
        case 0x300:
            return 0x1600;  // RRF -> RRR
        case 0x080:
            return 0x1C00;  // SUBWF -> SUBWR
        case 0x380:
            return 0x1700;  // SWAPF -> SWAPR
        case 0x180:
            return 0x1400;  // XORWF -> XORWR
        default:
            return kNoMatch;
    }
}

// 12-bit bit operations, by w AND FF00H.
int pic12BitOp(uint16_t code) {
    switch (code) {
        case 0x400:
            return 0x0000;  // BCF -> BCR
        case 0x500:
            return 0x0800;  // BSF -> BSR
        case 0x600:
            return 0x0400;  // BTFSC -> BTSC
        case 0x700:
            return 0x0C00;  // BTFSS -> BTSS
        default:
            return kNoMatch;
    }
}

// 12-bit literal operations and CALL, by w AND FF00H.
int pic12LiteralOp(uint16_t code) {
    switch (code) {
        case 0xE00:
            return 0x3400;  // ANDLW -> ANDWI
        case 0x900:
            return 0x3000;  // CALL -> CALL
        case 0xD00:
            return 0x3500;  // IORLW -> IORWI
        case 0xC00:
            return 0x3A00;  // MOVLW -> LDWI
        case 0x800:
            return 0x3100;  // RETLW -> RTWI
        case 0xF00:
            return 0x3600;  // XORLW -> XORWI
        default:
            return kNoMatch;
    }
}

// 14-bit byte-oriented file operations, by w AND FF00H.
int pic14FileOp(uint16_t code) {
    switch (code) {
        case 0x0700:
            return 0x1B00;  // ADDWF -> ADDWR
        case 0x0500:
            return 0x1200;  // ANDWF -> ANDWR
        case 0x0900:
            return 0x1F00;  // COMF -> COMR
        case 0x0300:
            return 0x1D00;  // DECF -> DECR
        case 0x0B00:
            return 0x1E00;  // DECFSZ -> DECRSZ
        case 0x0A00:
            return 0x1900;  // INCF -> INCR
        case 0x0F00:
            return 0x1A00;  // INCFSZ -> INCRSZ
        case 0x0400:
            return 0x1300;  // IORWF -> IORWR
        case 0x0800:
            return 0x1800;  // MOVF -> LDR
        case 0x0D00:
            return 0x1500;  // RLF -> RLR
        case 0x0C00:
            return 0x1600;  // RRF -> RRR
        case 0x0200:
            return 0x1C00;  // SUBWF -> SUBWR
        case 0x0E00:
            return 0x1700;  // SWAPF -> SWAPR
        case 0x0600:
            return 0x1400;  // XORWF -> XORWR
        default:
            return kNoMatch;
    }
}

// 14-bit bit operations, by w AND FC00H.
int pic14BitOp(uint16_t code) {
    switch (code) {
        case 0x1000:
            return 0x0000;  // BCF -> BCR
        case 0x1400:
            return 0x0800;  // BSF -> BSR
        case 0x1800:
            return 0x0400;  // BTFSC -> BTSC
        case 0x1C00:
            return 0x0C00;  // BTFSS -> BTSS
        default:
            return kNoMatch;
    }
}

// 14-bit ANDLW, IORLW, XORLW, by w AND FF00H.
int pic14LogicLiteral(uint16_t code) {
    switch (code) {
        case 0x3900:
            return 0x3400;  // ANDLW -> ANDWI
        case 0x3800:
            return 0x3500;  // IORLW -> IORWI
        case 0x3A00:
            return 0x3600;  // XORLW -> XORWI
        default:
            return kNoMatch;
    }
}

// 14-bit ADDLW, SUBLW, by w AND FE00H.
int pic14ArithLiteral(uint16_t code) {
    switch (code) {
        case 0x3E00:
            return 0x3700;  // ADDLW -> ADDWI
        case 0x3C00:
            return 0x3800;  // SUBLW -> SUBWI
        default:
            return kNoMatch;
    }
}

// 14-bit MOVLW, RETLW, by w AND FC00H.
int pic14MoveLiteral(uint16_t code) {
    switch (code) {
        case 0x3000:
            return 0x3A00;  // MOVLW -> LDWI
        case 0x3400:
            return 0x3100;  // RETLW -> RTWI
        default:
            return kNoMatch;
    }
}

// 14-bit CALL, GOTO, by w AND F800H.
int pic14Jump(uint16_t code) {
    switch (code) {
        case 0x2000:
            return 0x2000;  // CALL -> LCALL
        case 0x2800:
            return 0x2800;  // GOTO -> LJUMP
        default:
            return kNoMatch;
    }
}

// A word that uses bits 12-13, as only 14-bit code does.
bool looks14Bit(uint16_t w) {
    return (w & 0x3000) != 0 && (w & 0xC000) == 0;
}

uint16_t wordAt(const uint8_t* program, std::size_t i) {
    return static_cast<uint16_t>(program[i] | (program[i + 1] << 8));
}

bool has14BitWord(const DeviceFields& device, std::span<const uint8_t> program) {
    const std::size_t end =
        std::min<std::size_t>(static_cast<std::size_t>(device.programByteCount), program.size());
    const uint8_t* p = program.data();
    for (std::size_t i = 0; i + 1 < end; i += 2) {
        if (looks14Bit(wordAt(p, i))) return true;
    }
    return false;
}

void translateRange(std::span<uint8_t> program, std::size_t n, uint16_t (*translate)(uint16_t)) {
    const std::size_t end = std::min(n, program.size() - 1);
    uint8_t* p = program.data();
    for (std::size_t i = 0; i < end; i += 2) {
        const uint16_t w = translate(wordAt(p, i));
        p[i] = static_cast<uint8_t>(w & 0xFF);
        p[i + 1] = static_cast<uint8_t>(w >> 8);
    }
}

}  // namespace

uint16_t translatePic12Word(uint16_t w) {
    if (w == 0xFFFF) return w;
    if (w == 0x0FFF) return 0x36FF;
    if (w == 0x040) return 0x1080;                                                 // CLRW
    if (w == 0x000) return 0x1000;                                                 // NOP
    if (w == 0x004) return 0x1001;                                                 // CLRWDT -> CLRWT
    if (w == 0x002) return 0x1003;                                                 // OPTION -> TMODE
    if (w == 0x003) return 0x1002;                                                 // SLEEP
    if ((w & 0xFFE0) == 0x060) return static_cast<uint16_t>(0x1100 + (w & 0x1F));  // CLRF -> CLRR
    if ((w & 0xFFE0) == 0x020) return static_cast<uint16_t>(0x1180 + (w & 0x1F));  // MOVWF -> STWR
    if (w >= 5 && w <= 7) return static_cast<uint16_t>(0x1000 + (w & 7));          // TRIS -> CPIO
    if (const int t = pic12FileOp(w & 0xFFC0); t != kNoMatch) {
        return static_cast<uint16_t>(t + ((w & 0x20) << 2) + (w & 0x1F));  // d bit to bit 7
    }
    if (const int t = pic12BitOp(w & 0xFF00); t != kNoMatch) {
        return static_cast<uint16_t>(t + ((w & 0xE0) << 2) + (w & 0x1F));  // bit number to bits 7-9
    }
    if (const int t = pic12LiteralOp(w & 0xFF00); t != kNoMatch) return static_cast<uint16_t>(t + (w & 0xFF));
    if ((w & 0x0A00) == 0x0A00) return static_cast<uint16_t>(0x3200 + (w & 0x1FF));  // GOTO -> JUMP
    return w;
}

uint16_t translatePic14Word(uint16_t w) {
    if (w == 0xFFFF) return w;
    if ((w & 0xFF80) == 0x0100) return 0x1080;                                      // CLRW
    if (w == 0x0000 || w == 0x0020 || w == 0x0040 || w == 0x0060) return 0x1000;    // NOP
    if (w == 0x0064) return 0x1001;                                                 // CLRWDT -> CLRWT
    if (w == 0x0062) return 0x1003;                                                 // OPTION -> TMODE
    if (w == 0x0063) return 0x1002;                                                 // SLEEP
    if (w == 0x0009) return 0x1009;                                                 // RETFIE -> RTFI
    if (w == 0x0008) return 0x1004;                                                 // RETURN -> RET
    if ((w & 0xFF80) == 0x0180) return static_cast<uint16_t>(0x1100 + (w & 0x7F));  // CLRF -> CLRR
    if ((w & 0xFF80) == 0x0080) return static_cast<uint16_t>(0x1180 + (w & 0x7F));  // MOVWF -> STWR
    if (w >= 0x65 && w <= 0x67) return static_cast<uint16_t>(0x1000 + (w & 7));     // TRIS -> CPIO
    if (const int t = pic14FileOp(w & 0xFF00); t != kNoMatch) return static_cast<uint16_t>(t + (w & 0xFF));
    if (const int t = pic14BitOp(w & 0xFC00); t != kNoMatch) return static_cast<uint16_t>(t + (w & 0x3FF));
    if (const int t = pic14LogicLiteral(w & 0xFF00); t != kNoMatch)
        return static_cast<uint16_t>(t + (w & 0xFF));
    if (const int t = pic14ArithLiteral(w & 0xFE00); t != kNoMatch)
        return static_cast<uint16_t>(t + (w & 0xFF));
    if (const int t = pic14MoveLiteral(w & 0xFC00); t != kNoMatch)
        return static_cast<uint16_t>(t + (w & 0xFF));
    if (const int t = pic14Jump(w & 0xF800); t != kNoMatch) return static_cast<uint16_t>(t + (w & 0x7FF));
    return w;
}

void Pic5xToQzr(const DeviceFields& device, UserInterface* warnings, MemoryImage& image, std::size_t n) {
    auto program = image.programArea();
    if (warnings && has14BitWord(device, program)) warnings->message("Warning: File format error !(14 bit)");
    translateRange(program, n, translatePic12Word);
}

void Pic6x7xToQzr(const DeviceFields& device, UserInterface* warnings, MemoryImage& image, std::size_t n) {
    auto program = image.programArea();
    if (warnings && !has14BitWord(device, program)) warnings->message("Warning: File format error !(12 bit)");
    translateRange(program, n, translatePic14Word);
}

}  // namespace qzr
