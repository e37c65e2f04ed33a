#pragma once

#include <QDialog>

#include "app/BufferCommands.h"

class QLineEdit;

namespace qzr::gui {

// "Fill Buffer": start address, end address and data as hexadecimal texts; OK and Cancel. The checks and
// the fill are the core's (FillDataBuffer / FillEepromBuffer) after the dialog ended with OK.
class TFillBufferForm : public QDialog {
    Q_OBJECT
  public:
    TFillBufferForm(const FillDialogTexts& initial, QWidget* parent = nullptr);
    FillDialogTexts texts() const;

  private:
    QLineEdit* edStart_;
    QLineEdit* edEnd_;
    QLineEdit* edData_;
};

}  // namespace qzr::gui
