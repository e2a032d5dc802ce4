// The reader window on real books served by a real page server, with fake screen saver,
// display switch and (where it matters) a counting wrapper around the server.

#include "ApplicationError.h"
#include "Book.h"
#include "HTTPServer.h"
#include "MainForm.h"
#include "MessageFormTool.h"
#include "ModalWatcher.h"
#include "PageScript.h"
#include "Navigation.h"
#include "ShellOpen.h"
#include "TestBooks.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWindow>
#include <QtTest>

#include <functional>
#include <stdexcept>

using namespace folianto;
using namespace folianto::test;

namespace {

constexpr int kLoadTimeout = 15000;

// One port, drawn as the page server draws, for every window of this program: the web
// engine is told the port of the first window only (BookProfile.h), and a port drawn anew
// for a later window might be one that Chromium refuses.
int TestPort()
{
    static const int port = static_cast<int>(QRandomGenerator::global()->bounded(1024, 31024));
    return port;
}

class TCountingServer : public TPageServer {
public:
    explicit TCountingServer(THTTPServer& real) : real_(real) {}
    void Start() override
    {
        ++Starts;
        if (FailStart)
            throw std::runtime_error("Port 4711 is held by another program");
        real_.Start();
    }
    void Stop() override
    {
        ++Stops;
        real_.Stop();
    }
    int Port() override { return real_.Port(); }
    bool Running() const { return real_.Active(); }

    int Starts = 0, Stops = 0;
    bool FailStart = false;

private:
    THTTPServer& real_;
};

class TFakeScreenSaver : public TScreenSaver {
public:
    explicit TFakeScreenSaver(bool& active) : active_(active) {}
    bool Active() override { return active_; }
    void SetActive(bool active) override { active_ = active; }

private:
    bool& active_;
};

struct TDisplayLog {
    long CreateResult = 0;
    int Creates = 0, Takes = 0, GiveBacks = 0;
    QString Mode;
};

class TFakeDisplaySwitch : public TDisplaySwitch {
public:
    explicit TFakeDisplaySwitch(TDisplayLog& log) : log_(log) {}
    long Create() override
    {
        ++log_.Creates;
        return log_.CreateResult;
    }
    long TakeScreen() override
    {
        ++log_.Takes;
        return 0;
    }
    long SetMode(int width, int height, int depth) override
    {
        log_.Mode = QString("%1x%2x%3").arg(width).arg(height).arg(depth);
        return 0;
    }
    void GiveScreenBack() override { ++log_.GiveBacks; }

private:
    TDisplayLog& log_;
};

// Everything one run of the reader window needs, on a book written for the test.
struct TRun {
    QTemporaryDir dir;
    QString configRoot;
    std::unique_ptr<TBook> book;
    std::unique_ptr<THTTPServer> http;
    std::unique_ptr<TCountingServer> server;
    std::vector<std::pair<std::string, std::string>> messages;
    std::vector<std::string> captionsBehind;  // the reader window's caption as each message opened
    bool screenSaverActive = true;
    TDisplayLog display;
    std::unique_ptr<TMessageForm> realMessageForm;
    std::unique_ptr<TMainForm> form;

    explicit TRun(QString config) : configRoot(std::move(config)) {}

    void Load(const TBookDescription& description)
    {
        book = std::make_unique<TBook>(WriteBookFile(description, dir.path()).toStdString());
        http = std::make_unique<THTTPServer>(*book, TestPort());
        server = std::make_unique<TCountingServer>(*http);
    }
    void LoadFile(const QByteArray& bytes)
    {
        const QString path = dir.filePath("broken.pkg");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        book = std::make_unique<TBook>(path.toStdString());
        http = std::make_unique<THTTPServer>(*book, TestPort());
        server = std::make_unique<TCountingServer>(*http);
    }

