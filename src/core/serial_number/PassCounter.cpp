#include "core/serial_number/PassCounter.h"

#include <algorithm>

namespace qzr {

namespace {

bool allDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string nextPassCount(std::string_view text) {
    if (text.empty() || !allDigits(text)) return "1";
    const std::size_t first = text.find_first_not_of('0');
    std::string digits = first == std::string_view::npos ? std::string("0") : std::string(text.substr(first));
    // Decimal addition of one, from the last digit.
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return digits;
        }
        digits[i] = '0';
    }
    return "1" + digits;
}

void IncrementPassCount(SerialNumberState& serial, ViewHooks& views) {
    serial.passCountText = nextPassCount(serial.passCountText);
    views.refreshSerialIndicators();
}

void ResetPassCount(SerialNumberState& serial, ViewHooks& views) {
    serial.passCountText = "0";
    views.refreshSerialIndicators();
}

bool SetPassCount(SerialNumberState& serial, ViewHooks& views, std::string_view text) {
    if (!allDigits(text)) return false;
    serial.passCountText = text.empty() ? std::string("0") : std::string(text);
    views.refreshSerialIndicators();
    return true;
}

}  // namespace qzr
