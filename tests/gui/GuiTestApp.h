#pragma once

#include <QApplication>
#include <cstdlib>
#include <filesystem>

namespace qzr::test {

// The one QApplication of the GUI test program, created on first use. The program's user settings (the
// recent-file list) go to a folder of the test run's own, never the user's.
inline QApplication& guiApp() {
    static int argc = 1;
    static char arg0[] = "test_gui";
    static char* argv[] = {arg0, nullptr};
    static const bool settingsHome = [] {
        char pattern[] = "/tmp/qzr-gui-test-XXXXXX";
        if (const char* dir = ::mkdtemp(pattern)) ::setenv("XDG_CONFIG_HOME", dir, 1);
        return true;
    }();
    (void)settingsHome;
    // Never destroyed: at exit Qt's own statics (its registry of input devices, made for a click, a key or a
    // window activation) may already be gone, and the application's destructor would use them.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace qzr::test
