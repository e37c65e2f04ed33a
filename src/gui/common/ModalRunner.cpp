#include "gui/common/ModalRunner.h"

#include <QDialog>

namespace qzr::gui {

ModalRunner& modalRunner() {
    static ModalRunner runner;
    return runner;
}

void setModalRunner(ModalRunner runner) {
    modalRunner() = std::move(runner);
}

int runModal(QDialog& dialog) {
    if (modalRunner()) return modalRunner()(dialog);
    return dialog.exec();
}

}  // namespace qzr::gui
