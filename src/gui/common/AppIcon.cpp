#include "gui/common/AppIcon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

// The resource lives in a static library: registered by name before its first use.
static void initAppIconResource() {
    Q_INIT_RESOURCE(app_icon);
}

namespace qzr::gui {

namespace {

// The picture of data/icons/qzr-writer.svg on its 256 x 256 grid: a chip in the writer's socket, with the
// programming arrow.
void paintIcon(QPainter& p, const QRectF& target) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(target.topLeft());
    p.scale(target.width() / 256.0, target.height() / 256.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x8c));
    p.drawRoundedRect(QRectF(16, 16, 224, 224), 36, 36);
    p.setBrush(QColor(0xc9, 0xd3, 0xdf));
    for (int i = 0; i < 4; ++i) {
        p.drawRoundedRect(QRectF(58, 60 + 38 * i, 16, 22), 3, 3);
        p.drawRoundedRect(QRectF(182, 60 + 38 * i, 16, 22), 3, 3);
    }
    p.setBrush(QColor(0x20, 0x24, 0x2a));
    p.drawRoundedRect(QRectF(72, 48, 112, 160), 10, 10);
    p.setBrush(QColor(0x3a, 0x40, 0x49));
    p.drawEllipse(QPointF(94, 70), 8, 8);
    QPainterPath arrow;
    arrow.moveTo(128, 84);
    arrow.lineTo(128, 140);
    arrow.moveTo(102, 116);
    arrow.lineTo(128, 144);
    arrow.lineTo(154, 116);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x7f, 0xd3, 0x6b), 16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(arrow);
    QFont font("DejaVu Sans");
    font.setPixelSize(30);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(28, 160, 200, 40), Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("QZR"));
    p.restore();
}

class PaintedIconEngine final : public QIconEngine {
  public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        paintIcon(*painter, rect);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new PaintedIconEngine; }
    QString key() const override { return QStringLiteral("QzrPaintedIcon"); }
};

}  // namespace

QIcon applicationIcon() {
    initAppIconResource();
    QIcon svg(QStringLiteral(":/icons/qzr-writer.svg"));
    if (!svg.pixmap(QSize(32, 32)).isNull()) return svg;
    return QIcon(new PaintedIconEngine);
}

void installApplicationIcon() {
    QApplication::setWindowIcon(applicationIcon());
}

}  // namespace qzr::gui
