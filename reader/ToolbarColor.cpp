#include "ToolbarColor.h"

#include <array>

namespace folianto {

namespace {

constexpr int kButtonFace = 15;

// Windows system colours by index, each with the role whose colour plays the same part
// in a Qt palette.
constexpr std::array<QPalette::ColorRole, 31> kSystemColorRoles = {
    QPalette::Midlight,         //  0 scroll bar track
    QPalette::Dark,             //  1 desktop
    QPalette::Highlight,        //  2 active caption
    QPalette::Mid,              //  3 inactive caption
    QPalette::Window,           //  4 menu
    QPalette::Base,             //  5 window (the background of text fields)
    QPalette::Shadow,           //  6 window frame
    QPalette::WindowText,       //  7 menu text
    QPalette::Text,             //  8 window text
    QPalette::HighlightedText,  //  9 caption text
    QPalette::Button,           // 10 active border
    QPalette::Button,           // 11 inactive border
    QPalette::Dark,             // 12 application workspace
    QPalette::Highlight,        // 13 highlight
    QPalette::HighlightedText,  // 14 highlighted text
    QPalette::Button,           // 15 button face
    QPalette::Dark,             // 16 button shadow
    QPalette::PlaceholderText,  // 17 grey (disabled) text
    QPalette::ButtonText,       // 18 button text
    QPalette::Midlight,         // 19 inactive caption text
    QPalette::Light,            // 20 button highlight
    QPalette::Shadow,           // 21 3-D dark shadow
    QPalette::Midlight,         // 22 3-D light
    QPalette::ToolTipText,      // 23 tooltip text
    QPalette::ToolTipBase,      // 24 tooltip background
    QPalette::Button,           // 25 (not used by Windows; kept as the button face)
    QPalette::Link,             // 26 hot-tracked item
    QPalette::Highlight,        // 27 active caption gradient
    QPalette::Midlight,         // 28 inactive caption gradient
    QPalette::Highlight,        // 29 menu highlight
    QPalette::Window,           // 30 menu bar
};

}  // namespace

std::optional<QPalette::ColorRole> SystemColorRole(int index)
{
    if (index < 0 || index >= static_cast<int>(kSystemColorRoles.size()))
        return std::nullopt;
    return kSystemColorRoles[static_cast<std::size_t>(index)];
}

TToolbarColor ToolbarColorFor(std::uint32_t value)
{
    TToolbarColor color;
    if (value & 0x80000000u) {
        color.Role = SystemColorRole(static_cast<int>(value & 0xFF));
        if (!color.Role)
            color.Role = SystemColorRole(kButtonFace);
        return color;
    }
    color.Rgb = QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                       static_cast<int>((value >> 16) & 0xFF));
    return color;
}

}  // namespace folianto