    // Creates the window; with useRealMessageForm, messages go to a modal message window.
    void Create(bool useRealMessageForm = false)
    {
        TMainFormServices services;
        services.Server = server.get();
        const QString root = configRoot;
        services.OpenStore = [root](const std::string& id) { return std::make_unique<TIniBookStore>(id, root); };
        services.ScreenSaver = std::make_unique<TFakeScreenSaver>(screenSaverActive);
        services.CreateDisplaySwitch = [this] { return std::make_unique<TFakeDisplaySwitch>(display); };
        if (useRealMessageForm) {
            realMessageForm = std::make_unique<TMessageForm>(DesktopShell());
            services.ShowMessageWindow = [this](const std::string& title, const std::string& text) {
                messages.emplace_back(title, text);
                captionsBehind.push_back(form->Caption());
                realMessageForm->ShowMessageWindow(title, text);
            };
        } else {
            services.ShowMessageWindow = [this](const std::string& title, const std::string& text) {
                messages.emplace_back(title, text);
                captionsBehind.push_back(form->Caption());
            };
        }
        form = std::make_unique<TMainForm>(*book, std::move(services));
    }

    void Finish()
    {
        form.reset();
        realMessageForm.reset();
        if (http)
            http->Stop();
    }
    ~TRun() { Finish(); }
};

// The book asks for a 640 x 480 screen mode of its own.
void AskFor640x480(TBookDescription& description)
{
    description.ChangeDisplayMode = 1;
    description.DisplayMode = 3;
    description.DisplayWidth = 640;
    description.DisplayHeight = 480;
}

void Click(TMainForm& form, const QString& id)
{
    form.Browser()->page()->runJavaScript(QString("document.getElementById('%1').click()").arg(id));
}

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void captionAndCurrentPageFollowTheTopDocument();
    void jumpsWithinThePageAreRemembered();
    void captionsShowTheModifiedMarkAsWritten();
    void lastPageIsRememberedAcrossRuns();
    void forgettingBooksNeitherReadNorWriteThePage();
    void storedEmptyPageOpensTheServerRoot();
    void invalidBookKeepsTheDesignedWindow();
    void placementAndFrameComeFromTheBook();
    void introMessageIsShownOnce_data();
    void introMessageIsShownOnce();
    void exitMessageOnEveryCloseRequest();
    void escapeClosesOnlyWhenTheBookSaysSo();
    void modalDialogStopsTheServerUntilItCloses();
    void newWindowOpensAPlainBrowserWindowAndKeepsTheServer();
    void startErrorIsReportedOnceAndRetriedLater();
    void displaySwitchAndScreenSaverAreGivenBack();
    void failedDisplaySwitchSaysBlodAndGoesOn();

private:
    QTemporaryDir config_;
};

void MainFormTest::init()
{
    SetApplicationTitle("Folianto test");
}

