#include "gui/main/MainForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "app/BufferCommands.h"
#include "app/ConfigCommands.h"
#include "app/DataCommands.h"
#include "app/DeviceCommands.h"
#include "app/JournalCommands.h"
#include "app/OptionCommands.h"
#include "app/PortCommands.h"
#include "app/QtpCommands.h"
#include "app/ShellCommands.h"
#include "core/common/FileIo.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/DataLoad.h"
#include "core/image/DataSave.h"
#include "core/options/IdCode.h"
#include "core/options/Options.h"
#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"
#include "core/writer/CommLink.h"
#include "core/writer/PortNames.h"
#include "gui/common/AppIcon.h"
#include "gui/common/FileChooser.h"
#include "gui/common/Guarded.h"
#include "gui/common/Text.h"
#include "gui/image/BufferViews.h"
#include "gui/main/DataFileWatch.h"
#include "gui/main/GuiUserInterface.h"
#include "gui/main/MainFormCommands.h"
#include "gui/main/MainFormLayout.h"
#include "gui/main/RecentFiles.h"
#include "gui/main/WriterJobRunner.h"

namespace qzr::gui {

namespace {
const char* const kProductionLogKey = "productionLog";
const char* const kJournalKey = "productionJournal";
const char* const kVoidFailedKey = "voidFailedNumbers";
const char* const kGeometryKey = "mainWindowGeometry";

// A tip is read as markup when it looks like markup: a path is made a paragraph of escaped text.
QString plainTip(const QString& text) {
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
}
}  // namespace

TMainForm::TMainForm(QWidget* parent, const std::string& startupDirectory, UserInterface* ui)
    : QMainWindow(parent), views_(makeViews(*this)) {
    setObjectName("TMainForm");
    installApplicationIcon();
    setWindowTitle(QString("QZR Writer V") + kVersionText);
    setAcceptDrops(true);
    if (!startupDirectory.empty()) st_.startupDirectory = startupDirectory;
    gui_ = new GuiUserInterface(this, ui);
    st_.ui = gui_;
    st_.views = views_.get();
    ownChooser_ = std::make_unique<DialogFileChooser>();
    chooser_ = ownChooser_.get();
    jobs_ = new WriterJobRunner(st_, this);

    mdi_ = new QMdiArea(this);
    mdi_->setObjectName("MDIArea");
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(4, 4, 4, 4);
    buildMenus();
    buildToolBar();
    buildPanel();
    // The left panel scrolls when the screen is lower than it (the engineering panel makes it taller), so
    // the window never has to outgrow the screen.
    auto* panelScroll = new QScrollArea(central);
    panelScroll->setObjectName("Panel1Scroll");
    panelScroll->setFrameShape(QFrame::NoFrame);
    panelScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    panelScroll->setWidgetResizable(true);
    QWidget* panel1 = findChild<QWidget*>("Panel1");
    panelScroll->setWidget(panel1);
    panelScroll->setFixedWidth(panel1->width() +
                               panelScroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2);
    row->addWidget(panelScroll);
    row->addWidget(mdi_, 1);
    setCentralWidget(central);
    buildStatusBar();
    recent_ = new RecentFiles(
        recentMenu_, [this](const QString& path) { guarded([&] { loadFile(path); }); }, this);
    watch_ = new DataFileWatch([this] { refreshStatus(); }, this);

    showSelections();
    refreshLabels();
    refreshDeviceCommands();
    actions_.FileSaveAsItem->setEnabled(false);
    st_.operation.productionLogPath = userSettings().value(kProductionLogKey).toString().toStdString();
    st_.journal.enabled = true;
    st_.journal.askReuse = true;
    st_.journal.path = userSettings().value(kJournalKey).toString().toStdString();
    st_.journal.voidFailed = userSettings().value(kVoidFailedKey, false).toBool();
    installOwnCommands();
    installProjectCommands(*this);
    installWriterCommands(*this);
    // The lists are commands too: a choice made while a writer job runs is taken when it has ended.
    connect(comboBox2_, &QComboBox::currentIndexChanged, this,
            [this] { runCommand([this] { ComboBox2Change(); }); });
    for (QComboBox* list : {comboBox1_, handShake_})
        connect(list, &QComboBox::currentIndexChanged, this,
                [this] { runCommand([this] { ComboBox1Change(); }); });
    placeOnScreen();
}

void TMainForm::placeOnScreen() {
    const QByteArray saved = userSettings().value(kGeometryKey).toByteArray();
    restoreGeometry(saved);  // where the window was left, if it was
    const QRect room = screen() ? screen()->availableGeometry() : QRect(0, 0, 1300, 800);
    // Before the first show the frame is not known yet: room is left for a usual one.
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isEmpty()) frame = QSize(16, 48);
    // Otherwise the described 1300 x 800; either as far as the screen holds it, and on it.
    const QSize size =
        (saved.isEmpty() ? QSize(1300, 800) : geometry().size()).boundedTo(room.size() - frame);
    QRect g(saved.isEmpty() ? QPoint(room.left() + (room.width() - size.width() - frame.width()) / 2,
                                     room.top() + (room.height() - size.height() - frame.height()) / 2)
                            : geometry().topLeft(),
            size);
    const QRect inner = room.adjusted(0, 0, -frame.width(), -frame.height());
    if (g.right() > inner.right()) g.moveRight(inner.right());
    if (g.bottom() > inner.bottom()) g.moveBottom(inner.bottom());
    g.moveTopLeft(QPoint(std::max(g.left(), inner.left()), std::max(g.top(), inner.top())));
    setGeometry(g);
}

