#pragma once

#include <QApplication>
#include <deque>
#include <optional>
#include <vector>

#include "gui/common/FileChooser.h"

namespace qzr::test {

// The one QApplication of the GUI test program, made by its main() (tests/gui/GuiTestMain.cpp) so that it
// ends before the program's static objects do.
inline QApplication& guiApp() {
    return *static_cast<QApplication*>(QCoreApplication::instance());
}

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
