// The HEX reader on any text: it never writes outside the program and EEPROM areas, masks every high byte,
// reports an error exactly when it shows a message, and reads what the HEX writer wrote back whole.
#include <algorithm>
#include <cstring>

#include "FuzzSupport.h"
#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/image/DataSave.h"
#include "core/image/HexReader.h"
#include "core/image/MemoryImage.h"

using namespace qzr;

namespace {

MainState& stateFor(bool core3) {
    static MainState* states[2] = {};
    MainState*& st = states[core3 ? 1 : 0];
    if (st == nullptr) {
        st = new MainState();
        selectDevice(*st, core3 ? "QZR-D59" : "QZR-D10");
    }
    return *st;
}

// The image areas the reader must leave alone: ID and auxiliary words, command header and transfer area.
FUZZ_NOT_TRACED bool sameOutsideProgramAndEeprom(const MemoryImage& a, const MemoryImage& b) {
    const auto x = a.all();
    const auto y = b.all();
    return std::memcmp(x.data(), y.data(), layout::kProgramOffset) == 0 &&
           std::memcmp(x.data() + layout::kHeaderOffset, y.data() + layout::kHeaderOffset,
                       layout::kEepromOffset - layout::kHeaderOffset) == 0;
}

// Every high byte of the program area is empty (0xFF) or within the mask.
FUZZ_NOT_TRACED bool highBytesMasked(const MemoryImage& image, uint8_t highMask) {
    const uint8_t* program = image.programArea().data();
    bool masked = true;
    for (std::size_t a = 1; a < layout::kProgramBytes; a += 2)
        masked &= program[a] == 0xFF || (program[a] & ~highMask) == 0;
    return masked;
}

FUZZ_NOT_TRACED bool programEmpty(const MemoryImage& image) {
    const auto program = image.programArea();
    return std::all_of(program.begin(), program.end(), [](uint8_t b) { return b == 0xFF; });
}

// Any text: the reader's own promises.
void readAnyText(MainState& st, std::string_view text, HexLimits limits) {
    static MemoryImage before = [] {
        MemoryImage m;
        auto all = m.all();
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i * 7 + 3);
        return m;
    }();
    static MemoryImage image;
    image = before;
    fuzz::RecordingUi ui;
    st.ui = &ui;
    const HexReadResult r = HexToObj(st.device, *st.ui, image, text, limits);
    FUZZ_CHECK(r.highest >= 0 && r.highest <= 0x8000);
    FUZZ_CHECK(ui.log.size() == (r.withoutError ? 0u : 1u));
    FUZZ_CHECK(sameOutsideProgramAndEeprom(image, before));
    FUZZ_CHECK(highBytesMasked(image, static_cast<uint8_t>(st.device.highByteMask >> 1)));
    // A text without records leaves the program area empty.
    if (text.find(':') == std::string_view::npos) FUZZ_CHECK(programEmpty(image));
}

// An output image made of the input: written as HEX and read back, every byte comes back.
FUZZ_NOT_TRACED void roundTrip(MainState& st, fuzz::Input& in) {
    std::string_view payload = in.rest();
    const std::size_t maxBytes = 0x8200 + 2 * layout::kEepromBytes;
    std::vector<uint8_t> out(
        payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(std::min(payload.size(), maxBytes)));
    if (out.size() % 2 != 0) out.pop_back();
    const std::string text = buildHexText(out);
    static MemoryImage image;
    fuzz::RecordingUi ui;
    st.ui = &ui;
    const HexReadResult r = HexToObj(st.device, *st.ui, image, text, kQzrHexLimits);
    FUZZ_CHECK(r.withoutError);
    FUZZ_CHECK(ui.log.empty());
    const uint8_t highMask = static_cast<uint8_t>(st.device.highByteMask >> 1);
    uint32_t highest = 0;
    for (std::size_t j = 0; j + 1 < out.size(); j += 2) {
        const bool empty = out[j] == 0xFF && out[j + 1] == 0xFF;
        if (j < kQzrHexLimits.programLimit) {
            const Word w = {image.programArea()[j], image.programArea()[j + 1]};
            FUZZ_CHECK(w.low == (empty ? 0xFF : out[j]));
            FUZZ_CHECK(w.high == (empty ? 0xFF : (out[j + 1] & highMask)));
        } else if (j >= kQzrHexLimits.eepromStart && !empty) {
            FUZZ_CHECK(image.eepromByte((j - kQzrHexLimits.eepromStart) / 2) == out[j]);
        }
        if (!empty && j + 1 < kQzrHexLimits.eepromStart) highest = static_cast<uint32_t>(j + 1);
    }
    FUZZ_CHECK(r.highest == static_cast<int>(std::min<uint32_t>(highest, 0x8000)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const uint8_t choice = in.byte();
    MainState& st = stateFor((choice & 1) != 0);
    if (choice & 4) {
        roundTrip(st, in);
    } else {
        readAnyText(st, in.rest(), (choice & 2) ? kPicHexLimits : kQzrHexLimits);
    }
    return 0;
}
