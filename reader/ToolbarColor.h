#pragma once
// The toolbar's colour as a book stores it: 0x00BBGGRR for a colour of its own, or a
// system colour 0xFF0000nn, shown as the palette role nearest that Windows colour so
// that it follows the desktop's theme.

#include <QColor>
#include <QPalette>

#include <cstdint>
#include <optional>

namespace folianto {

struct TToolbarColor {
    std::optional<QPalette::ColorRole> Role;  // a system colour
    QColor Rgb;                               // otherwise, this colour

    bool operator==(const TToolbarColor&) const = default;
};

// The palette role standing in for Windows system colour `index` (COLOR_SCROLLBAR = 0 to
// COLOR_MENUBAR = 30); none for an index Windows does not define.
std::optional<QPalette::ColorRole> SystemColorRole(int index);

// A value with the top bit set names a system colour by its lowest byte; an index without
// a role falls back to the button face, the toolbar's own colour. Any other value is a
// colour whose red, green and blue are its three lowest bytes.
TToolbarColor ToolbarColorFor(std::uint32_t value);

}  // namespace folianto
