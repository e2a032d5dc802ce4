// The toolbar decided from a book's settings, its pictures and its colour, without a window.

#include "Commands.h"
#include "NormalImageList.h"
#include "PackageFormat.h"
#include "StockPictures.h"
#include "ToolbarColor.h"
#include "ToolbarLayout.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QtTest>

#include <limits>

using namespace folianto;

Q_DECLARE_METATYPE(TToolbarSettings)
Q_DECLARE_METATYPE(TToolbarLayout)
Q_DECLARE_METATYPE(TToolbarColor)

namespace {

TToolBarButton Stored(int command, const Bytes& bitmap = {})
{
    TToolBarButton button;
    button.Command = static_cast<std::uint8_t>(command);
    button.Hint = CommandText(command);
    button.HasBitmap = !bitmap.empty();
    button.Bitmap.Data = bitmap;
    return button;
}

TToolbarSettings Settings(std::vector<int> commands, std::uint8_t position = 0, bool flat = true, int width = 31,
                          int height = 30, std::uint32_t color = 0xFF00000F)
{
    TToolbarSettings settings;
    settings.Visible = true;
    settings.Position = position;
    settings.Flat = flat;
    settings.ButtonWidth = width;
    settings.ButtonHeight = height;
    settings.Color = color;
    for (int command : commands)
        settings.Buttons.push_back(Stored(command));
    return settings;
}

TToolbarButtonLayout Shown(int command, const std::string& hint)
{
    return {command, command <= 9 ? command : kNoPicture, hint, -(command + 1)};
}

TToolbarLayout Expected(std::vector<TToolbarButtonLayout> buttons, TToolbarEdge edge, QSize button, bool flat,
                        int thickness, int indent, int border, TToolbarColor color = {QPalette::Button, {}})
{
    TToolbarLayout layout;
    layout.Visible = true;
    layout.Buttons = std::move(buttons);
    layout.Edge = edge;
    layout.Orientation = edge == TToolbarEdge::Left || edge == TToolbarEdge::Right ? Qt::Vertical : Qt::Horizontal;
    layout.ButtonSize = button;
    layout.Flat = flat;
    layout.Thickness = thickness;
    layout.Indent = indent;
    layout.BorderWidth = border;
    layout.Color = color;
    return layout;
}

Bytes BitmapFile(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return Bytes(bytes.begin(), bytes.end());
}

// A bitmap header claiming a picture of `side` x `side` 8-bit pixels, run-length encoded,
// so that the file stays tiny.
Bytes HugeRunLengthBitmap(int side)
{
    QByteArray bytes(14 + 40 + 1024 + 4, '\0');
    auto put32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, quint32(bytes.size()));
    put32(10, 14 + 40 + 1024);
    put32(14, 40);
    put32(18, quint32(side));
    put32(22, quint32(side));
    bytes[26] = 1;   // planes
    bytes[28] = 8;   // bits per pixel
    put32(30, 1);    // BI_RLE8
    put32(46, 256);  // colours used
    bytes[bytes.size() - 2] = 0;
    bytes[bytes.size() - 1] = 1;  // end of bitmap
    return Bytes(bytes.begin(), bytes.end());
}

}  // namespace

namespace QTest {
template <>
char* toString(const TToolbarLayout& layout)
{
    QString text = QString("visible %1, edge %2, %3, button %4x%5, flat %6, thickness %7, indent %8, border %9, ")
                       .arg(layout.Visible)
                       .arg(int(layout.Edge))
                       .arg(layout.Orientation == Qt::Vertical ? "column" : "row")
                       .arg(layout.ButtonSize.width())
                       .arg(layout.ButtonSize.height())
                       .arg(layout.Flat)
                       .arg(layout.Thickness)
                       .arg(layout.Indent)
                       .arg(layout.BorderWidth);
    text += layout.Color.Role ? QString("role %1").arg(int(*layout.Color.Role)) : layout.Color.Rgb.name();
    text += ", buttons:";
    for (const auto& b : layout.Buttons)
        text += QString(" [%1 pic %2 '%3' tag %4]").arg(b.Command).arg(b.PictureIndex).arg(b.Hint.c_str()).arg(b.Tag);
    return qstrdup(text.toUtf8().constData());
}
}  // namespace QTest

class ToolbarLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void layoutFromSettings_data();
    void layoutFromSettings();
    void commandAbove127RunsItsLowCommand();
    void bookBitmapIsStretchedWithItsBottomLeftColourTransparent();
    void unusableBitmapsKeepTheStockPicture();
    void aBookWithCountlessButtonsGetsTheFirstOnes();
    void toolbarColor_data();
    void toolbarColor();
    void stockPicturesAreDrawnAndSharpAtAnyScale();
};

