// The reader window's and the message window's decisions, without windows.

#include "AnsiText.h"
#include "BookProfile.h"
#include "BookStore.h"
#include "Commands.h"
#include "Navigation.h"
#include "Placement.h"
#include "RichEditEx.h"
#include "WindowTitle.h"

#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>
#include <QtTest>

#include <set>

using namespace folianto;

Q_DECLARE_METATYPE(std::string)

class DecisionsTest : public QObject {
    Q_OBJECT
private slots:
    void captionFollowsPageTitle_data();
    void captionFollowsPageTitle();
    void currentPageFromCompletedUrl_data();
    void currentPageFromCompletedUrl();
    void localUrlKeepsPathAndEncodesNonAscii();
    void pageTitleIsConvertedTo1252();
    void placement_data();
    void placement();
    void placementOnAScreenAwayFromTheOrigin_data();
    void placementOnAScreenAwayFromTheOrigin();
    void flagsCarryBorderIconsAndStayOnTop();
    void titlesShowAsWritten_data();
    void titlesShowAsWritten();
    void chromiumFlagsAllowThePort_data();
    void chromiumFlagsAllowThePort();
    void storePathsNeverShareABook();
    void storeRoundTripsPagesAndTellsMissingFromEmpty();
    void linksInText_data();
    void linksInText();
    void shellTextForLink_data();
    void shellTextForLink();
    void commandFromTag_data();
    void commandFromTag();
};

void DecisionsTest::captionFollowsPageTitle_data()
{
    QTest::addColumn<std::string>("bookTitle");
    QTest::addColumn<std::string>("pageTitle");
    QTest::addColumn<std::string>("caption");
    QTest::newRow("plain") << std::string("My Book") << std::string("Chapter 2") << std::string("My Book - Chapter 2");
    QTest::newRow("untitled book") << std::string() << std::string("Chapter 2") << std::string("Untitled - Chapter 2");
    QTest::newRow("address inside") << std::string("My Book") << std::string("Visit http://x") << std::string("My Book");
    QTest::newRow("upper-case scheme") << std::string("My Book") << std::string("HTTP://X") << std::string("My Book - HTTP://X");
    QTest::newRow("about:blank") << std::string("My Book") << std::string("about:blank") << std::string("My Book");
    QTest::newRow("About:Blank") << std::string("My Book") << std::string("About:Blank") << std::string("My Book - About:Blank");
    QTest::newRow("empty page title") << std::string("My Book") << std::string() << std::string("My Book - ");
    QTest::newRow("untitled, address") << std::string() << std::string("http://127.0.0.1:4711/x.html") << std::string("Untitled");
}

void DecisionsTest::captionFollowsPageTitle()
{
    QFETCH(std::string, bookTitle);
    QFETCH(std::string, pageTitle);
    QFETCH(std::string, caption);
    QCOMPARE(CaptionForPageTitle(bookTitle, pageTitle), caption);
}

void DecisionsTest::currentPageFromCompletedUrl_data()
{
    QTest::addColumn<std::string>("url");
    QTest::addColumn<std::string>("page");
    const std::string previous = "/previous.html";
    QTest::newRow("fragment") << std::string("http://127.0.0.1:4711/chapter2.html#notes") << std::string("/chapter2.html#notes");
    QTest::newRow("query") << std::string("http://127.0.0.1:4711/a.html?x=1") << std::string("/a.html?x=1");
    QTest::newRow("encoded") << std::string("http://127.0.0.1:4711/caf%C3%A9.html") << std::string("/caf%C3%A9.html");
    QTest::newRow("about:blank") << std::string("about:blank") << std::string();
    QTest::newRow("root") << std::string("http://127.0.0.1:4711") << std::string();
    QTest::newRow("outside the book") << std::string("https://example.org/page.html") << previous;
    QTest::newRow("other port with our digits") << std::string("http://127.0.0.1:47110/x.html") << previous;
}

void DecisionsTest::currentPageFromCompletedUrl()
{
    QFETCH(std::string, url);
    QFETCH(std::string, page);
    QCOMPARE(CurrentPageFromUrl(url, 4711, "/previous.html"), page);
}

