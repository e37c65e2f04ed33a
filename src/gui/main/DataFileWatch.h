#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QFileSystemWatcher;

namespace qzr::gui {

// Watches the data file on disk: a change by another program (not our own save) makes it stale, and the
// status bar offers to reload it.
class DataFileWatch : public QObject {
  public:
    // `changed` runs when the file became stale.
    DataFileWatch(std::function<void()> changed, QObject* parent);
    // Watches `path` from now on (empty: nothing); the file is current.
    void watch(const QString& path);
    bool stale() const { return stale_; }

  private:
    void fileChanged();

    std::function<void()> changed_;
    QFileSystemWatcher* watcher_;
    QString path_;
    qint64 stamp_ = 0;  // modification time and size of the file when it was loaded or saved
    bool stale_ = false;
};

}  // namespace qzr::gui
