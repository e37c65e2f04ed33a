#pragma once

#include <QDialog>
#include <array>

class QCheckBox;

namespace qzr {
struct MainState;
}

namespace qzr::gui {

// The settings dialog: four check boxes, copied from the settings when created and back into them however
// the dialog closes ("Exit", the close box, Escape). There is no cancel.
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
};

}  // namespace qzr::gui
