#include "Skin.h"

#include "AnsiText.h"
#include "Book.h"
#include "Commands.h"
#include "MainForm.h"
#include "PackageFormat.h"
#include "SkinShape.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace folianto {

namespace {

QSize PictureSize(const TPngImage& image)
{
    return QSize(std::max(image.Width, 0), std::max(image.Height, 0));
}

// The skin's buttons as the hit test walks them: every child with a negative tag.
std::vector<QRect> ButtonRects(const QWidget& client)
{
    std::vector<QRect> rects;
    for (const QObject* child : client.children()) {
        const auto* widget = qobject_cast<const QWidget*>(child);
        if (widget && widget->property(kCommandTagProperty).toInt() < 0)
            rects.push_back(widget->geometry());
    }
    return rects;
}

}  // namespace

TSkinImage::TSkinImage(TMainForm& form, const TPngImage& image, QWidget* parent)
    : TPictureControl(image, parent), form_(form)
{
    setObjectName(QStringLiteral("SkinImage"));
    setProperty(kCommandTagProperty, 0);
    // Transparent parts of the picture show the window's background colour.
    setAutoFillBackground(true);
}

void TSkinImage::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !parentWidget())
        return TPictureControl::mousePressEvent(event);
    const QPoint client = mapTo(window(), event->position().toPoint());
    if (SkinHitTest(form_.Book().InterfaceKind, client, ButtonRects(*parentWidget()), kHTClient) != kHTCaption)
        return TPictureControl::mousePressEvent(event);
    QWindow* handle = window()->windowHandle();
    if (handle && handle->startSystemMove())
        return;
    // No window manager to move us: follow the mouse ourselves.
    following_ = true;
    grip_ = event->globalPosition().toPoint() - window()->pos();
}

void TSkinImage::mouseMoveEvent(QMouseEvent* event)
{
    if (following_ && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - grip_);
    else
        TPictureControl::mouseMoveEvent(event);
}

void TSkinImage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        following_ = false;
    TPictureControl::mouseReleaseEvent(event);
}

TSkinButtonImage::TSkinButtonImage(TMainForm& form, int command, const TPngImage& image, QWidget* parent)
    : TPictureControl(image, parent)
{
    setProperty(kCommandTagProperty, CommandTag(command));
    setFixedSize(PictureSize(image));
    setToolTip(FromAnsi(CommandText(command)));
    setCursor(Qt::PointingHandCursor);
    connect(this, &TPictureControl::Clicked, this, [this, &form] { form.CommandButtonClick(this); });
}

void ApplySkinRegion(QWidget& window, const TPngImage& image, QRect rect)
{
    const TSkinShape shape = SkinShape(image, rect, window.size());
    if (shape.TooComplex)
        std::fprintf(stderr, "The skin's shape has more than %zu rectangles; the window stays rectangular.\n",
                     kMaxShapeRectangles);
    const QRegion region = shape.Region();
    if (region.isEmpty())
        window.clearMask();
    else
        window.setMask(region);
}

void BuildSkin(TMainForm& form)
{
    TBook& book = form.Book();
    QWidget* client = form.centralWidget();
    TBrowser* browser = form.Browser();

    // What an earlier show built goes first.
    const QObjectList children = client->children();
    for (QObject* child : children) {
        if (qobject_cast<TSkinImage*>(child) || qobject_cast<TSkinButtonImage*>(child))
            delete child;
    }

    // The frame went at creation (changing the window's flags now would hide the window
    // that is being shown). The browser no longer fills the client area; the picture does.
    client->layout()->removeWidget(browser);

    auto* skin = new TSkinImage(form, book.SkinImage, client);
    client->layout()->addWidget(skin);

    // The window is as large as the picture (within the screen).
    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = SkinWindowSize(book.SkinImage, screen ? screen->geometry().size() : QSize());
    form.setFixedSize(size);
    skin->setFixedSize(size);

    // The browser in its rectangle, cut at the window's edges: beyond them it could not be
    // seen, and a view of that size would only cost memory.
    QRect placed = BrowserRect(book).intersected(QRect(QPoint(0, 0), size));
    if (placed.isEmpty())
        placed = QRect(0, 0, 0, 0);
    browser->setGeometry(placed);
    const QRect applied = browser->geometry();

    ApplySkinRegion(form, book.SkinImage, applied);
    // The web view draws no frame of its own, so the page needs none taken away.

    // The buttons, each later one above the earlier ones.
    for (const int index : ShownSkinButtons(book)) {
        const TSkinButton& stored = book.SkinButton(index);
        auto* button = new TSkinButtonImage(form, stored.Command, stored.Image, client);
        button->move(SkinButtonPlace(stored));
        button->setEnabled(true);
        button->show();
    }
    // The browser is a window of its own on the skin: it covers what lies in its rectangle.
    browser->raise();
    skin->show();
}

}  // namespace folianto
