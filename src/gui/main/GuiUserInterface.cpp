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
        QMessageBox::critical(parent_, QStringLiteral("Error"), text(s));
    } else {
        QMessageBox::information(parent_, QStringLiteral("QZR Writer"), text(s));
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
    return QMessageBox::question(parent_, QStringLiteral("Confirm"), text(s),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool GuiUserInterface::askAbortIgnore(const std::string& s) {
    assert(onUiThread() && "questions are asked on the UI thread only");
    if (!onUiThread()) return false;
    if (inner_) return inner_->askAbortIgnore(s);
    return QMessageBox::warning(parent_, QStringLiteral("Confirm"), text(s),
                                QMessageBox::Abort | QMessageBox::Ignore) == QMessageBox::Ignore;
}

}  // namespace qzr::gui
