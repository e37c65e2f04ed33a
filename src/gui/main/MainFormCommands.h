#pragma once

namespace qzr::gui {

class TMainForm;

// The commands whose windows live in their own files connect themselves to the main window's actions here
// (TMainForm::bind), once, when it is created.

// The project editors: fill, option editor, ID window and editor, counter, settings, disassembly window and
// the customer information sheet.
void installProjectCommands(TMainForm& form);

// The writer at work: the progress dialog and every writer command, Read IC, the download, the serial-number
// dialog, the engineering panel and the about and version windows.
void installWriterCommands(TMainForm& form);

}  // namespace qzr::gui