void TMainForm::setDeviceDirectory(const std::string& devDir) {
    devDir_ = devDir;
    refreshPortList();
}

TMainForm::~TMainForm() {
    // A job still running is stopped and joined first: its messages go to a user interface that goes next.
    delete jobs_;
    jobs_ = nullptr;
    // The views go before the state they show; nothing may call back into this window afterwards.
    st_.views = &nullViews_;
    delete mdi_;
    mdi_ = nullptr;
}

void TMainForm::setFileChooser(FileChooser* chooser) {
    chooser_ = chooser ? chooser : ownChooser_.get();
}

// --- the wiring ---

void TMainForm::bind(QAction* action, std::function<void()> handler, Waits waits) {
    bound_.insert(action);
    if (waits == Waits::never) {
        connect(action, &QAction::triggered, this, [this, h = std::move(handler)] { guarded(h); });
        return;
    }
    connect(action, &QAction::triggered, this, [this, h = std::move(handler)] { runCommand(h); });
}

void TMainForm::bind(QPushButton* button, std::function<void()> handler) {
    bound_.insert(button);
    connect(button, &QPushButton::clicked, this, [this, h = std::move(handler)] { runCommand(h); });
}

void TMainForm::bind(QLineEdit* field, std::function<void()> handler) {
    bound_.insert(field);
    connect(field, &QLineEdit::textChanged, this, [this, h = std::move(handler)] { runCommand(h); });
}