void ToolbarLayoutTest::layoutFromSettings_data()
{
    QTest::addColumn<TToolbarSettings>("settings");
    QTest::addColumn<TToolbarLayout>("layout");
    const auto back = Shown(0, "Back"), forward = Shown(1, "Forward"), home = Shown(4, "Home");
    const int maxInt = std::numeric_limits<std::int32_t>::max(), minInt = std::numeric_limits<std::int32_t>::min();

    QTest::newRow("Back, Forward, Home in stored order")
        << Settings({0, 1, 4}) << Expected({back, forward, home}, TToolbarEdge::Top, {32, 30}, true, 38, 1, 2);
    QTest::newRow("command 7 is skipped")
        << Settings({0, 7, 4}) << Expected({back, home}, TToolbarEdge::Top, {32, 30}, true, 38, 1, 2);
    TToolbarSettings hidden = Settings({0, 1, 4});
    hidden.Visible = false;
    QTest::newRow("hidden toolbar") << hidden << TToolbarLayout{};
    QTest::newRow("left, width 40, not flat")
        << Settings({0, 4}, 1, false, 40) << Expected({back, home}, TToolbarEdge::Left, {41, 30}, false, 50, 2, 1);
    QTest::newRow("bottom, height 30, flat")
        << Settings({0}, 3, true, 31, 30) << Expected({back}, TToolbarEdge::Bottom, {32, 30}, true, 38, 1, 2);
    QTest::newRow("right, flat")
        << Settings({0}, 2, true, 20, 50) << Expected({back}, TToolbarEdge::Right, {21, 50}, true, 30, 1, 2);
    QTest::newRow("right, not flat")
        << Settings({0}, 2, false) << Expected({back}, TToolbarEdge::Right, {32, 30}, false, 41, 4, 1);
    QTest::newRow("top, not flat")
        << Settings({0}, 0, false) << Expected({back}, TToolbarEdge::Top, {32, 30}, false, 38, 4, 1);
    QTest::newRow("bottom, not flat")
        << Settings({0}, 3, false) << Expected({back}, TToolbarEdge::Bottom, {32, 30}, false, 38, 4, 1);
    // Any other position stays at the top with the bar as designed.
    QTest::newRow("position 4") << Settings({0}, 4, false)
                                << Expected({back}, TToolbarEdge::Top, {32, 30}, false, 26, 0, 0);
    QTest::newRow("position 255") << Settings({0}, 255, true)
                                  << Expected({back}, TToolbarEdge::Top, {32, 30}, true, 26, 0, 0);
    QTest::newRow("every command, hints and tags")
        << Settings({0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 127})
        << Expected({back, forward, Shown(2, "Stop"), Shown(3, "Refresh"), home, Shown(5, "Find"), Shown(6, "Print"),
                     Shown(8, "About"), Shown(9, "Close"), Shown(10, ""), Shown(127, "")},
                    TToolbarEdge::Top, {32, 30}, true, 38, 1, 2);
    QTest::newRow("empty button list")
        << Settings({}) << Expected({}, TToolbarEdge::Top, {32, 30}, true, 38, 1, 2);
    // Sizes that cannot make a button are brought to the nearest that can.
    QTest::newRow("negative width, zero height")
        << Settings({0}, 0, true, -5, 0) << Expected({back}, TToolbarEdge::Top, {2, 1}, true, 9, 1, 2);
    QTest::newRow("zero width at the side")
        << Settings({0}, 1, true, 0, -1) << Expected({back}, TToolbarEdge::Left, {2, 1}, true, 11, 1, 2);
    QTest::newRow("largest sizes do not overflow")
        << Settings({0}, 2, true, maxInt, maxInt) << Expected({back}, TToolbarEdge::Right, {257, 256}, true, 266, 1, 2);
    QTest::newRow("smallest sizes")
        << Settings({0}, 3, true, minInt, minInt) << Expected({back}, TToolbarEdge::Bottom, {2, 1}, true, 9, 1, 2);
    QTest::newRow("explicit colour")
        << Settings({0}, 0, true, 31, 30, 0x00336699)
        << Expected({back}, TToolbarEdge::Top, {32, 30}, true, 38, 1, 2, {std::nullopt, QColor(0x99, 0x66, 0x33)});
}

