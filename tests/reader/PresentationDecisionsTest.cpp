// The decisions behind the skin, the keys, the book's fonts and the splash, without windows.

#include "Book.h"
#include "BookFonts.h"
#include "KeyFilter.h"
#include "SkinShape.h"
#include "SplashScreen.h"
#include "TestBooks.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <climits>
#include <set>

#include <sys/stat.h>

using namespace folianto;
using namespace folianto::test;

Q_DECLARE_METATYPE(TPngImage)
Q_DECLARE_METATYPE(std::vector<QRect>)
Q_DECLARE_METATYPE(TKeyAction)

namespace {

// A picture as the package reader leaves it: size, colour type, transparency chunk and,
// for colour types 4 and 6, one alpha value per pixel.
TPngImage Picture(int width, int height, int colorType, std::uint8_t alpha = 255, bool transparencyChunk = false)
{
    TPngImage picture;
    picture.Data = {1};
    picture.Width = width;
    picture.Height = height;
    picture.ColorType = colorType;
    picture.HasTransparencyChunk = transparencyChunk;
    if (colorType == 4 || colorType == 6)
        picture.Alpha.assign(static_cast<std::size_t>(width) * height, alpha);
    return picture;
}

void SetAlpha(TPngImage& picture, int x0, int x1, int y, std::uint8_t alpha)
{
    for (int x = x0; x < x1; ++x)
        picture.Alpha[static_cast<std::size_t>(y) * picture.Width + x] = alpha;
}

// The shape built the slow way: the whole window, one subtraction per run of alpha-0
// pixels, the browser added, all inside the window.
QRegion StepByStepShape(const TPngImage& picture, QRect browser)
{
    const QRect window(0, 0, picture.Width, picture.Height);
    QRegion region(window);
    if (picture.Transparent() && picture.HasAlphaChannel()) {
        for (int y = 0; y < picture.Height; ++y) {
            for (int x = 0; x < picture.Width;) {
                if (picture.AlphaAt(x, y) != 0) {
                    ++x;
                    continue;
                }
                const int start = x;
                while (x < picture.Width && picture.AlphaAt(x, y) == 0)
                    ++x;
                region -= QRect(start, y, x - start, 1);
            }
        }
    }
    return (region | browser) & window;
}

// The layout QRegion::setRects relies on.
bool Banded(const std::vector<QRect>& rects)
{
    for (std::size_t i = 1; i < rects.size(); ++i) {
        const QRect& a = rects[i - 1];
        const QRect& b = rects[i];
        if (b.top() == a.top()) {
            if (b.height() != a.height() || b.left() <= a.right() + 1)
                return false;  // one band: same height, apart side by side
        } else if (b.top() < a.bottom() + 1) {
            return false;
        }
    }
    return true;
}

}  // namespace

class PresentationDecisionsTest : public QObject {
    Q_OBJECT
private slots:
    void skinShape_data();
    void skinShape();
    void skinShapeIsTheStepByStepShape();
    void skinShapeOfExtremeSkins();
    void skinWindowSize();
    void browserRectFromTheBook();
    void hitTest_data();
    void hitTest();
    void laterButtonIsOnTop();
    void commandSevenHasNoButton();
    void acceleratorKeys_data();
    void acceleratorKeys();
    void applicationDropsOnlyCtrlN_data();
    void applicationDropsOnlyCtrlN();
    void fontFileNames();
    void fontDirectoryIsPrivate();
    void splashCloseRules();
};

