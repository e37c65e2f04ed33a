#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace qzr::gui {

// What an open or save dialog is asked for. Filters are the dialog's entries in order, e.g.
// "QZR bin (*.bin)"; filterIndex counts them from 1, as the file commands do.
struct FileDialogRequest {
    QString title;
    QStringList filters;
    int filterIndex = 1;
    QString defaultSuffix;  // without the "."
    QString initialName;
};

struct FileChoice {
    QString path;
    int filterIndex = 1;  // the entry selected when the dialog was confirmed
};

// Every file dialog of the windows goes through this seam; tests answer it from a script.
class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // nullopt when the user cancelled.
    virtual std::optional<FileChoice> openFile(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual std::optional<FileChoice> saveFile(QWidget* parent, const FileDialogRequest& request) = 0;
};

// The toolkit's file dialogs.
class DialogFileChooser final : public FileChooser {
  public:
    std::optional<FileChoice> openFile(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<FileChoice> saveFile(QWidget* parent, const FileDialogRequest& request) override;
};

}  // namespace qzr::gui
