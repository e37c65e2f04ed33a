#include "core/operations/WorkerThread.h"

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace qzr {

void prepareWriterThread() {
#if defined(__linux__)
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

}  // namespace qzr