void TMainForm::bindDoubleClick(QWidget* target, std::function<void()> handler) {
    bound_.insert(target);
    doubleClicks_[target] = std::move(handler);
    target->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (const auto it = doubleClicks_.find(watched); it != doubleClicks_.end()) {
            runCommand(it->second);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::guarded(const std::function<void()>& handler) {
    gui::guarded(*st_.ui, handler);
}

// --- writer jobs and the commands that wait for them ---

bool TMainForm::writerBusy() const {
    return (jobs_ && jobs_->running()) || jobLocks_ > 0;
}

void TMainForm::runCommand(const std::function<void()>& handler) {
    if (writerBusy()) {
        waiting_.push_back(handler);
        return;
    }
    guarded(handler);
}

void TMainForm::runWaitingCommands() {
    while (!waiting_.empty() && !writerBusy()) {
        const std::function<void()> next = std::move(waiting_.front());
        waiting_.pop_front();
        guarded(next);
    }
}

TMainForm::JobLock::JobLock(TMainForm& form) : form_(form) {
    ++form_.jobLocks_;
}

TMainForm::JobLock::~JobLock() {
    --form_.jobLocks_;
    // Queued: the window that held the lock is still on the stack.
    QMetaObject::invokeMethod(
        &form_, [f = &form_] { f->runWaitingCommands(); }, Qt::QueuedConnection);
}

void TMainForm::runWriterJob(JobScope scope, const WriterJob::Work& work) {
    jobs_->run(scope, work);
    refreshStatus();
    QMetaObject::invokeMethod(
        this, [this] { runWaitingCommands(); }, Qt::QueuedConnection);
}

void TMainForm::startWriterCheck(bool startup) {
    auto check =
        startup ? WriterJob::Work(
                      [](MainState& s, const std::atomic<bool>& stop) { StartupConnection(s, &stop); })
                : WriterJob::Work([](MainState& s, const std::atomic<bool>& stop) { PortChanged(s, &stop); });
    jobs_->start(JobScope::Link, std::move(check), [this] {
        showSelections();
        refreshStatus();
        runWaitingCommands();
    });
    refreshStatus();
}

void TMainForm::installOwnCommands() {
    const MainActions& a = actions_;
    for (QAction* open : {a.FileOpen1}) bind(open, [this] { FileOpen1Execute(); });
    for (QAction* save : {a.SaveProgramMemory1, a.tbSaveProgramMemory})
        bind(save, [this] { SaveProgramMemory1Click(); });
    for (QAction* load : {a.LoadConfig1, a.tbLoadConfig}) bind(load, [this] { LoadConfig1Click(); });
    for (QAction* save : {a.FileSaveItem, a.tbSaveConfig}) bind(save, [this] { FileSaveItemClick(); });
    bind(a.ProgramMemory1, [this] { ProgramMemory1Click(); });
    bind(a.EEPROM1, [this] { EEPROM1Click(); });
    bind(a.LoadQTPFile1, [this] { LoadQTPFile1Click(); });
    bind(a.ClearOPTION1, [this] { ClearOption(st_); });
    bind(a.ClearID1, [this] { ClearId(st_); });
    bind(a.ClearBuffer1, [this] {
        ClearBuffer(st_);
        watch_->watch(qs(st_.dataFileName));
        refreshStatus();
    });
    bind(a.ClearEEPROMBuffer1, [this] { ClearEepromBuffer(st_); });
}

// --- file commands ---

void TMainForm::fileLoaded(bool loaded, const QString& path) {
    if (loaded) recent_->remember(path);
    watch_->watch(qs(st_.dataFileName));
    refreshStatus();
}

void TMainForm::FileOpen1Execute() {
    const FileDialogRequest request{"Open File",
                                    {"QZR bin (*.bin)", "QZR hex (*.mhx)", "PIC obj (*.obj)",
                                     "PIC hex (*.hex)", "Config file (*.cfg)", "All File (*.*)"},
                                    1,
                                    "bin",
                                    {}};
    const auto choice = chooser_->openFile(this, request);
    std::optional<std::string> chosen;
    if (choice) chosen = choice->path.toStdString();
    const bool loaded = qzr::FileOpen1Execute(st_, chosen);
    fileLoaded(loaded, loaded ? choice->path : QString());
}

void TMainForm::loadFile(const QString& path) {
    const std::string name = path.toStdString();
    const bool loaded = dataFileKind(name) == DataFileKind::cfg ? LoadConfigFile(st_, name)
                                                                : qzr::FileOpen1Execute(st_, name);
    fileLoaded(loaded, path);
}

void TMainForm::SaveProgramMemory1Click() {
    const FileDialogRequest request{"Save program memory buffer",
                                    {"QZR Hex files (*.mhx)", "QZR Bin files (*.bin)"},
                                    2,
                                    "bin",
                                    qs(dialogInitialName(st_.dataFileName))};
    const auto choice = chooser_->saveFile(this, request);
    if (!choice) return;
    // A typed .mhx or .bin decides; the filter only proposes.
    const auto format = chosenSaveFormat(
        choice->path.toStdString(), choice->filterIndex == 1 ? DataSaveFormat::hex : DataSaveFormat::binary);
    if (SaveProgramMemory(st_.device, st_.image, *st_.ui, choice->path.toStdString(), format) &&
        QFileInfo(choice->path) == QFileInfo(qs(st_.dataFileName))) {
        watch_->watch(qs(st_.dataFileName));  // our own write is no change on disk to report
        refreshStatus();
    }
}

void TMainForm::LoadConfig1Click() {
    const FileDialogRequest request{
        "Load Configuration", {"Config files (*.cfg)", "QTP file (*.txt)"}, 1, "cfg", {}};
    const auto choice = chooser_->openFile(this, request);
    if (!choice) return;
    fileLoaded(qzr::LoadConfig1Click(st_, choice->path.toStdString(), choice->filterIndex), choice->path);
}

void TMainForm::FileSaveItemClick() {
    const FileDialogRequest request{"Save Configuration",
                                    {"Config files (*.cfg)", "QTP files (*.txt)"},
                                    1,
                                    "cfg",
                                    qs(dialogInitialName(st_.dataFileName))};
    const auto choice = chooser_->saveFile(this, request);
    if (!choice) return;
    if (qzr::FileSaveItemClick(st_, choice->path.toStdString(), choice->filterIndex))
        recent_->remember(choice->path);
}

void TMainForm::LoadQTPFile1Click() {
    qzr::LoadQTPFile1Click(st_, [this]() -> std::optional<QtpFileChoice> {
        const FileDialogRequest request{
            "Open QTP File", {"Config files (*.cfg)", "QTP file (*.txt)"}, 2, "txt", {}};
        const auto choice = chooser_->openFile(this, request);
        if (!choice) return std::nullopt;
        return QtpFileChoice{choice->path.toStdString(), choice->filterIndex};
    });
}

void TMainForm::productionLogChanged() {
    QSettings settings = userSettings();
    settings.setValue(kProductionLogKey, qs(st_.operation.productionLogPath));
    settings.setValue(kJournalKey, qs(st_.journal.path));
    settings.setValue(kVoidFailedKey, st_.journal.voidFailed);
    refreshStatus();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().front().isLocalFile())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) return;
    event->acceptProposedAction();
    runCommand([this, path = urls.front().toLocalFile()] { loadFile(path); });
}

