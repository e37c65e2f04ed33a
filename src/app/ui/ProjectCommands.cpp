#include "app/ui/MainForm.h"
#include "app/ui/MainFormCommands.h"

namespace qzr::gui {

void installProjectCommands(TMainForm& /*form*/) {}

}  // namespace qzr::gui
