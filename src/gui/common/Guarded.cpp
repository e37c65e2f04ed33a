#include "gui/common/Guarded.h"

#include <exception>

#include "core/common/UserInterface.h"
#include "core/writer/CommLink.h"

namespace qzr::gui {

void guarded(UserInterface& ui, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const ECommError& e) {
        ui.message(e.what());
    } catch (const std::exception& e) {
        ui.error(e.what());
    } catch (...) {
        ui.error("Unexpected error.");
    }
}

}  // namespace qzr::gui
