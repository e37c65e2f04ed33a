// The ID editor's text in both display modes: only ID bytes 0..11 change, each within its mask, and the
// editor's own text for the stored bytes stores the same bytes again.
#include <algorithm>
#include <array>

#include "FuzzSupport.h"
#include "app/DeviceCommands.h"
#include "app/IdCommands.h"
#include "app/MainState.h"
#include "core/options/IdCode.h"
#include "core/options/OptionState.h"

using namespace qzr;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static MainState st;
    fuzz::Input in(data, size);
    const auto devices = deviceTable();
    const DeviceRecord& device = devices[in.byte() % devices.size()];
    if (st.deviceListText != device.name) selectDevice(st, device.name);
    const int mode = (in.byte() & 1) ? kIdModeHex : kIdModeAscii;
    auto id = st.image.idArea();
    for (uint8_t& b : id) b = in.byte();
    const std::array<uint8_t, layout::kIdBytes> before = [&] {
        std::array<uint8_t, layout::kIdBytes> a{};
        std::copy(id.begin(), id.end(), a.begin());
        return a;
    }();

    applyIdEditorText(st, in.rest(), mode);
    const uint8_t hbm = st.device.highByteMask;
    for (std::size_t i = 0; i < 12; ++i) FUZZ_CHECK((id[i] & ~(i % 2 == 0 ? 0x7F : hbm)) == 0);
    FUZZ_CHECK(std::equal(id.begin() + 12, id.end(), before.begin() + 12));
    FUZZ_CHECK(st.options.idText == idText(st.image, st.options.idDisplayMode));

    std::array<uint8_t, 12> stored{};
    std::copy_n(id.begin(), 12, stored.begin());
    const std::string text = idEditorText(st.image, mode);
    if (mode == kIdModeHex) FUZZ_CHECK(text.size() == 35);
    // In ASCII mode a zero byte ends the text, so only bytes without one come back.
    const bool comesBack = mode == kIdModeHex || std::find(stored.begin(), stored.end(), 0) == stored.end();
    applyIdEditorText(st, text, mode);
    if (comesBack) FUZZ_CHECK(std::equal(stored.begin(), stored.end(), id.begin()));
    idChecksumText(st.device, st.image, mode);
    idExtendedView(st.options, st.optionBytes, st.image);
    return 0;
}