void MainFormTest::captionAndCurrentPageFollowTheTopDocument()
{
    TRun run(config_.path());
    run.Load(PagesBook({
        {"/index.html", HtmlPage("Start", "<a id='next' href='chapter2.html#notes'>next</a>"
                                      "<a id='frames' href='frames.html'>frames</a>"
                                      "<a id='untitled' href='plain.html'>plain</a>")},
        {"/chapter2.html", HtmlPage("Caf\xE9 2", "<p id='notes'>notes</p><a id='back' href='index.html'>back</a>")},
        {"/plain.html", "<html><body><a id='frames' href='frames.html'>frames</a></body></html>"},
        {"/frames.html", "<html><head><title>Frames</title></head><frameset cols='50%,50%'>"
                         "<frame src='toc.html'><frame src='chapter1.html'></frameset></html>"},
        {"/toc.html", HtmlPage("Contents")},
        {"/chapter1.html", HtmlPage("Chapter 1")},
    }));
    run.Create();
    run.form->show();
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Start"), kLoadTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(run.form->CurrentPage(), std::string("/index.html"), kLoadTimeout);

    Click(*run.form, "next");
    // The caption is shown in Unicode, and kept in Windows-1252 like the book's texts.
    QTRY_COMPARE_WITH_TIMEOUT(run.form->windowTitle(), QString::fromUtf8("My Book - Caf\xC3\xA9 2"), kLoadTimeout);
    QCOMPARE(run.form->Caption(), std::string("My Book - Caf\xE9 2"));
    QTRY_COMPARE_WITH_TIMEOUT(run.form->CurrentPage(), std::string("/chapter2.html#notes"), kLoadTimeout);

    // A page without a title shows the book title alone, as for an address.
    run.form->Browser()->setUrl(LocalQUrl(run.server->Port(), "/plain.html"));
    QTRY_COMPARE_WITH_TIMEOUT(run.form->CurrentPage(), std::string("/plain.html"), kLoadTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book"), kLoadTimeout);

    // The frame set is the current page, not whichever frame completed last.
    Click(*run.form, "frames");
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Frames"), kLoadTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(run.form->CurrentPage(), std::string("/frames.html"), kLoadTimeout);
    QVERIFY(WaitForPageValue(*run.form->Browser()->page(),
                             "window.frames.length == 2 && window.frames[1].document.title == 'Chapter 1'",
                             [](const QVariant& v) { return v.toBool(); }, kLoadTimeout));
    QCOMPARE(run.form->CurrentPage(), std::string("/frames.html"));
}

void MainFormTest::jumpsWithinThePageAreRemembered()
{
    auto description = PagesBook({
        {"/index.html", HtmlPage("Start", "<a id='to-sec' href='#sec'>to sec</a><iframe id='toc' src='toc.html'></iframe>"
                                      "<p id='sec' style='margin-top:3000px'>sec</p>")},
        {"/toc.html", HtmlPage("Contents", "<a id='to-part2' href='#part2'>part 2</a><p id='part2'>2</p>")},
    });
    description.BookId = "jumps";
    description.RememberLastPage = true;
    {
        TRun run(config_.path());
        run.Load(description);
        run.Create();
        QSignalSpy loads(run.form->Browser(), &QWebEngineView::loadFinished);
        run.form->show();
        QTRY_COMPARE_WITH_TIMEOUT(loads.count(), 1, kLoadTimeout);
        QCOMPARE(run.form->CurrentPage(), std::string("/index.html"));

        // No new document comes for a jump within the page.
        Click(*run.form, "to-sec");
        QTRY_COMPARE_WITH_TIMEOUT(run.form->CurrentPage(), std::string("/index.html#sec"), kLoadTimeout);
        QCOMPARE(loads.count(), 1);

        // A jump inside a frame moves the frame, not the page.
        run.form->Browser()->page()->runJavaScript(
            "document.getElementById('toc').contentDocument.getElementById('to-part2').click()");
        QVERIFY(WaitForPageValue(*run.form->Browser()->page(),
                                 "document.getElementById('toc').contentWindow.location.hash",
                                 [](const QVariant& v) { return v.toString() == "#part2"; }, kLoadTimeout));
        QCoreApplication::processEvents();
        QCOMPARE(run.form->CurrentPage(), std::string("/index.html#sec"));
        QVERIFY(run.form->close());
    }
    QCOMPARE(TIniBookStore("jumps", config_.path()).ReadLastPage(), std::optional<std::string>("/index.html#sec"));
}

void MainFormTest::captionsShowTheModifiedMarkAsWritten()
{
    // Qt would take "[*]" for its modified mark and drop it from every one of these titles.
    auto description = PagesBook({{"/index.html", HtmlPage("[*] Start")}});
    description.Title = "Notes [*] 1";
    description.IntroMessageEnabled = true;
    description.IntroMessage = "Welcome";
    AskFor640x480(description);
    TRun run(config_.path());
    run.Load(description);
    run.display.CreateResult = kDisplayFailure;  // for a message box titled with the book's title
    run.Create(true);

    TMessageBoxCloser blod;
    QString messageTitle, captionBehind;
    TModalWatcher intro([&](QWidget* modal) {
        if (modal != run.realMessageForm.get() || !modal->windowHandle())
            return false;
        messageTitle = modal->windowHandle()->title();
        captionBehind = run.form->windowHandle()->title();
        QTest::mouseClick(run.realMessageForm->Button1(), Qt::LeftButton);
        return true;
    });
    run.form->show();
    QVERIFY(blod.Watcher.Done);
    QCOMPARE(blod.Title, QString("Notes [*] 1"));
    QTRY_VERIFY_WITH_TIMEOUT(intro.Done, kLoadTimeout);
    QCOMPARE(messageTitle, QString("Notes [*] 1"));
    QCOMPARE(captionBehind, QString("Notes [*] 1 - [*] Start"));

    // The general error report is titled with the book's title too.
    TMessageBoxCloser report;
    ReportApplicationError("Port 4711 is held by another program");
    QVERIFY(report.Watcher.Done);
    QCOMPARE(report.Title, QString("Notes [*] 1"));
}

void MainFormTest::lastPageIsRememberedAcrossRuns()
{
    auto description = PagesBook({{"/index.html", HtmlPage("Start", "<a id='next' href='chapter3.html'>3</a>")},
                                  {"/chapter3.html", HtmlPage("Chapter 3")}});
    description.BookId = "remember/me";
    description.RememberLastPage = true;
    {
        TRun first(config_.path());
        first.Load(description);
        first.Create();
        first.form->show();
        QTRY_COMPARE_WITH_TIMEOUT(first.form->Caption(), std::string("My Book - Start"), kLoadTimeout);
        Click(*first.form, "next");
        QTRY_COMPARE_WITH_TIMEOUT(first.form->CurrentPage(), std::string("/chapter3.html"), kLoadTimeout);
    }
    QCOMPARE(TIniBookStore("remember/me", config_.path()).ReadLastPage(), std::optional<std::string>("/chapter3.html"));
    QCOMPARE(TIniBookStore("remember\\me", config_.path()).ReadLastPage(), std::nullopt);

    TRun second(config_.path());
    second.Load(description);
    second.Create();
    QCOMPARE(second.form->CurrentPage(), std::string("/chapter3.html"));
    second.form->show();
    QCOMPARE(second.form->Browser()->url(), QUrl(QString::fromStdString(second.form->LocalURL("/chapter3.html"))));
    QTRY_COMPARE_WITH_TIMEOUT(second.form->Caption(), std::string("My Book - Chapter 3"), kLoadTimeout);
}

void MainFormTest::forgettingBooksNeitherReadNorWriteThePage()
{
    auto description = PagesBook({{"/index.html", HtmlPage("Start", "<a id='next' href='chapter3.html'>3</a>")},
                                  {"/chapter3.html", HtmlPage("Chapter 3")}});
    description.BookId = "forgetful";
    description.RememberLastPage = false;
    TIniBookStore("forgetful", config_.path()).WriteLastPage("/chapter3.html");
    {
        TRun run(config_.path());
        run.Load(description);
        run.Create();
        QCOMPARE(run.form->CurrentPage(), std::string("/index.html"));
        run.form->show();
        QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Start"), kLoadTimeout);
    }
    QCOMPARE(TIniBookStore("forgetful", config_.path()).ReadLastPage(), std::optional<std::string>("/chapter3.html"));
}

void MainFormTest::storedEmptyPageOpensTheServerRoot()
{
    auto description = PagesBook({{"/index.html", HtmlPage("Start")}});
    description.BookId = "empty-page";
    description.RememberLastPage = true;
    TIniBookStore("empty-page", config_.path()).WriteLastPage("");
    TRun run(config_.path());
    run.Load(description);
    run.Create();
    QCOMPARE(run.form->CurrentPage(), std::string());
    run.form->show();
    QCOMPARE(run.form->Browser()->url(), QUrl(QString("http://127.0.0.1:%1").arg(run.server->Port())));
}

void MainFormTest::invalidBookKeepsTheDesignedWindow()
{
    TRun run(config_.path());
    run.LoadFile(QByteArray(64, 'x'));
    QVERIFY(!run.book->Loaded);
    run.Create();
    QCOMPARE(run.form->windowTitle(), QString("Invalid eBook"));
    QCOMPARE(run.form->pos(), QPoint(133, 109));
    QCOMPARE(run.form->size(), QSize(696, 480));
    run.form->show();
    QTRY_COMPARE_WITH_TIMEOUT(run.server->Starts, 1, kLoadTimeout);
    QVERIFY(run.server->Running());
    QCOMPARE(run.form->Browser()->url(), QUrl());
    QCOMPARE(run.form->windowTitle(), QString("Invalid eBook"));
}

void MainFormTest::placementAndFrameComeFromTheBook()
{
    auto description = PagesBook({{"/index.html", HtmlPage("Start")}});
    description.WindowWidth = 800;
    description.WindowHeight = 600;
    description.BorderStyle = 1;
    description.MaximizeBox = false;
    description.StayOnTop = true;
    TRun run(config_.path());
    run.Load(description);
    run.Create();
    // The test screen is 1280 x 1024.
    QCOMPARE(run.form->pos(), QPoint(240, 212));
    QCOMPARE(run.form->size(), QSize(800, 600));
    QCOMPARE(run.form->minimumSize(), run.form->maximumSize());
    const Qt::WindowFlags flags = run.form->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QCOMPARE(run.form->windowTitle(), QString("My Book"));
    run.form->show();
    QTRY_COMPARE_WITH_TIMEOUT(run.form->frameGeometry().topLeft(), QPoint(240, 212), kLoadTimeout);
}

void MainFormTest::introMessageIsShownOnce_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("splash");
    QTest::addColumn<bool>("splashCloses");
    QTest::addColumn<int>("shown");
    QTest::newRow("enabled") << true << false << false << 1;
    QTest::newRow("disabled") << false << false << false << 0;
    QTest::newRow("left to the splash") << true << true << false << 0;
    QTest::newRow("splash closes before the page is there") << true << true << true << 1;
}

