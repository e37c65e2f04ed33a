// The disassembler on any words: bits above 13 never matter, every word decodes to a mnemonic, and the
// listing of any image is whole lines ending in CR LF, from the declarations to END.
#include <algorithm>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/disasm/Disassembler.h"

using namespace qzr;

namespace {

// Every line ends in CR LF and holds no other line break.
FUZZ_NOT_TRACED bool wholeLines(const std::string& text) {
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static MainState st;
    fuzz::Input in(data, size);
    // Bit 7 of the first byte asks for the whole listing (the costly part); the rest picks the device.
    const uint8_t choice = in.byte();
    const auto devices = deviceTable();
    const DeviceRecord& device = devices[(choice & 0x7F) % devices.size()];
    if (st.deviceListText != device.name) selectDevice(st, device.name);

    std::vector<uint16_t> words(std::min<std::size_t>(in.remaining() / 2, layout::kProgramWords));
    for (std::size_t n = 0; n < words.size(); ++n) {
        const uint16_t w = words[n] = in.word();
        const DecodedWord d = decodeWord(w);
        const DecodedWord masked = decodeWord(static_cast<uint16_t>(w & 0x3FFF));
        FUZZ_CHECK(d.mnemonic == masked.mnemonic && d.operand == masked.operand &&
                   d.undefined == masked.undefined);
        FUZZ_CHECK(!d.mnemonic.empty());
        FUZZ_CHECK(d.undefined == (d.mnemonic == ";TBD"));
        FUZZ_CHECK(wholeLines(instructionLine(static_cast<uint16_t>(n), w)));
    }
    if ((choice & 0x80) == 0) return 0;
    // The listing of the input's words from word 0, every other word blank.
    for (std::size_t n = 0; n < layout::kProgramWords; ++n)
        st.image.setProgramWord(
            n, n < words.size() ? splitWord(words[n] & 0x3FFF) : Word{0x7F, st.device.highByteMask});
    const std::string listing = disassembleProgram(st.device, st.image);
    FUZZ_CHECK(listing.starts_with(equ_table()));
    FUZZ_CHECK(listing.ends_with("        END\r\n"));
    FUZZ_CHECK(wholeLines(listing));
    return 0;
}
