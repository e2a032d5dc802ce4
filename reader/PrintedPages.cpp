#include "PrintedPages.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace folianto {

namespace {

constexpr qreal kContentMarginInches = 0.75;
// Header and footer sit this far from the paper's edge, or at the printable edge when that
// lies further in.
constexpr qreal kHeaderInsetInches = 0.3;
constexpr qreal kHeaderPointSize = 9;
// The browser's pages are drawn as pictures of the paper: at 300 dots per inch, fine enough
// for print, and coarser on paper larger than A3, so that one picture stays under 80 MB
// whatever the paper.
constexpr qreal kMostDotsPerInch = 300;
constexpr qreal kMostPicturePixels = 3508.0 * 4961;  // A3 at 300 dpi

// Draws one header or footer line in rect. The centre text stands in the middle, moved
// aside where a long left or right text needs the room; a line too long for the paper is
// shortened, the centre text last.
void DrawLine(QPainter& painter, const TPageSetupLine& line, const QRectF& rect)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal leftWidth = metrics.horizontalAdvance(line.Left);
    const qreal centreWidth = metrics.horizontalAdvance(line.Centre);
    const qreal rightWidth = metrics.horizontalAdvance(line.Right);
    const int parts = !line.Left.isEmpty() + !line.Centre.isEmpty() + !line.Right.isEmpty();
    const qreal gap = metrics.averageCharWidth() * 2;
    const qreal room = std::max<qreal>(0, rect.width() - std::max(0, parts - 1) * gap);

    const qreal centre = std::min(centreWidth, room);
    const qreal rest = room - centre;
    qreal left = leftWidth, right = rightWidth;
    if (left + right > rest) {
        // Each side keeps at least half of what is left, and whatever the other does not need.
        const qreal half = rest / 2;
        left = leftWidth <= half ? leftWidth : rightWidth <= half ? rest - rightWidth : half;
        right = rest - left;
    }
    const qreal leftGap = left > 0 ? gap : 0;
    const qreal rightGap = right > 0 ? gap : 0;
    const qreal centreLeft = std::clamp(rect.center().x() - centre / 2, rect.left() + left + leftGap,
                                        std::max(rect.left() + left + leftGap, rect.right() - right - rightGap - centre));

    const int flags = Qt::AlignVCenter | Qt::TextSingleLine;
    const auto draw = [&](qreal x, qreal width, const QString& text, int align) {
        if (width > 0)
            painter.drawText(QRectF(x, rect.top(), width, rect.height()), flags | align,
                             metrics.elidedText(text, Qt::ElideRight, width));
    };
    draw(rect.left(), left, line.Left, Qt::AlignLeft);
    draw(centreLeft, centre, line.Centre, Qt::AlignLeft);
    draw(rect.right() - right, right, line.Right, Qt::AlignRight);
}

// The page numbers (from 1) to print, in printing order.
std::vector<int> PagesToPrint(const QPrinter& printer, int pageCount)
{
    const QPageRanges ranges = printer.pageRanges();
    std::vector<int> pages;
    for (int page = 1; page <= pageCount; ++page)
        if (ranges.isEmpty() || ranges.contains(page))
            pages.push_back(page);
    if (printer.pageOrder() == QPrinter::LastPageFirst)
        std::reverse(pages.begin(), pages.end());
    return pages;
}

QImage RenderPage(QPdfDocument& document, int index, const QSize& size, bool grey)
{
    const QImage rendered = document.render(index, size);
    if (rendered.isNull())
        return rendered;
    // The browser leaves the paper transparent where the page has no background.
    QImage page(size, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawImage(0, 0, rendered);
    return grey ? page.convertToFormat(QImage::Format_Grayscale8) : page;
}

}  // namespace

QPageLayout BrowserPageLayout(const QPrinter& printer)
{
    const QPageLayout printerLayout = printer.pageLayout();
    const qreal margin = kContentMarginInches * 72;
    return QPageLayout(printerLayout.pageSize(), printerLayout.orientation(), QMarginsF(margin, margin, margin, margin),
                       QPageLayout::Point);
}

QString PrintPdfPages(const QByteArray& pdf, QPrinter& printer, const QString& header, const QString& footer,
                      TPageSetupValues values)
{
    QBuffer buffer;
    buffer.setData(pdf);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    if (document.status() != QPdfDocument::Status::Ready || document.pageCount() <= 0)
        return QStringLiteral("The browser's printout of the page could not be read.");
    values.Pages = document.pageCount();
    const std::vector<int> pages = PagesToPrint(printer, values.Pages);
    if (pages.empty())
        return {};

    printer.setFullPage(true);  // the painter's origin is the paper's corner
    QPainter painter;
    if (!painter.begin(&printer))
        return QStringLiteral("The printer could not be opened.");
    const qreal dotsPerInch = printer.resolution();
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    QPageLayout pointLayout = printer.pageLayout();
    pointLayout.setUnits(QPageLayout::Point);
    const QMarginsF printable = pointLayout.minimumMargins() * (dotsPerInch / 72);
    const qreal inset = kHeaderInsetInches * dotsPerInch;
    const qreal side = kContentMarginInches * dotsPerInch;
    QFont font(QStringLiteral("sans-serif"));
    font.setPointSizeF(kHeaderPointSize);
    painter.setFont(font);
    const qreal lineHeight = QFontMetricsF(font, &printer).height();
    const QRectF headerRect(paper.left() + side, paper.top() + std::max(inset, printable.top()),
                            paper.width() - 2 * side, lineHeight);
    const QRectF footerRect(paper.left() + side, paper.bottom() - std::max(inset, printable.bottom()) - lineHeight,
                            paper.width() - 2 * side, lineHeight);
    const qreal paperInches = (paper.width() / dotsPerInch) * (paper.height() / dotsPerInch);
    const qreal renderDpi = std::min({kMostDotsPerInch, dotsPerInch, std::sqrt(kMostPicturePixels / paperInches)});
    const QSize pixels(std::max(1, qRound(paper.width() / dotsPerInch * renderDpi)),
                       std::max(1, qRound(paper.height() / dotsPerInch * renderDpi)));
    const bool grey = printer.colorMode() == QPrinter::GrayScale;

    bool first = true;
    for (const int page : pages) {
        if (!first && !printer.newPage()) {
            painter.end();
            return QStringLiteral("The printer did not take the next page.");
        }
        first = false;
        const QImage image = RenderPage(document, page - 1, pixels, grey);
        if (image.isNull()) {
            painter.end();
            return QStringLiteral("Page %1 of the printout could not be drawn.").arg(page);
        }
        painter.drawImage(paper, image);
        values.Page = page;
        DrawLine(painter, ExpandPageSetup(header, values), headerRect);
        DrawLine(painter, ExpandPageSetup(footer, values), footerRect);
    }
    if (!painter.end())
        return QStringLiteral("The printer did not finish the printout.");
    return {};
}

}  // namespace folianto
