// Writer jobs seen from the main window: each works on a snapshot of the state and its result is applied on
// the UI thread when it has ended; the window stays usable meanwhile, commands wait for the job, and the
// modal windows run their real exec() loops.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "core/image/MemoryImage.h"
#include "core/options/Options.h"
#include "core/writer/Clock.h"
#include "core/writer/VirtualWriter.h"
#include "gui/GuiTestApp.h"
#include "gui/main/MainForm.h"
#include "gui/operations/ProgressDialog.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace {

using qzr::gui::TMainForm;
using qzr::test::waitFor;

// A virtual writer behind a gate: until the gate opens nothing it says arrives (a silent writer). A wait for
// input blocks on the gate for at most its time-out, so nothing spins.
class GatePort final : public qzr::CommPort {
  public:
    explicit GatePort(std::shared_ptr<qzr::VirtualWriter> box) : box_(std::move(box)) {}
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }

    void SetDeviceName(const std::string& name) override { box_->SetDeviceName(name); }
    std::string DeviceName() const override { return box_->DeviceName(); }
    void SetFlowControl(qzr::TFlowControl flow) override { box_->SetFlowControl(flow); }
    void Open() override { box_->Open(); }
    void Close() override { box_->Close(); }
    bool Enabled() const override { return box_->Enabled(); }
    int LastOpenError() const override { return box_->LastOpenError(); }
    void PurgeIn() override { box_->PurgeIn(); }
    void PurgeOut() override { box_->PurgeOut(); }
    int Write(const uint8_t* buffer, int count) override { return box_->Write(buffer, count); }
    int Read(uint8_t* buffer, int count) override { return isOpen() ? box_->Read(buffer, count) : 0; }
    int InQueCount() override { return isOpen() ? box_->InQueCount() : 0; }
    bool Cts() override { return box_->Cts(); }
    bool WaitForInput(int timeoutMs) override {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return open_; }))
            return false;
        lock.unlock();
        return box_->WaitForInput(timeoutMs);
    }

  private:
    bool isOpen() {
        std::lock_guard lock(mutex_);
        return open_;
    }
    std::shared_ptr<qzr::VirtualWriter> box_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// A main window whose port is a gated virtual writer (every port entry opens it).
struct GatedWindow {
    qzr::test::TempDir dir;
    qzr::test::RecordingUi ui;
    std::shared_ptr<qzr::VirtualWriter> box = std::make_shared<qzr::VirtualWriter>();
    std::shared_ptr<GatePort> gate = std::make_shared<GatePort>(box);
    std::unique_ptr<TMainForm> form;

    GatedWindow() {
        qzr::test::guiApp();
        ::setenv("QZR_COM1", "virtual", 1);
        form = std::make_unique<TMainForm>(nullptr, dir.path().string(), &ui);
        box->insertChipFor(form->state().device);
        form->state().link.portFactory = [this](const std::string&) { return gate; };
    }
    ~GatedWindow() {
        gate->open();
        form->close();
    }
};

// With a writer that does not answer, the window is shown and usable at once: the menus work, a writer
// command waits for the check, and a close stops the check and closes (the configuration is written, no
// "Connect" message comes).
TEST(WriterJobs, TheWindowIsUsableAndClosesWhileTheStartUpCheckWaitsForASilentWriter) {
    GatedWindow w;
    qzr::FakeClock still;  // the writer's second never runs out: only the close ends the check
    w.form->state().link.clock = &still;
    w.form->show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(w.form->writerBusy());
    EXPECT_TRUE(w.form->isVisible());
    EXPECT_TRUE(w.form->menuBar()->isEnabled());
    w.form->actions().ReadIC1->trigger();  // waits for the check: no read window, no message
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    EXPECT_TRUE(w.form->close());
    EXPECT_FALSE(w.form->isVisible());
    EXPECT_FALSE(w.form->writerBusy());
    EXPECT_TRUE(std::filesystem::exists(w.dir.path() / "Default.cfg"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.ui.log.empty()) << w.ui.log.front();
}

// A command that comes while a writer job runs (here Reload, during the check of a port change) waits until
// the job has ended: the data file is not loaded under the job, and it is loaded after it.
TEST(WriterJobs, ReloadDuringAWriterCheckWaitsForTheCheck) {
    GatedWindow w;
    w.gate->open();
    ASSERT_TRUE(qzr::test::showStarted(*w.form));
    w.form->findChild<QComboBox*>("ComboBox2")->setCurrentText("QZR-D10");  // 1024 words
    const auto data = w.dir.path() / "prog.bin";
    std::ofstream(data, std::ios::binary) << std::string(2048, '\0');
    w.form->loadFile(QString::fromStdString(data.string()));
    std::ofstream(data, std::ios::binary) << std::string(2048, '\x01');  // rebuilt on disk

    auto gate = std::make_shared<GatePort>(w.box);  // the next port: silent until opened
    w.form->state().link.portFactory = [gate](const std::string&) { return gate; };
    const qzr::Word before = w.form->state().image.programWord(0);
    bool loadedUnderTheCheck = true;
    QTimer::singleShot(0, w.form.get(), [&] {
        w.form->findChild<QPushButton*>("btReload")->click();
        loadedUnderTheCheck = w.form->state().image.programWord(0) != before;
        gate->open();
    });
    w.form->findChild<QComboBox*>("ComboBox1")->setCurrentText("Com2");
    ASSERT_TRUE(waitFor([&] { return !w.form->writerBusy(); }));
    EXPECT_FALSE(loadedUnderTheCheck);
    EXPECT_NE(w.form->state().image.programWord(0), before) << "loaded once the check had ended";
    EXPECT_EQ(w.ui.log, (std::vector<std::string>{"Connect OK!"}));
}

// The writer check inside the progress dialog switches a fast writer's handshake to "None": the handshake
// list shows it when the run's result is applied (the refresh is not lost), and the next port change keeps
// it.
TEST(WriterJobs, TheHandshakeListFollowsTheCheckInsideTheProgressDialog) {
    qzr::test::guiApp();
    ::setenv("QZR_COM1", "virtual:new-chip", 1);
    qzr::test::TempDir dir;
    qzr::test::RecordingUi ui;
    TMainForm form(nullptr, dir.path().string(), &ui);
    ASSERT_TRUE(qzr::test::showStarted(form));
    auto* handshake = form.findChild<QComboBox*>("HandShake");
    handshake->setCurrentText("CTS");  // a known writer: the check keeps the choice
    ASSERT_TRUE(waitFor([&] { return !form.writerBusy(); }));
    ASSERT_EQ(form.state().link.handshake, "CTS");
    form.state().link.writerVersion.clear();  // another writer: identified again at the next check
    ui.log.clear();

    qzr::test::ModalAnswers exitWhenDone([](QDialog& d) {
        ASSERT_TRUE(qzr::test::progressRunEnded(d));
        d.findChild<QPushButton*>("btExit")->click();
    });
    form.actions().BlankCheckAction->trigger();
    EXPECT_EQ(exitWhenDone.shown, 1);
    EXPECT_EQ(form.state().link.handshake, "None");
    EXPECT_EQ(handshake->currentText(), "None");
    form.findChild<QComboBox*>("ComboBox1")->setCurrentText("Com2");
    form.findChild<QComboBox*>("ComboBox1")->setCurrentText("Com1");
    ASSERT_TRUE(waitFor([&] { return !form.writerBusy(); }));
    EXPECT_EQ(form.state().link.handshake, "None");
    form.close();
}

}  // namespace
