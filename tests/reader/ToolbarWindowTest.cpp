// The standard toolbar in a real reader window, on books served by a real page server:
// where it stands, how it is drawn, and its buttons clicked as a person would.

#include "About.h"
#include "ApplicationError.h"
#include "Book.h"
#include "BookStore.h"
#include "Commands.h"
#include "HTTPServer.h"
#include "MainForm.h"
#include "MessageFormTool.h"
#include "ModalWatcher.h"
#include "PageScript.h"
#include "PageServerOf.h"
#include "ShellOpen.h"
#include "TestBooks.h"

#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QtTest>

#include <stdexcept>

using namespace folianto;
using namespace folianto::test;

namespace {

constexpr int kLoadTimeout = 15000;

// A reader window with the program's own services (the real toolbar among them), a real
// About box and message window, and the per-book store under a folder of the test.
struct TToolbarRun {
    QTemporaryDir dir;
    std::unique_ptr<TBook> book;
    std::unique_ptr<THTTPServer> http;
    std::unique_ptr<TPageServerOf> server;
    std::unique_ptr<TAboutBox> aboutBox;
    std::unique_ptr<TMessageForm> messageForm;
    std::vector<std::string> messages;
    std::function<void()> showAboutBox;  // replaces the About box when set
    std::unique_ptr<TMainForm> form;

    void Open(const TBookDescription& description, const QString& configRoot)
    {
        book = std::make_unique<TBook>(WriteBookFile(description, dir.path()).toStdString());
        http = std::make_unique<THTTPServer>(*book);
        server = std::make_unique<TPageServerOf>(*http);
        aboutBox = std::make_unique<TAboutBox>(DesktopShell());
        messageForm = std::make_unique<TMessageForm>(DesktopShell());

        TMainFormServices services = RealMainFormServices(*server);
        services.OpenStore = [configRoot](const std::string& id) {
            return std::make_unique<TIniBookStore>(id, configRoot);
        };
        services.ShowMessageWindow = [this](const std::string& title, const std::string& text) {
            messages.push_back(text);
            messageForm->ShowMessageWindow(title, text);
        };
        services.FillAboutBox = [this](const TBook& filled) { aboutBox->Fill(filled); };
        services.ShowAboutBox = [this] {
            if (showAboutBox)
                showAboutBox();
            else
                aboutBox->exec();
        };
        form = std::make_unique<TMainForm>(*book, std::move(services));
    }
    ~TToolbarRun()
    {
        form.reset();
        if (http)
            http->Stop();
    }
};

TBookDescription ToolbarBook(std::vector<int> commands)
{
    TBookDescription book = PagesBook({{"/index.html", "<html><head><title>Start</title></head><body>"
                                                       "<a id='next' href='chapter2.html'>next</a></body></html>"},
                                       {"/chapter2.html", "<html><head><title>Chapter 2</title></head></html>"},
                                       {"/chapter3.html", "<html><head><title>Chapter 3</title></head><body>"
                                                          "<a id='next' href='chapter2.html'>next</a></body></html>"}});
    book.WindowWidth = 640;
    book.WindowHeight = 480;
    book.ToolbarVisible = true;
    for (int command : commands)
        book.ToolbarButtons.push_back({static_cast<std::uint8_t>(command), std::nullopt});
    return book;
}

QList<QToolButton*> Buttons(TMainForm& form)
{
    QList<QToolButton*> buttons;
    for (QAction* action : form.ToolBar()->actions())
        if (auto* button = qobject_cast<QToolButton*>(form.ToolBar()->widgetForAction(action)))
            buttons.append(button);
    return buttons;
}

QToolButton* ButtonFor(TMainForm& form, int command)
{
    for (QToolButton* button : Buttons(form))
        if (button->property(kCommandTagProperty).toInt() == CommandTag(command))
            return button;
    return nullptr;
}

// Clicks the middle of a link in the page with the mouse. A click from a script would not
// count as the reader's own, and the browser's Back would then skip the page it left.
bool ClickLink(TMainForm& form, const QString& id)
{
    const auto result = EvaluateInPage(
        *form.Browser()->page(),
        QString("(function(){ var r = document.getElementById('%1').getBoundingClientRect();"
                " return [r.left + r.width / 2, r.top + r.height / 2]; })()").arg(id),
        kLoadTimeout);
    const QVariantList xy = result ? result->toList() : QVariantList();
    if (xy.size() != 2)
        return false;
    const QPoint centre(qRound(xy[0].toDouble()), qRound(xy[1].toDouble()));
    if (centre.isNull())
        return false;
    QWidget* surface = form.Browser()->focusProxy() ? form.Browser()->focusProxy() : form.Browser();
    QTest::mouseClick(surface, Qt::LeftButton, {}, centre);
    return true;
}

}  // namespace

class ToolbarWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void toolbarStandsOnItsEdge_data();
    void toolbarStandsOnItsEdge();
    void hiddenToolbarLeavesTheWholeWindowToThePages();
    void browserButtonsAndHomeGoToTheStartPage();
    void aboutButtonOpensTheAboutBox();
    void closeButtonsAskTheCloseQueryAndClose();
    void commandErrorGoesToTheErrorReport();

