#include "options/Options.h"

#include "app/MainState.h"

namespace qzr {

void UpdateOption(MainState& st) { st.views->refreshOptionDisplay(); }

void CalChecksum(MainState& st) { st.views->refreshChecksums(); }

}  // namespace qzr
