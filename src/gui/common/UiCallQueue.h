#pragma once

#include <deque>
#include <functional>
#include <mutex>

class QObject;

namespace qzr::gui {

// Carries calls from a worker thread to the UI thread of a window, in the order they were made. A call made
// with a coalescing key replaces the waiting call at the tail of the queue when that has the same key (the
// next progress address replaces one not yet shown), so a fast stream never floods the window and nothing
// overtakes anything. Calls made on the UI thread queue behind the worker's, so a restart is never undone by
// late lines of the run before. Exceptions of a call end at the call (no exception leaves the UI loop).
class UiCallQueue {
  public:
    explicit UiCallQueue(QObject* context);
    void post(std::function<void()> call, int coalesceKey = -1);
    // Runs the waiting calls now (UI thread).
    void drain();
    // Forgets the waiting calls (the window closes).
    void discard();

  private:
    QObject* context_;
    std::mutex mutex_;
    std::deque<std::pair<int, std::function<void()>>> calls_;
    bool scheduled_ = false;
};

}  // namespace qzr::gui
