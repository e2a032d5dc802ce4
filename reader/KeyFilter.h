#pragma once
// The keys the reader answers before the page sees them, so that a book behaves like an
// application of its own: Escape may close it, Ctrl+N opens no browser window, and the
// keys a browser gives (find, back, forward, refresh, print) work. A page cannot close
// the reader's view. The view's own context menu is left as it is.

#include <QObject>
#include <QPointer>
#include <Qt>

namespace folianto {

class TBrowser;
class TMainForm;

enum class TKeyAction { Pass, Swallow, Close, Find, Back, Forward, Refresh, Print };

// What a key press that reaches the page does, before the page sees it.
TKeyAction AcceleratorAction(bool escapeCloses, int key, Qt::KeyboardModifiers modifiers);

// Whether a key press is dropped before any window sees it: N with exactly Ctrl held
// (no Shift, no Alt) and no mouse button down.
bool AppMessageDrops(int key, Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

// The creation step: the application-wide filter, the view's accelerators and its close
// query, all living as long as the window.
void InstallKeyFilter(TMainForm& form);

class TKeyFilter : public QObject {
    Q_OBJECT
public:
    explicit TKeyFilter(TMainForm& form);

    // True when the key press is dropped.
    bool AppMessage(const QEvent& event) const;
    // True when the reader has dealt with the key and the page is not to see it.
    bool BrowserTranslateAccelerator(const QEvent& event);
    // A page asked to close the reader's view: it stays open.
    void BrowserCloseQuery(bool& canClose);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TMainForm& form_;
    // The window deletes its view before itself; events keep coming meanwhile.
    QPointer<TBrowser> browser_;
};

}  // namespace folianto
