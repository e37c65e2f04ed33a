#include "core/writer/FreshChip.h"

#include <algorithm>
#include <cctype>

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

void insertFreshChipForRun(LinkState& link, const DeviceFields& device) {
    if (device.deviceIndex < 0 || !isFreshChipPortEntry(resolvePortEntry(link.openEntry))) return;
    if (auto* box = dynamic_cast<VirtualWriter*>(link.Comm1.get())) box->insertChipFor(device);
}

}  // namespace qzr
