// The skinned reader window on a real display with a window manager: its shape, its
// buttons and dragging it by the skin, driven by the real pointer (xdotool).

#include "Commands.h"
#include "ReaderRun.h"
#include "Skin.h"
#include "SkinShape.h"

#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

using namespace folianto;
using namespace folianto::test;

namespace {

// The real pointer, through the X server: the window manager sees what a person does.
bool Pointer(const QStringList& arguments)
{
    return QProcess::execute("xdotool", arguments) == 0;
}

bool MoveTo(QPoint global)
{
    return Pointer({"mousemove", "--sync", QString::number(global.x()), QString::number(global.y())});
}

// Where the X server has the window, whatever Qt has heard of it so far.
QPoint PlaceOnScreen(const QWidget& window)
{
    QProcess xdotool;
    xdotool.start("xdotool", {"getwindowgeometry", "--shell", QString::number(window.winId())});
    if (!xdotool.waitForFinished(10000))
        return {};
    QPoint place(-1, -1);
    for (const QByteArray& line : xdotool.readAllStandardOutput().split('\n')) {
        if (line.startsWith("X="))
            place.setX(line.mid(2).toInt());
        else if (line.startsWith("Y="))
            place.setY(line.mid(2).toInt());
    }
    return place;
}

// Counts the presses that reach one widget.
class TPressCounter : public QObject {
public:
    explicit TPressCounter(QWidget* widget) { widget->installEventFilter(this); }
    int Presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            ++Presses;
        return false;
    }
};

// A 640 x 550 skin, opaque but for a first row open at both ends and a transparent
// square at the bottom left; the browser in (1, 93, 639, 547); a Close button, an About
// button stored later that overlaps it, and a button for command 7.
TBookDescription SkinBook()
{
    QImage skin = Filled(640, 550, QColor(40, 90, 160));
    for (int x = 0; x < 640; ++x)
        if (x < 10 || x >= 630)
            skin.setPixelColor(x, 0, Qt::transparent);
    for (int y = 10; y < 60; ++y)
        for (int x = 580; x < 640; ++x)
            skin.setPixelColor(x, y, Qt::transparent);
    auto description = PagesBook({{"/index.html", HtmlPage("Start", "<p>Wren Street</p>")}});
    description.InterfaceKind = 1;
    description.SkinImage = PngOf(skin);
    description.BrowserLeft = 1;
    description.BrowserTop = 93;
    description.BrowserRight = 639;
    description.BrowserBottom = 547;
    const Bytes button = PngOf(Filled(40, 30, QColor(220, 180, 60)));
    description.SkinButtons = {{9, 20, 20, button}, {8, 40, 30, button}, {7, 200, 20, button}};
    return description;
}

std::vector<QWidget*> SkinButtons(TMainForm& form)
{
    std::vector<QWidget*> buttons;
    for (QObject* child : form.centralWidget()->children())
        if (auto* widget = qobject_cast<TSkinButtonImage*>(child))
            buttons.push_back(widget);
    return buttons;
}

// Opens the skin book and waits for its first page and its place in the middle of the screen.
bool OpenSkinBook(TReaderRun& run)
{
    run.Load(SkinBook());
    run.Create();
    return run.ShowAndWait("My Book - Start") &&
           QTest::qWaitFor([&] { return run.form->frameGeometry().topLeft() == QPoint(320, 237); }, kPageTimeout);
}

