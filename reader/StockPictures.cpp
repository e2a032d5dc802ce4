#include "StockPictures.h"

#include <QApplication>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStyle>
#include <QStyleOption>

#include <cmath>

namespace folianto {

namespace {

// Every picture is drawn in a 24 x 24 box in the glossy desktop-icon manner: a gradient
// body lit from the top left, a dark outline, and a soft white sheen over the upper half.

QLinearGradient Vertical(qreal top, qreal bottom, const QColor& light, const QColor& dark)
{
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0, light);
    gradient.setColorAt(1, dark);
    return gradient;
}

void Sheen(QPainter& p, const QPainterPath& clip, const QRectF& area)
{
    p.save();
    p.setClipPath(clip, Qt::IntersectClip);
    QLinearGradient gloss(0, area.top(), 0, area.bottom());
    gloss.setColorAt(0, QColor(255, 255, 255, 200));
    gloss.setColorAt(1, QColor(255, 255, 255, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawEllipse(area);
    p.restore();
}

// A disc with its own light: bright near the top left, deep at the rim.
void GlossyDisc(QPainter& p, QPointF centre, qreal radius, const QColor& light, const QColor& base,
                const QColor& rim)
{
    QRadialGradient body(centre, radius, centre + QPointF(-radius * 0.35, -radius * 0.45));
    body.setColorAt(0, light);
    body.setColorAt(0.65, base);
    body.setColorAt(1, rim);
    p.setPen(QPen(rim.darker(140), 1.0));
    p.setBrush(body);
    p.drawEllipse(centre, radius, radius);
    QPainterPath disc;
    disc.addEllipse(centre, radius, radius);
    Sheen(p, disc, QRectF(centre.x() - radius * 0.72, centre.y() - radius * 0.95, radius * 1.44, radius * 1.0));
}

// A white sheet with a folded top-right corner and a few grey lines of text.
void DocumentPage(QPainter& p)
{
    QPainterPath sheet;
    sheet.moveTo(4.5, 1.5);
    sheet.lineTo(14.5, 1.5);
    sheet.lineTo(19.5, 6.5);
    sheet.lineTo(19.5, 22.5);
    sheet.lineTo(4.5, 22.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(110, 116, 126), 1.0));
    p.setBrush(Vertical(1.5, 22.5, QColor(255, 255, 255), QColor(220, 226, 234)));
    p.drawPath(sheet);

    QPainterPath fold;
    fold.moveTo(14.5, 1.5);
    fold.lineTo(14.5, 6.5);
    fold.lineTo(19.5, 6.5);
    fold.closeSubpath();
    p.setBrush(Vertical(1.5, 6.5, QColor(236, 238, 242), QColor(186, 192, 202)));
    p.drawPath(fold);

    p.setPen(QPen(QColor(170, 184, 204), 1.0));
    for (qreal y : {5.5, 8.5, 11.5})
        p.drawLine(QPointF(7, y), QPointF(y < 7 ? 12.5 : 17, y));
}

// A thick stroke with a dark edge, a gradient body and a bright line along its upper side.
void GlossyStroke(QPainter& p, const QPainterPath& path, qreal width, const QColor& light, const QColor& dark,
                  const QRectF& extent)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(dark.darker(160), width + 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(QBrush(Vertical(extent.top(), extent.bottom(), light, dark)), width, Qt::SolidLine,
                  Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(QColor(255, 255, 255, 110), width * 0.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path.translated(-width * 0.18, -width * 0.22));
}

void Cross(QPainter& p, QRectF box, qreal width)
{
    QPainterPath cross;
    cross.moveTo(box.topLeft());
    cross.lineTo(box.bottomRight());
    cross.moveTo(box.topRight());
    cross.lineTo(box.bottomLeft());
    GlossyStroke(p, cross, width, QColor(255, 110, 96), QColor(196, 16, 12), box.adjusted(0, -width, 0, width));
}

// A white arrow on a green disc, pointing left or (mirrored) right. The disc keeps its
// light from the top left either way.
void ArrowDisc(QPainter& p, bool right)
{
    GlossyDisc(p, QPointF(12, 12), 10.5, QColor(170, 236, 140), QColor(46, 160, 60), QColor(18, 100, 34));
    if (right) {
        p.translate(24, 0);
        p.scale(-1, 1);
    }
    QPolygonF arrow;
    arrow << QPointF(4.8, 12) << QPointF(11.6, 5.6) << QPointF(11.6, 9.4) << QPointF(18.6, 9.4)
          << QPointF(18.6, 14.6) << QPointF(11.6, 14.6) << QPointF(11.6, 18.4);
    p.setPen(QPen(QColor(14, 84, 28, 150), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(Vertical(5.6, 18.4, QColor(255, 255, 255), QColor(226, 240, 226)));
    p.drawPolygon(arrow);
}

void Refresh(QPainter& p)
{
    DocumentPage(p);
    const QPointF c(12.5, 15.0);
    const qreal r = 4.6;
    const QRectF circle(c.x() - r, c.y() - r, 2 * r, 2 * r);
    for (int half = 0; half < 2; ++half) {
        const qreal start = half == 0 ? 30 : 210;  // degrees, counter-clockwise from three o'clock
        QPainterPath arc;
        arc.arcMoveTo(circle, start);
        arc.arcTo(circle, start, 125);
        GlossyStroke(p, arc, 1.9, QColor(140, 226, 110), QColor(24, 128, 40), circle);

        // Arrow head at the arc's end, pointing on round the circle.
        const qreal end = (start + 125) * M_PI / 180;
        const QPointF tip(c.x() + r * std::cos(end), c.y() - r * std::sin(end));
        const QPointF along(-std::sin(end), -std::cos(end));  // direction of travel on screen
        const QPointF out(std::cos(end), -std::sin(end));
        QPolygonF head;
        head << tip + along * 2.6 << tip + out * 2.4 - along * 0.6 << tip - out * 2.4 - along * 0.6;
        p.setPen(QPen(QColor(12, 80, 24), 0.8, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
        p.setBrush(QColor(40, 150, 52));
        p.drawPolygon(head);
    }
}

void Home(QPainter& p)
{
    // Chimney first, so that the roof covers its foot.
    p.setPen(QPen(QColor(110, 40, 20), 1.0));
    p.setBrush(Vertical(4, 10, QColor(214, 110, 80), QColor(150, 56, 30)));
    p.drawRect(QRectF(15.5, 4.5, 2.8, 5.5));

    const QRectF walls(5.5, 11.0, 13.0, 10.5);
    p.setPen(QPen(QColor(116, 96, 68), 1.0));
    p.setBrush(Vertical(walls.top(), walls.bottom(), QColor(255, 252, 240), QColor(226, 214, 190)));
    p.drawRect(walls);
    p.setPen(QPen(QColor(90, 52, 20), 0.8));
    p.setBrush(Vertical(14.5, 21.5, QColor(196, 128, 64), QColor(120, 70, 28)));
    p.drawRect(QRectF(8.0, 14.5, 3.6, 7.0));
    p.setPen(QPen(QColor(70, 90, 120), 0.8));
    p.setBrush(Vertical(14, 18, QColor(220, 240, 255), QColor(120, 170, 220)));
    p.drawRect(QRectF(13.5, 14.0, 3.2, 3.2));

    QPainterPath roof;
    roof.moveTo(2.0, 12.5);
    roof.lineTo(12.0, 3.0);
    roof.lineTo(22.0, 12.5);
    roof.lineTo(20.0, 13.5);
    roof.lineTo(12.0, 6.0);
    roof.lineTo(4.0, 13.5);
    roof.closeSubpath();
    p.setPen(QPen(QColor(150, 60, 0), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(Vertical(3, 13.5, QColor(255, 196, 96), QColor(232, 104, 8)));
    p.drawPath(roof);
    Sheen(p, roof, QRectF(4, 1, 16, 9));
}

void Find(QPainter& p)
{
    // Handle first, then the lens over its end.
    QPainterPath handle;
    handle.moveTo(15.0, 15.0);
    handle.lineTo(20.8, 20.8);
    GlossyStroke(p, handle, 3.6, QColor(255, 186, 80), QColor(214, 96, 0), QRectF(15, 15, 6, 6));

    const QPointF c(9.5, 9.5);
    const qreal r = 6.6;
    QRadialGradient glass(c, r, c + QPointF(-2.2, -2.6));
    glass.setColorAt(0, QColor(255, 255, 255, 235));
    glass.setColorAt(1, QColor(150, 196, 236, 235));
    p.setPen(Qt::NoPen);
    p.setBrush(glass);
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(70, 78, 90), 3.0));
    p.drawEllipse(c, r, r);
    QConicalGradient metal(c, 135);
    metal.setColorAt(0, QColor(240, 244, 248));
    metal.setColorAt(0.5, QColor(130, 140, 152));
    metal.setColorAt(1, QColor(240, 244, 248));
    p.setPen(QPen(QBrush(metal), 1.8));
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(255, 255, 255, 210), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(c.x() - r + 2.2, c.y() - r + 2.2, 2 * r - 4.4, 2 * r - 4.4), 100 * 16, 60 * 16);
}

void Print(QPainter& p)
{
    // The sheet waiting at the back.
    p.setPen(QPen(QColor(120, 124, 132), 1.0));
    p.setBrush(Vertical(2, 10, QColor(255, 255, 255), QColor(228, 232, 238)));
    p.drawRect(QRectF(6.5, 2.5, 11.0, 8.0));

    QPainterPath body;
    body.addRoundedRect(QRectF(2.5, 9.0, 19.0, 9.5), 2.0, 2.0);
    p.setPen(QPen(QColor(70, 72, 78), 1.0));
    p.setBrush(Vertical(9, 18.5, QColor(236, 238, 240), QColor(136, 140, 148)));
    p.drawPath(body);
    Sheen(p, body, QRectF(2, 7.5, 20, 7));
    p.setPen(QPen(QColor(60, 62, 66), 1.2));
    p.drawLine(QPointF(5.5, 15.5), QPointF(18.5, 15.5));  // the paper slot
    p.setPen(QPen(QColor(20, 110, 30), 0.6));
    p.setBrush(QColor(90, 230, 90));
    p.drawEllipse(QPointF(18.3, 12.0), 1.0, 1.0);  // power light

    // The printed sheet coming out at the front.
    p.setPen(QPen(QColor(120, 124, 132), 1.0));
    p.setBrush(Vertical(15, 22.5, QColor(255, 255, 255), QColor(232, 236, 242)));
    p.drawRect(QRectF(6.5, 15.5, 11.0, 7.0));
    p.setPen(QPen(QColor(150, 166, 190), 1.0));
    p.drawLine(QPointF(8.5, 18.5), QPointF(15.5, 18.5));
    p.drawLine(QPointF(8.5, 20.5), QPointF(13.5, 20.5));
}

void About(QPainter& p)
{
    DocumentPage(p);
    QPainterPath mark;
    const QRectF bow(9.2, 9.6, 6.8, 6.4);
    mark.arcMoveTo(bow, 160);
    mark.arcTo(bow, 160, -235);  // over the top and round to the right-hand side
    mark.quadTo(QPointF(12.6, 16.6), QPointF(12.6, 18.2));
    GlossyStroke(p, mark, 2.2, QColor(110, 170, 255), QColor(20, 70, 190), QRectF(9, 9.6, 7, 9));
    p.setPen(QPen(QColor(14, 44, 120), 0.8));
    p.setBrush(Vertical(19.6, 22.2, QColor(110, 170, 255), QColor(20, 70, 190)));
    p.drawEllipse(QPointF(12.6, 20.9), 1.35, 1.35);
}

QImage Render(int command, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size.width() / qreal(kPictureSize), size.height() / qreal(kPictureSize));
    PaintStockPicture(painter, command);
    painter.end();
    return image;
}

class TStockPictureEngine : public QIconEngine {
public:
    explicit TStockPictureEngine(int command) : command_(command) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = pixmap(rect.size() * ratio, mode, state);
        picture.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect.topLeft(), picture);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State /*state*/) override
    {
        QPixmap result = QPixmap::fromImage(Render(command_, size));
        if (mode != QIcon::Normal) {
            QStyleOption option;
            option.palette = QApplication::palette();
            result = QApplication::style()->generatedIconPixmap(mode, result, &option);
        }
        return result;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new TStockPictureEngine(command_); }
    QString key() const override { return QStringLiteral("folianto-stock-picture"); }
    bool isNull() override { return false; }

private:
    int command_;
};

}  // namespace

void PaintStockPicture(QPainter& painter, int command)
{
    painter.save();
    switch (command) {
    case 0:
    case 1:
        ArrowDisc(painter, command == 1);
        break;
    case 2:
        DocumentPage(painter);
        Cross(painter, QRectF(10.5, 12.0, 8.0, 8.0), 2.6);
        break;
    case 3:
        Refresh(painter);
        break;
    case 4:
        Home(painter);
        break;
    case 5:
        Find(painter);
        break;
    case 6:
        Print(painter);
        break;
    case 8:
        About(painter);
        break;
    case 9:
        Cross(painter, QRectF(5.0, 5.0, 14.0, 14.0), 4.2);
        break;
    default:
        break;  // 7 is never shown; others have no stock picture
    }
    painter.restore();
}

QIcon StockPictureIcon(int command)
{
    return QIcon(new TStockPictureEngine(command));
}

QImage StockPicture(int command, qreal devicePixelRatio)
{
    const int side = qRound(kPictureSize * devicePixelRatio);
    QImage image = Render(command, QSize(side, side));
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

}  // namespace folianto
