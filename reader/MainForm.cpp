#include "MainForm.h"

#include "AnsiText.h"
#include "ApplicationError.h"
#include "Book.h"
#include "BookProfile.h"
#include "BookFonts.h"
#include "Commands.h"
#include "KeyFilter.h"
#include "Navigation.h"
#include "StandardToolbar.h"
#include "WindowTitle.h"
#include "Skin.h"

#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWindow>

namespace folianto {

namespace {

QIcon IconFromBytes(const Bytes& data)
{
    QIcon icon;
    if (data.empty())
        return icon;
    QByteArray bytes(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    for (int i = 0; i < reader.imageCount() || i == 0; ++i) {
        const QImage image = reader.read();
        if (image.isNull())
            break;
        icon.addPixmap(QPixmap::fromImage(image));
        if (!reader.jumpToNextImage())
            break;
    }
    return icon;
}

}  // namespace

// The window itself, not its native id: the window system's window is made anew when
// the web view's first page brings the view's drawing surface, and the id changes then.
std::uintptr_t WindowHandleOf(QWidget* window)
{
    return reinterpret_cast<std::uintptr_t>(window);
}

void PostIntroRequest(std::uintptr_t mainWindowHandle)
{
    // Only to a window that still exists.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (reinterpret_cast<std::uintptr_t>(window) == mainWindowHandle) {
            QCoreApplication::postEvent(window, new QEvent(kIntroRequestEvent));
            return;
        }
    }
}

TMainFormServices RealMainFormServices(TPageServer& server)
{
    TMainFormServices services;
    services.Server = &server;
    services.OpenStore = [](const std::string& bookId) { return std::make_unique<TIniBookStore>(bookId); };
    services.ScreenSaver = CreateX11ScreenSaver();
    services.CreateDisplaySwitch = [] { return CreateXRandrDisplaySwitch(); };
    services.BuildToolbar = BuildStandardToolbar;
    services.Printers = CreateSystemPrinters();
    services.InstallKeyFilter = InstallKeyFilter;
    services.BuildSkin = BuildSkin;
    PlugInBookFonts(services, BookFontDirectory());
    return services;
}

TMainForm::TMainForm(TBook& book, TMainFormServices services, QWidget* parent)
    : QMainWindow(parent),
      book_(book),
      services_(std::move(services)),
      // The page server's port is drawn here, before the profile, so that the web engine
      // starts knowing it (BookProfile.h).
      profile_(NewBookProfile(services_.Server->Port(), this)),
      Browser_(new TBrowser(profile_)),
      ToolBarPanel_(new QWidget),
      ToolBar_(new QToolBar(ToolBarPanel_))
{
    setWindowTitle(QStringLiteral("eBook"));
    move(kDesignLeft, kDesignTop);
    resize(kDesignWidth, kDesignHeight);

    auto* client = new QWidget;
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ToolBarPanel_->setFixedHeight(26);
    ToolBarPanel_->hide();
    ToolBar_->setIconSize(QSize(24, 24));
    ToolBar_->hide();
    layout->addWidget(ToolBarPanel_);
    layout->addWidget(Browser_, 1);
    setCentralWidget(client);

    Browser_->OnBeforeNavigate = [this](const QUrl& url, bool& cancel) { BrowserBeforeNavigate2(url, cancel); };
    Browser_->OnNewWindow = [this](bool& cancel) { BrowserNewWindow2(cancel); };
    connect(Browser_, &QWebEngineView::titleChanged, this, &TMainForm::BrowserTitleChange);
    connect(Browser_, &QWebEngineView::loadFinished, this,
            [this](bool ok) {
                const bool local = Browser_->url().toString(QUrl::FullyEncoded).startsWith(
                    QString::fromStdString(LocalPrefix(services_.Server->Port())));
                if (!ok && stoppedSinceLastLoad_ && local) {
                    // Most likely refused while a dialog had the server stopped: load it
                    // again (once) when the server runs.
                    if (formActive_)
                        QTimer::singleShot(0, Browser_, &QWebEngineView::reload);
                    else
                        reloadOnActivate_ = true;
                }
                stoppedSinceLastLoad_ = false;
                BrowserDocumentComplete(Browser_->url());
                FirstPageArrived();
            });
    connect(Browser_, &TBrowser::SameDocumentNavigated, this, &TMainForm::BrowserDocumentComplete);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TMainForm::FocusWindowChanged);
    connect(Browser_->page(), &QWebEnginePage::printRequested, this, &TMainForm::BrowserPrintRequested);
    printThreads_.setMaxThreadCount(1);

    FormCreate();
}

TMainForm::~TMainForm()
{
    disconnect(qApp, nullptr, this, nullptr);
    FormDestroy();
    AwaitPrintLayouts();
    // The view's page must go before the profile it uses.
    delete Browser_;
}

