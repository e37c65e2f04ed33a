#pragma once

#include <string>

#include "writer/CommLink.h"

namespace qzr {

struct MainState;

// Opening the port and checking the writer. The writer check itself is WriterLink::CheckWriter
// (WriterProtocol.h). All messages go through st.ui.

// The flow control of a handshake choice: "CTS" fcCTS, "None" fcNone, anything else fcDefault.
TFlowControl flowControlFor(const std::string& handshake);

// (Re)opens st.link.Comm1 for the port entry st.link.portEntry with the link's fixed settings and the
// handshake choice. Clears portError first; on an open failure shows "Open  " + portName + " Port Error!!"
// (plus, when permission was refused, how to get it) and sets portError.
void CheckComPort(MainState& st);

// The port or the handshake choice changed (or the CLI's detect): re-opens the port when needed, checks
// the writer and shows "Connect OK!", "Connect " + portName + " Timeout!!" or "Connect Fail!". Returns the
// writer check's result, or 0 when the port could not be opened (its message has been shown).
int PortChanged(MainState& st);

// The start-up connection: opens the port and checks the writer; shows only the failures.
void StartupConnection(MainState& st);

// Before a chip read, a writer operation or a download: re-opens the port when portError is set (or when
// it was never opened). Returns false when the port is still unusable; the command then does nothing more.
bool PreparePort(MainState& st);

// The serial component's warning about the opened adapter (its latency), once per device; else "".
std::string takePortWarning(MainState& st);

}  // namespace qzr
