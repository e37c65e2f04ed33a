#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>

#include "app/ui/MainForm.h"

namespace {

int argc = 1;
char arg0[] = "test_gui";
char* argv[] = {arg0, nullptr};

TEST(MainForm, StartsWithTitleAndDeviceList) {
    QApplication app(argc, argv);
    qzr::gui::TMainForm form;
    form.show();
    EXPECT_EQ(form.windowTitle(), "QZR Writer V2.77");
    auto* devices = form.findChild<QComboBox*>("ComboBox2");
    ASSERT_NE(devices, nullptr);
    ASSERT_EQ(devices->count(), 59);
    EXPECT_EQ(devices->currentText(), "QZR-D01");
    EXPECT_EQ(devices->itemText(58), "QZR-D59");
    devices->setCurrentIndex(9);
    EXPECT_EQ(form.state().device.deviceName, "QZR-D10");
}

}  // namespace
