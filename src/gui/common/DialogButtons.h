#pragma once

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace qzr::gui {

// The OK / Cancel row at the foot of a dialog: both buttons right-aligned, OK the default; Cancel rejects
// the dialog. What OK does is the dialog's own.
struct OkCancelRow {
    QHBoxLayout* layout;
    QPushButton* ok;
    QPushButton* cancel;
};
OkCancelRow okCancelRow(QDialog* dialog, const QString& okName, const QString& cancelName);

}  // namespace qzr::gui
