#pragma once

#include <QMainWindow>

#include "app/MainState.h"

class QComboBox;
class QMdiArea;

namespace qzr::gui {

// The main window: owns the working state and shows it.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    MainState& state() { return st_; }

private:
    void ComboBox2Change();

    MainState st_;
    QMdiArea* mdi_ = nullptr;
    QComboBox* comboBox2_ = nullptr;
};

}  // namespace qzr::gui