void TMainForm::FormCreate()
{
    if (services_.InstallKeyFilter)
        services_.InstallKeyFilter(*this);

    store_ = services_.OpenStore ? services_.OpenStore(book_.BookId) : nullptr;
    if (book_.RememberLastPage) {
        const auto stored = store_ ? store_->ReadLastPage() : std::nullopt;
        CurrentPage_ = stored ? *stored : book_.StartPage;  // a stored empty page stays empty
    } else {
        CurrentPage_ = book_.StartPage;
    }
    DirectDrawObject_.reset();

    if (!book_.Loaded) {
        SetCaption("Invalid eBook");
        return;
    }

    if (book_.DisableScreenSaver && services_.ScreenSaver) {
        SavedScreenSaveActive_ = services_.ScreenSaver->Active();
        services_.ScreenSaver->SetActive(false);
    }

    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect screenArea = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const QRect workArea = screen ? screen->availableGeometry() : screenArea;
    placement_ = PlaceWindow(WindowSettingsOf(book_), screenArea, workArea);
    setWindowFlags(WindowFlagsFor(placement_));
    if (!placement_.CentreOnShow) {
        // The window manager adds its frame around this; left and top place the frame.
        move(placement_.Geometry.topLeft());
        resize(placement_.Geometry.size());
        if (FixedSize(placement_.Border))
            setFixedSize(placement_.Geometry.size());
    }

    const QIcon icon = IconFromBytes(book_.Icon.Data);
    setWindowIcon(icon);
    SetCaption(book_.Title);
    SetApplicationTitle(FromAnsi(caption_));
    QApplication::setWindowIcon(icon);
}

void TMainForm::FormShow()
{
    if (services_.InstallBookFonts)
        services_.InstallBookFonts(*this);
    if (!book_.Loaded)
        return;

    if (services_.FillAboutBox)
        services_.FillAboutBox(book_);

    if (book_.ChangeDisplayMode == 1 && services_.CreateDisplaySwitch) {
        DirectDrawObject_ = services_.CreateDisplaySwitch();
        const long result = DirectDrawObject_->Create();
        if (result < 0)
            QMessageBox(QMessageBox::NoIcon, ApplicationTitle(), QStringLiteral("blod"),
                        QMessageBox::Ok)
                .exec();
        if (result == 0 && DirectDrawObject_->TakeScreen() == 0)
            DirectDrawObject_->SetMode(book_.DisplayWidth, book_.DisplayHeight, book_.DisplayDepth);
    }

    if (book_.InterfaceKind == 0 && services_.BuildToolbar)
        services_.BuildToolbar(*this);
    else if (book_.InterfaceKind == 1 && services_.BuildSkin)
        services_.BuildSkin(*this);
    if (placement_.CentreOnShow) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->geometry().center());
            move(frame.topLeft());
        }
    }

    if (!book_.SplashEnabled && book_.IntroMessageEnabled)
        QCoreApplication::postEvent(this, new QEvent(kIntroRequestEvent));

    Browser_->setUrl(LocalQUrl(services_.Server->Port(), CurrentPage_));
}

void TMainForm::FormActivate()
{
    if (skipNextStart_) {
        skipNextStart_ = false;
    } else {
        services_.Server->Start();
        if (reloadOnActivate_) {
            reloadOnActivate_ = false;
            Browser_->reload();
        }
    }
    Browser_->setFocus();
}

void TMainForm::FormDeactivate()
{
    stoppedSinceLastLoad_ = true;
    services_.Server->Stop();
}

void TMainForm::FormKeyPress(char& key)
{
    if (book_.EscapeCloses && key == 27)
        close();
}

void TMainForm::FormHide()
{
    if (services_.RemoveBookFonts)
        services_.RemoveBookFonts(*this);
    if (book_.ChangeDisplayMode == 1 && DirectDrawObject_)
        DirectDrawObject_->GiveScreenBack();
}

void TMainForm::FormDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    if (book_.Loaded && book_.DisableScreenSaver && services_.ScreenSaver)
        services_.ScreenSaver->SetActive(SavedScreenSaveActive_);
    if (book_.RememberLastPage && store_)
        store_->WriteLastPage(CurrentPage_);
    store_.reset();
    DirectDrawObject_.reset();
}

void TMainForm::FormCloseQuery(bool& /*canClose*/)
{
    if (book_.ExitMessageEnabled && services_.ShowMessageWindow)
        services_.ShowMessageWindow(BookCaption(book_.Title), book_.ExitMessage);
}

void TMainForm::BrowserBeforeNavigate2(const QUrl& /*url*/, bool& /*cancel*/)
{
    // Every navigation proceeds: links, scripts, history, frames, outside addresses.
}

void TMainForm::BrowserNewWindow2(bool& /*cancel*/)
{
    // A new window opens as a plain browser window (TBrowser::createWindow).
}

void TMainForm::BrowserTitleChange(const QString& title)
{
    SetCaption(CaptionForPageTitle(book_.Title, ToAnsi(PageTitleAsReported(title, Browser_->url()))));
}

