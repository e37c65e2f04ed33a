#pragma once

#include <QApplication>

namespace qzr::test {

// The one QApplication of the GUI test program, created on first use.
inline QApplication& guiApp() {
    static int argc = 1;
    static char arg0[] = "test_gui";
    static char* argv[] = {arg0, nullptr};
    static QApplication app(argc, argv);
    return app;
}

}  // namespace qzr::test
