#include "core/disasm/Disassembler.h"

#include <algorithm>

#include "core/common/FileIo.h"
#include "core/common/HexText.h"
#include "core/common/UserInterface.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"

namespace qzr {

namespace {

constexpr const char* kCrLf = "\r\n";

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

// The register's name, or its number as three hex digits and "H".
std::string reg_replace(unsigned r) {
    static constexpr const char* kNames[] = {"IAR", "RTCC",  "PCL",   "STATUS",
                                             "MSR", "PORTA", "PORTB", "PORTC"};
    if (r < 8) return kNames[r];
    return hexDigits(r, 3) + "H";
}

// "," and the bit: STATUS bits 0 to 4 by their flag names, every other bit as its digit.
std::string add_bit(unsigned r, unsigned b) {
    static constexpr const char* kFlags[] = {"CF", "HC", "ZF", "PF", "TF"};
    if (r == 3 && b < 5) return std::string(",") + kFlags[b];
    return "," + std::to_string(b);
}

std::string literal(unsigned value) {
    return hexDigits(value, 3) + "H";
}
std::string address(unsigned value) {
    return hexDigits(value, 4) + "H";
}

DecodedWord undefinedWord(unsigned op) {
    if (op == 0x10) return {";TBD", ";100xH", true};
    return {";TBD", hexDigits(op, 3) + "xxH", true};
}

}  // namespace

DecodedWord decodeWord(uint16_t word) {
    const unsigned w = word & 0x3FFFu;
    const unsigned op = w >> 8;
    const unsigned low = w & 0xFFu;
    const unsigned r = w & 0x7Fu;
    const bool toRegister = (w & 0x80u) != 0;
    const unsigned b = (w >> 7) & 0x7u;

    static constexpr const char* kBitOps[] = {"BCR", "BTSC", "BSR", "BTSS"};
    static constexpr const char* kFileOps[] = {"ANDWR", "IORWR",  "XORWR", "RLR",   "RRR",  "SWAPR",  "LDR",
                                               "INCR",  "INCRSZ", "ADDWR", "SUBWR", "DECR", "DECRSZ", "COMR"};
    if (op < 0x10) return {kBitOps[op >> 2], reg_replace(r) + add_bit(r, b), false};
    if (op == 0x10) {
        static constexpr const char* kControl[] = {"NOP", "CLRWT", "SLEEP", "TMODE", "RET"};
        static constexpr const char* kPorts[] = {"PA", "PB", "PC"};
        if (low < 5) return {kControl[low], "", false};
        if (low < 8) return {"CPIO", kPorts[low - 5], false};
        if (low == 9) return {"RTFI", "", false};
        if (low >= 0x80) return {"CLRW", "", false};
        return undefinedWord(op);
    }
    if (op == 0x11) return {toRegister ? "STWR" : "CLRR", reg_replace(r), false};
    if (op < 0x20) return {kFileOps[op - 0x12], reg_replace(r) + (toRegister ? ",R" : ",W"), false};
    if (op < 0x28) return {"LCALL", address(w & 0x7FFu), false};
    if (op < 0x30) return {"LJUMP", address(w & 0x7FFu), false};
    switch (op) {
        case 0x30:
            return {"CALL", address(low), false};
        case 0x31:
            return {"RTIW", literal(low), false};
        case 0x32:
        case 0x33:
            return {"JUMP", address(w & 0x1FFu), false};
        case 0x34:
            return {"ANDWI", literal(low), false};
        case 0x35:
            return {"IORWI", literal(low), false};
        case 0x36:
            return {"XORWI", literal(low), false};
        case 0x37:
            return {"ADDWI", literal(low), false};
        case 0x38:
            return {"SUBWI", literal(low), false};
        case 0x3A:
            return {"LDWI", literal(low), false};
        default:
            return undefinedWord(op);
    }
}

std::string instructionLine(uint16_t addr, uint16_t word) {
    const DecodedWord d = decodeWord(word);
    return padded(d.mnemonic, 8) + padded(d.operand, 16) + ";" + hexDigits(addr, 4) + "    " +
           hexDigits(word & 0x3FFFu, 4) + kCrLf;
}

std::string equ_table() {
    static constexpr const char* kLines[] = {";Registers",
                                             "IAR     EQU     00H",
                                             "RTCC    EQU     01H",
                                             "PCL     EQU     02H",
                                             "STATUS  EQU     03H",
                                             "MSR     EQU     04H",
                                             "PORTA   EQU     05H",
                                             "PORTB   EQU     06H",
                                             "PORTC   EQU     07H",
                                             ";",
                                             "W       EQU     0H",
                                             "R       EQU     1H",
                                             ";Flags",
                                             "CF      EQU     0H",
                                             "HC      EQU     1H",
                                             "ZF      EQU     2H",
                                             "PF      EQU     3H",
                                             "TF      EQU     4H",
                                             ";",
                                             "        ORG     0000H           ;Addr    Org-Code"};
    std::string text;
    for (const char* line : kLines) text += std::string(line) + kCrLf;
    return text;
}

std::string disassembleProgram(const DeviceFields& device, const MemoryImage& image) {
    const std::size_t byteCount = static_cast<std::size_t>(std::max(device.programByteCount, 0));
    const std::size_t words = std::min({byteCount / 2, kDisassemblyMaxWords, layout::kProgramWords});
    std::string text = equ_table();
    text.reserve(text.size() + words * 48);
    bool previousUndefined = false;
    for (std::size_t a = 0; a < words; ++a) {
        const Word w = image.programWord(a);
        const uint16_t value = static_cast<uint16_t>((w.low & 0x7Fu) | ((w.high & 0x7Fu) << 7));
        if (decodeWord(value).undefined) {
            previousUndefined = true;
            continue;
        }
        if (previousUndefined) {
            text += ";" + std::string(28, '-') + kCrLf;
            text += "        ORG     " + hexDigits(static_cast<unsigned>(a), 4) + "H" + kCrLf;
        }
        previousUndefined = false;
        text += "        " + instructionLine(static_cast<uint16_t>(a), value);
    }
    text += std::string("        END") + kCrLf;
    return text;
}

std::string disassemblySaveName(std::string_view dataFileName) {
    return dialogInitialName(dataFileName);
}

bool saveDisassembly(UserInterface& ui, std::string_view text, const std::string& path) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        out.append(line);
        out += kCrLf;
        start = next;
    }
    if (!writeFileWhole(path, out)) {
        ui.message("File can't be saved!");
        return false;
    }
    return true;
}

}  // namespace qzr
