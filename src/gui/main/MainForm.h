#pragma once

#include <QMainWindow>
#include <QPointer>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "app/MainState.h"
#include "app/WriterJob.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPushButton;

namespace qzr::gui {

class DataFileWatch;
class FileChooser;
class GuiUserInterface;
class RecentFiles;
class TMDIChild;
class TEEDataForm;
class WriterJobRunner;

// The main window's commands by their described names: the menu entries, the toolbar buttons and the
// engineering panel's controls. Made by the window; the files that carry the commands connect to them.
struct MainActions {
    // "&File"
    QAction* FileOpen1 = nullptr;
    QAction* SaveProgramMemory1 = nullptr;
    QAction* LoadConfig1 = nullptr;
    QAction* FileSaveItem = nullptr;
    QAction* FileSaveAsItem = nullptr;
    QAction* FileExit1 = nullptr;
    // "&View"
    QAction* ProgramMemory1 = nullptr;
    QAction* ID2 = nullptr;
    QAction* Disassemble1 = nullptr;
    QAction* EEPROM1 = nullptr;
    // "&Edit"
    QAction* EditOPTION = nullptr;
    QAction* SerialNoMode1 = nullptr;
    QAction* CounterMode1 = nullptr;
    QAction* LoadQTPFile1 = nullptr;
    QAction* ClearOPTION1 = nullptr;
    QAction* ClearID1 = nullptr;
    QAction* ClearBuffer1 = nullptr;
    QAction* ClearEEPROMBuffer1 = nullptr;
    QAction* FillBuffer1 = nullptr;
    QAction* FillEEPROMBuffer1 = nullptr;
    // "&Functions"
    QAction* BlankCheckAction = nullptr;
    QAction* ReadIC1 = nullptr;
    QAction* Veryfy1 = nullptr;
    QAction* VerifywithProtect1 = nullptr;
    QAction* AutoProgram1 = nullptr;
    QAction* AutoProgramwithoutBlankCheck1 = nullptr;
    QAction* GangProgramming1 = nullptr;
    QAction* ID3 = nullptr;
    QAction* ProgramMemory2 = nullptr;
    QAction* WriteEE = nullptr;
    QAction* OPTION3 = nullptr;
    QAction* DownLoad1 = nullptr;
    QAction* Generatecustomerinformationsheet1 = nullptr;
    QAction* Config1 = nullptr;
    // "&Window"
    QAction* WindowCascade1 = nullptr;
    QAction* WindowTileHorizontal1 = nullptr;
    QAction* WindowTileVertical1 = nullptr;
    QAction* WindowMinimizeAll1 = nullptr;
    QAction* WindowArrangeAll1 = nullptr;
    // "&Help"
    QAction* HelpAbout1 = nullptr;
    QAction* VersionInfo1 = nullptr;
    // ToolBar2, left to right (the open button is FileOpen1).
    QAction* tbSaveProgramMemory = nullptr;
    QAction* tbInfoSheet = nullptr;
    QAction* tbLoadConfig = nullptr;
    QAction* tbSaveConfig = nullptr;
    QAction* Erase = nullptr;
    QAction* tbBlankCheck = nullptr;
    QAction* tbReadIC = nullptr;
    QAction* tbVerify = nullptr;
    QAction* tbVerifyProtect = nullptr;
    QAction* tbProgramID = nullptr;
    QAction* tbProgramMemory = nullptr;
    QAction* tbProgramOption = nullptr;
    QAction* tbWriteEEPROM = nullptr;
    QAction* tbAutoProgram = nullptr;
    QAction* tbAutoProgramNoBlankCheck = nullptr;
    QAction* tbCascade = nullptr;
    QAction* tbTileHorizontal = nullptr;
    QAction* tbTileVertical = nullptr;
    QAction* ForceWrite = nullptr;
};

// The engineering panel (Panel2) and the label whose double-click toggles it.
struct EngineeringControls {
    QLabel* Label3 = nullptr;
    QWidget* Panel2 = nullptr;
    QPushButton* QtpSim = nullptr;
    QPushButton* FlashPgmTest = nullptr;
    QPushButton* btShowTime = nullptr;
    QLineEdit* PulseWidth = nullptr;
    QLineEdit* EraseWidth = nullptr;
};

// The main window: an MDI frame that owns the working state and shows it. Every handler is a few lines over
// a core command; the core asks for refreshes through ViewHooks.
class TMainForm : public QMainWindow {
    Q_OBJECT
  public:
    // `startupDirectory` holds "Default.cfg" (empty: the current directory); `ui` receives the messages in
    // place of message boxes (tests).
    explicit TMainForm(QWidget* parent = nullptr, const std::string& startupDirectory = {},
                       UserInterface* ui = nullptr);
    ~TMainForm() override;

    MainState& state() { return st_; }
    // Every file dialog goes through `chooser` (not owned; null: the toolkit's dialogs).
    void setFileChooser(FileChooser* chooser);
    FileChooser& chooser() const { return *chooser_; }
    QMdiArea* mdiArea() const { return mdi_; }
    const MainActions& actions() const { return actions_; }
    const EngineeringControls& engineering() const { return engineering_; }

    // The production log file was set in the settings dialog: kept in the user's settings, shown in the
    // status bar.
    void productionLogChanged();

    // Loads a data or configuration file as "&Load Data" does with it chosen (drop, recent files, reload).
    void loadFile(const QString& path);

