#include "core/writer/FreshChip.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>

#include "core/common/FileIo.h"
#include "core/device/DeviceCatalogue.h"
#include "core/writer/LinkState.h"
#include "core/writer/PortNames.h"
#include "core/writer/VirtualWriter.h"

namespace qzr {

bool isFreshChipPortEntry(const std::string& entry) {
    std::string lower = entry;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == kFreshChipPortEntry;
}

namespace {

// With QZR_CHIP_TRAY naming a folder, the chips taken out of the socket are kept there for a test to read
// back: "chip-PID-N.bin", the program memory (32,768 bytes, two per word) and then the 8 option bytes.
void putInTray(const VirtualChip& chip) {
    const char* tray = std::getenv("QZR_CHIP_TRAY");
    if (tray == nullptr || *tray == '\0') return;
    static std::atomic<unsigned> taken{0};
    std::string bytes(chip.program.begin(), chip.program.end());
    bytes.append(chip.options.begin(), chip.options.end());
    writeFileWhole(
        std::string(tray) + "/chip-" + std::to_string(::getpid()) + "-" + std::to_string(taken++) + ".bin",
        bytes);
}

}  // namespace

void insertFreshChipForRun(LinkState& link, const DeviceFields& device) {
    if (device.deviceIndex < 0 || !isFreshChipPortEntry(resolvePortEntry(link.openEntry))) return;
    if (auto* box = dynamic_cast<VirtualWriter*>(link.Comm1.get())) {
        putInTray(box->chip());
        box->insertChipFor(device);
    }
}

}  // namespace qzr
