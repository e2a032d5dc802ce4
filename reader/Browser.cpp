#include "Browser.h"

#include "WindowTitle.h"

#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>

namespace folianto {

namespace {

constexpr const char* kForeignWindowProperty = "foliantoForeignWindow";

class TBrowserPage : public QWebEnginePage {
public:
    TBrowserPage(QWebEngineProfile* profile, TBrowser* view) : QWebEnginePage(profile, view), view_(view) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override
    {
        bool cancel = false;
        if (view_->OnBeforeNavigate)
            view_->OnBeforeNavigate(url, cancel);
        return !cancel;
    }

private:
    TBrowser* view_;
};

}  // namespace

TBrowser::TBrowser(QWebEngineProfile* profile, QWidget* parent) : QWebEngineView(parent)
{
    setPage(new TBrowserPage(profile, this));
    connect(this, &QWebEngineView::urlChanged, this, [this](const QUrl& url) {
        // A new document reports its address while it loads, and a navigation that has
        // only been asked for reports it before it is in the history; neither counts here.
        if (!page()->isLoading() && history()->currentItem().url() == url)
            emit SameDocumentNavigated(url);
    });
}

QWebEngineView* TBrowser::createWindow(QWebEnginePage::WebWindowType /*type*/)
{
    bool cancel = false;
    if (OnNewWindow)
        OnNewWindow(cancel);
    if (cancel)
        return nullptr;
    auto* window = new TBrowserWindow(page()->profile());
    window->show();
    return window->View();
}

TBrowserWindow::TBrowserWindow(QWebEngineProfile* profile) : view_(new TBrowser(profile, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setProperty(kForeignWindowProperty, true);
    setCentralWidget(view_);
    resize(800, 600);
    connect(view_, &QWebEngineView::titleChanged, this,
            [this](const QString& title) { SetLiteralWindowTitle(*this, title); });
    connect(view_->page(), &QWebEnginePage::windowCloseRequested, this, &QWidget::close);
}

bool IsForeignWindow(const QWidget* window)
{
    return window && window->property(kForeignWindowProperty).toBool();
}

}  // namespace folianto
