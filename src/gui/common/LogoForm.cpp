#include "gui/common/LogoForm.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

// The picture is a resource of the static GUI library; naming its initialiser keeps the linker from dropping
// it.
static void initLogoResource() {
    Q_INIT_RESOURCE(logo);
}

namespace qzr::gui {

namespace {
constexpr int kBannerWidth = 400;
constexpr int kBannerHeight = 240;

QPixmap plainBanner() {
    QPixmap banner(kBannerWidth, kBannerHeight);
    banner.fill(QColor(14, 40, 96));
    QPainter p(&banner);
    QFont font = p.font();
    font.setPointSize(28);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(banner.rect(), Qt::AlignCenter, QStringLiteral("QZR Writer"));
    return banner;
}
}  // namespace

QPixmap logoPicture(const QString& path) {
    initLogoResource();
    QPixmap picture(path);
    return picture.isNull() ? plainBanner() : picture;
}

TLogoForm::TLogoForm(QWidget* parent, const QString& picturePath)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("TLogoForm"));
    const QPixmap picture = logoPicture(picturePath);
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(picture);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(image);
    setFixedSize(picture.size());
    if (QScreen* s = screen()) move(s->geometry().center() - rect().center());
}

void TLogoForm::showNow() {
    show();
    raise();
    repaint();
    QApplication::processEvents();
}

}  // namespace qzr::gui
