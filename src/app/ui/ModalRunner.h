#pragma once

#include <functional>

class QDialog;

namespace qzr::gui {

// Every modal dialog of the project windows is shown through runModal. Tests replace the runner to answer a
// dialog without an event loop: set its fields, click its buttons by object name, return its result.
using ModalRunner = std::function<int(QDialog&)>;

// An empty runner restores QDialog::exec.
void setModalRunner(ModalRunner runner);

// Shows `dialog` modally and returns its result (QDialog::Accepted or Rejected).
int runModal(QDialog& dialog);

}  // namespace qzr::gui
