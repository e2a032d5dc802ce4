#pragma once
// The reader window: the browser around the book's pages, placed and framed by the
// book's settings, running the page server while it is the application's active form.

#include "BookStore.h"
#include "Browser.h"
#include "DisplaySwitch.h"
#include "FindInPage.h"
#include "PageServer.h"
#include "Placement.h"
#include "Printers.h"
#include "ScreenSaver.h"

#include <QEvent>
#include <QMainWindow>
#include <QThreadPool>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QToolBar;
class QWebEngineProfile;

namespace folianto {

class TBook;
class TFindDialog;
class TMainForm;

// The intro request: posted (never sent) to the reader window once it is up.
inline constexpr QEvent::Type kIntroRequestEvent = static_cast<QEvent::Type>(QEvent::User + 1);
// Posts the intro request to the window whose handle the book keeps (MainWindowHandle).
void PostIntroRequest(std::uintptr_t mainWindowHandle);
std::uintptr_t WindowHandleOf(QWidget* window);

// The services and the steps of other modules that plug into the window. A step left
// empty does nothing.
struct TMainFormServices {
    TPageServer* Server = nullptr;  // not owned; required
    std::function<std::unique_ptr<TBookStore>(const std::string& bookId)> OpenStore;
    std::unique_ptr<TScreenSaver> ScreenSaver;
    std::function<std::unique_ptr<TDisplaySwitch>()> CreateDisplaySwitch;

    // Texts are 8-bit, as the book holds them.
    std::function<void(const std::string& title, const std::string& text)> ShowMessageWindow;
    std::function<void(const TBook& book)> FillAboutBox;
    std::function<void()> ShowAboutBox;  // modal; returns when the box is closed

    std::function<void(TMainForm& form)> InstallKeyFilter;  // application filter and browser accelerators
    std::function<void(TMainForm& form)> BuildToolbar;
    std::function<void(TMainForm& form)> BuildSkin;
    std::function<void(TMainForm& form)> InstallBookFonts;
    std::function<void(TMainForm& form)> RemoveBookFonts;
    std::unique_ptr<TPrinters> Printers;  // none: printing does nothing
};

// The services of a real run: INI store, X11 screen saver, XRandR display switch, the
// system's printers.
TMainFormServices RealMainFormServices(TPageServer& server);

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Builds the components, then runs FormCreate.
    TMainForm(TBook& book, TMainFormServices services, QWidget* parent = nullptr);
    ~TMainForm() override;  // runs FormDestroy

    // Handlers, called from the matching Qt events.
    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormDeactivate();
    void FormKeyPress(char& key);
    void FormHide();
    void FormDestroy();
    void FormCloseQuery(bool& canClose);

    void BrowserBeforeNavigate2(const QUrl& url, bool& cancel);
    void BrowserNewWindow2(bool& cancel);
    void BrowserTitleChange(const QString& title);
    void BrowserDocumentComplete(const QUrl& url);
    // The intro request's handler; answers 1.
    int IntroRequest();

    // The click handler of every toolbar and skin button: runs the command that the
    // sender's tag property carries (see Commands.h).
    void CommandButtonClick(QObject* sender);
    // Runs one command by number; 7 and 10 to 127 do nothing.
    void RunCommand(int command);
    // Whether the browser holds a document (Refresh and Print need one).
    bool HasDocument() const;
    // Opens the find dialog for a new search over the page shown.
    void OpenFindDialog();
    // Prints the page shown. The Print command prints at once to the default printer;
    // askFirst (Ctrl+P, a page's window.print()) shows the print dialog first.
    void PrintDocument(bool askFirst);
    // A page asked to be printed (window.print()).
    void BrowserPrintRequested();

    // The find dialog's handlers (FindInPage.cpp): a new search on opening, and one
    // search from the kept position on every "Find Next".
    void FindDialogShow();
    void FindDialogFind();
    TFindDialog* FindDialog() const { return FindDialog_; }  // none until first opened
    const std::optional<TFindRange>& FindRange() const { return FindRange_; }

    // "http://127.0.0.1:<port><path>".
    std::string LocalURL(const std::string& path);

    TBook& Book() const { return book_; }
    const std::string& CurrentPage() const { return CurrentPage_; }
    const std::string& Caption() const { return caption_; }
    const TWindowPlacement& Placement() const { return placement_; }
    bool FormActive() const { return formActive_; }
    TBrowser* Browser() const { return Browser_; }
    QWidget* ToolBarPanel() const { return ToolBarPanel_; }
    QToolBar* ToolBar() const { return ToolBar_; }
    QWebEngineProfile* Profile() const { return profile_; }

signals:
    // A close request was accepted; the program ends its run loop on it.
    void Closed();
    // A "Find Next" has searched the page; found tells whether it selected a match.
    void FindDone(bool found);
    // A printout has gone to the printer, or failed (and the failure was shown).
    void Printed(bool ok);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetCaption(const std::string& caption);
    void FirstPageArrived();
    void FocusWindowChanged(QWindow* window);
    // Activation and deactivation as the run loop would see them: an error goes to the
    // general error report once the handler has returned.
    void Activate();
    void Deactivate();
    void ReportLater(const QString& text, bool startFailed = false);
    void PrintFinished(const QString& error);
    // The browser fails hard when its page goes while it lays the page out for printing.
    void AwaitPrintLayouts();

    TBook& book_;
    TMainFormServices services_;
    QWebEngineProfile* profile_;
    TBrowser* Browser_;
    QWidget* ToolBarPanel_;
    QToolBar* ToolBar_;

    std::string CurrentPage_;
    std::unique_ptr<TBookStore> store_;
    std::unique_ptr<TDisplaySwitch> DirectDrawObject_;
    bool SavedScreenSaveActive_ = false;
    TWindowPlacement placement_;
    std::string caption_;

    bool formActive_ = false;
    bool shown_ = false;
    bool destroyed_ = false;
    // Set while the report of a failed start is open, so that closing the report does
    // not start the server again at once and open the same report for ever.
    bool skipNextStart_ = false;
    // A dialog that stops the server while a page is on its way makes that page fail; it
    // is loaded again (once) when the server runs again.
    bool stoppedSinceLastLoad_ = false;
    bool reloadOnActivate_ = false;

    TFindDialog* FindDialog_ = nullptr;
    std::optional<TFindRange> FindRange_;
    TFindPresses findPresses_;
    // Draws printouts off the window's thread, one at a time; waits for them when the window goes.
    QThreadPool printThreads_;
    int printLayouts_ = 0;  // printouts the browser is still laying out
    // The intro request waits for the first page (shown or failed).
    bool firstPageArrived_ = false;
    bool introWaiting_ = false;
};

}  // namespace folianto
