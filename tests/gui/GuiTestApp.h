#pragma once

#include <QApplication>

namespace qzr::test {

// The one QApplication of the GUI test program, made by its main() (tests/gui/GuiTestMain.cpp) so that it
// ends before the program's static objects do.
inline QApplication& guiApp() {
    return *static_cast<QApplication*>(QCoreApplication::instance());
}

}  // namespace qzr::test
