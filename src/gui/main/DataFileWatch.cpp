#include "gui/main/DataFileWatch.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>

namespace qzr::gui {

namespace {
qint64 stampOf(const QFileInfo& info) {
    return info.isFile() ? (info.lastModified().toMSecsSinceEpoch() ^ info.size()) : -1;
}
}  // namespace

DataFileWatch::DataFileWatch(std::function<void()> changed, QObject* parent)
    : QObject(parent), changed_(std::move(changed)), watcher_(new QFileSystemWatcher(this)) {
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] { fileChanged(); });
}

void DataFileWatch::watch(const QString& path) {
    if (!watcher_->files().isEmpty()) watcher_->removePaths(watcher_->files());
    stale_ = false;
    path_ = path;
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        watcher_->addPath(path);
        stamp_ = stampOf(QFileInfo(path));
    }
}

void DataFileWatch::fileChanged() {
    const QFileInfo info(path_);
    // A file replaced by a rename is no longer watched: watch the new one.
    if (info.isFile() && !watcher_->files().contains(path_)) watcher_->addPath(path_);
    if (stampOf(info) == stamp_) return;
    stale_ = true;
    changed_();
}

}  // namespace qzr::gui
