// Every data-file kind through the loader, for any device: a refused file leaves the image as it was, a
// file taken over leaves only well-formed words, and the damaged mark comes only from a HEX file whose
// reading reported an error. A file taken over and saved as .bin loads back to the same words.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "FuzzSupport.h"
#include "app/DataCommands.h"
#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/image/DataLoad.h"
#include "core/image/DataSave.h"
#include "core/image/MemoryImage.h"

using namespace qzr;

namespace {

// A folder of this process for the input files, removed at exit (kept alive until then on purpose).
const std::string& folder() {
    static const std::string* path = [] {
        const std::filesystem::path base =
            std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        auto* p = new std::string((base / ("qzr-fuzz-" + std::to_string(::getpid()))).string());
        std::filesystem::create_directories(*p);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(folder(), ec);
        });
        return p;
    }();
    return *path;
}

std::string writeInput(const char* extension, std::string_view content) {
    const std::string path = folder() + "/in." + extension;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
    return path;
}

FUZZ_NOT_TRACED bool wordsWellFormed(const MemoryImage& image, uint8_t highByteMask) {
    const uint8_t* p = image.programArea().data();
    bool ok = true;
    for (std::size_t i = 0; i < layout::kProgramBytes; i += 2)
        ok &= (p[i] & ~0x7F) == 0 && (p[i + 1] & ~highByteMask) == 0;
    return ok;
}

FUZZ_NOT_TRACED bool sameRegion(const MemoryImage& a, const MemoryImage& b, std::size_t offset,
                                std::size_t size) {
    return std::memcmp(a.all().data() + offset, b.all().data() + offset, size) == 0;
}

FUZZ_NOT_TRACED bool sameImage(const MemoryImage& a, const MemoryImage& b) {
    return sameRegion(a, b, 0, layout::kImageSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static MainState st;
    fuzz::Input in(data, size);
    const auto devices = deviceTable();
    const DeviceRecord& device = devices[in.byte() % devices.size()];
    static const char* const kinds[] = {"bin", "obj", "hex", "mhx", "MHX", "txt"};
    const char* kind = kinds[in.byte() % 6];
    fuzz::RecordingUi ui(in.byte());
    st.ui = &ui;
    if (st.deviceListText != device.name) selectDevice(st, device.name);
    // Something in the image that a load must replace or keep.
    const uint16_t seed = in.word();
    for (std::size_t n = 0; n < layout::kProgramWords; n += 97)
        st.image.setProgramWord(n, Word{static_cast<uint8_t>(seed & 0x7F),
                                        static_cast<uint8_t>((seed >> 7) & st.device.highByteMask)});
    st.dataFileDamaged = (seed & 0x8000) != 0;
    const bool damagedBefore = st.dataFileDamaged;

    static MemoryImage before;
    before = st.image;
    const std::string path = writeInput(kind, in.rest());
    const bool loaded = LoadProgramMemory(st, path);
    if (!loaded) {
        FUZZ_CHECK(sameImage(st.image, before));
        FUZZ_CHECK(st.dataFileDamaged == damagedBefore);
        FUZZ_CHECK(!ui.log.empty());
        return 0;
    }
    const std::string k = kind;
    FUZZ_CHECK(k != "txt");
    FUZZ_CHECK(wordsWellFormed(st.image, st.device.highByteMask));
    // Only the program and EEPROM areas change.
    FUZZ_CHECK(sameRegion(st.image, before, 0, layout::kProgramOffset));
    FUZZ_CHECK(
        sameRegion(st.image, before, layout::kHeaderOffset, layout::kEepromOffset - layout::kHeaderOffset));
    const bool hexText = k == "hex" || k == "mhx" || k == "MHX";
    if (!hexText) FUZZ_CHECK(!st.dataFileDamaged);
    if (hexText && !st.dataFileDamaged) {
        for (const std::string& line : ui.log) FUZZ_CHECK(line.find(" error at line ") == std::string::npos);
    }

    // Saved as .bin and loaded again: the same words and EEPROM bytes.
    const std::vector<uint8_t> out = buildOutputImage(st.device, st.image);
    const std::string saved =
        writeInput("bin", std::string_view(reinterpret_cast<const char*>(out.data()), out.size()));
    before = st.image;
    fuzz::RecordingUi again;
    st.ui = &again;
    FUZZ_CHECK(LoadProgramMemory(st, saved));
    FUZZ_CHECK(again.log.empty());
    const std::size_t words = static_cast<std::size_t>(st.device.programWordCount());
    FUZZ_CHECK(sameRegion(st.image, before, layout::kProgramOffset, 2 * words));
    if (st.device.hasEeprom()) {
        FUZZ_CHECK(sameRegion(st.image, before, layout::kEepromOffset,
                              static_cast<std::size_t>(st.device.eepromSize)));
    }
    return 0;
}
