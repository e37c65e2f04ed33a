#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/DataCommands.h"
#include "app/MainState.h"

class QAction;
class QComboBox;
class QFileSystemWatcher;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPushButton;
class QToolButton;

namespace qzr::gui {

class FileChooser;
class GuiUserInterface;
class TMDIChild;
class TEEDataForm;

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
    QMdiArea* mdiArea() const { return mdi_; }

    // The production log file was set in the settings dialog: kept in the user's settings, shown in the
    // status bar.
    void productionLogChanged();

    // Loads a data or configuration file as "&Load Data" does with it chosen (drop, recent files, reload).
    void loadFile(const QString& path);

    // The file and edit commands (menu, toolbar and shortcuts call these).
    void FileOpen1Execute();
    void SaveProgramMemory1Click();
    void LoadConfig1Click();
    void FileSaveItemClick();
    void ProgramMemory1Click();
    void EEPROM1Click();
    void ClearOPTION1Click();
    void ClearID1Click();
    void ClearBuffer1Click();
    void ClearEEPROMBuffer1Click();
    void LoadQTPFile1Click();

    // --- for the windows built in other files (MainFormCommands.h) ---
    // Registers what a command does, by the name of its menu entry, button or control ("Label3" for the
    // double-click on "Serial Port :", "PulseWidth" / "EraseWidth" for a change of their text). A command
    // without one says that it is not in this version yet. Handlers run guarded (a writer error shows its
    // text).
    void setCommand(const QString& name, std::function<void()> handler);
    QAction* action(const QString& name) const;
    FileChooser& chooser() const { return *chooser_; }
    // Puts a view into the multiple-document area, freed when closed.
    QMdiSubWindow* addChild(QWidget* view, const QSize& size);
    // The main window's labels and status bar from the state.
    void refreshLabels();
    void refreshStatus();
    // Runs `task` (which may wait on the writer) off the UI thread; the window keeps painting with its
    // controls disabled until the task ends. An exception of the task is thrown here.
    void runWriterTask(const std::function<void()>& task);
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

    void buildMenus();
    void buildToolBar();
    void buildPanel();
    void buildStatusBar();
    QAction* menuAction(QMenu* menu, const char* name, const QString& caption, void (TMainForm::*handler)(),
                        const QKeySequence& shortcut = {});
    QAction* toolAction(const char* name, const QString& hint, void (TMainForm::*handler)());
    void runCommand(const QString& name, const QString& caption);

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
    void refreshPortTips();

    // Recent files and the data-file watch.
    void rememberRecent(const QString& path);
    void rebuildRecentMenu();
    void watchDataFile();
    void dataFileChanged();

    MainState st_;
    ViewHooks nullViews_;
    std::unique_ptr<Views> views_;
    std::unique_ptr<FileChooser> ownChooser_;
    FileChooser* chooser_ = nullptr;
    GuiUserInterface* gui_ = nullptr;
    bool taskRunning_ = false;
    bool dataFileStale_ = false;
    qint64 watchedStamp_ = 0;  // modification time and size of the data file when it was loaded or saved

    QMdiArea* mdi_ = nullptr;
    QComboBox* comboBox1_ = nullptr;
    QComboBox* handShake_ = nullptr;
    QComboBox* comboBox2_ = nullptr;
    QPointer<TMDIChild> programView_;
    QPointer<TEEDataForm> eepromView_;
    std::map<std::string, QAction*> actions_;
    std::map<QString, std::function<void()>> commands_;
    std::map<std::string, QLabel*> labels_;
    QMenu* recentMenu_ = nullptr;
    QWidget* panel2_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    QPushButton* reloadButton_ = nullptr;
};

}  // namespace qzr::gui
