#include "StandardToolbar.h"

#include "AnsiText.h"
#include "Commands.h"
#include "MainForm.h"
#include "NormalImageList.h"
#include "StockPictures.h"
#include "ToolbarLayout.h"

#include <QAction>
#include <QBoxLayout>
#include <QProxyStyle>
#include <QToolBar>
#include <QToolButton>

namespace folianto {

namespace {

// The toolbar's own look: no edge lines, the book's border width as the margin around the
// buttons, and no spacing between them. Being the bar's style, it holds through a change
// of the desktop's theme.
class TToolbarStyle : public QProxyStyle {
public:
    explicit TToolbarStyle(int borderWidth) : borderWidth_(borderWidth) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_ToolBarItemMargin:
            return borderWidth_;
        case PM_ToolBarFrameWidth:
        case PM_ToolBarItemSpacing:
        case PM_ToolBarHandleExtent:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element != CE_ToolBar)
            QProxyStyle::drawControl(element, option, painter, widget);
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element != PE_PanelToolBar)
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    int borderWidth_;
};

QBoxLayout::Direction DirectionFrom(TToolbarEdge edge)
{
    switch (edge) {
    case TToolbarEdge::Left:
        return QBoxLayout::LeftToRight;
    case TToolbarEdge::Right:
        return QBoxLayout::RightToLeft;
    case TToolbarEdge::Bottom:
        return QBoxLayout::BottomToTop;
    case TToolbarEdge::Top:
        break;
    }
    return QBoxLayout::TopToBottom;
}

// The panel or bar is `thickness` across the edge it stands on and free along it.
void SetThickness(QWidget* widget, Qt::Orientation orientation, int thickness)
{
    widget->setMinimumSize(0, 0);
    widget->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (orientation == Qt::Horizontal)
        widget->setFixedHeight(thickness);
    else
        widget->setFixedWidth(thickness);
}

void SetColor(QWidget* widget, const TToolbarColor& color)
{
    widget->setAutoFillBackground(true);
    if (color.Role) {
        widget->setPalette(QPalette());  // the desktop's, so that a theme change follows
        widget->setBackgroundRole(*color.Role);
    } else {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, color.Rgb);
        widget->setPalette(palette);
        widget->setBackgroundRole(QPalette::Window);
    }
}

}  // namespace

void BuildStandardToolbar(TMainForm& form)
{
    TNormalImageList pictures(form.devicePixelRatioF());
    const TToolbarLayout layout = LayoutToolbar(ToolbarSettingsOf(form.Book()), pictures);
    ApplyToolbarLayout(form, layout, pictures);
}

void ApplyToolbarLayout(TMainForm& form, const TToolbarLayout& layout, const TNormalImageList& pictures)
{
    QWidget* panel = form.ToolBarPanel();
    QToolBar* bar = form.ToolBar();
    qDeleteAll(bar->actions());

    // 1. Shown only when the book wants a toolbar; otherwise the pages fill the window.
    panel->setVisible(layout.Visible);
    bar->setVisible(layout.Visible);
    if (!layout.Visible)
        return;

    // 2. Picture buttons in toolbar order, no captions, no separators; the indent (step 7)
    // is an empty space before the first.
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setIconSize(QSize(kPictureSize, kPictureSize));
    auto* indent = new QWidget;
    QAction* indentAction = bar->addWidget(indent);
    for (const TToolbarButtonLayout& stored : layout.Buttons) {
        const QString hint = FromAnsi(stored.Hint);
        QAction* action = bar->addAction(pictures.Icon(stored.PictureIndex), hint);
        action->setToolTip(hint);
        auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
        if (!button)
            continue;
        button->setProperty(kCommandTagProperty, stored.Tag);
        QObject::connect(action, &QAction::triggered, &form, [&form, button] { form.CommandButtonClick(button); });
    }

    // 3. No edge lines, and 7. the border width: both are the bar's own style.
    QStyle* previous = bar->style();
    auto* style = new TToolbarStyle(layout.BorderWidth);
    style->setParent(bar);
    bar->setStyle(style);
    if (dynamic_cast<TToolbarStyle*>(previous))
        delete previous;

    // 4. The panel docks to its edge of the window, the pages taking the rest.
    if (auto* client = qobject_cast<QBoxLayout*>(panel->parentWidget()->layout()))
        client->setDirection(DirectionFrom(layout.Edge));

    // 5. Button size and look.
    for (QAction* action : bar->actions()) {
        if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action))) {
            button->setFixedSize(layout.ButtonSize);
            button->setAutoRaise(layout.Flat);
        }
    }

    // 6. Bar and panel sizes; at the side the bar is one button wide, so they form a column.
    bar->setOrientation(layout.Orientation);
    SetThickness(bar, layout.Orientation, layout.Thickness);
    SetThickness(panel, layout.Orientation, layout.Thickness);

    // 7. The indent before the first button.
    if (layout.Orientation == Qt::Horizontal)
        indent->setFixedSize(layout.Indent, 1);
    else
        indent->setFixedSize(1, layout.Indent);
    indentAction->setVisible(layout.Indent > 0);

    // 8. Colour of bar and panel.
    SetColor(panel, layout.Color);
    SetColor(bar, layout.Color);

    // 9. The bar docks inside the panel to the same edge.
    auto* inside = qobject_cast<QBoxLayout*>(panel->layout());
    if (!inside) {
        inside = new QBoxLayout(QBoxLayout::TopToBottom, panel);
        inside->setContentsMargins(0, 0, 0, 0);
        inside->setSpacing(0);
        inside->addWidget(bar);
    }
    inside->setDirection(DirectionFrom(layout.Edge));
}

}  // namespace folianto
