#include "ToolbarLayout.h"

#include "Commands.h"
#include "NormalImageList.h"
#include "StockPictures.h"

#include <algorithm>

namespace folianto {

TToolbarSettings ToolbarSettingsOf(const TBook& book)
{
    TToolbarSettings settings;
    settings.Visible = book.ToolbarVisible;
    settings.Position = book.ToolbarPosition;
    settings.Flat = book.ToolbarFlat;
    settings.ButtonWidth = book.ToolbarButtonWidth;
    settings.ButtonHeight = book.ToolbarButtonHeight;
    settings.Color = book.ToolbarColor;
    settings.Buttons = book.ToolbarButtons;
    return settings;
}

int SoundButtonSide(std::int32_t stored)
{
    return std::clamp<std::int32_t>(stored, kMinButtonSide, kMaxButtonSide);
}

TToolbarLayout LayoutToolbar(const TToolbarSettings& settings, TNormalImageList& pictures)
{
    TToolbarLayout layout;
    if (!settings.Visible)
        return layout;
    layout.Visible = true;

    // Command 7 never becomes a button.
    std::vector<const TToolBarButton*> shown;
    for (const TToolBarButton& stored : settings.Buttons) {
        if (stored.Command == static_cast<int>(TCommand::Reserved))
            continue;
        if (static_cast<int>(shown.size()) == kMaxToolbarButtons)
            break;
        shown.push_back(&stored);
    }
    // From the last to the first, each new button going before the ones already there: the
    // toolbar ends in the stored order, and book pictures are appended in this walk's order.
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        const TToolBarButton& stored = **it;
        TToolbarButtonLayout button;
        button.Command = stored.Command;
        button.PictureIndex = stored.Command < kStockPictureCount ? stored.Command : kNoPicture;
        button.Tag = CommandTag(stored.Command);
        button.Hint = stored.Hint;
        if (stored.HasBitmap) {
            if (const auto own = pictures.AddBookBitmap(stored.Bitmap.Data))
                button.PictureIndex = *own;
        }
        layout.Buttons.insert(layout.Buttons.begin(), std::move(button));
    }

    const int width = SoundButtonSide(settings.ButtonWidth);
    const int height = SoundButtonSide(settings.ButtonHeight);
    const int position = settings.Position;
    layout.Edge = position == 1   ? TToolbarEdge::Left
                  : position == 2 ? TToolbarEdge::Right
                  : position == 3 ? TToolbarEdge::Bottom
                                  : TToolbarEdge::Top;
    layout.ButtonSize = QSize(width + 1, height);
    layout.Flat = settings.Flat;

    if (position == 0 || position == 3) {
        layout.Thickness = height + 8;
    } else if (position == 1 || position == 2) {
        layout.Thickness = width + 10;
        layout.Orientation = Qt::Vertical;
    }

    if (position <= 3) {
        layout.Indent = settings.Flat ? 1 : position == 1 ? 2 : 4;
        layout.BorderWidth = settings.Flat ? 2 : 1;
    }

    layout.Color = ToolbarColorFor(settings.Color);
    return layout;
}

}  // namespace folianto