void PresentationDecisionsTest::skinShape_data()
{
    QTest::addColumn<TPngImage>("picture");
    QTest::addColumn<QRect>("browser");
    QTest::addColumn<std::vector<QRect>>("expected");
    QTest::addColumn<QSize>("window");

    const QRect browser640(QPoint(1, 93), QPoint(638, 546));  // (1, 93, 639, 547), right and bottom exclusive
    const QSize size640(640, 550), size10(10, 10);
    QTest::newRow("RGB without alpha")
        << Picture(640, 550, 2) << browser640 << std::vector<QRect> {{0, 0, 640, 550}} << size640;

    TPngImage firstRow = Picture(640, 550, 6);
    SetAlpha(firstRow, 0, 10, 0, 0);
    SetAlpha(firstRow, 630, 640, 0, 0);
    QTest::newRow("first row open at both ends")
        << firstRow << browser640 << std::vector<QRect> {{10, 0, 620, 1}, {0, 1, 640, 549}} << size640;

    TPngImage faint = Picture(4, 1, 6, 0);
    SetAlpha(faint, 1, 2, 0, 1);
    SetAlpha(faint, 2, 3, 0, 255);
    QTest::newRow("alpha 1 is opaque") << faint << QRect() << std::vector<QRect> {{1, 0, 2, 1}} << QSize(4, 1);

    QTest::newRow("palette with transparency chunk")
        << Picture(30, 20, 3, 255, true) << QRect(2, 2, 5, 5) << std::vector<QRect> {{0, 0, 30, 20}} << QSize(30, 20);
    QTest::newRow("RGB with transparency chunk")
        << Picture(30, 20, 2, 255, true) << QRect() << std::vector<QRect> {{0, 0, 30, 20}} << QSize(30, 20);

    QTest::newRow("browser over a transparent skin")
        << Picture(10, 10, 4, 0) << QRect(2, 3, 3, 4) << std::vector<QRect> {{2, 3, 3, 4}} << size10;
    QTest::newRow("browser beyond the skin is cut")
        << Picture(10, 10, 6, 0) << QRect(5, 5, 100, 100) << std::vector<QRect> {{5, 5, 5, 5}} << size10;
    QTest::newRow("browser before the skin is cut")
        << Picture(10, 10, 6, 0) << QRect(-5, -5, 8, 8) << std::vector<QRect> {{0, 0, 3, 3}} << size10;
    QTest::newRow("browser wholly outside")
        << Picture(10, 10, 6, 0) << QRect(20, 20, 5, 5) << std::vector<QRect> {} << size10;

    TPngImage gap = Picture(4, 1, 6);
    SetAlpha(gap, 1, 3, 0, 0);
    QTest::newRow("browser closes a gap") << gap << QRect(1, 0, 2, 1) << std::vector<QRect> {{0, 0, 4, 1}} << QSize(4, 1);

    TPngImage hole = Picture(5, 3, 6);
    SetAlpha(hole, 1, 4, 1, 0);
    QTest::newRow("hole in the middle row")
        << hole << QRect() << std::vector<QRect> {{0, 0, 5, 1}, {0, 1, 1, 1}, {4, 1, 1, 1}, {0, 2, 5, 1}} << QSize(5, 3);

    TPngImage column = Picture(4, 4, 6);
    for (int y = 0; y < 4; ++y)
        SetAlpha(column, 0, 1, y, 0);
    QTest::newRow("rows alike make one band") << column << QRect() << std::vector<QRect> {{1, 0, 3, 4}} << QSize(4, 4);

    TPngImage noPlane = Picture(8, 8, 6);
    noPlane.Alpha.clear();  // a colour type that claims alpha without the plane
    QTest::newRow("alpha plane missing") << noPlane << QRect() << std::vector<QRect> {{0, 0, 8, 8}} << QSize(8, 8);

    TPngImage cut = Picture(10, 10, 6);
    SetAlpha(cut, 8, 10, 0, 0);  // outside the window
    SetAlpha(cut, 2, 3, 1, 0);
    QTest::newRow("window smaller than the picture")
        << cut << QRect(4, 4, 20, 20) << std::vector<QRect> {{0, 0, 6, 1}, {0, 1, 2, 1}, {3, 1, 3, 1}, {0, 2, 6, 4}}
        << QSize(6, 6);

    QTest::newRow("empty skin, 1 x 1 window") << TPngImage() << QRect(0, 0, 10, 10) << std::vector<QRect> {{0, 0, 1, 1}}
                                              << QSize(1, 1);
    QTest::newRow("no window") << Picture(4, 4, 6) << QRect() << std::vector<QRect> {} << QSize(0, 0);
    QTest::newRow("1 x 1 transparent") << Picture(1, 1, 6, 0) << QRect() << std::vector<QRect> {} << QSize(1, 1);
    QTest::newRow("1 x 1 opaque")
        << Picture(1, 1, 6, 9) << QRect(0, 0, 500, 500) << std::vector<QRect> {{0, 0, 1, 1}} << QSize(1, 1);
}

