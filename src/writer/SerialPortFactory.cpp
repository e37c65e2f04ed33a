#include "writer/Comm.h"
#include "writer/CommLink.h"

namespace qzr {

std::unique_ptr<CommPort> createSerialPort() {
    return std::make_unique<TComm>();
}

}  // namespace qzr
