#pragma once

#include <atomic>
#include <optional>

#include "core/writer/WriterProtocol.h"

namespace qzr {

struct MainState;

// The commands that open the port and check the writer (the port and handshake lists, the start-up
// connection, the command-line program's detect). Their building blocks are in writer/WriterDetect.h.

// The port or the handshake choice changed (or the CLI's detect): re-opens the port when needed, checks
// the writer and shows "Connect OK!", "Connect " + portName + " Timeout!!" or "Connect Fail!". Returns the
// writer check's result, or nothing when the port could not be opened (its message has been shown).
// A raised `stop` ends the check at once, without a message (the window closed).
std::optional<LinkResult> PortChanged(MainState& st, const std::atomic<bool>* stop = nullptr);

// The start-up connection: opens the port and checks the writer; shows only the failures. A raised `stop`
// ends it at once, without a message.
void StartupConnection(MainState& st, const std::atomic<bool>* stop = nullptr);

// PreparePort (writer/WriterDetect.h) on the state's link, device and user interface.
bool PreparePort(MainState& st);

}  // namespace qzr
