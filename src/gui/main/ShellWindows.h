#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace qzr::gui {

// "Password": an eight-character entry (letters and digits; blanks where nothing was typed) and "OK".
class TPasswordForm : public QDialog {
    Q_OBJECT
  public:
    explicit TPasswordForm(QWidget* parent = nullptr);
    // The entry as typed: eight characters, blank where nothing was typed.
    std::string text() const;

  private:
    QLineEdit* edit_ = nullptr;
};

// "About QZR Writer": version, the machine's memory and system, and the writer's identification (or
// "Unknown").
class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    TAboutBox(const QString& mainWindowTitle, const std::string& writerIdText, QWidget* parent = nullptr);
};

// "VersionInfo": the program's modification history.
class TVersionInfo : public QDialog {
    Q_OBJECT
  public:
    explicit TVersionInfo(QWidget* parent = nullptr);
};

}  // namespace qzr::gui