void PresentationDecisionsTest::skinShape()
{
    QFETCH(TPngImage, picture);
    QFETCH(QRect, browser);
    QFETCH(std::vector<QRect>, expected);
    QFETCH(QSize, window);
    const TSkinShape shape = SkinShape(picture, browser, window);
    QCOMPARE(shape.Rectangles, expected);
    QVERIFY(!shape.TooComplex);
    QRegion region;
    for (const QRect& r : expected)
        region |= r;
    QVERIFY((shape.Region() ^ region).isEmpty());
}

void PresentationDecisionsTest::skinShapeIsTheStepByStepShape()
{
    // Small random skins: alpha 0, 1 or 255 and a browser anywhere around them.
    QRandomGenerator random(20240611);
    for (int round = 0; round < 300; ++round) {
        const int width = random.bounded(1, 14), height = random.bounded(1, 14);
        TPngImage picture = Picture(width, height, random.bounded(2) ? 6 : 4);
        for (auto& alpha : picture.Alpha)
            alpha = std::array<std::uint8_t, 4> {0, 0, 1, 255}[random.bounded(4)];
        const QRect browser(random.bounded(-4, 16), random.bounded(-4, 16), random.bounded(0, 10), random.bounded(0, 10));
        const TSkinShape shape = SkinShape(picture, browser, QSize(width, height));
        QVERIFY2(Banded(shape.Rectangles), qPrintable(QString("round %1").arg(round)));
        // The same pixels, whatever rectangles each region keeps them in.
        QVERIFY2((shape.Region() ^ StepByStepShape(picture, browser)).isEmpty(), qPrintable(QString("round %1").arg(round)));
    }
}

void PresentationDecisionsTest::skinShapeOfExtremeSkins()
{
    // 10,000 x 10,000 with a transparent frame one pixel wide: three bands, one pass.
    TPngImage huge = Picture(10000, 10000, 6);
    for (int y = 0; y < 10000; ++y) {
        SetAlpha(huge, 0, 1, y, 0);
        SetAlpha(huge, 9999, 10000, y, 0);
    }
    SetAlpha(huge, 0, 10000, 0, 0);
    SetAlpha(huge, 0, 10000, 9999, 0);
    TSkinShape shape = SkinShape(huge, QRect(100, 100, 20000, 20000), QSize(10000, 10000));
    QCOMPARE(shape.Rectangles, (std::vector<QRect> {{1, 1, 9998, 99}, {1, 100, 9999, 9899}, {100, 9999, 9900, 1}}));

    // A checkerboard needs one rectangle per opaque pixel; past the limit the window
    // stays rectangular rather than send the window system more than it takes.
    TPngImage board = Picture(1026, 512, 6, 0);
    for (int y = 0; y < board.Height; ++y)
        for (int x = (y & 1); x < board.Width; x += 2)
            board.Alpha[static_cast<std::size_t>(y) * board.Width + x] = 255;
    shape = SkinShape(board, QRect(), QSize(1026, 512));
    QVERIFY(shape.TooComplex);
    QCOMPARE(shape.Rectangles, std::vector<QRect> {QRect(0, 0, 1026, 512)});

    TPngImage justInside = Picture(1024, 512, 6, 0);
    for (int y = 0; y < justInside.Height; ++y)
        for (int x = (y & 1); x < justInside.Width; x += 2)
            justInside.Alpha[static_cast<std::size_t>(y) * justInside.Width + x] = 255;
    shape = SkinShape(justInside, QRect(), QSize(1024, 512));
    QVERIFY(!shape.TooComplex);
    QCOMPARE(shape.Rectangles.size(), kMaxShapeRectangles);
}