private:
    QTemporaryDir config_;
};

void ToolbarWindowTest::init()
{
    SetApplicationTitle("Folianto test");
}

void ToolbarWindowTest::toolbarStandsOnItsEdge_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("flat");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<uint>("color");
    QTest::addColumn<QString>("edge");
    QTest::addColumn<int>("thickness");
    QTest::addColumn<int>("indent");
    QTest::addColumn<int>("border");
    QTest::addColumn<QColor>("shown");  // invalid: the desktop's button face
    QTest::newRow("top, flat, button face") << 0 << true << 31 << 30 << 0xFF00000Fu << "top" << 38 << 1 << 2 << QColor();
    QTest::newRow("left, width 40, not flat, red")
        << 1 << false << 40 << 30 << 0x000000FFu << "left" << 50 << 2 << 1 << QColor(255, 0, 0);
    QTest::newRow("right, flat, blue") << 2 << true << 31 << 30 << 0x00FF0000u << "right" << 41 << 1 << 2 << QColor(0, 0, 255);
    QTest::newRow("bottom, flat, height 30") << 3 << true << 31 << 30 << 0x00336699u << "bottom" << 38 << 1 << 2
                                             << QColor(0x99, 0x66, 0x33);
    QTest::newRow("position 9: top as designed")
        << 9 << false << 31 << 22 << 0xFF00000Fu << "top" << 26 << 0 << 0 << QColor();
}

void ToolbarWindowTest::toolbarStandsOnItsEdge()
{
    QFETCH(int, position);
    QFETCH(bool, flat);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(uint, color);
    QFETCH(QString, edge);
    QFETCH(int, thickness);
    QFETCH(int, indent);
    QFETCH(int, border);
    QFETCH(QColor, shown);
    if (!shown.isValid())
        shown = QApplication::palette().color(QPalette::Button);

    TBookDescription description = ToolbarBook({0, 1, 4});
    description.ToolbarPosition = static_cast<std::uint8_t>(position);
    description.ToolbarFlat = flat;
    description.ToolbarButtonWidth = width;
    description.ToolbarButtonHeight = height;
    description.ToolbarColor = color;
    TToolbarRun run;
    run.Open(description, config_.path());
    run.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(run.form.get()));

    QWidget* client = run.form->centralWidget();
    QWidget* panel = run.form->ToolBarPanel();
    QToolBar* bar = run.form->ToolBar();
    QVERIFY(panel->isVisible());
    QVERIFY(bar->isVisible());
    const QRect all = client->rect();
    const bool side = edge == "left" || edge == "right";
    QRect expectedPanel = all, pages = all;
    if (edge == "top") {
        expectedPanel.setHeight(thickness);
        pages.setTop(thickness);
    } else if (edge == "bottom") {
        expectedPanel.setTop(all.bottom() + 1 - thickness);
        pages.setBottom(all.bottom() - thickness);
    } else if (edge == "left") {
        expectedPanel.setWidth(thickness);
        pages.setLeft(thickness);
    } else {
        expectedPanel.setLeft(all.right() + 1 - thickness);
        pages.setRight(all.right() - thickness);
    }
    QCOMPARE(panel->geometry(), expectedPanel);
    QCOMPARE(run.form->Browser()->geometry(), pages);
    QCOMPARE(bar->geometry(), panel->rect());

    const QList<QToolButton*> buttons = Buttons(*run.form);
    QCOMPARE(buttons.size(), 3);
    const QStringList hints = {"Back", "Forward", "Home"};
    for (int i = 0; i < buttons.size(); ++i) {
        QToolButton* button = buttons[i];
        QVERIFY(button->isVisible());
        QCOMPARE(button->toolTip(), hints[i]);
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QCOMPARE(button->size(), QSize(width + 1, height));
        QCOMPARE(button->autoRaise(), flat);
        // One row (or one column at the side), the first button after border and indent,
        // each next one right after it, all inside the border.
        const QPoint at = button->pos();
        const int along = side ? at.y() : at.x();
        const int across = side ? at.x() : at.y();
        const int step = side ? height : width + 1;
        QCOMPARE(along, border + indent + i * step);
        QVERIFY2(across >= border && across + (side ? width + 1 : height) <= thickness - border,
                 qPrintable(QString("button %1 at %2,%3").arg(i).arg(at.x()).arg(at.y())));
    }

    // The bar's colour shows past the last button; the panel carries the same.
    const QImage drawn = bar->grab().toImage();
    const QPoint free = side ? QPoint(thickness / 2, drawn.height() - 3) : QPoint(drawn.width() - 3, thickness / 2);
    QCOMPARE(drawn.pixelColor(free), shown);
    QCOMPARE(panel->palette().color(panel->backgroundRole()), shown);

    // Showing the window again builds the same toolbar, not a second set of buttons.
    run.form->hide();
    run.form->show();
    QCOMPARE(Buttons(*run.form).size(), 3);
}

