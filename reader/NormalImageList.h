#pragma once
// The toolbar's picture list: the ten stock pictures (index = command number) followed by
// the pictures that a book brings along for its own buttons.

#include "Streamer.h"

#include <QColor>
#include <QIcon>
#include <QImage>

#include <optional>
#include <vector>

namespace folianto {

// Scales a bitmap in place to width x height, pixel for pixel (no blending, so that the
// colour that becomes transparent stays exactly that colour). False, bitmap untouched,
// when it is empty or the scaled picture cannot be had.
bool StretchBitmap(QImage& bitmap, int width, int height);

// A Windows bitmap file decoded; a null image when it cannot be decoded. Pictures that
// would need more than a few megabytes are refused rather than decoded.
QImage DecodeBitmap(const Bytes& file);

// The picture with every pixel of maskColor (compared without alpha) made transparent.
QImage Masked(const QImage& picture, QColor maskColor);

class TNormalImageList {
public:
    // devicePixelRatio: the screen the toolbar shows on; book pictures are also kept at
    // that scale.
    explicit TNormalImageList(qreal devicePixelRatio = 1.0);

    int Count() const { return static_cast<int>(icons_.size()); }
    // The picture at index; an empty icon for any index outside the list.
    QIcon Icon(int index) const;
    // The picture at 24 x 24 pixels; a null image outside the list.
    QImage Image(int index) const;

    // A book's picture for its own button: decoded, stretched to 24 x 24, its bottom-left
    // pixel's colour transparent, appended. Its index, or none (nothing appended) when the
    // file cannot be decoded or scaled.
    std::optional<int> AddBookBitmap(const Bytes& bitmapFile);

private:
    qreal ratio_;
    std::vector<QIcon> icons_;
};

}  // namespace folianto
