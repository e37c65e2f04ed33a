#include "core/writer/Comm.h"
#include "core/writer/CommLink.h"

namespace qzr {

// The program's Comm1: the component with the writer link's fixed line settings (115200 bit/s, 8 data bits,
// no parity, 1 stop bit) and the queue sizes of the main window's form. Callers choose the device name and
// the flow control before each open.
std::unique_ptr<CommPort> createSerialPort() {
    auto comm = std::make_unique<TComm>();
    comm->SetReadBufSize(8192);
    comm->SetWriteBufSize(0);
    comm->SetBaudRate(TBaudrate::br115200);
    comm->SetDatabits(TDatabits::da8);
    comm->SetParity(TParity::paNone);
    comm->SetStopbits(TStopbits::sb10);
    return comm;
}

}  // namespace qzr
