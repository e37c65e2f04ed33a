#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <functional>

class QMenu;

namespace qzr::gui {

// The user's settings of the desktop program (not the project: that is Default.cfg).
QSettings userSettings();

// File > "&Recent Files": the last files loaded or saved, newest first, kept in the user's settings.
class RecentFiles : public QObject {
  public:
    static constexpr int kCount = 8;

    // Choosing an entry calls `open` with its path.
    RecentFiles(QMenu* menu, std::function<void(const QString&)> open, QObject* parent);
    // Puts `path` first in the list.
    void remember(const QString& path);

  private:
    void rebuild();

    QMenu* menu_;
    std::function<void(const QString&)> open_;
};

}  // namespace qzr::gui
