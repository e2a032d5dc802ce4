// Find in page through the real find dialog, as a person uses it: type into "Find what",
// set the options, click "Find Next"; the outcome is read from the page's selection.

#include "Commands.h"
#include "FindDialog.h"
#include "TestBooks.h"
#include "TestWindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QtTest>

using namespace folianto;
using namespace folianto::test;

namespace {

constexpr int kFindTimeout = 15000;

std::string Page(const std::string& body, const std::string& head = {})
{
    return "<html><head><title>Find</title>" + head + "</head><body>" + body + "</body></html>";
}

// Three visible occurrences of "wren" (one capitalised, the last far down the page) and
// several the reader does not see.
const std::string kWrenPage = Page(
    "<p><span id='w1'>wren</span> and a <span style='display:none'>wren</span>"
    "<span style='visibility:hidden'>wren</span><span hidden>wren</span></p>"
    "<noscript>wren</noscript><p>the <span id='w2'>Wren</span> house</p>"
    "<div style='height:3000px'></div><p>last <span id='w3'>wren</span></p>",
    "<style>/* wren */</style><script>var bird = 'wren';</script>");

const std::map<std::string, std::string> kTablePages = {
    {"/index.html", Page("")},
    {"/wren.html", kWrenPage},
    {"/words.html", Page("<p><span id='a'>lamplighter</span>, <span id='b'>lamps</span>, <span id='c'>lamp</span>,"
                         " <span id='d'>Lamp</span>_x <span id='e'>lamp</span>.</p>")},
    {"/aaa.html", Page("<p id='a'>aaa</p>")},
    {"/heading.html", Page("<h1 id='h'>wren</h1><p id='p'>wren</p>")},
    {"/ada.html", Page("<p>Ada</p><p>Fenn</p><p id='p'>Ada\n   <b>Fenn</b></p>")},
};

// The page's selection as "<id of its element>:<offset>:<text>", or "" when there is none.
QString Selection(TWindowRun& run)
{
    return run
        .Evaluate("(() => { const s = getSelection(); if (!s.rangeCount || s.isCollapsed) return '';"
                  " const r = s.getRangeAt(0); const e = r.startContainer.parentElement;"
                  " return (e.id || e.tagName) + ':' + r.startOffset + ':' + r.toString(); })()")
        .toString();
}

bool SelectionInView(TWindowRun& run)
{
    return run
        .Evaluate("(() => { const r = getSelection().getRangeAt(0).getBoundingClientRect();"
                  " return r.height > 0 && r.top >= 0 && r.bottom <= innerHeight; })()")
        .toBool();
}

// With the find dialog left open, the reader goes back to the window (where the page server
// runs again) and opens another page.
bool BackInTheWindowOpen(TWindowRun& run, const std::string& path)
{
    run.Form->activateWindow();
    return QTest::qWaitFor([&] { return run.Form->FormActive(); }, kFindTimeout) && run.Open(path);
}

// The find dialog of a window, driven through its controls.
struct TFinder {
    TWindowRun& Run;
    TFindDialog* Dialog = nullptr;
    QSignalSpy Done;
    int Presses = 0;

    explicit TFinder(TWindowRun& run) : Run(run), Done(run.Form.get(), &TMainForm::FindDone) {}

    // Opens the dialog through the Find command, as the toolbar's button does.
    void Open()
    {
        QObject button;
        button.setProperty(kCommandTagProperty, CommandTag(5));
        Run.Form->CommandButtonClick(&button);
        Dialog = Run.Form->FindDialog();
        QVERIFY(Dialog && Dialog->isVisible());
    }
    void Type(const QString& text)
    {
        Dialog->FindWhat()->selectAll();
        QTest::keyClick(Dialog->FindWhat(), Qt::Key_Delete);
        QTest::keyClicks(Dialog->FindWhat(), text);
    }
    static void SetChecked(QAbstractButton* control, bool on)
    {
        if (control->isChecked() != on)
            QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(8, control->height() / 2));
        QCOMPARE(control->isChecked(), on);
    }
    void Options(bool matchCase, bool wholeWord)
    {
        SetChecked(Dialog->MatchCaseBox(), matchCase);
        SetChecked(Dialog->WholeWordBox(), wholeWord);
    }
    // Clicks "Find Next" searching down ('D') or up ('U') and waits until the page has been
    // searched; returns whether a match was selected.
    bool Press(char direction = 'D')
    {
        SetChecked(direction == 'U' ? Dialog->UpButton() : Dialog->DownButton(), true);
        QTest::mouseClick(Dialog->FindNextButton(), Qt::LeftButton);
        ++Presses;
        if (!QTest::qWaitFor([&] { return Done.count() == Presses; }, kFindTimeout))
            return false;
        return Done.last().first().toBool();
    }
};

}  // namespace

