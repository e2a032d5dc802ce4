#pragma once
// The skinned reader window: the book's picture is the whole window, the browser sits in
// its rectangle, picture buttons run the commands, the window takes the picture's shape
// and is dragged by the picture itself.

#include "PictureControl.h"

#include <QPoint>
#include <QRect>

namespace folianto {

class TMainForm;
class TPngImage;

// The construction step of the show handler for a skinned book. Built again on every
// show, replacing what an earlier show built.
void BuildSkin(TMainForm& form);

// Computes the window's shape from the picture and the browser rectangle and gives it to
// the window.
void ApplySkinRegion(QWidget& window, const TPngImage& image, QRect rect);

// The picture that fills a skinned window (tag 0). A press on it, outside every button and
// the browser, drags the window.
class TSkinImage : public TPictureControl {
    Q_OBJECT
public:
    TSkinImage(TMainForm& form, const TPngImage& image, QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TMainForm& form_;
    // Set while the window follows the mouse by itself, where no window manager moves it.
    bool following_ = false;
    QPoint grip_;
};

// One command button on the skin: its picture, the command's hint, the hand cursor and the
// command's tag; a click runs the command.
class TSkinButtonImage : public TPictureControl {
    Q_OBJECT
public:
    TSkinButtonImage(TMainForm& form, int command, const TPngImage& image, QWidget* parent);
};

}  // namespace folianto
