#pragma once

#include <functional>

class QMainWindow;

namespace qzr::gui {

// Runs a task that may wait on the writer off the UI thread while the window keeps painting.
class WriterTaskRunner {
  public:
    explicit WriterTaskRunner(QMainWindow& window) : window_(window) {}
    // Runs `task` on a worker and waits for it in a local event loop, the window's controls disabled. An
    // exception of the task is thrown here. A task asked for while one runs is not run.
    void run(const std::function<void()>& task);
    bool running() const { return running_; }

  private:
    QMainWindow& window_;
    bool running_ = false;
};

}  // namespace qzr::gui