void PresentationDecisionsTest::skinWindowSize()
{
    const QSize screen(1280, 1024);
    QCOMPARE(SkinWindowSize(Picture(640, 550, 2), screen), QSize(640, 550));
    QCOMPARE(SkinWindowSize(Picture(1280, 1024, 2), screen), QSize(1280, 1024));
    QCOMPARE(SkinWindowSize(Picture(10000, 10000, 0), screen), QSize(1280, 1024));
    QCOMPARE(SkinWindowSize(Picture(2000, 300, 0), screen), QSize(1280, 300));
    QCOMPARE(SkinWindowSize(Picture(1, 1, 6), screen), QSize(1, 1));
    QCOMPARE(SkinWindowSize(TPngImage(), screen), QSize(1, 1));
    QCOMPARE(SkinWindowSize(Picture(10000, 10000, 0), QSize()), QSize(10000, 10000));  // no screen known
}

void PresentationDecisionsTest::browserRectFromTheBook()
{
    QTemporaryDir dir;
    struct Case {
        std::int32_t left, top, right, bottom;
        QRect expected;
    } cases[] = {
        {1, 93, 639, 547, QRect(1, 93, 638, 454)},
        {50, 50, 10, 10, QRect(50, 50, 0, 0)},  // edges in the wrong order: nothing
        {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, QRect(-(1 << 24), -(1 << 24), 1 << 25, 1 << 25)},
    };
    for (const Case& c : cases) {
        const auto description = PagesBook({{"/index.html", "<p>x</p>"}});
        TBook book(WriteBookFile(description, dir.path()).toStdString());
        book.BrowserLeft = c.left;
        book.BrowserTop = c.top;
        book.BrowserRight = c.right;
        book.BrowserBottom = c.bottom;
        QCOMPARE(BrowserRect(book), c.expected);
    }
}

void PresentationDecisionsTest::hitTest_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("defaultAnswer");
    QTest::addColumn<int>("answer");
    // One button from (10, 10) to (30, 20), right and bottom outside.
    QTest::newRow("skin") << 1 << QPoint(5, 5) << kHTClient << kHTCaption;
    QTest::newRow("button's left edge") << 1 << QPoint(10, 15) << kHTClient << kHTClient;
    QTest::newRow("button's top edge") << 1 << QPoint(15, 10) << kHTClient << kHTClient;
    QTest::newRow("button's last pixel") << 1 << QPoint(29, 19) << kHTClient << kHTClient;
    QTest::newRow("button's right edge") << 1 << QPoint(30, 15) << kHTClient << kHTCaption;
    QTest::newRow("button's bottom edge") << 1 << QPoint(15, 20) << kHTClient << kHTCaption;
    QTest::newRow("left of the button") << 1 << QPoint(9, 15) << kHTClient << kHTCaption;
    QTest::newRow("other default kept") << 1 << QPoint(5, 5) << 18 << 18;
    QTest::newRow("standard window") << 0 << QPoint(5, 5) << kHTClient << kHTClient;
    QTest::newRow("no interface") << 2 << QPoint(5, 5) << kHTClient << kHTClient;
}

void PresentationDecisionsTest::hitTest()
{
    QFETCH(int, kind);
    QFETCH(QPoint, point);
    QFETCH(int, defaultAnswer);
    QFETCH(int, answer);
    const std::vector<QRect> buttons {QRect(10, 10, 20, 10)};
    QCOMPARE(SkinHitTest(static_cast<std::uint8_t>(kind), point, buttons, defaultAnswer), answer);
}

