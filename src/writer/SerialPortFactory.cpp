#include "writer/CommLink.h"

namespace qzr {

// Replaced by the serial component; until then no real port can be opened.
std::unique_ptr<CommPort> createSerialPort() { return nullptr; }

}  // namespace qzr
