#pragma once
// Where the reader window goes and what frame it gets, decided from the book's settings
// and the screen alone, so that it can be checked without a window.

#include <QRect>
#include <Qt>

#include <cstdint>

namespace folianto {

class TBook;

// The window as designed, before any book setting applies.
inline constexpr int kDesignLeft = 133, kDesignTop = 109, kDesignWidth = 696, kDesignHeight = 480;

enum class TBorderStyle { None, Single, Sizeable, ToolWindow, SizeToolWindow };

struct TWindowSettings {
    std::uint8_t InterfaceKind = 0;
    bool FullScreen = false;
    std::uint8_t ChangeDisplayMode = 0;
    int DisplayWidth = 0, DisplayHeight = 0;
    int WindowWidth = 0, WindowHeight = 0;
    std::uint8_t BorderStyle = 2;
    bool SystemMenu = true, MaximizeBox = true, MinimizeBox = true;
    bool StayOnTop = false;
};
TWindowSettings WindowSettingsOf(const TBook& book);

struct TWindowPlacement {
    QRect Geometry{kDesignLeft, kDesignTop, kDesignWidth, kDesignHeight};  // outer frame
    bool CentreOnShow = false;  // skin: centred once its size is known
    TBorderStyle Border = TBorderStyle::Sizeable;
    bool SystemMenu = true, MaximizeBox = true, MinimizeBox = true;
    bool StayOnTop = false;

    bool operator==(const TWindowPlacement&) const = default;
};

// screen: the primary screen's geometry on the desktop; workArea: its part not covered by
// panels. The window is placed relative to the screen's origin, which is not (0, 0) when
// another monitor lies to its left or above it.
TWindowPlacement PlaceWindow(const TWindowSettings& settings, QRect screen, QRect workArea);

// The window flags that carry a placement's border, border icons and stay-on-top.
Qt::WindowFlags WindowFlagsFor(const TWindowPlacement& placement);
bool FixedSize(TBorderStyle border);

}  // namespace folianto
