#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <vector>

#include "gui/common/FileChooser.h"
#include "gui/main/MainForm.h"
#include "gui/operations/ProgressDialog.h"

// Texts in a failed expectation read as text.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace qzr::test {

// The one QApplication of the GUI test program, made by its main() (tests/gui/GuiTestMain.cpp) so that it
// ends before the program's static objects do.
inline QApplication& guiApp() {
    return *static_cast<QApplication*>(QCoreApplication::instance());
}

// The child of `parent` with this object name; a missing one fails the test (and gives null).
template <typename T>
T* child(QObject& parent, const char* name) {
    T* w = parent.findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// Runs the event loop until `done` holds or ten seconds have passed; the result says which.
inline bool waitFor(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// The run of a progress dialog has ended: Exit usable and every line the worker queued shown. The worker
// queues its last calls before it counts as ended, so the queue is flushed after reading that, not before.
inline bool progressRunEnded(QDialog& d) {
    auto& p = dynamic_cast<gui::TfmProgramVerify&>(d);
    return waitFor([&] {
        const bool ended = !p.session().running();
        p.flush();
        return ended && p.findChild<QPushButton*>("btExit")->isEnabled();
    });
}

// Saves a picture of `w` under $QZR_SCREENSHOT_DIR when that is set (docs/*.png are made this way).
inline void picture(QWidget& w, const char* name) {
    const QString dir = qEnvironmentVariable("QZR_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QCoreApplication::processEvents();  // the layout of the last texts
    w.grab().save(QDir(dir).filePath(name));
}

// Shows the main window and lets the writer check of its start end (its result applied).
inline bool showStarted(gui::TMainForm& form) {
    form.show();
    return waitFor([&] { return !form.writerBusy(); });
}

// Answers the modal dialogs the way a person does, from inside their real exec() loops: a timer running in
// the dialog's loop finds the active modal dialog and runs `script` on it; a dialog the script leaves open
// is cancelled. The answerer made last answers (an outer one is back when it goes).
class ModalAnswers {
  public:
    explicit ModalAnswers(std::function<void(QDialog&)> script)
        : script_(std::move(script)), outer_(current()) {
        current() = this;
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start(5);
    }
    ~ModalAnswers() { current() = outer_; }
    ModalAnswers(const ModalAnswers&) = delete;
    ModalAnswers& operator=(const ModalAnswers&) = delete;

    int shown = 0;  // dialogs answered so far (counted before the script runs)

  private:
    static ModalAnswers*& current() {
        static ModalAnswers* answering = nullptr;
        return answering;
    }
    void look() {
        if (current() != this || answering_) return;
        QPointer<QDialog> d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d || !d->isVisible() || !d->isActiveWindow()) return;  // as a person sees it: shown and active
        answering_ = true;
        ++shown;
        script_(*d);
        if (d && d->isVisible()) d->done(QDialog::Rejected);
        answering_ = false;
    }

    std::function<void(QDialog&)> script_;
    ModalAnswers* outer_;
    QTimer timer_;
    bool answering_ = false;
};

// Answers the file dialogs from a script (cancelled when it has run out) and keeps what they were asked.
struct ScriptedChooser final : gui::FileChooser {
    std::deque<std::optional<gui::FileChoice>> answers;
    std::vector<gui::FileDialogRequest> asked;
    std::optional<gui::FileChoice> next(const gui::FileDialogRequest& r) {
        asked.push_back(r);
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<gui::FileChoice> openFile(QWidget*, const gui::FileDialogRequest& r) override {
        return next(r);
    }
    std::optional<gui::FileChoice> saveFile(QWidget*, const gui::FileDialogRequest& r) override {
        return next(r);
    }
};

}  // namespace qzr::test
