#include "image/PicTranslation.h"

#include <algorithm>
#include <array>

#include "app/MainState.h"
#include "image/MemoryImage.h"

namespace qzr {

namespace {

struct CodePair {
    uint16_t source;
    uint16_t target;
};

// 12-bit byte-oriented file operations (w AND FFC0H).
constexpr std::array<CodePair, 14> kPic12FileOps{{
    {0x1C0, 0x1B00},  // ADDWF -> ADDWR
    {0x140, 0x1200},  // ANDWF -> ANDWR
    {0x240, 0x1F00},  // COMF -> COMR
    {0x0C0, 0x1D00},  // DECF -> DECR
    {0x2C0, 0x1E00},  // DECFSZ -> DECRSZ
    {0x280, 0x1900},  // INCF -> INCR
    {0x3C0, 0x1A00},  // INCFSZ -> INCRSZ
    {0x100, 0x1300},  // IORWF -> IORWR
    {0x200, 0x1800},  // MOVF -> LDR
    {0x340, 0x1500},  // RLF -> RLR
    {0x300, 0x1600},  // RRF -> RRR
    {0x080, 0x1C00},  // SUBWF -> SUBWR
    {0x380, 0x1700},  // SWAPF -> SWAPR
    {0x180, 0x1400},  // XORWF -> XORWR
}};
// 12-bit bit operations (w AND FF00H).
constexpr std::array<CodePair, 4> kPic12BitOps{{
    {0x400, 0x0000},  // BCF -> BCR
    {0x500, 0x0800},  // BSF -> BSR
    {0x600, 0x0400},  // BTFSC -> BTSC
    {0x700, 0x0C00},  // BTFSS -> BTSS
}};
// 12-bit literal operations and CALL (w AND FF00H).
constexpr std::array<CodePair, 6> kPic12LiteralOps{{
    {0xE00, 0x3400},  // ANDLW -> ANDWI
    {0x900, 0x3000},  // CALL -> CALL
    {0xD00, 0x3500},  // IORLW -> IORWI
    {0xC00, 0x3A00},  // MOVLW -> LDWI
    {0x800, 0x3100},  // RETLW -> RTWI
    {0xF00, 0x3600},  // XORLW -> XORWI
}};

// 14-bit byte-oriented file operations (w AND FF00H).
constexpr std::array<CodePair, 14> kPic14FileOps{{
    {0x0700, 0x1B00},  // ADDWF -> ADDWR
    {0x0500, 0x1200},  // ANDWF -> ANDWR
    {0x0900, 0x1F00},  // COMF -> COMR
    {0x0300, 0x1D00},  // DECF -> DECR
    {0x0B00, 0x1E00},  // DECFSZ -> DECRSZ
    {0x0A00, 0x1900},  // INCF -> INCR
    {0x0F00, 0x1A00},  // INCFSZ -> INCRSZ
    {0x0400, 0x1300},  // IORWF -> IORWR
    {0x0800, 0x1800},  // MOVF -> LDR
    {0x0D00, 0x1500},  // RLF -> RLR
    {0x0C00, 0x1600},  // RRF -> RRR
    {0x0200, 0x1C00},  // SUBWF -> SUBWR
    {0x0E00, 0x1700},  // SWAPF -> SWAPR
    {0x0600, 0x1400},  // XORWF -> XORWR
}};
// 14-bit bit operations (w AND FC00H).
constexpr std::array<CodePair, 4> kPic14BitOps{{
    {0x1000, 0x0000},  // BCF -> BCR
    {0x1400, 0x0800},  // BSF -> BSR
    {0x1800, 0x0400},  // BTFSC -> BTSC
    {0x1C00, 0x0C00},  // BTFSS -> BTSS
}};
// 14-bit ANDLW, IORLW, XORLW (w AND FF00H).
constexpr std::array<CodePair, 3> kPic14LogicLiterals{{
    {0x3900, 0x3400},  // ANDLW -> ANDWI
    {0x3800, 0x3500},  // IORLW -> IORWI
    {0x3A00, 0x3600},  // XORLW -> XORWI
}};
// 14-bit ADDLW, SUBLW (w AND FE00H).
constexpr std::array<CodePair, 2> kPic14ArithLiterals{{
    {0x3E00, 0x3700},  // ADDLW -> ADDWI
    {0x3C00, 0x3800},  // SUBLW -> SUBWI
}};
// 14-bit MOVLW, RETLW (w AND FC00H).
constexpr std::array<CodePair, 2> kPic14MoveLiterals{{
    {0x3000, 0x3A00},  // MOVLW -> LDWI
    {0x3400, 0x3100},  // RETLW -> RTWI
}};
// 14-bit CALL, GOTO (w AND F800H).
constexpr std::array<CodePair, 2> kPic14Jumps{{
    {0x2000, 0x2000},  // CALL -> LCALL
    {0x2800, 0x2800},  // GOTO -> LJUMP
}};

template <std::size_t N>
const CodePair* findCode(const std::array<CodePair, N>& table, uint16_t masked) {
    for (const CodePair& p : table) {
        if (p.source == masked) return &p;
    }
    return nullptr;
}

// A word that uses bits 12-13, as only 14-bit code does.
bool looks14Bit(uint16_t w) {
    return (w & 0x3000) != 0 && (w & 0xC000) == 0;
}

uint16_t wordAt(std::span<const uint8_t> program, std::size_t i) {
    return static_cast<uint16_t>(program[i] | (program[i + 1] << 8));
}

bool has14BitWord(const MainState& st, std::span<const uint8_t> program) {
    const std::size_t end =
        std::min<std::size_t>(static_cast<std::size_t>(st.device.programByteCount), program.size());
    for (std::size_t i = 0; i + 1 < end; i += 2) {
        if (looks14Bit(wordAt(program, i))) return true;
    }
    return false;
}

void translateRange(std::span<uint8_t> program, std::size_t n, uint16_t (*translate)(uint16_t)) {
    n = std::min(n, program.size());
    for (std::size_t i = 0; i + 1 < program.size() && i < n; i += 2) {
        const uint16_t w = translate(wordAt(program, i));
        program[i] = static_cast<uint8_t>(w & 0xFF);
        program[i + 1] = static_cast<uint8_t>(w >> 8);
    }
}

// The program memory view exists from the end of start-up on; the warnings are shown only then.
bool warningsShown(const MainState& st) {
    return st.firstShowDone;
}

}  // namespace

uint16_t translatePic12Word(uint16_t w) {
    if (w == 0xFFFF) return w;
    if (w == 0x0FFF) return 0x36FF;
    if (w == 0x040) return 0x1080;                                         // CLRW
    if (w == 0x000) return 0x1000;                                         // NOP
    if (w == 0x004) return 0x1001;                                         // CLRWDT -> CLRWT
    if (w == 0x002) return 0x1003;                                         // OPTION -> TMODE
    if (w == 0x003) return 0x1002;                                         // SLEEP
    if ((w & 0xFFE0) == 0x060) return 0x1100 + (w & 0x1F);                 // CLRF -> CLRR
    if ((w & 0xFFE0) == 0x020) return 0x1180 + (w & 0x1F);                 // MOVWF -> STWR
    if (w >= 5 && w <= 7) return static_cast<uint16_t>(0x1000 + (w & 7));  // TRIS -> CPIO
    if (const CodePair* p = findCode(kPic12FileOps, w & 0xFFC0)) {
        return static_cast<uint16_t>(p->target + ((w & 0x20) << 2) + (w & 0x1F));
    }
    if (const CodePair* p = findCode(kPic12BitOps, w & 0xFF00)) {
        return static_cast<uint16_t>(p->target + ((w & 0xE0) << 2) + (w & 0x1F));
    }
    if (const CodePair* p = findCode(kPic12LiteralOps, w & 0xFF00)) {
        return static_cast<uint16_t>(p->target + (w & 0xFF));
    }
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
    if (const CodePair* p = findCode(kPic14FileOps, w & 0xFF00))
        return static_cast<uint16_t>(p->target + (w & 0xFF));
    if (const CodePair* p = findCode(kPic14BitOps, w & 0xFC00))
        return static_cast<uint16_t>(p->target + (w & 0x3FF));
    if (const CodePair* p = findCode(kPic14LogicLiterals, w & 0xFF00)) {
        return static_cast<uint16_t>(p->target + (w & 0xFF));
    }
    if (const CodePair* p = findCode(kPic14ArithLiterals, w & 0xFE00)) {
        return static_cast<uint16_t>(p->target + (w & 0xFF));
    }
    if (const CodePair* p = findCode(kPic14MoveLiterals, w & 0xFC00)) {
        return static_cast<uint16_t>(p->target + (w & 0xFF));
    }
    if (const CodePair* p = findCode(kPic14Jumps, w & 0xF800))
        return static_cast<uint16_t>(p->target + (w & 0x7FF));
    return w;
}

void Pic5xToQzr(MainState& st, MemoryImage& image, std::size_t n) {
    auto program = image.programArea();
    if (warningsShown(st) && has14BitWord(st, program))
        st.ui->message("Warning: File format error !(14 bit)");
    translateRange(program, n, translatePic12Word);
}

void Pic6x7xToQzr(MainState& st, MemoryImage& image, std::size_t n) {
    auto program = image.programArea();
    if (warningsShown(st) && !has14BitWord(st, program))
        st.ui->message("Warning: File format error !(12 bit)");
    translateRange(program, n, translatePic14Word);
}

}  // namespace qzr
