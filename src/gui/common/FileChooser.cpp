#include "gui/common/FileChooser.h"

#include <QFileDialog>

namespace qzr::gui {

namespace {
std::optional<FileChoice> run(QWidget* parent, const FileDialogRequest& r, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, r.title);
    dialog.setAcceptMode(mode);
    // The program asks about an existing file itself, where it does at all; the dialog never asks too.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(r.filters);
    if (r.filterIndex >= 1 && r.filterIndex <= r.filters.size())
        dialog.selectNameFilter(r.filters[r.filterIndex - 1]);
    dialog.setDefaultSuffix(r.defaultSuffix);
    if (!r.initialName.isEmpty()) dialog.selectFile(r.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return FileChoice{dialog.selectedFiles().front(),
                      static_cast<int>(r.filters.indexOf(dialog.selectedNameFilter())) + 1};
}
}  // namespace

std::optional<FileChoice> DialogFileChooser::openFile(QWidget* parent, const FileDialogRequest& request) {
    return run(parent, request, QFileDialog::AcceptOpen);
}

std::optional<FileChoice> DialogFileChooser::saveFile(QWidget* parent, const FileDialogRequest& request) {
    return run(parent, request, QFileDialog::AcceptSave);
}

}  // namespace qzr::gui