void PresentationDecisionsTest::laterButtonIsOnTop()
{
    const std::vector<QRect> buttons {QRect(0, 0, 10, 10), QRect(5, 5, 10, 10), QRect(40, 40, 0, 0)};
    QCOMPARE(SkinButtonAt(QPoint(2, 2), buttons), 0);
    QCOMPARE(SkinButtonAt(QPoint(7, 7), buttons), 1);
    QCOMPARE(SkinButtonAt(QPoint(12, 12), buttons), 1);
    QCOMPARE(SkinButtonAt(QPoint(15, 15), buttons), -1);
    QCOMPARE(SkinButtonAt(QPoint(40, 40), buttons), -1);  // a button without a picture has no area
    QCOMPARE(SkinHitTest(1, QPoint(40, 40), buttons, kHTClient), kHTCaption);
}

void PresentationDecisionsTest::commandSevenHasNoButton()
{
    QTemporaryDir dir;
    auto description = PagesBook({{"/index.html", "<p>x</p>"}});
    description.InterfaceKind = 1;
    description.SkinImage = PngOf(Filled(1, 1, Qt::red));
    for (const std::uint8_t command : {0, 1, 2, 7, 3, 4, 5, 8, 9})
        description.SkinButtons.push_back({command, 0, 0, description.SkinImage});
    TBook book(WriteBookFile(description, dir.path()).toStdString());
    QVERIFY(book.Loaded);
    QCOMPARE(ShownSkinButtons(book), (std::vector<int> {0, 1, 2, 4, 5, 6, 7, 8}));
}

void PresentationDecisionsTest::acceleratorKeys_data()
{
    QTest::addColumn<bool>("escapeCloses");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<TKeyAction>("action");
    const Qt::KeyboardModifiers none, ctrl(Qt::ControlModifier), shift(Qt::ShiftModifier), alt(Qt::AltModifier);
    QTest::newRow("Escape closes") << true << int(Qt::Key_Escape) << none << TKeyAction::Close;
    QTest::newRow("Ctrl+Escape closes") << true << int(Qt::Key_Escape) << ctrl << TKeyAction::Close;
    QTest::newRow("Escape passes") << false << int(Qt::Key_Escape) << none << TKeyAction::Pass;
    QTest::newRow("Ctrl+N") << false << int(Qt::Key_N) << ctrl << TKeyAction::Swallow;
    QTest::newRow("Ctrl+Shift+N") << false << int(Qt::Key_N) << (ctrl | shift) << TKeyAction::Swallow;
    QTest::newRow("Ctrl+Alt+N") << false << int(Qt::Key_N) << (ctrl | alt) << TKeyAction::Swallow;
    QTest::newRow("N") << true << int(Qt::Key_N) << none << TKeyAction::Pass;
    QTest::newRow("Ctrl+F") << false << int(Qt::Key_F) << ctrl << TKeyAction::Find;
    QTest::newRow("Ctrl+Shift+F") << false << int(Qt::Key_F) << (ctrl | shift) << TKeyAction::Find;
    QTest::newRow("AltGr+F") << false << int(Qt::Key_F) << (ctrl | alt) << TKeyAction::Pass;
    QTest::newRow("F") << false << int(Qt::Key_F) << none << TKeyAction::Pass;
    QTest::newRow("Ctrl+P") << false << int(Qt::Key_P) << ctrl << TKeyAction::Print;
    QTest::newRow("AltGr+P") << false << int(Qt::Key_P) << (ctrl | alt) << TKeyAction::Pass;
    QTest::newRow("Alt+Left") << false << int(Qt::Key_Left) << alt << TKeyAction::Back;
    QTest::newRow("Alt+Right") << false << int(Qt::Key_Right) << alt << TKeyAction::Forward;
    QTest::newRow("Left") << false << int(Qt::Key_Left) << none << TKeyAction::Pass;
    QTest::newRow("Alt+Shift+Left") << false << int(Qt::Key_Left) << (alt | shift) << TKeyAction::Pass;
    QTest::newRow("Ctrl+Alt+Right") << false << int(Qt::Key_Right) << (ctrl | alt) << TKeyAction::Pass;
    QTest::newRow("F5") << false << int(Qt::Key_F5) << none << TKeyAction::Refresh;
    QTest::newRow("Ctrl+F5") << false << int(Qt::Key_F5) << ctrl << TKeyAction::Refresh;
    QTest::newRow("Alt+F5") << false << int(Qt::Key_F5) << alt << TKeyAction::Pass;
    QTest::newRow("Ctrl+C") << true << int(Qt::Key_C) << ctrl << TKeyAction::Pass;
    QTest::newRow("Ctrl+A") << true << int(Qt::Key_A) << ctrl << TKeyAction::Pass;
}

