#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/writer/Clock.h"
#include "core/writer/CommLink.h"

namespace qzr {

// State of the link to the writer.
struct LinkState {
    bool portError = false;
    std::string portName = "COM1";   // the port entry in capitals, used in messages
    std::string portEntry = "Com1";  // the port list's text ("Com1".."Com8", a device path, or "virtual")
    std::string handshake = "CTS";   // "Default", "CTS" or "None"
    std::string writerIdText;
    std::string writerVersion;
    int writeFailIndex = 0;

    // The program's port (the serial component, or the virtual writer). Null until first opened.
    std::shared_ptr<CommPort> Comm1;
    // The port entry Comm1 was last opened for (empty while never opened).
    std::string openEntry;
    // The tick clock of all writer traffic; null means the real clock. Tests put a FakeClock here.
    Clock* clock = nullptr;
    // Makes the port object for a port entry; when empty, "virtual" gives the virtual writer and anything
    // else the serial component. Tests put their own ports here.
    std::function<std::shared_ptr<CommPort>(const std::string& entry)> portFactory;

    Clock& tickClock() const { return clock ? *clock : realClock(); }
};

}  // namespace qzr
