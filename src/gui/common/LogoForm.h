#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

namespace qzr::gui {

// Where the program's picture lives (a JPEG compiled into the program).
inline constexpr const char* kLogoPicturePath = ":/images/logo.jpg";

// The program's picture: the splash window shows it and the information sheet prints it (the hidden picture
// holder TLogoForm2). When the picture cannot be read a plain banner of the same size takes its place, so
// the result is never empty.
QPixmap logoPicture(const QString& path = QString::fromLatin1(kLogoPicturePath));

// The splash window: borderless, centred on the screen, one picture (the label `Image1`).
class TLogoForm : public QWidget {
    Q_OBJECT
  public:
    explicit TLogoForm(QWidget* parent = nullptr,
                       const QString& picturePath = QString::fromLatin1(kLogoPicturePath));

    // Shows the window and paints it at once, before the event loop runs.
    void showNow();
};

}  // namespace qzr::gui
