#pragma once

#include <string>
#include <string_view>

#include "core/common/ViewHooks.h"
#include "core/serial_number/SerialNumberState.h"

namespace qzr {

// The pass counter lives only as its display text (SerialNumberState::passCountText), decimal digits.

// The most characters the counter dialog's field takes.
inline constexpr std::size_t kPassCountFieldLength = 9;

// Whether a typed character is taken by the counter dialog's field (digits only).
inline bool passCountFieldAccepts(char c) {
    return c >= '0' && c <= '9';
}

// The decimal text plus one, written back in decimal. Leading zeros are dropped; any length counts on
// without overflow. A text that is not a decimal number (empty, say) counts as 0.
std::string nextPassCount(std::string_view text);

// The engine after a good auto-program run (types 8 and 9).
void IncrementPassCount(SerialNumberState& serial, ViewHooks& views);

// A data-file load, a device change and a data reset: "0".
void ResetPassCount(SerialNumberState& serial, ViewHooks& views);

// The counter dialog's OK: the count takes the field's text unchanged; an empty field stores "0". A text
// that is not made of digits only (which the field cannot hold) is refused: result false, count unchanged.
bool SetPassCount(SerialNumberState& serial, ViewHooks& views, std::string_view text);

}  // namespace qzr
