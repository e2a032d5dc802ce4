// The splash in front of a real reader window: painted before any event loop runs, closed
// by its mode's rule, and the intro message asked for once, after it has gone.

#include "ReaderRun.h"
#include "SplashScreen.h"

#include <QElapsedTimer>
#include <QScreen>
#include <QWindow>
#include <QtTest>

using namespace folianto;
using namespace folianto::test;

namespace {

TBookDescription SplashBook(int mode, int seconds, bool intro)
{
    auto description = PagesBook({{"/index.html", HtmlPage("Start")}});
    description.Title = "Lamp [*] Light";
    description.SplashEnabled = true;
    description.SplashCloseMode = static_cast<std::uint8_t>(mode);
    description.SplashSeconds = seconds;
    description.SplashImage = PngOf(Filled(200, 120, QColor(200, 30, 40)));
    description.IntroMessageEnabled = intro;
    description.IntroMessage = "Welcome";
    return description;
}

}  // namespace

class SplashScreenTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { FreeSplashScreen(); }
    void paintedBeforeAnyEventLoop();
    void closeModes_data();
    void closeModes();
};

void SplashScreenTest::paintedBeforeAnyEventLoop()
{
    TReaderRun run;
    run.Load(SplashBook(kSplashOnClick, 0, false));
    TSplashForm* splash = CreateSplashScreen(*run.book).Form();
    QVERIFY(splash);
    // Nothing has run an event loop since: what the X server shows is what was painted.
    const QColor shown = QGuiApplication::primaryScreen()->grabWindow(0, 640, 512, 1, 1).toImage().pixelColor(0, 0);
    QCOMPARE(shown, QColor(200, 30, 40));
    QCOMPARE(splash->geometry(), QRect(540, 452, 200, 120));  // centred on 1280 x 1024
    QVERIFY(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(splash->windowHandle()->title(), QString("Lamp [*] Light"));
}

void SplashScreenTest::closeModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<bool>("intro");
    QTest::addColumn<int>("closesBy");
    QTest::newRow("startup") << 0 << 0 << true << kSplashAtStartup;
    QTest::newRow("startup, no intro") << 0 << 0 << false << kSplashAtStartup;
    QTest::newRow("click") << 1 << 0 << true << kSplashOnClick;
    QTest::newRow("click, no intro") << 1 << 0 << false << kSplashOnClick;
    QTest::newRow("seconds") << 2 << 3 << true << kSplashAfterSeconds;
    QTest::newRow("seconds, no intro") << 2 << 3 << false << kSplashAfterSeconds;
    QTest::newRow("no seconds: at startup") << 2 << 0 << true << kSplashAtStartup;
    QTest::newRow("unknown mode: at startup") << 7 << 5 << true << kSplashAtStartup;
}

void SplashScreenTest::closeModes()
{
    QFETCH(int, mode);
    QFETCH(int, seconds);
    QFETCH(bool, intro);
    QFETCH(int, closesBy);
    const int introRequests = intro ? 1 : 0;

    TReaderRun run;
    run.Load(SplashBook(mode, seconds, intro));
    bool splashGoneAtIntro = true;
    run.onMessage = [&] { splashGoneAtIntro = splashGoneAtIntro && VisibleWindows<TSplashForm>() == 0; };

    // The program's order: splash, windows, handle, then the release for mode 0.
    QElapsedTimer sinceStart;
    sinceStart.start();
    TSplashScreenController& controller = CreateSplashScreen(*run.book);
    QPointer<TSplashForm> splash = controller.Form();
    QVERIFY(splash);
    run.Create();
    run.book->MainWindowHandle = WindowHandleOf(run.form.get());

    if (closesBy == kSplashAtStartup) {
        QVERIFY(splash->windowHandle()->close());  // a close request is allowed here
        FreeSplashScreen();
    } else {
        // While it waits, a close request (Alt+F4, the window menu) is refused...
        QVERIFY(!splash->windowHandle()->close());
        QVERIFY(splash->isVisible());
        if (closesBy == kSplashAfterSeconds) {
            QTest::mouseClick(splash, Qt::LeftButton);  // ...and in mode 2 so is a click
            QVERIFY(splash);
            QVERIFY(splash->isVisible());
        }
    }

    QVERIFY(run.ShowAndWait("Lamp [*] Light - Start"));
    if (closesBy == kSplashOnClick) {
        // Still there once the reader window has shown its page; a click closes it.
        QVERIFY(splash && splash->isVisible());
        QVERIFY(run.messages.empty());
        QTest::mouseClick(splash, Qt::LeftButton);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!splash, kPageTimeout);
    if (closesBy == kSplashAfterSeconds)
        QVERIFY2(sinceStart.elapsed() >= seconds * 950, qPrintable(QString::number(sinceStart.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(int(run.messages.size()), introRequests, kPageTimeout);
    QVERIFY(splashGoneAtIntro);
    if (intro)
        QCOMPARE(run.messages.front(), std::make_pair(std::string("Lamp [*] Light"), std::string("Welcome")));

    // Closing again, by hand or at the program's end, asks for nothing more.
    if (SplashScreen())
        SplashScreen()->CloseSplash();
    FreeSplashScreen();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(int(run.messages.size()), introRequests);
}

QTEST_MAIN(SplashScreenTest)
#include "SplashScreenTest.moc"
