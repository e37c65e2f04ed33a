#include "gui/common/DialogButtons.h"

namespace qzr::gui {

OkCancelRow okCancelRow(QDialog* dialog, const QString& okName, const QString& cancelName) {
    OkCancelRow row{new QHBoxLayout, new QPushButton("OK", dialog), new QPushButton("Cancel", dialog)};
    row.ok->setObjectName(okName);
    row.ok->setDefault(true);
    row.cancel->setObjectName(cancelName);
    row.layout->addStretch();
    row.layout->addWidget(row.ok);
    row.layout->addWidget(row.cancel);
    QObject::connect(row.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return row;
}

}  // namespace qzr::gui