void DecisionsTest::localUrlKeepsPathAndEncodesNonAscii()
{
    QCOMPARE(LocalURL(4711, "/index.html"), std::string("http://127.0.0.1:4711/index.html"));
    QCOMPARE(LocalURL(31023, ""), std::string("http://127.0.0.1:31023"));

    // An entry name holding the Windows-1252 byte for "é".
    const QUrl url = LocalQUrl(4711, "/caf\xE9 au lait.html#p2");
    QVERIFY(url.isValid());
    QCOMPARE(url.toString(QUrl::FullyEncoded), QString("http://127.0.0.1:4711/caf%C3%A9%20au%20lait.html#p2"));
    // An escape already in the path (a remembered page) is not encoded twice.
    QCOMPARE(LocalQUrl(4711, "/caf%C3%A9.html").toString(QUrl::FullyEncoded),
             QString("http://127.0.0.1:4711/caf%C3%A9.html"));
}

void DecisionsTest::pageTitleIsConvertedTo1252()
{
    QCOMPARE(ToAnsi(QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC")), std::string("Caf\xE9 \x80"));
    QCOMPARE(ToAnsi(QString::fromUtf8("\xE6\x97\xA5 x")), std::string("? x"));
    QCOMPARE(FromAnsi("Caf\xE9 \x80"), QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC"));
}

Q_DECLARE_METATYPE(TWindowSettings)
Q_DECLARE_METATYPE(TWindowPlacement)

void DecisionsTest::placement_data()
{
    QTest::addColumn<TWindowSettings>("settings");
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("border");
    QTest::addColumn<bool>("centreOnShow");

    const QRect fullScreen(0, 0, 1024, 768);
    TWindowSettings centred;
    centred.WindowWidth = 800;
    centred.WindowHeight = 600;
    QTest::newRow("800x600 centred") << centred << fullScreen << QRect(112, 84, 800, 600) << int(TBorderStyle::Sizeable) << false;

    TWindowSettings odd = centred;
    odd.WindowWidth = 801;
    odd.WindowHeight = 601;
    QTest::newRow("odd size truncates") << odd << fullScreen << QRect(111, 83, 801, 601) << int(TBorderStyle::Sizeable) << false;

    TWindowSettings large = centred;
    large.WindowWidth = 1101;
    large.WindowHeight = 900;
    QTest::newRow("larger than screen") << large << fullScreen << QRect(-38, -66, 1101, 900) << int(TBorderStyle::Sizeable) << false;

    TWindowSettings full = centred;
    full.FullScreen = true;
    QTest::newRow("full screen, panel at left") << full << QRect(48, 0, 976, 768) << QRect(0, 0, 976, 768)
                                                << int(TBorderStyle::Sizeable) << false;

    TWindowSettings switched = full;
    switched.ChangeDisplayMode = 1;
    switched.DisplayWidth = 640;
    switched.DisplayHeight = 480;
    QTest::newRow("full screen, switched mode") << switched << fullScreen << QRect(0, 0, 640, 480)
                                                << int(TBorderStyle::Sizeable) << false;

    TWindowSettings otherMode = full;
    otherMode.ChangeDisplayMode = 2;
    QTest::newRow("full screen, unknown mode keeps design") << otherMode << fullScreen << QRect(133, 109, 696, 480)
                                                            << int(TBorderStyle::Sizeable) << false;

    const std::pair<int, TBorderStyle> borders[] = {{0, TBorderStyle::None}, {1, TBorderStyle::Single},
                                                    {3, TBorderStyle::ToolWindow}, {4, TBorderStyle::SizeToolWindow},
                                                    {7, TBorderStyle::Sizeable}};
    for (auto [value, style] : borders) {
        TWindowSettings s = centred;
        s.BorderStyle = static_cast<std::uint8_t>(value);
        QTest::addRow("border %d", value) << s << fullScreen << QRect(112, 84, 800, 600) << int(style) << false;
    }

    TWindowSettings skin;
    skin.InterfaceKind = 1;
    QTest::newRow("skin") << skin << fullScreen << QRect(133, 109, 696, 480) << int(TBorderStyle::None) << true;

    TWindowSettings other = centred;
    other.InterfaceKind = 2;
    other.BorderStyle = 0;
    QTest::newRow("interface 2 keeps design") << other << fullScreen << QRect(133, 109, 696, 480)
                                              << int(TBorderStyle::Sizeable) << false;
}

void DecisionsTest::placement()
{
    QFETCH(TWindowSettings, settings);
    QFETCH(QRect, workArea);
    QFETCH(QRect, geometry);
    QFETCH(int, border);
    QFETCH(bool, centreOnShow);
    const TWindowPlacement p = PlaceWindow(settings, QRect(0, 0, 1024, 768), workArea);
    QCOMPARE(p.Geometry, geometry);
    QCOMPARE(int(p.Border), border);
    QCOMPARE(p.CentreOnShow, centreOnShow);
}

void DecisionsTest::placementOnAScreenAwayFromTheOrigin_data()
{
    QTest::addColumn<TWindowSettings>("settings");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QRect>("geometry");

    // The primary screen right of a 1920-pixel monitor, or left of and above another.
    const QRect right(1920, 0, 1280, 1024);
    const QRect left(-1280, -200, 1280, 1024);
    TWindowSettings centred;
    centred.WindowWidth = 800;
    centred.WindowHeight = 600;
    QTest::newRow("centred") << centred << right << right << QRect(2160, 212, 800, 600);
    TWindowSettings odd = centred;
    odd.WindowWidth = 801;
    odd.WindowHeight = 601;
    QTest::newRow("centred, odd size truncates") << odd << left << left << QRect(-1280 + 239, -200 + 211, 801, 601);
    TWindowSettings large = centred;
    large.WindowWidth = 1400;
    QTest::newRow("centred, wider than the screen") << large << right << right << QRect(1920 - 60, 212, 1400, 600);

    TWindowSettings full = centred;
    full.FullScreen = true;
    QTest::newRow("full screen, panel at bottom") << full << right << QRect(1920, 0, 1280, 994)
                                                  << QRect(1920, 0, 1280, 994);
    QTest::newRow("full screen, panel at left") << full << right << QRect(1968, 0, 1232, 1024)
                                                << QRect(1920, 0, 1232, 1024);
    TWindowSettings switched = full;
    switched.ChangeDisplayMode = 1;
    switched.DisplayWidth = 640;
    switched.DisplayHeight = 480;
    QTest::newRow("full screen, switched mode") << switched << left << left << QRect(-1280, -200, 640, 480);
}

void DecisionsTest::placementOnAScreenAwayFromTheOrigin()
{
    QFETCH(TWindowSettings, settings);
    QFETCH(QRect, screen);
    QFETCH(QRect, workArea);
    QFETCH(QRect, geometry);
    QCOMPARE(PlaceWindow(settings, screen, workArea).Geometry, geometry);
}

void DecisionsTest::flagsCarryBorderIconsAndStayOnTop()
{
    // Border 7 stays sizeable, but the icons are rebuilt from the three settings.
    TWindowSettings s;
    s.WindowWidth = 800;
    s.WindowHeight = 600;
    s.BorderStyle = 7;
    s.SystemMenu = true;
    s.MaximizeBox = false;
    s.MinimizeBox = true;
    s.StayOnTop = true;
    const TWindowPlacement p = PlaceWindow(s, QRect(0, 0, 1024, 768), QRect(0, 0, 1024, 768));
    QCOMPARE(p.Border, TBorderStyle::Sizeable);
    QVERIFY(p.SystemMenu && !p.MaximizeBox && p.MinimizeBox);
    const Qt::WindowFlags flags = WindowFlagsFor(p);
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(!FixedSize(p.Border));

    s.BorderStyle = 0;
    s.StayOnTop = false;
    const Qt::WindowFlags none = WindowFlagsFor(PlaceWindow(s, QRect(0, 0, 1024, 768), QRect(0, 0, 1024, 768)));
    QVERIFY(none.testFlag(Qt::FramelessWindowHint));
    QVERIFY(!none.testFlag(Qt::WindowStaysOnTopHint));

    s.BorderStyle = 3;
    const TWindowPlacement tool = PlaceWindow(s, QRect(0, 0, 1024, 768), QRect(0, 0, 1024, 768));
    QCOMPARE(WindowFlagsFor(tool) & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(FixedSize(tool.Border));
}

void DecisionsTest::titlesShowAsWritten_data()
{
    QTest::addColumn<QString>("text");
    for (const char* text : {"Notes [*] 1", "[*]", "[*][*]", "[*][*][*]", "a[*]b [*]c", "[[*]]", "[*[*]*]", "x [*",
                             "*]", "Plain title", ""})
        QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text);
}

void DecisionsTest::titlesShowAsWritten()
{
    QFETCH(QString, text);
    // What the window system is given is what the reader sees in the title bar.
    QWidget window;
    SetLiteralWindowTitle(window, text);
    window.winId();
    QCOMPARE(window.windowHandle()->title(), text);
    // Nor does a modified mark appear where the text has "[*]".
    if (text.contains(QLatin1String("[*]"))) {
        window.setWindowModified(true);
        QCOMPARE(window.windowHandle()->title(), text);
    }
}

void DecisionsTest::chromiumFlagsAllowThePort_data()
{
    QTest::addColumn<std::string>("flags");
    QTest::addColumn<int>("port");
    QTest::addColumn<std::string>("expected");
    QTest::newRow("none") << std::string() << 6000 << std::string("--explicitly-allowed-ports=6000");
    QTest::newRow("others kept") << std::string(" --disable-gpu   --disable-component-update ") << 5060
                                 << std::string("--disable-gpu --disable-component-update --explicitly-allowed-ports=5060");
    QTest::newRow("list extended") << std::string("--explicitly-allowed-ports=5060,6666 --disable-gpu") << 6000
                                   << std::string("--explicitly-allowed-ports=5060,6666,6000 --disable-gpu");
    QTest::newRow("already listed") << std::string("--explicitly-allowed-ports=6000,10080") << 10080
                                    << std::string("--explicitly-allowed-ports=6000,10080");
    QTest::newRow("longer number is another port") << std::string("--explicitly-allowed-ports=16000") << 6000
                                                   << std::string("--explicitly-allowed-ports=16000,6000");
    QTest::newRow("empty list") << std::string("--explicitly-allowed-ports=") << 1719
                                << std::string("--explicitly-allowed-ports=1719");
    // Chromium takes the last of a repeated switch.
    QTest::newRow("last list counts") << std::string("--explicitly-allowed-ports=6000 --explicitly-allowed-ports=5060")
                                      << 6000
                                      << std::string("--explicitly-allowed-ports=6000 --explicitly-allowed-ports=5060,6000");
}

void DecisionsTest::chromiumFlagsAllowThePort()
{
    QFETCH(std::string, flags);
    QFETCH(int, port);
    QFETCH(std::string, expected);
    QCOMPARE(ChromiumFlagsAllowingPort(flags, port), expected);
}

void DecisionsTest::storePathsNeverShareABook()
{
    const std::string ids[] = {"", "a", "A", "a/b", "a%2Fb", "a\\b", "a_b", "a.ini", "a/b.ini", "..",
                               "caf\xE9", "caf\xC3\xA9", std::string(1, '\0'), std::string(200, 'x'),
                               std::string(201, 'x'), std::string(200, 'x') + "/y", std::string(600, '/')};
    std::set<QString> paths;
    for (const std::string& id : ids) {
        const QString path = BookStoreRelativePath(id);
        QVERIFY2(path.startsWith("Vantrel/Folianto/3.0/eBooks/"), qPrintable(path));
        QVERIFY2(paths.insert(path).second, qPrintable(path));
        for (const QString& part : path.split('/'))
            QVERIFY2(!part.isEmpty() && part != "." && part != ".." && part.size() <= 210, qPrintable(path));
    }
    QCOMPARE(BookStoreRelativePath("folianto-sample"), QString("Vantrel/Folianto/3.0/eBooks/folianto-sample.ini"));
}

void DecisionsTest::storeRoundTripsPagesAndTellsMissingFromEmpty()
{
    QTemporaryDir root;
    TIniBookStore a("book/one", root.path());
    TIniBookStore b("book\\one", root.path());
    QVERIFY(QFile::exists(a.FileName()));  // opening creates the key
    QCOMPARE(a.ReadLastPage(), std::nullopt);

    a.WriteLastPage("/caf\xE9.html#x");
    b.WriteLastPage("");
    QCOMPARE(TIniBookStore("book/one", root.path()).ReadLastPage(), std::optional<std::string>("/caf\xE9.html#x"));
    QCOMPARE(TIniBookStore("book\\one", root.path()).ReadLastPage(), std::optional<std::string>(""));
    QFile file(a.FileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray ini = file.readAll();
    QVERIFY2(ini.contains("[Configuration]") && ini.contains("LastPageViewed="), ini.constData());
}

Q_DECLARE_METATYPE(std::vector<QString>)

void DecisionsTest::linksInText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::vector<QString>>("links");
    QTest::newRow("e-mail") << QString("Write to jane.doe-1@mail.example.org today.")
                            << std::vector<QString>{"jane.doe-1@mail.example.org"};
    QTest::newRow("no dot after at") << QString("user@localhost is local") << std::vector<QString>{};
    QTest::newRow("web forms") << QString("See http://a.example/x?y=1, https://b.example. or www.c.example; ftp://d.example/f")
                               << std::vector<QString>{"http://a.example/x?y=1", "https://b.example", "www.c.example",
                                                       "ftp://d.example/f"};
    QTest::newRow("mailto") << QString("(mailto:x@y.example)") << std::vector<QString>{"mailto:x@y.example"};
    QTest::newRow("user in web address") << QString("http://user@host.example/p")
                                         << std::vector<QString>{"http://user@host.example/p"};
    QTest::newRow("two addresses") << QString("a@b.cd,e@f.gh") << std::vector<QString>{"a@b.cd", "e@f.gh"};
    QTest::newRow("non-ASCII letters end the name") << QString::fromUtf8("J\xC3\xB6rg@x.example")
                                                    << std::vector<QString>{"rg@x.example"};
}

void DecisionsTest::linksInText()
{
    QFETCH(QString, text);
    QFETCH(std::vector<QString>, links);
    std::vector<QString> found;
    for (const TTextRun& run : FindLinks(text))
        found.push_back(text.mid(run.Start, run.Length));
    QCOMPARE(found, links);
}

void DecisionsTest::shellTextForLink_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("shell");
    QTest::newRow("e-mail") << QString("jane@mail.example.org") << QString("mailto:jane@mail.example.org");
    QTest::newRow("mailto link") << QString("mailto:jane@mail.example.org") << QString("mailto:jane@mail.example.org");
    QTest::newRow("web with user") << QString("http://user@host.example/p") << QString("http://user@host.example/p");
    QTest::newRow("www with user") << QString("www.user@host.example") << QString("www.user@host.example");
    QTest::newRow("web") << QString("https://folianto.example/") << QString("https://folianto.example/");
}

void DecisionsTest::shellTextForLink()
{
    QFETCH(QString, link);
    QFETCH(QString, shell);
    QCOMPARE(ShellTextForLink(link), shell);
}


void DecisionsTest::commandFromTag_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("runs");
    for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 42, 127})
        QTest::newRow(qPrintable(QString::number(n))) << n << n;
    for (int n : {128, 129, 136, 137, 200, 255})
        QTest::newRow(qPrintable(QString::number(n))) << n << n - 128;
}

void DecisionsTest::commandFromTag()
{
    QFETCH(int, command);
    QFETCH(int, runs);
    const int tag = CommandTag(command);
    QCOMPARE(tag, -(command + 1));
    QVERIFY(tag < 0);
    QCOMPARE(CommandFromTag(tag), runs);
}

QTEST_MAIN(DecisionsTest)
#include "DecisionsTest.moc"
