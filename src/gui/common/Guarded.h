#pragma once

#include <functional>

namespace qzr {
class UserInterface;
}

namespace qzr::gui {

// Runs a handler so that no exception leaves it (and with it a slot): an error of the serial component
// shows its text as a message, any other error in an error box.
void guarded(UserInterface& ui, const std::function<void()>& handler);

}  // namespace qzr::gui
