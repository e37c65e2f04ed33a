#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qzr {

struct DeviceFields;
class MemoryImage;
class UserInterface;

// The listing holds at most this many words (the largest device has 6144).
inline constexpr std::size_t kDisassemblyMaxWords = 8192;

// One program word decoded: mnemonic and operand texts; undefined words get ";TBD".
struct DecodedWord {
    std::string mnemonic;
    std::string operand;
    bool undefined = false;
};

// Decodes a 14-bit instruction word (bits above 13 are ignored).
DecodedWord decodeWord(uint16_t word);

// The instruction line of `word` at `address`, without the eight leading blanks, ended by CR LF.
std::string instructionLine(uint16_t address, uint16_t word);

// The declaration block that starts every listing, ending with the ORG 0000H column heading.
std::string equ_table();

// The whole listing of the program area of the selected device: declarations, instruction lines with an
// ORG line (and its separator) after every run of undefined words, and END; every line ended by CR LF.
std::string disassembleProgram(const DeviceFields& device, const MemoryImage& image);

// The name the save dialog proposes, as every dialog proposes one (dialogInitialName): the file-name part
// of the data-file name cut before its first "." (the folder kept), or empty when that part has none.
std::string disassemblySaveName(std::string_view dataFileName);

// Writes a listing text to `path`, every line ended by CR LF (LF or CR LF line ends are accepted in `text`).
// The file is written whole or not at all; an existing file is replaced. A failed write shows
// "File can't be saved!" and returns false.
bool saveDisassembly(UserInterface& ui, std::string_view text, const std::string& path);

}  // namespace qzr
