#pragma once

#include "app/UserInterface.h"

class QWidget;

namespace qzr::gui {

// Message boxes over the main window.
class GuiUserInterface final : public UserInterface {
  public:
    explicit GuiUserInterface(QWidget* parent) : parent_(parent) {}
    void message(const std::string& text) override;
    void error(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    bool askAbortIgnore(const std::string& text) override;

  private:
    QWidget* parent_;
};

}  // namespace qzr::gui