void MainFormTest::introMessageIsShownOnce()
{
    QFETCH(bool, enabled);
    QFETCH(bool, splash);
    QFETCH(bool, splashCloses);
    QFETCH(int, shown);
    auto description = PagesBook({{"/index.html", HtmlPage("Start")}});
    description.Title = "";
    description.IntroMessageEnabled = enabled;
    description.IntroMessage = "Welcome";
    description.SplashEnabled = splash;
    if (splash)
        description.SplashImage = PngOf(Filled(4, 4, Qt::red));
    TRun run(config_.path());
    run.Load(description);
    if (splash)
        QVERIFY(run.book->SplashEnabled);
    run.Create();
    QSignalSpy loads(run.form->Browser(), &QWebEngineView::loadFinished);
    run.form->show();
    if (splashCloses)
        PostIntroRequest(WindowHandleOf(run.form.get()));
    QVERIFY(run.messages.empty());  // posted, not shown from inside the show handler
    QTRY_COMPARE_WITH_TIMEOUT(loads.count(), 1, kLoadTimeout);
    QVERIFY(loads.first().first().toBool());
    QCoreApplication::processEvents();  // a request that waited for the page is posted again
    QTRY_COMPARE_WITH_TIMEOUT(int(run.messages.size()), shown, kLoadTimeout);
    if (shown) {
        QCOMPARE(run.messages.front(), std::make_pair(std::string("Untitled"), std::string("Welcome")));
        // The book's first page, not an empty window or an error page, stands behind it.
        QCOMPARE(run.captionsBehind.front(), std::string("Untitled - Start"));
    }
    QCOMPARE(run.form->Caption(), std::string("Untitled - Start"));

    // A request that arrives anyway (from a splash) is answered whether or not it shows.
    QCOMPARE(run.form->IntroRequest(), 1);
    QCOMPARE(int(run.messages.size()), enabled ? shown + 1 : 0);
}

