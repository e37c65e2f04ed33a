#pragma once

#include <QString>
#include <string>

namespace qzr::gui {

// The core's 8-bit texts as the windows show them.
inline QString qs(const std::string& s) {
    return QString::fromLocal8Bit(s.c_str());
}

}  // namespace qzr::gui
