#include "writer/FreshChip.h"

#include <algorithm>
#include <cctype>

#include "app/MainState.h"
#include "writer/PortNames.h"
#include "writer/VirtualWriter.h"

namespace qzr {

bool isFreshChipPortEntry(const std::string& entry) {
    std::string lower = entry;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == kFreshChipPortEntry;
}

void insertFreshChipForRun(MainState& st) {
    if (st.device.deviceIndex < 0 || !isFreshChipPortEntry(resolvePortEntry(st.link.openEntry))) return;
    if (auto* box = dynamic_cast<VirtualWriter*>(st.link.Comm1.get())) box->insertChipFor(st.device);
}

}  // namespace qzr