TSkinImage* SkinOf(TMainForm& form)
{
    return form.centralWidget()->findChild<TSkinImage*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace

class SkinWindowTest : public QObject {
    Q_OBJECT
private slots:
    void windowIsThePictureWithItsShape();
    void pressOnTheSkinDragsTheWindow();
    void buttonsRunTheirCommandsAndNeverMoveTheWindow();
    void oddSkinsOpenWithoutHarm();
};

void SkinWindowTest::windowIsThePictureWithItsShape()
{
    TReaderRun run;
    QVERIFY(OpenSkinBook(run));  // centred on the 1280 x 1024 screen
    TMainForm& form = *run.form;

    QVERIFY(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(form.size(), QSize(640, 550));
    QCOMPARE(form.Browser()->geometry(), QRect(1, 93, 638, 454));
    QVERIFY(!form.ToolBarPanel()->isVisible());

    const QRegion expected = SkinShape(run.book->SkinImage, QRect(1, 93, 638, 454), QSize(640, 550)).Region();
    QCOMPARE(form.mask(), expected);
    QVERIFY(!form.mask().contains(QPoint(5, 0)));
    QVERIFY(form.mask().contains(QPoint(10, 0)));
    QVERIFY(!form.mask().contains(QPoint(600, 30)));
    QVERIFY(form.mask().contains(QPoint(600, 70)));

    // Two buttons in stored order; command 7 has none.
    const auto buttons = SkinButtons(form);
    QCOMPARE(int(buttons.size()), 2);
    QCOMPARE(buttons[0]->geometry(), QRect(20, 20, 40, 30));
    QCOMPARE(buttons[0]->property(kCommandTagProperty).toInt(), -10);
    QCOMPARE(buttons[0]->toolTip(), QString("Close"));
    QCOMPARE(buttons[1]->geometry(), QRect(40, 30, 40, 30));
    QCOMPARE(buttons[1]->property(kCommandTagProperty).toInt(), -9);
    QCOMPARE(buttons[1]->toolTip(), QString("About"));
    for (QWidget* button : buttons) {
        QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(button->isVisible() && button->isEnabled());
    }
    QCOMPARE(form.centralWidget()->childAt(50, 40), buttons[1]);  // the later one on top
    QWidget* atBrowser = form.centralWidget()->childAt(300, 300);
    QVERIFY(atBrowser == form.Browser() || form.Browser()->isAncestorOf(atBrowser));

    // The picture is on screen, and the browser covers it in its rectangle.
    const QImage shown = form.grab().toImage();
    QCOMPARE(shown.pixelColor(300, 50), QColor(40, 90, 160));
    QCOMPARE(shown.pixelColor(25, 25), QColor(220, 180, 60));

    // Shown again: built again, not twice.
    form.hide();
    form.show();
    QCOMPARE(int(SkinButtons(form).size()), 2);
    QCOMPARE(int(form.centralWidget()->findChildren<TSkinImage*>().size()), 1);
    QCOMPARE(form.mask(), expected);
}

void SkinWindowTest::pressOnTheSkinDragsTheWindow()
{
    TReaderRun run;
    QVERIFY(OpenSkinBook(run));
    TMainForm& form = *run.form;
    const QPoint start = form.pos();
    TPressCounter presses(SkinOf(form));

    // Through a hole the press reaches what lies below, not the skin.
    QVERIFY(MoveTo(start + QPoint(600, 30)));
    QVERIFY(Pointer({"click", "1"}));
    // On the skin, outside the buttons and the browser.
    QVERIFY(MoveTo(start + QPoint(300, 50)));
    QVERIFY(Pointer({"mousedown", "1"}));
    QTRY_VERIFY_WITH_TIMEOUT(presses.Presses >= 1, kPageTimeout);

    // The window manager moves the window with the pointer until the button goes up; it
    // tells the window where it went once the move is over.
    const QPoint target = start + QPoint(120, 70);
    const bool followed = QTest::qWaitFor([&] {
        MoveTo(start + QPoint(300, 50) + QPoint(119, 69));
        MoveTo(start + QPoint(300, 50) + QPoint(120, 70));
        return PlaceOnScreen(form) == target;
    }, kPageTimeout);
    QVERIFY(Pointer({"mouseup", "1"}));
    QVERIFY2(followed, qPrintable(QString("window at %1,%2").arg(PlaceOnScreen(form).x()).arg(PlaceOnScreen(form).y())));
    QTRY_COMPARE_WITH_TIMEOUT(form.pos(), target, kPageTimeout);
    QCOMPARE(presses.Presses, 1);  // the click through the hole never reached the skin

    // Once released, the pointer moves alone.
    QVERIFY(MoveTo(start + QPoint(600, 300)));
    QVERIFY(MoveTo(start + QPoint(610, 310)));
    QTest::qWait(0);
    QCOMPARE(form.pos(), target);
}

void SkinWindowTest::buttonsRunTheirCommandsAndNeverMoveTheWindow()
{
    TReaderRun run;
    QVERIFY(OpenSkinBook(run));
    TMainForm& form = *run.form;
    const QPoint start = form.pos();
    QSignalSpy closed(&form, &TMainForm::Closed);

    // Where the two overlap, the later one (About) takes the click.
    QVERIFY(MoveTo(start + QPoint(50, 40)));
    QVERIFY(Pointer({"mousedown", "1"}));
    QVERIFY(MoveTo(start + QPoint(52, 42)));
    QVERIFY(Pointer({"mouseup", "1"}));
    QTRY_COMPARE_WITH_TIMEOUT(run.aboutBoxes, 1, kPageTimeout);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(form.pos(), start);

    // The Close button, where nothing lies over it.
    QVERIFY(MoveTo(start + QPoint(25, 25)));
    QVERIFY(Pointer({"click", "1"}));
    QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, kPageTimeout);
    QCOMPARE(run.aboutBoxes, 1);
    QCOMPARE(form.pos(), start);
}

void SkinWindowTest::oddSkinsOpenWithoutHarm()
{
    // 1 x 1 with the browser and the buttons far outside it.
    {
        auto description = SkinBook();
        description.SkinImage = PngOf(Filled(1, 1, Qt::red));
        description.BrowserRight = 2000000000;
        description.SkinButtons = {{8, -50, -50, PngOf(Filled(4, 4, Qt::blue))},
                                   {9, 2000000000, 2000000000, PngOf(Filled(4, 4, Qt::blue))}};
        TReaderRun run;
        run.Load(description);
        run.Create();
        QVERIFY(run.ShowAndWait("My Book - Start"));
        QCOMPARE(run.form->size(), QSize(1, 1));
        QCOMPARE(run.form->Browser()->geometry(), QRect(0, 0, 0, 0));
        QCOMPARE(int(SkinButtons(*run.form).size()), 2);
    }
    // A skin as large as 10,000 x 10,000 (grey, no alpha): a rectangular window as large
    // as the screen.
    {
        auto description = SkinBook();
        QImage huge(10000, 10000, QImage::Format_Grayscale8);
        huge.fill(128);
        description.SkinImage = PngOf(huge);
        TReaderRun run;
        run.Load(description);
        QVERIFY(run.book->Loaded);
        run.Create();
        QVERIFY(run.ShowAndWait("My Book - Start"));
        QCOMPARE(run.form->size(), QSize(1280, 1024));
        QCOMPARE(run.form->mask(), QRegion(0, 0, 1280, 1024));
        QCOMPARE(run.form->Browser()->geometry(), QRect(1, 93, 638, 454));
    }
    // A skin without a picture (as a book that failed to give one would have).
    {
        TReaderRun run;
        run.Load(SkinBook());
        run.book->SkinImage.Clear();
        run.Create();
        QVERIFY(run.ShowAndWait("My Book - Start"));
        QCOMPARE(run.form->size(), QSize(1, 1));
        QCOMPARE(run.form->mask(), QRegion(0, 0, 1, 1));
    }
}

QTEST_MAIN(SkinWindowTest)
#include "SkinWindowTest.moc"
