#include "app/ui/GuiUserInterface.h"

#include <QMessageBox>

namespace qzr::gui {

namespace {
QString text(const std::string& s) {
    return QString::fromLocal8Bit(s.c_str());
}
}  // namespace

void GuiUserInterface::message(const std::string& s) {
    QMessageBox::information(parent_, QStringLiteral("QZR Writer"), text(s));
}

void GuiUserInterface::error(const std::string& s) {
    QMessageBox::critical(parent_, QStringLiteral("Error"), text(s));
}

bool GuiUserInterface::askYesNo(const std::string& s) {
    return QMessageBox::question(parent_, QStringLiteral("Confirm"), text(s),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool GuiUserInterface::askAbortIgnore(const std::string& s) {
    return QMessageBox::warning(parent_, QStringLiteral("Confirm"), text(s),
                                QMessageBox::Abort | QMessageBox::Ignore) == QMessageBox::Ignore;
}

}  // namespace qzr::gui
