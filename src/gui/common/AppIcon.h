#pragma once

#include <QIcon>

namespace qzr::gui {

// The program's icon, data/icons/qzr-writer.svg (the one the installation puts with the desktop's icons),
// built into the program. Where the toolkit has no SVG support at run time, the same picture is drawn at
// whatever size is asked for, so the icon stays scalable either way.
QIcon applicationIcon();

// Makes it the window icon of every window of the program (the splash, the main window, every dialog).
void installApplicationIcon();

}  // namespace qzr::gui
