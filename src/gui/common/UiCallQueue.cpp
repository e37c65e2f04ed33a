#include "gui/common/UiCallQueue.h"

#include <QObject>
#include <exception>
#include <utility>

namespace qzr::gui {

UiCallQueue::UiCallQueue(QObject* context) : context_(context) {}

void UiCallQueue::post(std::function<void()> call, int coalesceKey) {
    std::lock_guard lock(mutex_);
    if (coalesceKey >= 0 && !calls_.empty() && calls_.back().first == coalesceKey) {
        calls_.back().second = std::move(call);
        return;
    }
    calls_.emplace_back(coalesceKey, std::move(call));
    if (!scheduled_) {
        scheduled_ = true;
        // Dropped by Qt when the window is gone.
        QMetaObject::invokeMethod(
            context_, [this] { drain(); }, Qt::QueuedConnection);
    }
}

void UiCallQueue::drain() {
    std::deque<std::pair<int, std::function<void()>>> calls;
    {
        std::lock_guard lock(mutex_);
        calls.swap(calls_);
        scheduled_ = false;
    }
    for (auto& c : calls) {
        try {
            c.second();
        } catch (const std::exception&) {
            // A window update that fails leaves the window as it was; the run goes on.
        }
    }
}

void UiCallQueue::discard() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

}  // namespace qzr::gui