// --- what the main window shows ---

void TMainForm::refreshLabels() {
    const OptionState& o = st_.options;
    for (int k = 0; k < 13; ++k) {
        const OptionItemView& item = o.items[static_cast<std::size_t>(k)];
        QLabel* caption = labels_[optionCaptionName(k).toStdString()];
        caption->setText(qs(item.caption));
        caption->setVisible(item.captionVisible);
        caption->setEnabled(item.captionEnabled);
        QLabel* v = labels_[optionValueName(k).toStdString()];
        v->setText(qs(item.valueText));
        v->setVisible(item.valueVisible);
        v->setEnabled(item.valueEnabled);
    }
    labels_["stOptionValue"]->setText(qs(o.optionValueText));
    labels_["stChecksum"]->setText(qs(o.memoryChecksumText));
    labels_["lbChecksumWithOptCaption"]->setText(qs(o.optionChecksumCaption));
    labels_["stChecksumWithOpt"]->setText(qs(o.optionChecksumText));
    labels_["stChecksumProtect"]->setText(qs(o.protectChecksumText));
    labels_["stChecksumInIC"]->setText(QString::fromLatin1(o.idChecksumText.c_str()));
    labels_["lbID"]->setText(QString::fromLatin1(o.idText.c_str()));
    labels_["Label1"]->setText(qs(serialModeLabel(st_.serial)));
    showQtpFileLabel();
    labels_["stSerialNo"]->setText(qs(st_.serial.serialNoText));
    labels_["lbLotCounts"]->setText(qs(lotCountsText(st_)));
    labels_["Label13"]->setText(qs(st_.serial.passCountText));
}

void TMainForm::enableSingleAreaCommands(bool enabled, bool menuItemsToo) {
    const MainActions& a = actions_;
    for (QAction* b : {a.tbProgramID, a.tbProgramMemory, a.tbProgramOption}) b->setEnabled(enabled);
    if (menuItemsToo)
        for (QAction* m : {a.ID3, a.ProgramMemory2, a.OPTION3}) m->setEnabled(enabled);
}

void TMainForm::refreshDeviceCommands() {
    const MainActions& a = actions_;
    a.Erase->setEnabled(st_.device.isFlash());
    const bool eeprom = st_.device.hasEeprom();
    for (QAction* c : {a.tbWriteEEPROM, a.WriteEE, a.ClearEEPROMBuffer1, a.FillEEPROMBuffer1})
        c->setEnabled(eeprom);
}

void TMainForm::refreshStatus() {
    labels_["lbStatusDevice"]->setText("Device: " + qs(st_.device.deviceName));
    // The port with the device behind it, and why it is not open.
    QString port = "Port: " + qs(st_.link.portName);
    const std::string device = resolvePortEntry(st_.link.portEntry, devDir_);
    if (isVirtualPortEntry(device)) {
        port += " (virtual writer)";
    } else if (device != st_.link.portEntry) {
        port += " = " + qs(device);
    }
    if (st_.link.portError) {
        // (The port is asked only while no writer job may be opening it.)
        const int error = st_.link.Comm1 && !writerBusy() ? st_.link.Comm1->LastOpenError() : 0;
        port += error ? " (not open: " + QString::fromLocal8Bit(std::strerror(error)) + ")"
                      : QString(" (not open)");
    }
    labels_["lbStatusPort"]->setText(port);
    labels_["lbStatusWriter"]->setText(
        "Writer: " + (st_.link.writerIdText.empty() ? QString("none") : qs(st_.link.writerIdText).trimmed()));
    labels_["lbStatusLog"]->setText(
        st_.operation.productionLogPath.empty() ? QString() : "Log: " + qs(st_.operation.productionLogPath));
    QString data = qs(damagedDataNote(st_));
    if (watch_->stale()) {
        if (!data.isEmpty()) data += "  ";
        data += "\"" + QFileInfo(qs(st_.dataFileName)).fileName() + "\" changed on disk.";
    }
    labels_["lbStatusData"]->setText(data);
    reloadButton_->setVisible(watch_->stale());
}

