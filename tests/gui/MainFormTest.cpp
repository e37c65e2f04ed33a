#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <cstdlib>
#include <filesystem>

#include "GuiTestApp.h"
#include "app/ui/MainForm.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace {

QApplication& app() {
    return qzr::test::guiApp();
}

TEST(MainForm, StartsWithTitleAndDeviceList) {
    app();
    qzr::test::TempDir dir;
    qzr::test::RecordingUi ui;
    qzr::gui::TMainForm form(nullptr, dir.path().string(), &ui);
    EXPECT_EQ(form.windowTitle(), "QZR Writer V2.77");
    auto* devices = form.findChild<QComboBox*>("ComboBox2");
    ASSERT_NE(devices, nullptr);
    ASSERT_EQ(devices->count(), 59);
    EXPECT_EQ(devices->currentText(), "QZR-D01");
    EXPECT_EQ(devices->itemText(58), "QZR-D59");
    devices->setCurrentIndex(9);
    EXPECT_EQ(form.state().device.deviceName, "QZR-D10");
    auto* ports = form.findChild<QComboBox*>("ComboBox1");
    ASSERT_NE(ports, nullptr);
    EXPECT_EQ(ports->count(), 8);
    EXPECT_EQ(form.findChild<QComboBox*>("HandShake")->currentText(), "CTS");
}

// First show: Default.cfg of the start-up folder, then the writer on Com1; closing writes Default.cfg back.
TEST(MainForm, FirstShowConnectsAndClosingKeepsTheProject) {
    app();
    ::setenv("QZR_COM1", "virtual", 1);
    qzr::test::TempDir dir;
    {
        qzr::test::RecordingUi ui;
        qzr::gui::TMainForm form(nullptr, dir.path().string(), &ui);
        form.show();
        EXPECT_TRUE(ui.log.empty()) << ui.log.front();
        EXPECT_FALSE(form.state().link.portError);
        EXPECT_FALSE(form.state().link.writerIdText.empty());
        form.findChild<QComboBox*>("ComboBox2")->setCurrentText("QZR-D10");
        form.close();
    }
    ASSERT_TRUE(std::filesystem::exists(dir.path() / "Default.cfg"));
    {
        qzr::test::RecordingUi ui;
        qzr::gui::TMainForm form(nullptr, dir.path().string(), &ui);
        form.show();
        EXPECT_EQ(form.state().device.deviceName, "QZR-D10");
        EXPECT_EQ(form.findChild<QComboBox*>("ComboBox2")->currentText(), "QZR-D10");
        form.close();
    }
    ::unsetenv("QZR_COM1");
}

}  // namespace
