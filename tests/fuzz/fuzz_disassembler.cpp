// The disassembler on any words: bits above 13 never matter, every word decodes to a mnemonic, and the
// listing of any image is whole lines ending in CR LF, from the declarations to END.
#include <algorithm>
#include <string>

#include "FuzzSupport.h"
#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "disasm/Disassembler.h"

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
    const auto devices = deviceTable();
    const DeviceRecord& device = devices[in.byte() % devices.size()];
    if (st.deviceListText != device.name) selectDevice(st, device.name);

    const std::size_t count = std::min<std::size_t>(in.remaining() / 2, layout::kProgramWords);
    for (std::size_t n = 0; n < count; ++n) {
        const uint16_t w = in.word();
        const DecodedWord d = decodeWord(w);
        const DecodedWord masked = decodeWord(static_cast<uint16_t>(w & 0x3FFF));
        FUZZ_CHECK(d.mnemonic == masked.mnemonic && d.operand == masked.operand &&
                   d.undefined == masked.undefined);
        FUZZ_CHECK(!d.mnemonic.empty());
        FUZZ_CHECK(d.undefined == (d.mnemonic == ";TBD"));
        const std::string line = instructionLine(static_cast<uint16_t>(n), w);
        FUZZ_CHECK(wholeLines(line));
        st.image.setProgramWord(n, splitWord(w & 0x3FFF));
    }
    if (count == 0) return 0;
    const std::string listing = disassembleProgram(st);
    FUZZ_CHECK(listing.starts_with(equ_table()));
    FUZZ_CHECK(listing.ends_with("        END\r\n"));
    FUZZ_CHECK(wholeLines(listing));
    return 0;
}
