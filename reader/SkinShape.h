#pragma once
// The decisions of a skinned window, without a window: its shape from the skin picture,
// what a press on it means, and which skin buttons it shows.

#include <QRect>
#include <QRegion>

#include <cstdint>
#include <vector>

namespace folianto {

class TBook;
class TPngImage;
struct TSkinButton;

// A shape with more rectangles than this is not handed to the window system (one X
// request carries them all); the window stays rectangular instead.
inline constexpr std::size_t kMaxShapeRectangles = std::size_t {1} << 18;

struct TSkinShape {
    // Y-X banded: sorted by top then left, rectangles of one band share top and height,
    // none overlap or touch side by side, and no two neighbouring bands are alike.
    std::vector<QRect> Rectangles;
    bool TooComplex = false;  // more than kMaxShapeRectangles: the whole window instead

    QRegion Region() const;
};

// The skinned window's size: the picture's, at least 1 x 1 and at most the screen's. A
// picture larger than the screen could not be seen whole anyway, and a window of that
// size costs its picture's area in memory again with every page drawn; its top left
// part, where the browser and the buttons have their origin, is shown.
QSize SkinWindowSize(const TPngImage& skin, QSize screen);

// The window's shape: the whole window minus every run of alpha-0 pixels of the skin,
// plus the browser rectangle, cut at the window's edges. A picture without an alpha plane
// gives the whole window. One pass over the rows; rows alike are merged into one band.
TSkinShape SkinShape(const TPngImage& skin, QRect browser, QSize window);

// The browser's rectangle from the book's edges (right and bottom exclusive); edges in the
// wrong order give an empty rectangle, edges far outside any window are held at 2^24.
QRect BrowserRect(const TBook& book);

// Where a skin button's top-left corner goes; places far outside any window are held at 2^24.
QPoint SkinButtonPlace(const TSkinButton& button);

// Answers to the window system's hit test.
inline constexpr int kHTClient = 1;
inline constexpr int kHTCaption = 2;

// What a point of the window means: over a skin button (left and top edges inside, right
// and bottom outside) the default answer, so the button gets the mouse; elsewhere on a
// skin, a client point becomes the caption, so a press drags the window.
int SkinHitTest(std::uint8_t interfaceKind, QPoint client, const std::vector<QRect>& buttons, int defaultAnswer);

// The skin button on top at a point: the last one that holds it, or -1.
int SkinButtonAt(QPoint client, const std::vector<QRect>& buttons);

// Indexes of the skin buttons that are shown, in stored order (command 7 has none).
std::vector<int> ShownSkinButtons(const TBook& book);

}  // namespace folianto
