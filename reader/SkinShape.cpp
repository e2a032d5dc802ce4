#include "SkinShape.h"

#include "Book.h"

#include <algorithm>

namespace folianto {

namespace {

// Far beyond any window, yet small enough that no edge arithmetic overflows.
int Edge(std::int32_t value)
{
    constexpr std::int32_t kFar = 1 << 24;
    return std::clamp(value, -kFar, kFar);
}

// Spans [first, second) of one row.
using Spans = std::vector<std::pair<int, int>>;

}  // namespace

QRegion TSkinShape::Region() const
{
    QRegion region;
    if (!Rectangles.empty())
        region.setRects(Rectangles.data(), static_cast<int>(Rectangles.size()));
    return region;
}

QSize SkinWindowSize(const TPngImage& skin, QSize screen)
{
    const QSize picture(std::max(skin.Width, 1), std::max(skin.Height, 1));
    return screen.isEmpty() ? picture : picture.boundedTo(screen.expandedTo(QSize(1, 1)));
}

TSkinShape SkinShape(const TPngImage& skin, QRect browser, QSize windowSize)
{
    TSkinShape shape;
    const QRect window(QPoint(0, 0), windowSize);
    if (window.isEmpty())
        return shape;
    const bool hasPlane = skin.Transparent() && skin.HasAlphaChannel() && skin.Width > 0 && skin.Height > 0 &&
                          skin.Alpha.size() == static_cast<std::size_t>(skin.Width) * skin.Height;
    if (!hasPlane) {
        shape.Rectangles.push_back(window);
        return shape;
    }
    // Only the part of the picture inside the window is walked; window pixels beyond the
    // picture have nothing to subtract.
    const int width = std::min(window.width(), skin.Width), height = std::min(window.height(), skin.Height);

    // The browser always belongs to the window: its pixels count as opaque.
    const QRect inside = browser.intersected(window);
    const int browserLeft = inside.isEmpty() ? 0 : inside.left();
    const int browserRight = inside.isEmpty() ? 0 : inside.left() + inside.width();

    Spans band, row;
    int bandTop = 0;
    const auto flush = [&](int bottom) {
        for (const auto& [x0, x1] : band)
            shape.Rectangles.emplace_back(x0, bandTop, x1 - x0, bottom - bandTop);
    };
    for (int y = 0; y < window.height(); ++y) {
        const std::uint8_t* alpha = skin.Alpha.data() + static_cast<std::size_t>(std::min(y, height - 1)) * skin.Width;
        const bool pictureRow = y < height;
        const bool browserRow = !inside.isEmpty() && y >= inside.top() && y < inside.top() + inside.height();
        const auto opaque = [&](int x) {
            return !pictureRow || x >= width || alpha[x] != 0 ||
                   (browserRow && x >= browserLeft && x < browserRight);
        };
        row.clear();
        int x = 0;
        while (x < window.width()) {
            while (x < window.width() && !opaque(x))
                ++x;  // a hole: one run of alpha-0 pixels left out
            const int start = x;
            while (x < window.width() && opaque(x))
                ++x;
            if (x > start)
                row.emplace_back(start, x);
        }
        if (y == 0 || row != band) {
            flush(y);
            if (shape.Rectangles.size() + row.size() > kMaxShapeRectangles) {
                shape.Rectangles.assign(1, window);
                shape.TooComplex = true;
                return shape;
            }
            band.swap(row);
            bandTop = y;
        }
    }
    flush(window.height());
    return shape;
}

QRect BrowserRect(const TBook& book)
{
    const int left = Edge(book.BrowserLeft), top = Edge(book.BrowserTop);
    return QRect(left, top, std::max(Edge(book.BrowserRight) - left, 0), std::max(Edge(book.BrowserBottom) - top, 0));
}

QPoint SkinButtonPlace(const TSkinButton& button)
{
    return QPoint(Edge(button.Left), Edge(button.Top));
}

int SkinHitTest(std::uint8_t interfaceKind, QPoint client, const std::vector<QRect>& buttons, int defaultAnswer)
{
    if (interfaceKind != 1)
        return defaultAnswer;
    if (SkinButtonAt(client, buttons) >= 0)
        return defaultAnswer;
    return defaultAnswer == kHTClient ? kHTCaption : defaultAnswer;
}

int SkinButtonAt(QPoint client, const std::vector<QRect>& buttons)
{
    for (int i = static_cast<int>(buttons.size()) - 1; i >= 0; --i)
        if (buttons[static_cast<std::size_t>(i)].contains(client))  // right and bottom edges outside
            return i;
    return -1;
}

std::vector<int> ShownSkinButtons(const TBook& book)
{
    std::vector<int> shown;
    for (int i = 0; i < book.SkinButtonCount(); ++i)
        if (book.SkinButton(i).Command != static_cast<std::uint8_t>(TCommand::Reserved))
            shown.push_back(i);
    return shown;
}

}  // namespace folianto
