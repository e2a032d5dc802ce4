#pragma once
// The standard toolbar as the book's settings make it: which buttons in which order, with
// which pictures, hints and tags, on which edge, how large, how indented, in what colour.
// Decided here without a window; the window only applies the layout.

#include "Book.h"
#include "ToolbarColor.h"

#include <QSize>
#include <Qt>

#include <cstdint>
#include <string>
#include <vector>

namespace folianto {

class TNormalImageList;

// The toolbar and its panel as designed, before any book setting applies.
inline constexpr int kDesignToolbarHeight = 26;
inline constexpr int kDesignIndent = 0, kDesignBorderWidth = 0;
// Stored button sizes are brought into this range before use: a button of no or negative
// size cannot be drawn or clicked, and a side beyond the largest desktop icon size only
// pushes the pages out of the window (and overflows the sums below).
inline constexpr int kMinButtonSide = 1, kMaxButtonSide = 256;
// No window holds more buttons than this; a book storing more gets the first ones.
inline constexpr int kMaxToolbarButtons = 256;
// A picture index meaning "no picture".
inline constexpr int kNoPicture = -1;

struct TToolbarSettings {
    bool Visible = false;
    std::uint8_t Position = 0;
    bool Flat = false;
    std::int32_t ButtonWidth = 31, ButtonHeight = 30;
    std::uint32_t Color = 0xFF00000F;
    std::vector<TToolBarButton> Buttons;  // as stored
};
TToolbarSettings ToolbarSettingsOf(const TBook& book);

enum class TToolbarEdge { Top, Left, Right, Bottom };

struct TToolbarButtonLayout {
    int Command = 0;               // as stored
    int PictureIndex = kNoPicture;  // into the picture list
    std::string Hint;              // 8-bit, as the book holds it
    int Tag = 0;                   // -(Command + 1)

    bool operator==(const TToolbarButtonLayout&) const = default;
};

struct TToolbarLayout {
    bool Visible = false;  // when false, nothing else applies
    std::vector<TToolbarButtonLayout> Buttons;  // first to last on the toolbar
    TToolbarEdge Edge = TToolbarEdge::Top;
    Qt::Orientation Orientation = Qt::Horizontal;  // vertical: one button per row
    QSize ButtonSize;
    bool Flat = false;
    int Thickness = kDesignToolbarHeight;  // height of bar and panel, or width at the side
    int Indent = kDesignIndent;             // before the first button
    int BorderWidth = kDesignBorderWidth;   // around the buttons, on every side
    TToolbarColor Color;

    bool operator==(const TToolbarLayout&) const = default;
};

// A stored button size brought into [kMinButtonSide, kMaxButtonSide].
int SoundButtonSide(std::int32_t stored);

// The toolbar for these settings. A button's own bitmap is appended to `pictures` and
// becomes its picture; one that cannot be decoded or scaled leaves the stock picture.
// A command above 9 without its own bitmap has no picture (kNoPicture): its number lies
// beyond the stock pictures and must not show a picture appended for another button.
TToolbarLayout LayoutToolbar(const TToolbarSettings& settings, TNormalImageList& pictures);

}  // namespace folianto
