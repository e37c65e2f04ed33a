#pragma once

#include <QObject>

#include "core/common/UserInterface.h"

class QWidget;

namespace qzr::gui {

// Message boxes over the main window, safe from any thread: a message or an error from a worker (the writer
// check's firmware messages, a QTP read error after a good run) is queued to the UI thread and shown there,
// so no widget is ever made off it and a worker never waits on a box (a dialog that is stopping its worker
// cannot deadlock against it). Questions block for an answer and belong to the UI thread only.
// With `inner` set the texts go to that interface instead of boxes (tests record them), still on the UI
// thread.
class GuiUserInterface final : public QObject, public UserInterface {
    Q_OBJECT
  public:
    explicit GuiUserInterface(QWidget* parent, UserInterface* inner = nullptr);
    void message(const std::string& text) override;
    void error(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    bool askAbortIgnore(const std::string& text) override;

  private:
    bool onUiThread() const;
    void showMessage(const std::string& text, bool isError);

    QWidget* parent_;
    UserInterface* inner_;
};

}  // namespace qzr::gui
