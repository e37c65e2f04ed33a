#pragma once

#include <string>

#include "core/writer/CommLink.h"

namespace qzr {

struct DeviceFields;
struct LinkState;
class UserInterface;

// Opening the port and checking the writer. The writer check itself is WriterLink::CheckWriter
// (WriterProtocol.h); the commands that use both are in app/PortCommands.h. All messages go through `ui`.

// The flow control of a handshake choice: "CTS" fcCTS, "None" fcNone, anything else fcDefault.
TFlowControl flowControlFor(const std::string& handshake);

// (Re)opens link.Comm1 for the port entry link.portEntry with the link's fixed settings and the handshake
// choice (a new virtual writer gets a chip of `device`). Clears portError first; on an open failure shows
// "Open  " + portName + " Port Error!!" (plus, when permission was refused, how to get it) and sets
// portError.
void CheckComPort(LinkState& link, const DeviceFields& device, UserInterface& ui);

// Before a chip read, a writer operation or a download: re-opens the port when portError is set (or when
// it was never opened). Returns false when the port is still unusable; the command then does nothing more.
bool PreparePort(LinkState& link, const DeviceFields& device, UserInterface& ui);

// The serial component's warning about the opened adapter (its latency), once per device; else "".
std::string takePortWarning(LinkState& link);

}  // namespace qzr