class FindTest : public QObject {
    Q_OBJECT
private slots:
    void cleanupTestCase() { tableRun_.reset(); }
    void dialogStartsAsTheSystemsFindDialog();
    void findNextSelectsMatches_data();
    void findNextSelectsMatches();
    void reopeningRestartsAtTheTop();
    void anotherPageIsSearchedFromItsTop();
    void pagesWithoutABodyFindNothingAndTheDialogGoesOn();
    void closingWhileSearchingIsSafe();

private:
    std::unique_ptr<TWindowRun> tableRun_;
};

void FindTest::dialogStartsAsTheSystemsFindDialog()
{
    TWindowRun run(PagesBook({{"/index.html", kWrenPage}}));
    TFinder find(run);
    find.Open();
    TFindDialog* dialog = find.Dialog;
    QCOMPARE(dialog->windowTitle(), QString("Find"));
    QVERIFY(!dialog->isModal());
    QVERIFY(dialog->DownButton()->isChecked() && !dialog->UpButton()->isChecked());
    QVERIFY(!dialog->MatchCaseBox()->isChecked() && !dialog->WholeWordBox()->isChecked());
    QVERIFY(dialog->FindNextButton()->isDefault());
    QVERIFY(!dialog->FindNextButton()->isEnabled());  // nothing to find yet
    QTRY_VERIFY(dialog->FindWhat()->hasFocus());

    // Return presses the default button.
    QTest::keyClicks(dialog->FindWhat(), "wren");
    QVERIFY(dialog->FindNextButton()->isEnabled());
    QTest::keyClick(dialog->FindWhat(), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(find.Done.count(), 1, kFindTimeout);
    QCOMPARE(Selection(run), QString("w1:0:wren"));
    QVERIFY(dialog->isVisible());

    // Escape closes it, as Cancel does; the selection stays.
    QTest::keyClick(dialog->FindWhat(), Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    find.Open();
    QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(Selection(run), QString("w1:0:wren"));
}

void FindTest::findNextSelectsMatches_data()
{
    QTest::addColumn<QString>("page");  // of kTablePages
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QString>("presses");         // D down, U up
    QTest::addColumn<QStringList>("selections");  // after each press

    const QString wren = "/wren.html";
    QTest::newRow("down four times: three matches, the fourth keeps the third")
        << wren << "wren" << false << false << "DDDD"
        << QStringList{"w1:0:wren", "w2:0:Wren", "w3:0:wren", "w3:0:wren"};
    QTest::newRow("up from the last match back to the first, no wrap-around")
        << wren << "wren" << false << false << "DDDUUU"
        << QStringList{"w1:0:wren", "w2:0:Wren", "w3:0:wren", "w2:0:Wren", "w1:0:wren", "w1:0:wren"};
    QTest::newRow("up on a new search starts at the bottom")
        << wren << "WREN" << false << false << "UD" << QStringList{"w3:0:wren", "w3:0:wren"};
    QTest::newRow("match case leaves out the other case")
        << wren << "Wren" << true << false << "DD" << QStringList{"w2:0:Wren", "w2:0:Wren"};
    QTest::newRow("without match case the lower case comes first")
        << wren << "Wren" << false << false << "D" << QStringList{"w1:0:wren"};

    const QString words = "/words.html";
    QTest::newRow("whole word is never inside a longer word")
        << words << "lamp" << false << true << "DDD" << QStringList{"c:0:lamp", "e:0:lamp", "e:0:lamp"};
    QTest::newRow("without whole word a longer word matches")
        << words << "lamp" << false << false << "DD" << QStringList{"a:0:lamp", "b:0:lamp"};
    QTest::newRow("whole word and match case together")
        << words << "Lamp" << true << true << "D" << QStringList{""};

    QTest::newRow("the next search starts one character after the last match, so overlaps come next")
        << "/aaa.html" << "aa" << false << false << "DDD"
        << QStringList{"a:0:aa", "a:1:aa", "a:1:aa"};
    QTest::newRow("a match at the very start of the page")
        << "/heading.html" << "wren" << false << false << "DD"
        << QStringList{"h:0:wren", "p:0:wren"};
    QTest::newRow("a match runs across elements and folded white space, not across paragraphs")
        << "/ada.html" << "ada fenn"
        << false << false << "DD" << QStringList{"p:0:Ada\n   Fenn", "p:0:Ada\n   Fenn"};
    QTest::newRow("a text that is not on the page changes nothing")
        << wren << "lamplighter" << false << false << "DU" << QStringList{"", ""};
}

void FindTest::findNextSelectsMatches()
{
    QFETCH(QString, page);
    QFETCH(QString, text);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(QString, presses);
    QFETCH(QStringList, selections);

    // One window for the whole table; each case opens its page afresh, with the dialog closed.
    if (!tableRun_)
        tableRun_ = std::make_unique<TWindowRun>(PagesBook(kTablePages));
    TWindowRun& run = *tableRun_;
    if (TFindDialog* dialog = run.Form->FindDialog())
        dialog->reject();
    QVERIFY(BackInTheWindowOpen(run, page.toStdString()));
    TFinder find(run);
    find.Open();
    find.Type(text);
    find.Options(matchCase, wholeWord);
    QString previous;
    for (int i = 0; i < presses.size(); ++i) {
        const bool found = find.Press(presses[i].toLatin1());
        QCOMPARE(find.Done.count(), i + 1);
        const QString selection = Selection(run);
        QCOMPARE(selection, selections[i]);
        QCOMPARE(found, selection != previous);
        if (!selection.isEmpty())
            QVERIFY2(SelectionInView(run), qPrintable(selection));
        previous = selection;
    }
}

void FindTest::reopeningRestartsAtTheTop()
{
    TWindowRun run(PagesBook({{"/index.html", kWrenPage}}));
    TFinder find(run);
    find.Open();
    find.Type("wren");
    QVERIFY(find.Press());
    QVERIFY(find.Press());
    QCOMPARE(Selection(run), QString("w2:0:Wren"));

    // Opening it again while it is open goes on with the same search.
    find.Open();
    QVERIFY(find.Press());
    QCOMPARE(Selection(run), QString("w3:0:wren"));

    QTest::mouseClick(find.Dialog->CancelButton(), Qt::LeftButton);
    find.Open();
    QVERIFY(!find.Run.Form->FindRange());
    QCOMPARE(find.Dialog->FindText(), QString("wren"));  // the dialog keeps what was typed
    QVERIFY(find.Press());
    QCOMPARE(Selection(run), QString("w1:0:wren"));
}

void FindTest::anotherPageIsSearchedFromItsTop()
{
    TWindowRun run(PagesBook({{"/index.html", kWrenPage},
                              {"/other.html", Page("<p id='o1'>a wren</p><p id='o2'>another wren</p>")}}));
    TFinder find(run);
    find.Open();
    find.Type("wren");
    QVERIFY(find.Press());
    QVERIFY(find.Press());
    QCOMPARE(Selection(run), QString("w2:0:Wren"));

    QVERIFY(BackInTheWindowOpen(run, "/other.html"));
    QVERIFY(find.Dialog->isVisible());
    QVERIFY(find.Press());
    QCOMPARE(Selection(run), QString("o1:2:wren"));
    QVERIFY(find.Press());
    QCOMPARE(Selection(run), QString("o2:8:wren"));
}

void FindTest::pagesWithoutABodyFindNothingAndTheDialogGoesOn()
{
    TWindowRun run(PagesBook({
        {"/index.html", "<html><head><title>Frames</title></head><frameset cols='50%,50%'>"
                        "<frame src='left.html'><frame src='right.html'></frameset></html>"},
        {"/left.html", Page("<p>wren</p>")},
        {"/right.html", Page("<p>wren</p>")},
        {"/bird.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='40'><text x='5' y='20'>wren</text></svg>"},
        {"/naughty.html", Page("<p id='n'>a wren</p><script>String.prototype.indexOf = () => { throw 1; };"
                               " window.getSelection = null; Node = null; throw new Error('page script');</script>")},
    }));
    QTRY_VERIFY_WITH_TIMEOUT(run.Evaluate("frames.length === 2 && frames[1].document.readyState === 'complete'").toBool(),
                             kFindTimeout);
    TFinder find(run);
    find.Open();
    find.Type("wren");
    QVERIFY(!find.Press());
    QVERIFY(!run.Form->FindRange());
    QCOMPARE(run.Evaluate("Array.from({length: frames.length}, (_, i) => frames[i].getSelection().toString()).join('|')").toString(), QString("|"));

    QVERIFY(BackInTheWindowOpen(run, "/bird.svg"));
    QVERIFY(!find.Press());
    QVERIFY(!run.Form->FindRange());

    // A page's scripts that throw and spoil their own globals leave our search alone.
    QVERIFY(BackInTheWindowOpen(run, "/naughty.html"));
    QVERIFY(find.Press());
    QVERIFY(run.Form->FindRange());
    QCOMPARE(run.Evaluate("document.getSelection().toString()").toString(), QString("wren"));
}

void FindTest::closingWhileSearchingIsSafe()
{
    TWindowRun run(PagesBook({{"/index.html", kWrenPage}}));
    TFinder find(run);
    find.Open();
    find.Type("wren");
    QTest::mouseClick(find.Dialog->FindNextButton(), Qt::LeftButton);
    QTest::mouseClick(find.Dialog->FindNextButton(), Qt::LeftButton);  // waits for the first
    run.Form.reset();
    QCOMPARE(find.Done.count(), 0);
}

QTEST_MAIN(FindTest)
#include "FindTest.moc"
