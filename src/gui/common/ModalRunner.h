#pragma once

#include <functional>

class QDialog;

namespace qzr::gui {

// Every modal dialog of the windows is shown through runModal: exec() in the program and in the tests that
// answer a dialog from inside its own loop (the writer windows), or a script in the tests that only fill a
// dialog (which set its fields, click its buttons by object name and close it, without an event loop of
// their own). The runner returns the dialog's result (QDialog::Accepted or Rejected).
using ModalRunner = std::function<int(QDialog&)>;

// The runner in force; empty: QDialog::exec().
ModalRunner& modalRunner();
// Sets the runner; an empty one restores QDialog::exec().
void setModalRunner(ModalRunner runner);

// Shows `dialog` modally and returns its result.
int runModal(QDialog& dialog);

}  // namespace qzr::gui
