#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

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
    const std::pair<const char*, bool> toggles[] = {
        {"QtpSim", o.qtpSimulation}, {"FlashPgmTest", o.flashTestRepeat}, {"btShowTime", o.showProgramTime}};
    for (const auto& [name, on] : toggles)
        if (auto* b = form.findChild<QPushButton*>(name)) b->setText(toggleCaption(on));
}

// Every writer operation: the core's dispatch (the operation type, the reset-address question, Force
// Write's serial-mode switch), then WriterFunction with the progress dialog.
void runOperation(TMainForm& form, OperationType type) {
    MainState& st = form.state();
    if (!dispatchOperation(st, type)) return;
    // Data from a damaged file go to a chip only when the user says so (asked once per load).
    if (!confirmDamagedData(st, type)) return;
    WriterFunction(st, [&form, &st] {
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
    if (auto* panel = form.findChild<QWidget*>("Panel2")) panel->setVisible(shown);
    if (QAction* force = form.action("ForceWrite")) force->setVisible(shown);
    showPanelCaptions(form);
}

void pulseFieldChanged(TMainForm& form, const char* name,
                       std::string (*change)(MainState&, const std::string&)) {
    auto* field = form.findChild<QLineEdit*>(name);
    if (!field) return;
    const QString corrected = QString::fromStdString(change(form.state(), field->text().toStdString()));
    if (corrected != field->text()) {
        const QSignalBlocker block(field);
        field->setText(corrected);
    }
}

void aboutBox(TMainForm& form) {
    MainState& st = form.state();
    // A fresh writer check on the open port (a port that is not open is not opened for the about box). Only
    // a writer that identified itself now is named; a silent one is "Unknown", not the last one seen.
    std::string identification;
    form.runWriterTask([&st, &identification] {
        if (!st.link.Comm1 || st.link.portError || !st.link.Comm1->Enabled()) return;
        WriterLink writer(st.link, st.image);
        if (writer.CheckWriter(st.device, *st.ui, *st.views) == lrIdWriter)
            identification = st.link.writerIdText;
    });
    TAboutBox box(form.windowTitle(), identification, &form);
    runModal(box);
}

}  // namespace

void installWriterCommands(TMainForm& form) {
    struct Command {
        const char* menu;
        const char* button;
        OperationType type;
    };
    const Command commands[] = {
        {"BlankCheckAction", "tbBlankCheck", OperationType::BlankCheck},
        {nullptr, "Erase", OperationType::EraseFlash},
        {"ID3", "tbProgramID", OperationType::ProgramIdChecksum},
        {"ProgramMemory2", "tbProgramMemory", OperationType::ProgramData},
        {"OPTION3", "tbProgramOption", OperationType::ProgramOptions},
        {"WriteEE", "tbWriteEEPROM", OperationType::ProgramEeprom},
        {"Veryfy1", "tbVerify", OperationType::Verify},
        {"VerifywithProtect1", "tbVerifyProtect", OperationType::VerifyProtected},
        {"AutoProgram1", "tbAutoProgram", OperationType::AutoProgram},
        {"AutoProgramwithoutBlankCheck1", "tbAutoProgramNoBlankCheck",
         OperationType::AutoProgramNoBlankCheck},
        {nullptr, "ForceWrite", OperationType::OverWrite},
    };
    for (const Command& c : commands) {
        const OperationType type = c.type;
        auto handler = [&form, type] { runOperation(form, type); };
        if (c.menu) form.setCommand(c.menu, handler);
        form.setCommand(c.button, handler);
    }

    auto readIc = [&form] {
        ReadIcCommand(form.state(), &form);
        form.refreshLabels();
        form.refreshStatus();
    };
    form.setCommand("ReadIC1", readIc);
    form.setCommand("tbReadIC", readIc);

    form.setCommand("DownLoad1", [&form] {
        MainState& st = form.state();
        TDeviceForm devices(
            st,
            [&form, &st](const std::function<void()>& send) {
                form.runWriterTask([&st, &send] {
                    if (PreparePort(st)) send();
                });
            },
            &form);
        runModal(devices);
    });

    form.setCommand("SerialNoMode1", [&form] {
        SerialNoMode1Click(form.state(), qtpSaveChooser(form), &form);
        showPanelCaptions(form);
        form.refreshLabels();
    });

    form.setCommand("Label3", [&form] { engineeringPanelToggle(form); });
    form.setCommand("QtpSim", [&form] {
        QtpSimClick(form.state());
        showPanelCaptions(form);
    });
    form.setCommand("FlashPgmTest", [&form] {
        FlashPgmTestClick(form.state());
        showPanelCaptions(form);
    });
    form.setCommand("btShowTime", [&form] {
        btShowTimeClick(form.state());
        showPanelCaptions(form);
    });
    form.setCommand("PulseWidth", [&form] { pulseFieldChanged(form, "PulseWidth", &PulseWidthChange); });
    form.setCommand("EraseWidth", [&form] { pulseFieldChanged(form, "EraseWidth", &EraseWidthChange); });

    form.setCommand("HelpAbout1", [&form] { aboutBox(form); });
    form.setCommand("VersionInfo1", [&form] {
        TVersionInfo history(&form);
        runModal(history);
    });
}

}  // namespace qzr::gui
