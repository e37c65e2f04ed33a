// The main window's views of the state: the hooks the core calls, and the child windows they rebuild.
#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QThread>
#include <algorithm>

#include "app/ShellCommands.h"
#include "core/options/IdCode.h"
#include "gui/common/Text.h"
#include "gui/image/BufferViews.h"
#include "gui/main/MainForm.h"

namespace qzr::gui {

// The hooks the core calls, on the UI thread (a writer job's refreshes are replayed there when its result is
// applied).
class TMainForm::Views final : public ViewHooks {
  public:
    explicit Views(TMainForm& form) : form_(form) {}
    void recreateIdWindow() override {
        onUiThread([this] { form_.recreateIdWindow(); });
    }
    void recreateProgramWindow() override {
        onUiThread([this] { form_.recreateProgramWindow(); });
    }
    void reloadProgramWindow() override {
        onUiThread([this] { form_.reloadProgramWindow(); });
    }
    void reloadEepromWindow() override {
        onUiThread([this] { form_.reloadEepromWindow(); });
    }
    void recreateEepromWindow(bool exists) override {
        onUiThread([this, exists] { form_.recreateEepromWindow(exists); });
    }
    void closeDisassembly() override {
        onUiThread([this] { form_.closeDisassembly(); });
    }
    void refreshOptionDisplay() override {
        onUiThread([this] { form_.refreshLabels(); });
    }
    void refreshChecksums() override {
        onUiThread([this] { form_.refreshLabels(); });
    }
    void refreshIdDisplay() override {
        onUiThread([this] { form_.refreshLabels(); });
    }
    void refreshSerialIndicators() override {
        onUiThread([this] { form_.refreshLabels(); });
    }
    void enableSingleAreaCommands(bool enabled, bool menuItemsToo) override {
        onUiThread([this, enabled, menuItemsToo] { form_.enableSingleAreaCommands(enabled, menuItemsToo); });
    }
    void refreshDeviceCommands() override {
        onUiThread([this] { form_.refreshDeviceCommands(); });
    }
    void refreshSelections() override {
        onUiThread([this] { form_.showSelections(); });
    }

  private:
    template <typename F>
    void onUiThread(F f) {
        Q_ASSERT(QThread::currentThread() == form_.thread());
        f();
    }
    TMainForm& form_;
};

std::unique_ptr<ViewHooks> TMainForm::makeViews(TMainForm& form) {
    return std::make_unique<Views>(form);
}

void TMainForm::ProgramMemory1Click() {
    if (programView_) {
        mdi_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(programView_->parentWidget()));
        return;
    }
    recreateProgramWindow();
}

void TMainForm::EEPROM1Click() {
    if (eepromView_) {
        mdi_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(eepromView_->parentWidget()));
        return;
    }
    recreateEepromWindow(true);
}

QMdiSubWindow* TMainForm::addChild(QWidget* view, const QSize& size) {
    QMdiSubWindow* sub = mdi_->addSubWindow(view);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // Within the visible area: no larger than it, and moved back into it where the cascade put it
    // partly outside.
    const QRect area = mdi_->viewport()->rect();
    sub->resize(area.isEmpty() ? size : size.boundedTo(area.size()));
    sub->show();
    if (!area.isEmpty()) {
        QRect g = sub->geometry();
        if (g.right() > area.right()) g.moveRight(area.right());
        if (g.bottom() > area.bottom()) g.moveBottom(area.bottom());
        g.moveTopLeft(QPoint(std::max(g.left(), 0), std::max(g.top(), 0)));
        sub->move(g.topLeft());
    }
    return sub;
}

void TMainForm::recreateIdWindow() {
    // The ID window comes with the ID editor; until then its copy in the main window is kept current.
    IDLabelShow(st_.options, st_.device, st_.image, *st_.views);
    refreshLabels();
    if (onRecreateIdWindow) onRecreateIdWindow();
}

void TMainForm::recreateProgramWindow() {
    if (programView_) {
        disconnect(programView_, &QObject::destroyed, this, nullptr);
        delete programView_->parentWidget();
    }
    auto* view = new TMDIChild(st_);
    view->setWindowTitle(qs(programWindowTitle(st_)));
    programView_ = view;
    connect(view, &QObject::destroyed, this, [this] {
        // Closed by the user.
        st_.programWindowOpen = false;
        closeDisassembly();
    });
    addChild(view, QSize(400, 319));
    st_.programWindowOpen = true;
    refreshLabels();
}

void TMainForm::reloadProgramWindow() {
    if (programView_) programView_->reload();
    refreshLabels();
}

void TMainForm::reloadEepromWindow() {
    if (eepromView_) eepromView_->reload();
}

void TMainForm::recreateEepromWindow(bool exists) {
    if (eepromView_) {
        disconnect(eepromView_, &QObject::destroyed, this, nullptr);
        delete eepromView_->parentWidget();
    }
    st_.eepromWindowOpen = false;
    if (!exists) return;
    auto* view = new TEEDataForm(st_);
    view->setWindowTitle("EEPROM data");
    eepromView_ = view;
    connect(view, &QObject::destroyed, this, [this] { st_.eepromWindowOpen = false; });
    addChild(view, QSize(487, 195));
    st_.eepromWindowOpen = true;
}

void TMainForm::closeDisassembly() {
    st_.disassemblyOpen = false;
    actions_.FileSaveAsItem->setEnabled(false);
    if (onCloseDisassembly) onCloseDisassembly();
}

}  // namespace qzr::gui
