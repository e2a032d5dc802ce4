#include "PictureControl.h"

#include "Pictures.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace folianto {

QPixmap PixmapOf(const TPngImage& image)
{
    QPixmap pixmap;
    if (!image.Empty())
        pixmap.loadFromData(image.Data.data(), static_cast<uint>(image.Data.size()), "PNG");
    return pixmap;
}

TPictureControl::TPictureControl(const TPngImage& image, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), picture_(PixmapOf(image))
{
}

void TPictureControl::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawPixmap(event->rect(), picture_, event->rect());
}

void TPictureControl::mousePressEvent(QMouseEvent* event)
{
    // Taken, not passed on to the window beneath: the release must come back here.
    if (event->button() == Qt::LeftButton)
        pressed_ = true;
}

void TPictureControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_)
        return;
    pressed_ = false;
    if (rect().contains(event->position().toPoint()))
        emit Clicked();
}

}  // namespace folianto
