#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// The GUI tests run headless, with the program's user settings (the recent-file list) in a folder of the
// run's own, never the user's. The application lives in main(), so it is gone before the exit handlers run.
int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char pattern[] = "/tmp/qzr-gui-test-XXXXXX";
    if (const char* dir = ::mkdtemp(pattern)) ::setenv("XDG_CONFIG_HOME", dir, 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
