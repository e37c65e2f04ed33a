#pragma once

#include <functional>

class QDialog;

namespace qzr::gui {

// Every modal dialog of the writer commands is run through here: exec() in the program, a script in the
// tests (which show the dialog, work its controls by object name and close it, without a nested loop of
// their own). The runner returns the dialog's result.
using ModalRunner = std::function<int(QDialog&)>;
// The runner in force; empty: QDialog::exec().
ModalRunner& modalRunner();
int runModal(QDialog& dialog);

}  // namespace qzr::gui
