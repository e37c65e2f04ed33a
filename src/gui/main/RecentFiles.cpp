#include "gui/main/RecentFiles.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

namespace qzr::gui {

namespace {
const char* const kRecentKey = "recentFiles";
}  // namespace

QSettings userSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "QZR", "QZR Writer");
}

RecentFiles::RecentFiles(QMenu* menu, std::function<void(const QString&)> open, QObject* parent)
    : QObject(parent), menu_(menu), open_(std::move(open)) {
    rebuild();
}

void RecentFiles::remember(const QString& path) {
    QSettings settings = userSettings();
    QStringList list = settings.value(kRecentKey).toStringList();
    const QString full = QFileInfo(path).absoluteFilePath();
    list.removeAll(full);
    list.prepend(full);
    while (list.size() > kCount) list.removeLast();
    settings.setValue(kRecentKey, list);
    rebuild();
}

void RecentFiles::rebuild() {
    menu_->clear();
    const QStringList list = userSettings().value(kRecentKey).toStringList();
    int n = 0;
    for (const QString& path : list) {
        if (n == kCount) break;
        QAction* a = menu_->addAction(QString("&%1 %2").arg(++n).arg(path));
        a->setObjectName(QString("RecentFile%1").arg(n));
        connect(a, &QAction::triggered, this, [this, path] { open_(path); });
    }
    menu_->setEnabled(n > 0);
}

}  // namespace qzr::gui
