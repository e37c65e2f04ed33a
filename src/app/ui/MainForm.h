#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "app/MainState.h"

class QComboBox;
class QLabel;
class QMdiArea;

namespace qzr::gui {

// The main window: owns the working state and shows it.
class TMainForm : public QMainWindow {
    Q_OBJECT
  public:
    // `startupDirectory` holds "Default.cfg" (empty: the current directory); `ui` replaces the message
    // boxes (tests).
    explicit TMainForm(QWidget* parent = nullptr, const std::string& startupDirectory = {},
                       UserInterface* ui = nullptr);
    ~TMainForm() override;

    MainState& state() { return st_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormShow();
    void ComboBox1Change();
    void ComboBox2Change();
    // Puts the state's device, port and handshake into the lists without running their handlers.
    void showSelections();

    MainState st_;
    std::unique_ptr<UserInterface> ownUi_;
    QMdiArea* mdi_ = nullptr;
    QComboBox* comboBox1_ = nullptr;
    QComboBox* handShake_ = nullptr;
    QComboBox* comboBox2_ = nullptr;
};

}  // namespace qzr::gui
