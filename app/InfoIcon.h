#pragma once

#include <QPixmap>

namespace folianto {

// The message window's picture: a white "i" in a blue speech balloon.
QPixmap InformationBalloon(int size = 32);

}  // namespace folianto
