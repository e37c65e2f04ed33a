#pragma once

#include <string>

namespace qzr {

// `s` without the blanks at its start and end.
inline std::string trimBlanks(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace qzr
