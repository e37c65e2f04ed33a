#include "gui/main/GuiUserInterface.h"

#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <cassert>

namespace qzr::gui {

namespace {
QString text(const std::string& s) {
    return QString::fromLocal8Bit(s.c_str());
}

// A box whose text is shown as it stands: file names and other texts from outside are never read as
// markup (an <img> in a file name would otherwise be loaded as a picture).
int showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const std::string& s,
            QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, QString(), buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setText(text(s));
    return box.exec();
}
}  // namespace

GuiUserInterface::GuiUserInterface(QWidget* parent, UserInterface* inner)
    : QObject(parent), parent_(parent), inner_(inner) {}

bool GuiUserInterface::onUiThread() const {
    return QThread::currentThread() == thread();
}

void GuiUserInterface::showMessage(const std::string& s, bool isError) {
    if (!onUiThread()) {
        // Shown later, in order, by the UI thread; the worker goes on at once.
        QMetaObject::invokeMethod(
            this, [this, s, isError] { showMessage(s, isError); }, Qt::QueuedConnection);
        return;
    }
    if (inner_) {
        if (isError) {
            inner_->error(s);
        } else {
            inner_->message(s);
        }
        return;
    }
    if (isError) {
        showBox(parent_, QMessageBox::Critical, QStringLiteral("Error"), s, QMessageBox::Ok);
    } else {
        showBox(parent_, QMessageBox::Information, QStringLiteral("QZR Writer"), s, QMessageBox::Ok);
    }
}

void GuiUserInterface::message(const std::string& s) {
    showMessage(s, false);
}

void GuiUserInterface::error(const std::string& s) {
    showMessage(s, true);
}

bool GuiUserInterface::askYesNo(const std::string& s) {
    assert(onUiThread() && "questions are asked on the UI thread only");
    if (!onUiThread()) return false;
    if (inner_) return inner_->askYesNo(s);
    return showBox(parent_, QMessageBox::Question, QStringLiteral("Confirm"), s,
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool GuiUserInterface::askAbortIgnore(const std::string& s) {
    assert(onUiThread() && "questions are asked on the UI thread only");
    if (!onUiThread()) return false;
    if (inner_) return inner_->askAbortIgnore(s);
    return showBox(parent_, QMessageBox::Warning, QStringLiteral("Confirm"), s,
                   QMessageBox::Abort | QMessageBox::Ignore) == QMessageBox::Ignore;
}

}  // namespace qzr::gui