// --- start-up and shut-down ---

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!st_.firstShowDone) guarded([this] { FormShow(); });
}

void TMainForm::FormShow() {
    st_.info = InfoSheetTexts{};
    FirstShow(st_);
    journalAtStart(st_);  // tells once of chips a stopped program left unfinished
    // The program memory view at the top left, the other windows of the start beside it, one under another.
    if (programView_) {
        QWidget* program = programView_->parentWidget();
        program->move(0, 0);
        int y = 0;
        for (QMdiSubWindow* w : mdi_->subWindowList()) {
            if (w == program) continue;
            w->move(program->width() + 6, y);
            y += w->height() + 6;
        }
        mdi_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(program));
    }
    watch_->watch(qs(st_.dataFileName));
    // The window is shown and usable at once; the writer commands wait until the check has ended.
    startWriterCheck(true);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (jobLocks_ > 0 || (jobs_->running() && !jobs_->stoppable())) {
        // A window of the writer at work is open: it is closed first.
        event->ignore();
        return;
    }
    userSettings().setValue(kGeometryKey, saveGeometry());
    // A writer check in the background is stopped (within one wait) and what it did applied, so the port
    // it opened is closed with the others.
    waiting_.clear();  // the commands that waited for it are dropped with the window
    jobs_->stop();
    guarded([this] { FormClose(st_); });
    event->accept();
}

// --- the lists ---

void TMainForm::showSelections() {
    const QSignalBlocker b2(comboBox2_), b3(handShake_);
    comboBox2_->setCurrentText(qs(st_.deviceListText));
    refreshPortList();
    handShake_->setCurrentText(qs(st_.link.handshake));
    refreshStatus();
}

void TMainForm::refreshPortList() {
    const QSignalBlocker block(comboBox1_);
    comboBox1_->clear();
    int index = -1;
    for (const PortListEntry& e : portListEntries(devDir_)) {
        if (samePortEntry(e.entry, st_.link.portEntry)) index = comboBox1_->count();
        comboBox1_->addItem(qs(e.entry));
    }
    if (index < 0) {
        index = comboBox1_->count();
        comboBox1_->addItem(qs(st_.link.portEntry));  // a device path or "virtual"
    }
    comboBox1_->setCurrentIndex(index);
    refreshPortTips();
}

void TMainForm::refreshPortTips() {
    for (int i = 0; i < comboBox1_->count(); ++i) {
        const std::string entry = comboBox1_->itemText(i).toStdString();
        const std::string resolved = resolvePortEntry(entry, devDir_);
        QString tip;
        if (isVirtualPortEntry(resolved)) {
            tip = "virtual writer";
        } else if (resolved == entry && comPortNumber(entry)) {
            tip = "no serial device";
        } else {
            std::error_code ec;
            const auto target = std::filesystem::canonical(resolved, ec);
            tip = qs(resolved);
            if (!ec && target.string() != resolved) tip += " = " + qs(target.string());
        }
        comboBox1_->setItemData(i, plainTip(tip), Qt::ToolTipRole);
    }
}

void TMainForm::showQtpFileLabel() {
    QLabel* label = labels_["Label19"];
    const SerialNumberState& s = st_.serial;
    if (!s.qtpFileOpen || s.qtpFilePath.empty()) {
        label->setText(qs(qtpFileLabel(s)));
        label->setToolTip(QString());
        return;
    }
    const QFileInfo file(qs(s.qtpFilePath));
    const QString folder = QDir::toNativeSeparators(file.absolutePath());
    const int room = std::max(label->contentsRect().width(), 140);
    label->setText(file.fileName() + "\n" + label->fontMetrics().elidedText(folder, Qt::ElideMiddle, room));
    label->setToolTip(plainTip(QDir::toNativeSeparators(file.absoluteFilePath())));
}

void TMainForm::ComboBox1Change() {
    st_.link.portEntry = comboBox1_->currentText().toStdString();
    st_.link.handshake = handShake_->currentText().toStdString();
    startWriterCheck(false);
}

void TMainForm::ComboBox2Change() {
    selectDevice(st_, comboBox2_->currentText().toStdString());
    refreshStatus();
}

}  // namespace qzr::gui
