#include "gui/main/WriterTaskRunner.h"

#include <QEventLoop>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolBar>
#include <exception>
#include <thread>

namespace qzr::gui {

void WriterTaskRunner::run(const std::function<void()>& task) {
    if (running_) return;
    running_ = true;
    auto enable = [this](bool on) {
        window_.menuBar()->setEnabled(on);
        window_.centralWidget()->setEnabled(on);
        if (auto* bar = window_.findChild<QToolBar*>("ToolBar2")) bar->setEnabled(on);
    };
    enable(false);
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            task();
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued behind the messages the task sent, so they are all shown before the loop ends.
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    enable(true);
    running_ = false;
    if (failure) std::rethrow_exception(failure);
}

}  // namespace qzr::gui