void TMainForm::BrowserDocumentComplete(const QUrl& url)
{
    // Only the top-level document counts: a frame completing last must not replace the
    // page of its frame set, or the next start would open the frame alone.
    CurrentPage_ = CurrentPageFromUrl(ToAnsi(url.toString(QUrl::FullyEncoded)), services_.Server->Port(),
                                      CurrentPage_);
}

int TMainForm::IntroRequest()
{
    if (book_.IntroMessageEnabled && services_.ShowMessageWindow)
        services_.ShowMessageWindow(BookCaption(book_.Title), book_.IntroMessage);
    return 1;
}

void TMainForm::CommandButtonClick(QObject* sender)
{
    if (!sender)
        return;
    // A command's error goes to the general error report and the reader goes on; it must
    // not leave the click's event handler.
    try {
        RunCommand(CommandFromTag(sender->property(kCommandTagProperty).toInt()));
    } catch (const std::exception& error) {
        ReportApplicationError(QString::fromStdString(error.what()));
    }
}

void TMainForm::RunCommand(int command)
{
    switch (command) {
    case static_cast<int>(TCommand::Back):
        Browser_->back();  // without history the view does nothing, which is what we want
        break;
    case static_cast<int>(TCommand::Forward):
        Browser_->forward();
        break;
    case static_cast<int>(TCommand::Stop):
        Browser_->stop();
        break;
    case static_cast<int>(TCommand::Refresh):
        if (HasDocument())
            Browser_->reload();
        break;
    case static_cast<int>(TCommand::Home):
        // Always the book's start page, never the page remembered from the last run.
        Browser_->setUrl(LocalQUrl(services_.Server->Port(), book_.StartPage));
        break;
    case static_cast<int>(TCommand::Find):
        OpenFindDialog();
        break;
    case static_cast<int>(TCommand::Print):
        PrintDocument(false);
        break;
    case static_cast<int>(TCommand::About):
        if (services_.ShowAboutBox)
            services_.ShowAboutBox();
        break;
    case static_cast<int>(TCommand::Close):
        close();  // through the close query, so the exit message shows
        break;
    default:
        break;
    }
}

bool TMainForm::HasDocument() const
{
    return !Browser_->url().isEmpty();
}

std::string TMainForm::LocalURL(const std::string& path)
{
    return folianto::LocalURL(services_.Server->Port(), path);
}

void TMainForm::SetCaption(const std::string& caption)
{
    caption_ = caption;
    SetLiteralWindowTitle(*this, FromAnsi(caption));
}

bool TMainForm::event(QEvent* event)
{
    if (event->type() == kIntroRequestEvent) {
        // The book's first page is to stand behind the intro message: until it has come
        // (or failed), the request waits.
        if (book_.Loaded && !firstPageArrived_)
            introWaiting_ = true;
        else
            IntroRequest();
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;  // restored from the task bar, not shown by the program
    FormShow();
    if (!shown_) {
        shown_ = true;
        if (!formActive_) {
            formActive_ = true;
            Activate();
        }
    }
}

void TMainForm::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    if (!event->spontaneous())  // minimising is not hiding
        FormHide();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    event->accept();
    emit Closed();
}

void TMainForm::keyPressEvent(QKeyEvent* event)
{
    char key = 0;
    if (event->key() == Qt::Key_Escape)
        key = 27;
    else if (!event->text().isEmpty())
        key = ToAnsi(event->text().left(1)).front();
    if (key != 0)
        FormKeyPress(key);
    QMainWindow::keyPressEvent(event);
}

void TMainForm::FirstPageArrived()
{
    if (firstPageArrived_)
        return;
    firstPageArrived_ = true;
    if (introWaiting_) {
        introWaiting_ = false;
        QCoreApplication::postEvent(this, new QEvent(kIntroRequestEvent));
    }
}

void TMainForm::FocusWindowChanged(QWindow* window)
{
    if (!window)
        return;  // another application took the focus: our active form stays as it is
    QWidget* form = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window) {
            form = widget;
            break;
        }
    }
    if (!form || IsForeignWindow(form))
        return;
    const Qt::WindowType type = form->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen)
        return;
    if (form == this) {
        if (!formActive_) {
            formActive_ = true;
            Activate();
        }
    } else if (formActive_) {
        formActive_ = false;
        Deactivate();
    }
}

void TMainForm::Activate()
{
    try {
        FormActivate();
    } catch (const std::exception& error) {
        ReportLater(QString::fromStdString(error.what()), true);
    }
}

void TMainForm::Deactivate()
{
    try {
        FormDeactivate();
    } catch (const std::exception& error) {
        ReportLater(QString::fromStdString(error.what()));
    }
}

void TMainForm::ReportLater(const QString& text, bool startFailed)
{
    QMetaObject::invokeMethod(
        this,
        [this, text, startFailed] {
            // The report takes the focus; getting it back must not fail and report again.
            skipNextStart_ = startFailed;
            ReportApplicationError(text);
            if (formActive_)
                skipNextStart_ = false;  // the focus never left: nothing to skip
        },
        Qt::QueuedConnection);
}

}  // namespace folianto