void PresentationDecisionsTest::acceleratorKeys()
{
    QFETCH(bool, escapeCloses);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(TKeyAction, action);
    QCOMPARE(AcceleratorAction(escapeCloses, key, modifiers), action);
}

void PresentationDecisionsTest::applicationDropsOnlyCtrlN_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<Qt::MouseButtons>("buttons");
    QTest::addColumn<bool>("dropped");
    const Qt::KeyboardModifiers ctrl(Qt::ControlModifier);
    QTest::newRow("Ctrl+N") << int(Qt::Key_N) << ctrl << Qt::MouseButtons() << true;
    QTest::newRow("Ctrl+N on the keypad") << int(Qt::Key_N) << (ctrl | Qt::KeypadModifier) << Qt::MouseButtons() << true;
    QTest::newRow("Ctrl+Meta+N") << int(Qt::Key_N) << (ctrl | Qt::MetaModifier) << Qt::MouseButtons() << true;
    QTest::newRow("Ctrl+Shift+N") << int(Qt::Key_N) << (ctrl | Qt::ShiftModifier) << Qt::MouseButtons() << false;
    QTest::newRow("Ctrl+Alt+N") << int(Qt::Key_N) << (ctrl | Qt::AltModifier) << Qt::MouseButtons() << false;
    QTest::newRow("left button down") << int(Qt::Key_N) << ctrl << Qt::MouseButtons(Qt::LeftButton) << false;
    QTest::newRow("middle button down") << int(Qt::Key_N) << ctrl << Qt::MouseButtons(Qt::MiddleButton) << false;
    QTest::newRow("N") << int(Qt::Key_N) << Qt::KeyboardModifiers() << Qt::MouseButtons() << false;
    QTest::newRow("Ctrl+M") << int(Qt::Key_M) << ctrl << Qt::MouseButtons() << false;
}

void PresentationDecisionsTest::applicationDropsOnlyCtrlN()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(Qt::MouseButtons, buttons);
    QFETCH(bool, dropped);
    QCOMPARE(AppMessageDrops(key, modifiers, buttons), dropped);
}

void PresentationDecisionsTest::fontFileNames()
{
    // MD5("abc") is 900150983cd24fb0d6963f7d28e17f72.
    QCOMPARE(BookFontFileName("/run/f", "abc", 0), std::string("/run/f/__900150983cd24fb0d6963f7d28e17f72_0.TTF"));
    QCOMPARE(BookFontFileName("/run/f", "abc", 12), std::string("/run/f/__900150983cd24fb0d6963f7d28e17f72_12.TTF"));
    std::set<std::string> names;
    const std::string ids[] = {"", "abc", "ABC", "abc ", std::string("a\0b", 3), std::string("a\0c", 3), "\xE9t\xE9", "../x"};
    for (const std::string& id : ids)
        for (int i = 0; i < 3; ++i)
            names.insert(BookFontFileName("/run/f", id, i));
    QCOMPARE(names.size(), std::size(ids) * 3);
    for (const std::string& name : names)
        QVERIFY2(name.find('/', 7) == std::string::npos, name.c_str());  // always inside the folder
}

