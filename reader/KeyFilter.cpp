#include "KeyFilter.h"

#include "Book.h"
#include "MainForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWebEnginePage>

namespace folianto {

namespace {

constexpr Qt::KeyboardModifiers kShiftCtrlAlt = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

}  // namespace

TKeyAction AcceleratorAction(bool escapeCloses, int key, Qt::KeyboardModifiers modifiers)
{
    if (escapeCloses && key == Qt::Key_Escape)
        return TKeyAction::Close;
    const bool alt = modifiers & Qt::AltModifier;
    if (!(modifiers & Qt::ControlModifier)) {
        if ((modifiers & kShiftCtrlAlt) == Qt::AltModifier && key == Qt::Key_Left)
            return TKeyAction::Back;
        if ((modifiers & kShiftCtrlAlt) == Qt::AltModifier && key == Qt::Key_Right)
            return TKeyAction::Forward;
        if (!alt && key == Qt::Key_F5)
            return TKeyAction::Refresh;
        return TKeyAction::Pass;
    }
    // Ctrl is down; Shift does not matter. With Alt too, F and P may be characters (AltGr).
    if (key == Qt::Key_N)
        return TKeyAction::Swallow;
    if (key == Qt::Key_F && !alt)
        return TKeyAction::Find;
    if (key == Qt::Key_P && !alt)
        return TKeyAction::Print;
    if (key == Qt::Key_F5 && !alt)
        return TKeyAction::Refresh;  // a browser's reload past its cache; ours has none
    return TKeyAction::Pass;
}

bool AppMessageDrops(int key, Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    return key == Qt::Key_N && (modifiers & kShiftCtrlAlt) == Qt::ControlModifier && buttons == Qt::NoButton;
}

void InstallKeyFilter(TMainForm& form)
{
    auto* filter = new TKeyFilter(form);
    qApp->installEventFilter(filter);
    QObject::connect(form.Browser()->page(), &QWebEnginePage::windowCloseRequested, filter, [filter] {
        bool canClose = true;
        filter->BrowserCloseQuery(canClose);
    });
}

TKeyFilter::TKeyFilter(TMainForm& form) : QObject(&form), form_(form), browser_(form.Browser()) {}

bool TKeyFilter::AppMessage(const QEvent& event) const
{
    if (event.type() != QEvent::KeyPress)
        return false;
    const auto& key = static_cast<const QKeyEvent&>(event);
    return AppMessageDrops(key.key(), key.modifiers(), QGuiApplication::mouseButtons());
}

bool TKeyFilter::BrowserTranslateAccelerator(const QEvent& event)
{
    if (event.type() != QEvent::KeyPress)
        return false;
    const auto& key = static_cast<const QKeyEvent&>(event);
    switch (AcceleratorAction(form_.Book().EscapeCloses, key.key(), key.modifiers())) {
    case TKeyAction::Pass:
        return false;
    case TKeyAction::Swallow:
        return true;
    case TKeyAction::Close:
        form_.close();  // the normal close: the exit message comes first
        return true;
    case TKeyAction::Find:
        form_.OpenFindDialog();
        return true;
    case TKeyAction::Back:
        form_.RunCommand(static_cast<int>(TCommand::Back));
        return true;
    case TKeyAction::Forward:
        form_.RunCommand(static_cast<int>(TCommand::Forward));
        return true;
    case TKeyAction::Refresh:
        form_.RunCommand(static_cast<int>(TCommand::Refresh));
        return true;
    case TKeyAction::Print:
        form_.PrintDocument(true);
        return true;
    }
    return false;
}

void TKeyFilter::BrowserCloseQuery(bool& canClose)
{
    canClose = false;  // nothing else listens, so the view, its page and the reader stay
}

bool TKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    // Every event of the application passes here first, as through a message hook.
    if (AppMessage(*event))
        return true;
    // The page's keys arrive at the view's focus proxy, the widget Chromium draws into.
    if (browser_ && browser_->focusProxy() && watched == browser_->focusProxy())
        return BrowserTranslateAccelerator(*event);
    return QObject::eventFilter(watched, event);
}

}  // namespace folianto
