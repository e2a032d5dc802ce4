#include "InfoIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace folianto {

QPixmap InformationBalloon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    // Balloon: a rounded body with a tail at the lower left.
    QPainterPath balloon;
    balloon.addRoundedRect(QRectF(1.5, 1.5, 29, 23), 7, 7);
    QPainterPath tail;
    tail.moveTo(7, 22);
    tail.lineTo(5, 30.5);
    tail.lineTo(15, 23);
    tail.closeSubpath();
    balloon = balloon.united(tail);

    QLinearGradient fill(0, 1.5, 0, 30);
    fill.setColorAt(0, QColor(0x6f, 0xb2, 0xf2));
    fill.setColorAt(1, QColor(0x1d, 0x5f, 0xbf));
    painter.setPen(QPen(QColor(0x12, 0x44, 0x8f), 1));
    painter.setBrush(fill);
    painter.drawPath(balloon);

    // The "i": a dot and a stem.
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(16, 7.5), 2.2, 2.2);
    painter.drawRoundedRect(QRectF(14, 11, 4, 10.5), 1, 1);
    return pixmap;
}

}  // namespace folianto