void PresentationDecisionsTest::fontDirectoryIsPrivate()
{
    QTemporaryDir scratch;
    const QByteArray runtime = QDir(scratch.path()).filePath("runtime").toLocal8Bit();
    const QByteArray cache = QDir(scratch.path()).filePath("cache").toLocal8Bit();
    QVERIFY(QDir().mkpath(QString::fromLocal8Bit(runtime)));
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR"), oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", cache);
    const auto modeOf = [](const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 ? int(info.st_mode & 07777) : -1;
    };

    qputenv("XDG_RUNTIME_DIR", runtime);
    std::string folder = BookFontDirectory();
    QCOMPARE(folder, (runtime + "/folianto-fonts").toStdString());
    QCOMPARE(modeOf(folder), 0700);

    // Opened up by someone: closed again.
    QCOMPARE(::chmod(folder.c_str(), 0777), 0);
    QCOMPARE(BookFontDirectory(), folder);
    QCOMPARE(modeOf(folder), 0700);

    // A link in its place is not followed; the cache folder is used instead.
    QVERIFY(QDir(QString::fromStdString(folder)).removeRecursively());
    QVERIFY(QFile::link(scratch.path(), QString::fromStdString(folder)));
    const std::string cached = (cache + "/folianto/fonts").toStdString();
    QCOMPARE(BookFontDirectory(), cached);
    QCOMPARE(modeOf(cached), 0700);

    qunsetenv("XDG_RUNTIME_DIR");
    QCOMPARE(BookFontDirectory(), cached);
    qputenv("XDG_RUNTIME_DIR", (runtime + "/missing"));
    QCOMPARE(BookFontDirectory(), cached);

    qputenv("XDG_RUNTIME_DIR", oldRuntime);
    qputenv("XDG_CACHE_HOME", oldCache);
    if (oldCache.isEmpty())
        qunsetenv("XDG_CACHE_HOME");
}

void PresentationDecisionsTest::splashCloseRules()
{
    struct Mode {
        int mode, seconds;
        bool pictureHasSize;
        int applies;
    } modes[] = {
        {0, 0, true, kSplashAtStartup},    {1, 0, true, kSplashOnClick},     {2, 3, true, kSplashAfterSeconds},
        {2, 0, true, kSplashAtStartup},    {2, -5, true, kSplashAtStartup},  {3, 3, true, kSplashAtStartup},
        {255, 3, true, kSplashAtStartup},  {1, 0, false, kSplashAtStartup},  {2, 3, false, kSplashAtStartup},
    };
    for (const Mode& m : modes)
        QCOMPARE(SplashCloseModeOf(static_cast<std::uint8_t>(m.mode), m.seconds, m.pictureHasSize), m.applies);

    QVERIFY(SplashClickCloses(kSplashOnClick));
    QVERIFY(!SplashClickCloses(kSplashAtStartup));
    QVERIFY(!SplashClickCloses(kSplashAfterSeconds));

    QVERIFY(SplashCloseAllowed(kSplashAtStartup, false));
    QVERIFY(!SplashCloseAllowed(kSplashOnClick, false));
    QVERIFY(!SplashCloseAllowed(kSplashAfterSeconds, true));
    QVERIFY(SplashCloseAllowed(kSplashAfterSeconds, false));

    QCOMPARE(SplashIntervalMs(3), 3000);
    QCOMPARE(SplashIntervalMs(INT32_MAX), INT_MAX / 1000 * 1000);  // no overflow into the past
}

QTEST_MAIN(PresentationDecisionsTest)
#include "PresentationDecisionsTest.moc"
