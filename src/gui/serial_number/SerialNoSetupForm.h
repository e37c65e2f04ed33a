#pragma once

#include <QDialog>
#include <functional>
#include <map>

#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"

class QLineEdit;
class QRadioButton;

namespace qzr {
struct MainState;
}

namespace qzr::gui {

// "Serial No.": the serial-number settings. Every rule is the core's (SerialNumber.h, QtpFile.h): the
// fields take what the keyboard may type, leaving a field corrects it (also when OK is pressed with Enter
// while the field has the focus), OK checks and stores, "Disable Serial Mode" switches the mode off, "QTP
// File" writes a QTP file through `chooseQtp`.
class TSerialNoSetupForm : public QDialog {
    Q_OBJECT
  public:
    TSerialNoSetupForm(MainState& st, QtpFileChooser chooseQtp, QWidget* parent = nullptr);
    const SerialNoFields& fields() const { return fields_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* edit(SerialField f) const { return edits_.at(f); }
    void showFields();
    bool leave(SerialField f);
    // The field that has the focus is left first (Enter on a field presses OK without leaving it).
    bool leaveFocused();
    void guarded(const std::function<void()>& f);

    MainState& st_;
    QtpFileChooser chooseQtp_;
    SerialNoFields fields_;
    std::map<SerialField, QLineEdit*> edits_;
    QRadioButton* mode_[2] = {};
    QRadioButton* order_[2] = {};
    QRadioButton* target_[2] = {};
};

// Edit > "Serial No. Mode": shows the dialog modally; the views reload afterwards.
void SerialNoMode1Click(MainState& st, QtpFileChooser chooseQtp, QWidget* parent);

}  // namespace qzr::gui
