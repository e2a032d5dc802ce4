#pragma once
// The web view of the reader window, and the plain browser windows it opens when a page
// asks for a new window (a link with a new-window target, window.open).

#include <QMainWindow>
#include <QWebEngineView>

#include <functional>

class QWebEngineProfile;

namespace folianto {

class TBrowser : public QWebEngineView {
    Q_OBJECT
public:
    TBrowser(QWebEngineProfile* profile, QWidget* parent = nullptr);

    // Asked before every navigation (top level and frames) and before a new window opens;
    // setting cancel stops it. Unset, everything proceeds.
    std::function<void(const QUrl& url, bool& cancel)> OnBeforeNavigate;
    std::function<void(bool& cancel)> OnNewWindow;

signals:
    // The top-level address changed within the document shown, which Qt reports by
    // urlChanged alone: a link to a "#fragment", location.hash, history.pushState.
    void SameDocumentNavigated(const QUrl& url);

protected:
    // Without this, Qt opens nothing for a new-window request.
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType type) override;
};

// A bare top-level window around one browser view; it deletes itself when closed. It is
// not one of the reader's forms: focus moving to it counts as leaving the application, so
// the page server keeps answering its requests.
class TBrowserWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit TBrowserWindow(QWebEngineProfile* profile);
    TBrowser* View() const { return view_; }

private:
    TBrowser* view_;
};

// True for windows such as TBrowserWindow that do not count as forms of the application.
bool IsForeignWindow(const QWidget* window);

}  // namespace folianto
