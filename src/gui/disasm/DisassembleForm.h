#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace qzr {
struct MainState;
}

namespace qzr::gui {

// "Disassembly": the listing of the program area as it was when the window was made, read-only, in a
// monospace font. An MDI child; the main window keeps one at most (MainState::disassemblyOpen).
class TDisassembleForm : public QWidget {
    Q_OBJECT
  public:
    explicit TDisassembleForm(MainState& st, QWidget* parent = nullptr);
    ~TDisassembleForm() override;

    QString listing() const;

  private:
    MainState& st_;
    QPlainTextEdit* memo_;
};

}  // namespace qzr::gui
