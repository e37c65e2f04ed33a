#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "app/ShellCommands.h"
#include "gui/common/AppIcon.h"
#include "gui/common/LogoForm.h"
#include "gui/main/GuiUserInterface.h"
#include "gui/main/MainForm.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("QZR");
    QApplication::setApplicationName("QZR Writer");
    qzr::gui::installApplicationIcon();

    // One copy at a time; the lock goes with the process, so a crashed copy leaves none behind.
    qzr::gui::GuiUserInterface refusal(nullptr);
    const auto instance = qzr::startSingleInstance(refusal, qzr::defaultInstanceLockPath());
    if (!instance) return 1;

    QElapsedTimer shown;
    qzr::gui::TLogoForm splash;
    splash.showNow();
    shown.start();

    qzr::gui::TMainForm form;
    // The splash stays for 600 ms from its first paint, then the main window shows.
    const int remaining = std::max<int>(0, 600 - static_cast<int>(shown.elapsed()));
    QTimer::singleShot(remaining, &form, [&] {
        splash.close();
        form.show();
        // scripts/screenshot.sh: a picture of the started window, then the program ends as on Exit.
        const QString shot = qEnvironmentVariable("QZR_SCREENSHOT");
        if (!shot.isEmpty()) {
            QTimer::singleShot(500, &form, [&form, shot] {
                form.grab().save(shot);
                form.close();
            });
        }
    });
    return app.exec();
}