void ToolbarLayoutTest::layoutFromSettings()
{
    QFETCH(TToolbarSettings, settings);
    QFETCH(TToolbarLayout, layout);
    TNormalImageList pictures;
    QCOMPARE(LayoutToolbar(settings, pictures), layout);
    QCOMPARE(pictures.Count(), kStockPictureCount);
}

void ToolbarLayoutTest::commandAbove127RunsItsLowCommand()
{
    TNormalImageList pictures;
    const TToolbarLayout layout = LayoutToolbar(Settings({137, 132}), pictures);
    QCOMPARE(int(layout.Buttons.size()), 2);
    // No stock picture for 137 or 132; the tags keep the stored numbers.
    QCOMPARE(layout.Buttons[0].PictureIndex, kNoPicture);
    QCOMPARE(layout.Buttons[0].Tag, -138);
    QCOMPARE(CommandFromTag(layout.Buttons[0].Tag), int(TCommand::Close));
    QCOMPARE(CommandFromTag(layout.Buttons[1].Tag), int(TCommand::Home));
    QVERIFY(pictures.Icon(layout.Buttons[0].PictureIndex).isNull());
}

void ToolbarLayoutTest::bookBitmapIsStretchedWithItsBottomLeftColourTransparent()
{
    // 48 x 16: white, a magenta bottom-left quarter and top-right corner, a blue bar.
    const QColor white(255, 255, 255), magenta(255, 0, 255), blue(0, 0, 255), green(0, 160, 0);
    QImage wide(48, 16, QImage::Format_RGB32);
    wide.fill(white);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 48; ++x) {
            if ((x < 24 && y >= 8) || (x >= 40 && y < 4))
                wide.setPixelColor(x, y, magenta);
            if (x >= 30 && x <= 33)
                wide.setPixelColor(x, y, blue);
        }
    QImage square(24, 24, QImage::Format_RGB32);  // a second button's own: green on a white bottom row
    square.fill(green);
    for (int x = 0; x < 24; ++x)
        square.setPixelColor(x, 23, white);

    TToolbarSettings settings = Settings({});
    settings.Buttons = {Stored(0, BitmapFile(wide)), Stored(1, BitmapFile(square)), Stored(10)};
    TNormalImageList pictures(2.0);
    const TToolbarLayout layout = LayoutToolbar(settings, pictures);
    QCOMPARE(pictures.Count(), 12);
    // Pictures are appended walking from the last stored button to the first.
    QCOMPARE(layout.Buttons[0].PictureIndex, 11);
    QCOMPARE(layout.Buttons[1].PictureIndex, 10);
    QCOMPARE(layout.Buttons[0].Tag, CommandTag(0));
    // Command 10 has no picture of its own and must not show the one appended at 10.
    QCOMPARE(layout.Buttons[2].PictureIndex, kNoPicture);

    const QImage shown = pictures.Image(11);
    QCOMPARE(shown.size(), QSize(24, 24));
    struct Probe {
        int x, y;
        QColor color;  // invalid: transparent
    };
    for (const Probe& probe : {Probe{0, 23, {}}, Probe{5, 20, {}}, Probe{22, 1, {}}, Probe{5, 2, white},
                               Probe{16, 12, blue}, Probe{20, 20, white}, Probe{23, 23, white}}) {
        const QColor pixel = shown.pixelColor(probe.x, probe.y);
        if (probe.color.isValid())
            QCOMPARE(pixel, probe.color);
        else
            QCOMPARE(pixel.alpha(), 0);
    }
    QCOMPARE(pictures.Image(10).pixelColor(12, 12), green);
    QCOMPARE(pictures.Image(10).pixelColor(12, 23).alpha(), 0);

    // On a screen of twice the density the book's picture is stretched to 48 x 48 from
    // the original, with the same colour transparent.
    const QImage sharp = pictures.Icon(11).pixmap(QSize(24, 24), 2.0).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(sharp.size(), QSize(48, 48));
    QCOMPARE(sharp.pixelColor(1, 46).alpha(), 0);
    QCOMPARE(sharp.pixelColor(32, 24), blue);
}