void MainFormTest::exitMessageOnEveryCloseRequest()
{
    auto description = PagesBook({{"/index.html", HtmlPage("Start")}});
    description.ExitMessageEnabled = true;
    description.ExitMessage = "Goodbye, see mail@folianto.example";
    TRun run(config_.path());
    run.Load(description);
    run.Create();
    QSignalSpy closed(run.form.get(), &TMainForm::Closed);
    run.form->show();
    QVERIFY(run.form->close());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(int(run.messages.size()), 1);
    QCOMPARE(run.messages.front(), std::make_pair(std::string("My Book"), description.ExitMessage));
    run.form->show();
    QVERIFY(run.form->close());
    QCOMPARE(int(run.messages.size()), 2);
}

void MainFormTest::escapeClosesOnlyWhenTheBookSaysSo()
{
    for (const bool escapeCloses : {false, true}) {
        auto description = PagesBook({{"/index.html", HtmlPage("Start")}});
        description.EscapeCloses = escapeCloses;
        TRun run(config_.path());
        run.Load(description);
        run.Create();
        QSignalSpy closed(run.form.get(), &TMainForm::Closed);
        run.form->show();
        QTest::keyClick(run.form.get(), Qt::Key_Escape);
        QCOMPARE(closed.count(), escapeCloses ? 1 : 0);
        QCOMPARE(run.form->isVisible(), !escapeCloses);
    }
}

