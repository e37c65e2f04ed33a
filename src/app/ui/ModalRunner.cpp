#include "app/ui/ModalRunner.h"

#include <QDialog>

namespace qzr::gui {

namespace {
ModalRunner& runner() {
    static ModalRunner r;
    return r;
}
}  // namespace

void setModalRunner(ModalRunner r) {
    runner() = std::move(r);
}

int runModal(QDialog& dialog) {
    if (runner()) return runner()(dialog);
    return dialog.exec();
}

}  // namespace qzr::gui
