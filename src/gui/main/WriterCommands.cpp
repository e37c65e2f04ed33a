#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <initializer_list>

#include "app/DataCommands.h"
#include "app/EngineeringPanel.h"
#include "app/MainState.h"
#include "app/OperationCommands.h"
#include "app/PortCommands.h"
#include "core/image/DataLoad.h"
#include "core/writer/CommLink.h"
#include "core/writer/WriterDetect.h"
#include "core/writer/WriterProtocol.h"
#include "gui/common/FileChooser.h"
#include "gui/common/ModalRunner.h"
#include "gui/gang/GangForm.h"
#include "gui/main/MainForm.h"
#include "gui/main/MainFormCommands.h"
#include "gui/main/ShellWindows.h"
#include "gui/operations/ProgressDialog.h"
#include "gui/serial_number/SerialNoSetupForm.h"
#include "gui/writer/DeviceForm.h"
#include "gui/writer/ReadForm.h"

namespace qzr::gui {

namespace {

// The engineering panel's toggle captions from the flags (the engine switches QTP simulation off when a
// QTP file is used up).
void showPanelCaptions(TMainForm& form) {
    const OperationState& o = form.state().operation;
    const EngineeringControls& e = form.engineering();
    const std::pair<QPushButton*, bool> toggles[] = {
        {e.QtpSim, o.qtpSimulation}, {e.FlashPgmTest, o.flashTestRepeat}, {e.btShowTime, o.showProgramTime}};
    for (const auto& [button, on] : toggles) button->setText(toggleCaption(on));
}

// Every writer operation: the core's dispatch (the operation type, the reset-address question, Force
// Write's serial-mode switch), then WriterFunction with the progress dialog.
void runOperation(TMainForm& form, OperationType type) {
    MainState& st = form.state();
    if (!dispatchOperation(st, type)) return;
    // Data from a damaged file go to a chip only when the user says so (asked once per load).
    if (!confirmDamagedData(st, type)) return;
    WriterFunction(st, [&form, &st] {
        const TMainForm::JobLock lock(form);
        TfmProgramVerify dialog(st, &form, [&form] { form.refreshLabels(); });
        runModal(dialog);
    });
    showPanelCaptions(form);
    form.refreshLabels();
    form.refreshStatus();
}

QtpFileChooser qtpSaveChooser(TMainForm& form) {
    return [&form]() -> std::optional<QtpFileChoice> {
        const FileDialogRequest request{
            "Save QTP File", {"Config files (*.cfg)", "QTP files (*.txt)"}, 2, "txt", {}};
        const auto choice = form.chooser().saveFile(&form, request);
        if (!choice) return std::nullopt;
        return QtpFileChoice{choice->path.toStdString(), choice->filterIndex};
    };
}

void engineeringPanelToggle(TMainForm& form) {
    MainState& st = form.state();
    const bool shown = Label3DblClick(st, [&form]() -> std::optional<std::string> {
        TPasswordForm password(&form);
        runModal(password);
        return password.text();
    });
    form.engineering().Panel2->setVisible(shown);
    form.actions().ForceWrite->setVisible(shown);
    showPanelCaptions(form);
}

void pulseFieldChanged(TMainForm& form, QLineEdit* field,
                       std::string (*change)(MainState&, const std::string&)) {
    const QString corrected = QString::fromStdString(change(form.state(), field->text().toStdString()));
    if (corrected != field->text()) {
        const QSignalBlocker block(field);
        field->setText(corrected);
    }
}

void aboutBox(TMainForm& form) {
    // A fresh writer check on the open port (a port that is not open is not opened for the about box). Only
    // a writer that identified itself now is named; a silent one is "Unknown", not the last one seen.
    std::string identification;
    form.runWriterJob(JobScope::Link, [&identification](MainState& st, const std::atomic<bool>& stop) {
        if (!st.link.Comm1 || st.link.portError || !st.link.Comm1->Enabled()) return;
        WriterLink writer(st.link, st.image, &stop);
        if (writer.CheckWriter(st.device, *st.ui, *st.views) == lrIdWriter)
            identification = st.link.writerIdText;
    });
    TAboutBox box(form.windowTitle(), identification, &form);
    runModal(box);
}

}  // namespace

void installWriterCommands(TMainForm& form) {
    const MainActions& a = form.actions();
    const struct {
        std::initializer_list<QAction*> actions;
        OperationType type;
    } operations[] = {
        {{a.BlankCheckAction, a.tbBlankCheck}, OperationType::BlankCheck},
        {{a.Erase}, OperationType::EraseFlash},
        {{a.ID3, a.tbProgramID}, OperationType::ProgramIdChecksum},
        {{a.ProgramMemory2, a.tbProgramMemory}, OperationType::ProgramData},
        {{a.OPTION3, a.tbProgramOption}, OperationType::ProgramOptions},
        {{a.WriteEE, a.tbWriteEEPROM}, OperationType::ProgramEeprom},
        {{a.Veryfy1, a.tbVerify}, OperationType::Verify},
        {{a.VerifywithProtect1, a.tbVerifyProtect}, OperationType::VerifyProtected},
        {{a.AutoProgram1, a.tbAutoProgram}, OperationType::AutoProgram},
        {{a.AutoProgramwithoutBlankCheck1, a.tbAutoProgramNoBlankCheck},
         OperationType::AutoProgramNoBlankCheck},
        {{a.ForceWrite}, OperationType::OverWrite},
    };
    for (const auto& o : operations)
        for (QAction* action : o.actions)
            form.bind(action, [&form, type = o.type] { runOperation(form, type); });

    for (QAction* action : {a.ReadIC1, a.tbReadIC})
        form.bind(action, [&form] {
            const TMainForm::JobLock lock(form);
            ReadIcCommand(form.state(), &form);
            form.refreshLabels();
            form.refreshStatus();
        });

    form.bind(a.GangProgramming1, [&form] {
        const TMainForm::JobLock lock(form);
        QStringList ports;
        if (const auto* list = form.findChild<QComboBox*>("ComboBox1"))
            for (int i = 0; i < list->count(); ++i) ports << list->itemText(i);
        for (const char* entry : {"virtual:new-chip", "virtual"})
            if (!ports.contains(entry, Qt::CaseInsensitive)) ports << entry;
        TGangForm gang(form.state(), ports, &form);
        runModal(gang);
        afterOperationDialog(form.state());
        form.refreshLabels();
        form.refreshStatus();
    });

    form.bind(a.DownLoad1, [&form] {
        const TMainForm::JobLock lock(form);
        TDeviceForm devices(
            form.state(),
            [&form](const WriterJob::Work& send) {
                form.runWriterJob(JobScope::Link, [&send](MainState& st, const std::atomic<bool>& stop) {
                    if (PreparePort(st)) send(st, stop);
                });
            },
            &form);
        runModal(devices);
        form.refreshStatus();
    });

    form.bind(a.SerialNoMode1, [&form] {
        SerialNoMode1Click(form.state(), qtpSaveChooser(form), &form);
        showPanelCaptions(form);
        form.refreshLabels();
    });

    const EngineeringControls& e = form.engineering();
    form.bindDoubleClick(e.Label3, [&form] { engineeringPanelToggle(form); });
    const std::pair<QPushButton*, bool (*)(MainState&)> toggles[] = {
        {e.QtpSim, &QtpSimClick}, {e.FlashPgmTest, &FlashPgmTestClick}, {e.btShowTime, &btShowTimeClick}};
    for (const auto& [button, click] : toggles)
        form.bind(button, [&form, click = click] {
            click(form.state());
            showPanelCaptions(form);
        });
    form.bind(e.PulseWidth,
              [&form, field = e.PulseWidth] { pulseFieldChanged(form, field, &PulseWidthChange); });
    form.bind(e.EraseWidth,
              [&form, field = e.EraseWidth] { pulseFieldChanged(form, field, &EraseWidthChange); });

    form.bind(a.HelpAbout1, [&form] { aboutBox(form); });
    form.bind(
        a.VersionInfo1,
        [&form] {
            TVersionInfo history(&form);
            runModal(history);
        },
        TMainForm::Waits::never);
}

}  // namespace qzr::gui
