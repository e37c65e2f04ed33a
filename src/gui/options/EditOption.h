#pragma once

#include <QDialog>
#include <array>

#include "core/options/OptionEditor.h"

class QComboBox;
class QLabel;

namespace qzr {
struct MainState;
}

namespace qzr::gui {

// "Edit OPTION": one caption and one list per option item of the device, over the core's OptionEditor. The
// option bytes change only on OK; the caller then runs finishOptionEditor.
class TEditOption : public QDialog {
    Q_OBJECT
  public:
    explicit TEditOption(MainState& st, QWidget* parent = nullptr);
    const OptionEditor& editor() const { return editor_; }

  private:
    void cbOptionChange(int item);

    OptionEditor editor_;
    std::array<QLabel*, 13> captions_{};
    std::array<QComboBox*, 13> lists_{};
};

}  // namespace qzr::gui
