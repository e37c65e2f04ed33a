#include <gtest/gtest.h>

#include <QLabel>

#include "GuiTestApp.h"
#include "gui/common/LogoForm.h"

namespace qzr::gui {
namespace {

TEST(LogoForm, ShowsTheProgramsPictureOrAPlainBanner) {
    test::guiApp();
    EXPECT_FALSE(QPixmap(kLogoPicturePath).isNull());  // the resource is linked in and JPEG can be read
    for (const char* path : {kLogoPicturePath, ":/images/missing.jpg"}) {
        TLogoForm form(nullptr, path);
        EXPECT_EQ(form.objectName(), "TLogoForm");
        EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
        auto* image = form.findChild<QLabel*>("Image1");
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->pixmap().size(), QSize(400, 240)) << path;
        form.showNow();
        EXPECT_TRUE(form.isVisible());
    }
    EXPECT_EQ(logoPicture().size(), QSize(400, 240));
}

}  // namespace
}  // namespace qzr::gui
