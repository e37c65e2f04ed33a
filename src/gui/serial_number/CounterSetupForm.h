#pragma once

#include <QDialog>

class QLineEdit;

namespace qzr {
struct MainState;
}

namespace qzr::gui {

// "Counter Setup": the pass count's start value, digits only (main keyboard or keypad). OK sets the count
// through the core (SetPassCount); Cancel leaves it.
class TCounterSetupForm : public QDialog {
    Q_OBJECT
  public:
    explicit TCounterSetupForm(MainState& st, QWidget* parent = nullptr);

  private:
    MainState& st_;
    QLineEdit* edit_;
};

}  // namespace qzr::gui
