// The project editors: fill, option editor, ID window and editor, counter, settings, disassembly window and
// the customer information sheet, connected to the main window's commands.
#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include "app/BufferCommands.h"
#include "app/MainState.h"
#include "app/OptionCommands.h"
#include "core/disasm/Disassembler.h"
#include "core/options/OptionEditor.h"
#include "gui/common/FileChooser.h"
#include "gui/common/ModalRunner.h"
#include "gui/common/Text.h"
#include "gui/config/ConfigForm.h"
#include "gui/disasm/DisassembleForm.h"
#include "gui/image/FillBufferForm.h"
#include "gui/info_sheet/InfoForm.h"
#include "gui/main/MainForm.h"
#include "gui/main/MainFormCommands.h"
#include "gui/options/EditOption.h"
#include "gui/options/IdWindow.h"
#include "gui/serial_number/CounterSetupForm.h"

namespace qzr::gui {

namespace {

// The child windows these commands keep: one ID window and one disassembly window at most.
class ProjectWindows : public QObject {
  public:
    explicit ProjectWindows(TMainForm& form) : QObject(&form), form_(form), st_(form.state()) {}

    void fill(bool eeprom) {
        TFillBufferForm dialog(fillDialogDefaults(st_, eeprom), &form_);
        if (runModal(dialog) != QDialog::Accepted) return;
        if (eeprom) {
            if (FillEepromBuffer(st_, dialog.texts())) form_.actions().ClearEEPROMBuffer1->setEnabled(true);
        } else {
            FillDataBuffer(st_, dialog.texts());
        }
        form_.refreshLabels();
    }

    void editOption() {
        {
            TEditOption dialog(st_, &form_);
            runModal(dialog);
        }
        finishOptionEditor(st_);
        form_.refreshLabels();
    }

    // View > "ID": the open window comes to the front, otherwise a new one.
    void showIdWindow() {
        if (id_) {
            if (auto* sub = qobject_cast<QMdiSubWindow*>(id_->parentWidget())) {
                sub->showNormal();
                form_.mdiArea()->setActiveSubWindow(sub);
            }
            return;
        }
        createIdWindow();
    }

    // Closed (if open) and created again.
    void recreateIdWindow() {
        if (id_) delete id_->parentWidget();
        createIdWindow();
    }

    void setCounter() {
        TCounterSetupForm dialog(st_, &form_);
        runModal(dialog);
        form_.refreshLabels();
    }

    void configure() {
        TfmConfig dialog(st_, &form_);
        runModal(dialog);
        form_.productionLogChanged();
    }

    // View > "Disassemble": always a fresh listing.
    void disassemble() {
        closeDisassembly();
        auto* view = new TDisassembleForm(st_);
        view->setWindowTitle(st_.dataFileName.empty() ? QString("Disassembly") : qs(st_.dataFileName));
        disassembly_ = view;
        // "Save Disassmble" acts only while the window exists.
        connect(view, &QObject::destroyed, this,
                [this] { form_.actions().FileSaveAsItem->setEnabled(false); });
        form_.addChild(view, QSize(620, 420));
        st_.disassemblyOpen = true;
        form_.actions().FileSaveAsItem->setEnabled(true);
    }

    void closeDisassembly() {
        if (disassembly_) delete disassembly_->parentWidget();
    }

    // File > "Save Disassmble".
    void saveDisassembly() {
        if (!disassembly_) return;
        const FileDialogRequest request{"Save disassembly",
                                        {"Disassemble files (*.dis)"},
                                        1,
                                        "dis",
                                        qs(disassemblySaveName(st_.dataFileName))};
        const auto choice = form_.chooser().saveFile(&form_, request);
        if (!choice) return;
        if (choice->filterIndex != 1) {
            st_.ui->message("File can't be saved!");
            return;
        }
        const QByteArray text = disassembly_->listing().toLatin1();
        qzr::saveDisassembly(*st_.ui,
                             std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                             choice->path.toStdString());
    }

    void infoSheet() { openInfoSheet(form_.state(), form_.chooser(), &form_); }

  private:
    void createIdWindow() {
        auto* view = new TIDChecksumForm(st_);
        id_ = view;
        form_.addChild(view, QSize(540, TIDChecksumForm::kNormalHeight));
        st_.idWindowOpen = true;
        form_.refreshLabels();
    }

    TMainForm& form_;
    MainState& st_;
    QPointer<TIDChecksumForm> id_;
    QPointer<TDisassembleForm> disassembly_;
};

}  // namespace

void installProjectCommands(TMainForm& form) {
    auto* w = new ProjectWindows(form);
    const MainActions& a = form.actions();
    form.bind(a.FillBuffer1, [w] { w->fill(false); });
    form.bind(a.FillEEPROMBuffer1, [w] { w->fill(true); });
    form.bind(a.EditOPTION, [w] { w->editOption(); });
    form.bind(a.ID2, [w] { w->showIdWindow(); });
    form.onRecreateIdWindow = [w] { w->recreateIdWindow(); };
    form.bind(a.CounterMode1, [w] { w->setCounter(); });
    form.bind(a.Config1, [w] { w->configure(); });
    form.bind(a.Disassemble1, [w] { w->disassemble(); });
    form.bind(a.FileSaveAsItem, [w] { w->saveDisassembly(); });
    form.onCloseDisassembly = [w] { w->closeDisassembly(); };
    for (QAction* sheet : {a.tbInfoSheet, a.Generatecustomerinformationsheet1})
        form.bind(sheet, [w] { w->infoSheet(); });
}

}  // namespace qzr::gui