void ToolbarWindowTest::hiddenToolbarLeavesTheWholeWindowToThePages()
{
    TBookDescription description = ToolbarBook({0, 1, 4});
    description.ToolbarVisible = false;
    TToolbarRun run;
    run.Open(description, config_.path());
    run.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(run.form.get()));
    QVERIFY(!run.form->ToolBarPanel()->isVisible());
    QVERIFY(!run.form->ToolBar()->isVisible());
    QVERIFY(Buttons(*run.form).isEmpty());
    QCOMPARE(run.form->Browser()->geometry(), run.form->centralWidget()->rect());
}

void ToolbarWindowTest::browserButtonsAndHomeGoToTheStartPage()
{
    TBookDescription description = ToolbarBook({0, 1, 4});
    description.BookId = "toolbar-home";
    description.RememberLastPage = true;
    TIniBookStore("toolbar-home", config_.path()).WriteLastPage("/chapter3.html");
    TToolbarRun run;
    run.Open(description, config_.path());
    run.form->show();
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Chapter 3"), kLoadTimeout);

    // Nothing to go back to: the click is swallowed.
    QTest::mouseClick(ButtonFor(*run.form, 0), Qt::LeftButton);
    QVERIFY(!run.form->Browser()->history()->canGoBack());

    QVERIFY(ClickLink(*run.form, "next"));
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Chapter 2"), kLoadTimeout);
    QTest::mouseClick(ButtonFor(*run.form, 0), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Chapter 3"), kLoadTimeout);
    QTest::mouseClick(ButtonFor(*run.form, 1), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Chapter 2"), kLoadTimeout);

    // Home is the book's start page, not the page it opened at.
    QTest::mouseClick(ButtonFor(*run.form, 4), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Start"), kLoadTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(run.form->CurrentPage(), std::string("/index.html"), kLoadTimeout);
}

void ToolbarWindowTest::aboutButtonOpensTheAboutBox()
{
    TBookDescription description = ToolbarBook({8});
    description.Author = "Ada Fenn";
    TToolbarRun run;
    run.Open(description, config_.path());
    run.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(run.form.get()));

    QString title, author;
    TModalWatcher watcher([&](QWidget* modal) {
        if (modal != run.aboutBox.get())
            return false;
        title = run.aboutBox->TitleLabel->text();
        author = run.aboutBox->AuthorLabel->text();
        QTest::mouseClick(run.aboutBox->OKButton, Qt::LeftButton);
        return true;
    });
    QTest::mouseClick(ButtonFor(*run.form, 8), Qt::LeftButton);
    // The click returns once the box has been closed.
    QVERIFY(watcher.Done);
    QCOMPARE(title, QString("My Book"));
    QVERIFY(author.contains("Ada Fenn"));
    QVERIFY(!run.aboutBox->isVisible());
    QVERIFY(run.form->isVisible());
}

void ToolbarWindowTest::closeButtonsAskTheCloseQueryAndClose()
{
    // 137 runs the command of 137 - 128 = 9, Close.
    TBookDescription description = ToolbarBook({9, 137});
    description.ExitMessageEnabled = true;
    description.ExitMessage = "Thank you for reading.";
    TToolbarRun run;
    run.Open(description, config_.path());
    QSignalSpy closed(run.form.get(), &TMainForm::Closed);
    run.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(run.form.get()));
    QVERIFY(ButtonFor(*run.form, 137)->icon().isNull());  // no stock picture for 137

    for (const int command : {9, 137}) {
        bool messageShown = false;
        TModalWatcher watcher([&](QWidget* modal) {
            if (modal != run.messageForm.get())
                return false;
            messageShown = run.form->isVisible();  // asked before the window goes
            QTest::mouseClick(run.messageForm->Button1(), Qt::LeftButton);
            return true;
        });
        QTest::mouseClick(ButtonFor(*run.form, command), Qt::LeftButton);
        QVERIFY(watcher.Done);
        QVERIFY(messageShown);
        QCOMPARE(run.messages.back(), description.ExitMessage);
        QTRY_VERIFY_WITH_TIMEOUT(!run.form->isVisible(), kLoadTimeout);
        run.form->show();
    }
    QCOMPARE(closed.count(), 2);
    QCOMPARE(int(run.messages.size()), 2);
}

void ToolbarWindowTest::commandErrorGoesToTheErrorReport()
{
    TToolbarRun run;
    run.Open(ToolbarBook({8}), config_.path());
    run.showAboutBox = [] { throw std::runtime_error("The About box is not available"); };
    run.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(run.form.get()));

    TMessageBoxCloser report;
    QTest::mouseClick(ButtonFor(*run.form, 8), Qt::LeftButton);
    QVERIFY(report.Watcher.Done);
    QCOMPARE(report.Text, QString("The About box is not available"));
    QVERIFY(run.form->isVisible());
}

QTEST_MAIN(ToolbarWindowTest)
#include "ToolbarWindowTest.moc"