void MainFormTest::modalDialogStopsTheServerUntilItCloses()
{
    auto description = PagesBook({{"/index.html", HtmlPage("Start")}, {"/second.html", HtmlPage("Second")}});
    description.IntroMessageEnabled = true;
    description.IntroMessage = "Read me first: www.folianto.example";
    TRun run(config_.path());
    run.Load(description);
    run.Create(true);

    bool stoppedWhileOpen = false;
    int startsWhileOpen = 0;
    bool secondAsked = false;
    QElapsedTimer sinceAsked;
    QSignalSpy loads(run.form->Browser(), &QWebEngineView::loadFinished);
    TModalWatcher watcher([&](QWidget* modal) {
        if (modal != run.realMessageForm.get() || run.server->Stops != 1)
            return false;
        if (!secondAsked) {
            stoppedWhileOpen = !run.server->Running();
            startsWhileOpen = run.server->Starts;
            // A page asked for while the message is open finds the server stopped.
            run.form->Browser()->setUrl(LocalQUrl(run.server->Port(), "/second.html"));
            secondAsked = true;
            sinceAsked.start();
            return false;
        }
        // Closed in any case once the wait is over, so that a failure is reported, not hung.
        if (loads.count() < 2 && !sinceAsked.hasExpired(kLoadTimeout))
            return false;
        QTest::mouseClick(run.realMessageForm->Button1(), Qt::LeftButton);
        return true;
    });
    run.form->show();
    QTRY_VERIFY_WITH_TIMEOUT(watcher.Done, kLoadTimeout);
    QVERIFY(stoppedWhileOpen);
    QCOMPARE(startsWhileOpen, 1);
    QCOMPARE(run.realMessageForm->windowTitle(), QString("My Book"));
    // The first page had come before the message opened; the second was refused.
    QCOMPARE(run.captionsBehind, std::vector<std::string>{"My Book - Start"});
    QCOMPARE(loads.count(), 2);
    QCOMPARE(loads.at(0).at(0).toBool(), true);
    QCOMPARE(loads.at(1).at(0).toBool(), false);

    QTRY_COMPARE_WITH_TIMEOUT(run.server->Starts, 2, kLoadTimeout);
    QVERIFY(run.server->Running());
    // The refused page is loaded once the server runs again.
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Second"), kLoadTimeout);
    QCOMPARE(run.form->CurrentPage(), std::string("/second.html"));
    QCOMPARE(int(run.messages.size()), 1);
}

