#pragma once

#include <string>

namespace qzr {

// State of the link to the writer.
struct LinkState {
    bool portError = false;
    std::string portName = "COM1";  // upper-cased entry of the port list
    std::string portEntry = "Com1";  // the port list's text
    std::string handshake = "CTS";   // "Default", "CTS" or "None"
    std::string writerIdText;
    std::string writerVersion;
    int writeFailIndex = 0;
};

}  // namespace qzr
