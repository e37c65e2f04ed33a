#pragma once

#include <QDialog>
#include <array>

class QCheckBox;
class QLineEdit;

namespace qzr {
struct MainState;
}

namespace qzr::gui {

// The settings dialog: four check boxes, copied from the settings when created and back into them however
// the dialog closes ("Exit", the close box, Escape). There is no cancel. Below them our own setting, the
// production log file (empty: no record), kept in the user's settings by the main window.
class TfmConfig : public QDialog {
    Q_OBJECT
  public:
    explicit TfmConfig(MainState& st, QWidget* parent = nullptr);

    void done(int result) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormClose();

    MainState& st_;
    std::array<QCheckBox*, 4> boxes_{};
    QLineEdit* productionLog_ = nullptr;
    QLineEdit* journal_ = nullptr;  // the production journal (empty: the project's default)
    QCheckBox* voidFailed_ = nullptr;
};

}  // namespace qzr::gui