void MainFormTest::newWindowOpensAPlainBrowserWindowAndKeepsTheServer()
{
    TRun run(config_.path());
    run.Load(PagesBook({{"/index.html", HtmlPage("Start", "<a id='pop' href='other.html' target='_blank'>pop</a>")},
                        {"/other.html", HtmlPage("Other")}}));
    run.Create();
    run.form->show();
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Start"), kLoadTimeout);
    const auto before = QApplication::topLevelWidgets();
    Click(*run.form, "pop");
    TBrowserWindow* window = nullptr;
    QVERIFY(QTest::qWaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<TBrowserWindow*>(w); b && !before.contains(w))
                window = b;
        return window != nullptr;
    }, kLoadTimeout));
    QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QString("Other"), kLoadTimeout);
    QCOMPARE(run.server->Stops, 0);
    QCOMPARE(run.form->Caption(), std::string("My Book - Start"));
    QCOMPARE(run.form->CurrentPage(), std::string("/index.html"));
    delete window;
}

void MainFormTest::startErrorIsReportedOnceAndRetriedLater()
{
    TRun run(config_.path());
    run.Load(PagesBook({{"/index.html", HtmlPage("Start")}}));
    run.server->FailStart = true;
    run.Create();
    TMessageBoxCloser report;
    run.form->show();
    QTRY_VERIFY_WITH_TIMEOUT(report.Watcher.Done, kLoadTimeout);
    QCOMPARE(report.Text, QString("Port 4711 is held by another program"));
    QVERIFY(run.form->isVisible());
    // Closing the report gives the focus back without starting (and failing) again.
    QTRY_VERIFY_WITH_TIMEOUT(run.form->FormActive() && QApplication::activeWindow() == run.form.get(), kLoadTimeout);
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(run.server->Starts, 1);

    // The next activation tries again.
    run.server->FailStart = false;
    QDialog dialog;
    TModalWatcher closer([&](QWidget* modal) {
        if (modal != &dialog || run.form->FormActive())
            return false;
        dialog.accept();
        return true;
    });
    dialog.exec();
    QTRY_COMPARE_WITH_TIMEOUT(run.server->Starts, 2, kLoadTimeout);
    QVERIFY(run.server->Running());
}

void MainFormTest::displaySwitchAndScreenSaverAreGivenBack()
{
    auto description = PagesBook({{"/index.html", HtmlPage("Start")}});
    AskFor640x480(description);
    description.DisplayDepth = 16;
    description.DisableScreenSaver = true;
    for (const bool wasActive : {true, false}) {
        TRun run(config_.path());
        run.Load(description);
        run.screenSaverActive = wasActive;
        run.Create();
        QVERIFY(!run.screenSaverActive);
        run.form->show();
        QCOMPARE(run.display.Mode, QString("640x480x16"));
        run.form->hide();
        QCOMPARE(run.display.GiveBacks, 1);
        run.form.reset();
        QCOMPARE(run.screenSaverActive, wasActive);
    }
}

void MainFormTest::failedDisplaySwitchSaysBlodAndGoesOn()
{
    auto description = PagesBook({{"/index.html", HtmlPage("Start")}});
    AskFor640x480(description);
    TRun run(config_.path());
    run.Load(description);
    run.display.CreateResult = kDisplayFailure;
    run.Create();
    TMessageBoxCloser blod;
    run.form->show();
    QVERIFY(blod.Watcher.Done);  // shown and closed inside the show handler
    QCOMPARE(blod.Text, QString("blod"));
    QCOMPARE(run.display.Takes, 0);
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Start"), kLoadTimeout);
}

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
