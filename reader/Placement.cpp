#include "Placement.h"

#include "Book.h"

namespace folianto {

TWindowSettings WindowSettingsOf(const TBook& book)
{
    TWindowSettings s;
    s.InterfaceKind = book.InterfaceKind;
    s.FullScreen = book.FullScreen;
    s.ChangeDisplayMode = book.ChangeDisplayMode;
    s.DisplayWidth = book.DisplayWidth;
    s.DisplayHeight = book.DisplayHeight;
    s.WindowWidth = book.WindowWidth;
    s.WindowHeight = book.WindowHeight;
    s.BorderStyle = book.BorderStyle;
    s.SystemMenu = book.SystemMenu;
    s.MaximizeBox = book.MaximizeBox;
    s.MinimizeBox = book.MinimizeBox;
    s.StayOnTop = book.StayOnTop;
    return s;
}

TWindowPlacement PlaceWindow(const TWindowSettings& settings, QRect screen, QRect workArea)
{
    TWindowPlacement p;
    p.StayOnTop = settings.StayOnTop;
    const QPoint origin = screen.topLeft();
    switch (settings.InterfaceKind) {
    case 0:
        if (settings.FullScreen) {
            // The screen's own left and top, even when a panel sits at its left or top edge.
            if (settings.ChangeDisplayMode == 0)
                p.Geometry = QRect(origin, workArea.size());
            else if (settings.ChangeDisplayMode == 1)
                p.Geometry = QRect(origin, QSize(settings.DisplayWidth, settings.DisplayHeight));
        } else {
            // Integer division truncates toward zero, as the halving must.
            const int width = settings.WindowWidth, height = settings.WindowHeight;
            p.Geometry = QRect(origin.x() + (screen.width() - width) / 2, origin.y() + (screen.height() - height) / 2,
                               width, height);
        }
        switch (settings.BorderStyle) {
        case 0: p.Border = TBorderStyle::None; break;
        case 1: p.Border = TBorderStyle::Single; break;
        case 3: p.Border = TBorderStyle::ToolWindow; break;
        case 4: p.Border = TBorderStyle::SizeToolWindow; break;
        default: p.Border = TBorderStyle::Sizeable; break;
        }
        p.SystemMenu = settings.SystemMenu;
        p.MaximizeBox = settings.MaximizeBox;
        p.MinimizeBox = settings.MinimizeBox;
        break;
    case 1:
        p.CentreOnShow = true;
        p.Border = TBorderStyle::None;
        break;
    default:
        break;
    }
    return p;
}

bool FixedSize(TBorderStyle border)
{
    return border == TBorderStyle::Single || border == TBorderStyle::ToolWindow;
}

Qt::WindowFlags WindowFlagsFor(const TWindowPlacement& placement)
{
    Qt::WindowFlags flags = Qt::Window;
    if (placement.Border == TBorderStyle::None) {
        flags |= Qt::FramelessWindowHint;
    } else {
        if (placement.Border == TBorderStyle::ToolWindow || placement.Border == TBorderStyle::SizeToolWindow)
            flags = Qt::Tool;
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (placement.SystemMenu)
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (placement.MaximizeBox)
            flags |= Qt::WindowMaximizeButtonHint;
        if (placement.MinimizeBox)
            flags |= Qt::WindowMinimizeButtonHint;
    }
    if (placement.StayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    return flags;
}

}  // namespace folianto
