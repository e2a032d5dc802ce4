#pragma once
// The ten stock pictures of the toolbar, one per command number, drawn as vectors so that
// they stay sharp at any screen scale.

#include <QIcon>
#include <QImage>

class QPainter;

namespace folianto {

inline constexpr int kStockPictureCount = 10;
inline constexpr int kPictureSize = 24;  // logical pixels, width and height

// Paints the picture of `command` into the square (0, 0, 24, 24) of the painter's
// coordinates. Command 7 (never given a button) and anything outside 0 to 9 paint nothing.
void PaintStockPicture(QPainter& painter, int command);

// The picture as an icon that draws itself afresh at whatever size and device pixel ratio
// it is asked for.
QIcon StockPictureIcon(int command);

// The picture rendered at 24 x 24 logical pixels for a screen of this device pixel ratio.
QImage StockPicture(int command, qreal devicePixelRatio = 1.0);

}  // namespace folianto