    // The folder that holds the serial devices the port list offers (default /dev; tests use their own).
    void setDeviceDirectory(const std::string& devDir);

    // --- for the commands that live in other files (MainFormCommands.h) ---
    // Whether a command waits while a writer job runs: every command that can change the project or talks
    // to the writer does; the window arrangements, Exit and the version window do not.
    enum class Waits { untilJobEnds, never };
    // Connects a command to what it does, once, when the commands are installed. The handler runs guarded
    // (a writer error shows its text); a command that comes while a writer job runs waits until the job has
    // ended (and its result has been applied), then runs.
    void bind(QAction* action, std::function<void()> handler, Waits waits = Waits::untilJobEnds);
    void bind(QPushButton* button, std::function<void()> handler);
    void bind(QLineEdit* field, std::function<void()> handler);
    // A double-click on `target` runs `handler` (as a command that waits).
    void bindDoubleClick(QWidget* target, std::function<void()> handler);
    // The control has a command connected (the wiring test).
    bool hasCommand(const QObject* control) const { return bound_.count(control) != 0; }

    // A writer job runs for the window (the writer check of the start-up or of a port change, a download,
    // an operation, Read IC): commands wait.
    bool writerBusy() const;
    // Runs a writer job (app/WriterJob.h) and waits for it in a local event loop: for a modal window that
    // shows what the job did. Its result is applied when it has ended; a serial-port error is thrown here.
    void runWriterJob(JobScope scope, const WriterJob::Work& work);
    // Held by the modal windows whose jobs read or write the project (progress dialog, Read IC, download):
    // commands wait while one is held.
    class JobLock {
      public:
        explicit JobLock(TMainForm& form);
        ~JobLock();
        JobLock(const JobLock&) = delete;
        JobLock& operator=(const JobLock&) = delete;

      private:
        TMainForm& form_;
    };

    // Puts a view into the multiple-document area, freed when closed.
    QMdiSubWindow* addChild(QWidget* view, const QSize& size);
    // The main window's labels and status bar from the state.
    void refreshLabels();
    void refreshStatus();
    // Runs a handler; a writer error ends it with its text shown instead of ending the program.
    void guarded(const std::function<void()>& handler);
    // What the ID-window and disassembly hooks do beyond the main window's own labels and flags.
    std::function<void()> onRecreateIdWindow;
    std::function<void()> onCloseDisassembly;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class Views;
    friend class Views;
    static std::unique_ptr<ViewHooks> makeViews(TMainForm& form);

    // Layout (MainFormLayout.cpp).
    void buildMenus();
    void buildToolBar();
    void buildPanel();
    void buildStatusBar();
    // The file, view and edit commands this file carries.
    void installOwnCommands();

    void FileOpen1Execute();
    void SaveProgramMemory1Click();
    void LoadConfig1Click();
    void FileSaveItemClick();
    void ProgramMemory1Click();
    void EEPROM1Click();
    void LoadQTPFile1Click();

    void FormShow();
    void ComboBox1Change();
    void ComboBox2Change();

    // ViewHooks, on the UI thread.
    void recreateIdWindow();
    void recreateProgramWindow();
    void reloadProgramWindow();
    void reloadEepromWindow();
    void recreateEepromWindow(bool exists);
    void closeDisassembly();
    void enableSingleAreaCommands(bool enabled, bool menuItemsToo);
    void refreshDeviceCommands();
    void showSelections();
    // The port list from the present devices (the entry in use stays), each entry with its device as tip.
    void refreshPortList();
    void refreshPortTips();
    // Label19: the QTP file's name, its folder elided in the middle, the whole path as tip.
    void showQtpFileLabel();
    // Size and place at the first show: as remembered, else the described size, within the screen.
    void placeOnScreen();
    // A file was loaded or saved as the data file: remembered and watched again.
    void fileLoaded(bool loaded, const QString& path);
    // Runs a command now, or after the running writer job; then the commands that waited.
    void runCommand(const std::function<void()>& handler);
    void runWaitingCommands();
    // The writer check of the start-up or of a port change, in the background.
    void startWriterCheck(bool startup);

    MainState st_;
    ViewHooks nullViews_;
    std::unique_ptr<ViewHooks> views_;
    std::unique_ptr<FileChooser> ownChooser_;
    FileChooser* chooser_ = nullptr;
    GuiUserInterface* gui_ = nullptr;
    WriterJobRunner* jobs_ = nullptr;
    int jobLocks_ = 0;
    std::deque<std::function<void()>> waiting_;

    QMdiArea* mdi_ = nullptr;
    QComboBox* comboBox1_ = nullptr;
    std::string devDir_ = "/dev";
    QComboBox* handShake_ = nullptr;
    QComboBox* comboBox2_ = nullptr;
    QPointer<TMDIChild> programView_;
    QPointer<TEEDataForm> eepromView_;
    MainActions actions_;
    EngineeringControls engineering_;
    std::set<const QObject*> bound_;
    std::map<const QObject*, std::function<void()>> doubleClicks_;
    std::map<std::string, QLabel*> labels_;
    QMenu* recentMenu_ = nullptr;
    RecentFiles* recent_ = nullptr;
    DataFileWatch* watch_ = nullptr;
    QPushButton* reloadButton_ = nullptr;
};

}  // namespace qzr::gui