void ToolbarLayoutTest::unusableBitmapsKeepTheStockPicture()
{
    QImage good(20, 20, QImage::Format_RGB32);
    good.fill(Qt::red);
    TToolbarSettings settings = Settings({});
    settings.Buttons = {Stored(4, Bytes{'B', 'M', 'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'}),
                        Stored(5, HugeRunLengthBitmap(100000)), Stored(8, BitmapFile(good))};
    TNormalImageList pictures;
    QElapsedTimer timer;
    timer.start();
    const TToolbarLayout layout = LayoutToolbar(settings, pictures);
    QVERIFY2(timer.elapsed() < 5000, "a picture that claims to be huge is refused, not decoded");
    QCOMPARE(pictures.Count(), 11);  // only the good one was appended
    QCOMPARE(layout.Buttons[0].PictureIndex, 4);
    QCOMPARE(layout.Buttons[1].PictureIndex, 5);
    QCOMPARE(layout.Buttons[2].PictureIndex, 10);
}

void ToolbarLayoutTest::aBookWithCountlessButtonsGetsTheFirstOnes()
{
    TToolbarSettings settings = Settings({});
    for (int i = 0; i < 100000; ++i)
        settings.Buttons.push_back(Stored(i == 0 ? 7 : i % 7));  // a 7 first, which makes no button
    TNormalImageList pictures;
    const TToolbarLayout layout = LayoutToolbar(settings, pictures);
    QCOMPARE(int(layout.Buttons.size()), kMaxToolbarButtons);
    QCOMPARE(layout.Buttons.front().Command, 1);
    QCOMPARE(layout.Buttons.back().Command, kMaxToolbarButtons % 7);
}

void ToolbarLayoutTest::toolbarColor_data()
{
    QTest::addColumn<uint>("stored");
    QTest::addColumn<TToolbarColor>("color");
    auto role = [](QPalette::ColorRole r) { return TToolbarColor{r, {}}; };
    auto rgb = [](int r, int g, int b) { return TToolbarColor{std::nullopt, QColor(r, g, b)}; };
    QTest::newRow("button face") << 0xFF00000Fu << role(QPalette::Button);
    QTest::newRow("window background") << 0xFF000005u << role(QPalette::Base);
    QTest::newRow("tooltip background") << 0xFF000018u << role(QPalette::ToolTipBase);
    QTest::newRow("menu bar, the last index") << 0xFF00001Eu << role(QPalette::Window);
    QTest::newRow("index 31: button face") << 0xFF00001Fu << role(QPalette::Button);
    QTest::newRow("index 255: button face") << 0xFF0000FFu << role(QPalette::Button);
    QTest::newRow("old system form") << 0x80000010u << role(QPalette::Dark);
    QTest::newRow("red in the lowest byte") << 0x000000FFu << rgb(255, 0, 0);
    QTest::newRow("blue in the third") << 0x00FF0000u << rgb(0, 0, 255);
    QTest::newRow("mixed") << 0x00336699u << rgb(0x99, 0x66, 0x33);
    QTest::newRow("high byte other than system") << 0x1FFFFFFFu << rgb(255, 255, 255);
}

void ToolbarLayoutTest::toolbarColor()
{
    QFETCH(uint, stored);
    QFETCH(TToolbarColor, color);
    QCOMPARE(ToolbarColorFor(stored), color);
}

void ToolbarLayoutTest::stockPicturesAreDrawnAndSharpAtAnyScale()
{
    TNormalImageList pictures;
    QCOMPARE(pictures.Count(), 10);
    QList<QImage> drawn;
    for (int command = 0; command < 10; ++command) {
        const QImage image = pictures.Image(command);
        QCOMPARE(image.size(), QSize(24, 24));
        int opaque = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x)
                opaque += image.pixelColor(x, y).alpha() > 128;
        if (command == 7) {
            QCOMPARE(opaque, 0);  // never shown
            continue;
        }
        QVERIFY2(opaque > 24 * 24 / 5, qPrintable(QString("picture %1 is nearly empty").arg(command)));
        QVERIFY2(!drawn.contains(image), qPrintable(QString("picture %1 repeats another").arg(command)));
        drawn.append(image);
    }
    // At twice the density the picture is drawn with four times the pixels, not enlarged.
    for (qreal ratio : {1.5, 2.0}) {
        const QImage sharp = pictures.Icon(5).pixmap(QSize(24, 24), ratio).toImage();
        QCOMPARE(sharp.size(), QSize(qRound(24 * ratio), qRound(24 * ratio)));
        QCOMPARE(sharp.convertToFormat(QImage::Format_ARGB32),
                 StockPicture(5, ratio).convertToFormat(QImage::Format_ARGB32));
    }
    QVERIFY(pictures.Icon(10).isNull());
    QVERIFY(pictures.Icon(kNoPicture).isNull());
}

QTEST_MAIN(ToolbarLayoutTest)
#include "ToolbarLayoutTest.moc"
