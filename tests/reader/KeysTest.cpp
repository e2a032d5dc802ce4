// The keys and the page requests the reader answers itself, typed on the real keyboard
// (xdotool) into the reader window as a person would.

#include "Browser.h"
#include "FindDialog.h"
#include "Navigation.h"
#include "ReaderRun.h"

#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QtTest>

using namespace folianto;
using namespace folianto::test;

namespace {

// The page notes every key it sees (modifiers alone aside), and opens a window on Ctrl+N as a page may.
const std::string kKeyLog =
    "<p id='text'>Wren Street</p><a id='next' href='chapter2.html'>next</a>"
    "<script>window.keys = [];"
    "document.addEventListener('keydown', e => {"
    "  if (['Control', 'Shift', 'Alt', 'Meta'].includes(e.key)) return;"
    "  window.keys.push((e.ctrlKey ? 'Ctrl+' : '') + (e.shiftKey ? 'Shift+' : '') + e.key);"
    "  if (e.ctrlKey && (e.key == 'n' || e.key == 'N')) window.open('/chapter2.html');"
    "});</script>";

bool Type(const QString& keys)
{
    return QProcess::execute("xdotool", {"key", "--clearmodifiers", keys}) == 0;
}

// The page has the keyboard once the view's focus proxy has Qt's focus.
bool PageHasFocus(TMainForm& form)
{
    return QTest::qWaitFor([&] {
        QWidget* proxy = form.Browser()->focusProxy();
        return proxy && QApplication::focusWidget() == proxy && form.isActiveWindow();
    }, kPageTimeout);
}

// Types a key the page will see, and waits until it has: every key typed before it has
// been dealt with by then.
bool Settle(TMainForm& form)
{
    if (!Type("x"))
        return false;
    return QTest::qWaitFor([&] { return Evaluate(form, "window.keys.includes('x')").toBool(); }, kPageTimeout);
}

QStringList KeysSeen(TMainForm& form)
{
    return Evaluate(form, "window.keys").toStringList();
}

// Sees the presses of N that reach one object after the application's filters.
class TKeyWatcher : public QObject {
public:
    explicit TKeyWatcher(QObject* target) { target->installEventFilter(this); }
    QStringList Seen;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_N)
            Seen << QKeySequence(static_cast<QKeyEvent*>(event)->keyCombination()).toString();
        return false;
    }
};

}  // namespace

class KeysTest : public QObject {
    Q_OBJECT
private slots:
    void escapeFromThePageClosesOnlyWhenTheBookSaysSo();
    void ctrlNOpensNoWindow();
    void browserKeysGoBackForwardAndRefresh();
    void ctrlFFindsAndCtrlPAsksBeforePrinting();
    void pageCannotCloseTheReader();
    void contextMenuIsTheBrowsersOwn();
};

void KeysTest::escapeFromThePageClosesOnlyWhenTheBookSaysSo()
{
    for (const bool escapeCloses : {false, true}) {
        auto description = PagesBook({{"/index.html", HtmlPage("Start", kKeyLog)}});
        description.EscapeCloses = escapeCloses;
        description.ExitMessageEnabled = true;
        description.ExitMessage = "Goodbye";
        TReaderRun run;
        run.Load(description);
        run.Create();
        QSignalSpy closed(run.form.get(), &TMainForm::Closed);
        QVERIFY(run.ShowAndWait("My Book - Start"));
        QVERIFY(PageHasFocus(*run.form));

        QVERIFY(Type("Escape"));
        if (escapeCloses) {
            QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, kPageTimeout);
            QCOMPARE(run.messages, (std::vector<std::pair<std::string, std::string>> {{"My Book", "Goodbye"}}));
            QVERIFY(!run.form->isVisible());
        } else {
            QVERIFY(Settle(*run.form));
            QCOMPARE(KeysSeen(*run.form), (QStringList {"Escape", "x"}));  // the page had it
            QCOMPARE(closed.count(), 0);
            QVERIFY(run.messages.empty());
            QVERIFY(run.form->isVisible());
        }
    }
}

void KeysTest::ctrlNOpensNoWindow()
{
    TReaderRun run;
    run.Load(PagesBook({{"/index.html", HtmlPage("Start", kKeyLog)}, {"/chapter2.html", HtmlPage("Chapter 2")}}));
    run.Create();
    QVERIFY(run.ShowAndWait("My Book - Start"));
    QVERIFY(PageHasFocus(*run.form));

    QVERIFY(Type("ctrl+n"));
    QVERIFY(Type("ctrl+shift+n"));
    QVERIFY(Type("ctrl+c"));  // passes to the page like any other Ctrl key
    QVERIFY(Settle(*run.form));
    QCOMPARE(KeysSeen(*run.form), (QStringList {"Ctrl+c", "x"}));
    QCOMPARE(VisibleWindows<TBrowserWindow>(), 0);
    QCOMPARE(run.form->Caption(), std::string("My Book - Start"));

    // Aimed at the window rather than the page, only Ctrl alone with N is dropped.
    TKeyWatcher watcher(run.form.get());
    QTest::keyClick(run.form.get(), Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(run.form.get(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(run.form.get(), Qt::Key_N, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(watcher.Seen, (QStringList {"Ctrl+Shift+N", "Ctrl+Alt+N"}));
}

void KeysTest::browserKeysGoBackForwardAndRefresh()
{
    TReaderRun run;
    run.Load(PagesBook({{"/index.html", HtmlPage("Start", kKeyLog)},
                        {"/chapter2.html", HtmlPage("Chapter 2", "<script>window.keys = [];</script>")}}));
    run.Create();
    QVERIFY(run.ShowAndWait("My Book - Start"));
    // Opened by the reader, not by a script: history skips what scripts open on their own.
    run.form->Browser()->setUrl(LocalQUrl(run.server->Port(), "/chapter2.html"));
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Chapter 2"), kPageTimeout);
    QVERIFY(PageHasFocus(*run.form));

    QVERIFY(Type("alt+Left"));
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Start"), kPageTimeout);
    QVERIFY(PageHasFocus(*run.form));
    QVERIFY(Type("alt+Right"));
    QTRY_COMPARE_WITH_TIMEOUT(run.form->Caption(), std::string("My Book - Chapter 2"), kPageTimeout);

    // F5 loads the page again: a mark left in it is gone afterwards.
    QVERIFY(PageHasFocus(*run.form));
    QCOMPARE(Evaluate(*run.form, "window.mark = 'before'; window.mark").toString(), QString("before"));
    QVERIFY(Type("F5"));
    QTRY_COMPARE_WITH_TIMEOUT(Evaluate(*run.form, "typeof window.mark").toString(), QString("undefined"), kPageTimeout);
    QCOMPARE(run.form->Caption(), std::string("My Book - Chapter 2"));
}

void KeysTest::ctrlFFindsAndCtrlPAsksBeforePrinting()
{
    TReaderRun run;
    run.Load(PagesBook({{"/index.html", HtmlPage("Start", kKeyLog)}}));
    run.Create();
    QVERIFY(run.ShowAndWait("My Book - Start"));
    QVERIFY(PageHasFocus(*run.form));

    // Ctrl+F opens the reader's own find dialog, not the page's handler of the key.
    QVERIFY(Type("ctrl+f"));
    QTRY_VERIFY_WITH_TIMEOUT(run.form->FindDialog() && run.form->FindDialog()->isVisible(), kPageTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(run.form->FindDialog()->isActiveWindow(), kPageTimeout);
    QVERIFY(Type("Escape"));
    QTRY_VERIFY_WITH_TIMEOUT(!run.form->FindDialog()->isVisible(), kPageTimeout);
    QVERIFY(run.form->isVisible());  // Escape closed the dialog, not the book

    // Ctrl+P prints as a browser does: the print dialog first. Cancelled, nothing is printed.
    QVERIFY(PageHasFocus(*run.form));
    QVERIFY(Type("ctrl+p"));
    QTRY_COMPARE_WITH_TIMEOUT(run.printDialogs, 1, kPageTimeout);
    QVERIFY(Settle(*run.form));
    QCOMPARE(KeysSeen(*run.form), (QStringList {"x"}));
    QVERIFY(!QFile::exists(run.dir.filePath("printed.pdf")));
}

void KeysTest::pageCannotCloseTheReader()
{
    TReaderRun run;
    run.Load(PagesBook({{"/index.html", HtmlPage("Start", "<a id='pop' href='popup.html' target='_blank'>pop</a>")},
                        {"/popup.html", HtmlPage("Popup", "<script>setTimeout(() => window.close(), 100);</script>")}}));
    run.Create();
    QSignalSpy closed(run.form.get(), &TMainForm::Closed);
    QVERIFY(run.ShowAndWait("My Book - Start"));

    QSignalSpy asked(run.form->Browser()->page(), &QWebEnginePage::windowCloseRequested);
    run.form->Browser()->page()->runJavaScript("window.close()");
    QVERIFY(asked.wait(kPageTimeout));
    QTest::qWait(0);
    QVERIFY(run.form->isVisible());
    QCOMPARE(closed.count(), 0);
    QCOMPARE(Evaluate(*run.form, "document.title").toString(), QString("Start"));

    // A window that a page opened may close itself.
    run.form->Browser()->page()->runJavaScript("document.getElementById('pop').click()");
    QTRY_COMPARE_WITH_TIMEOUT(VisibleWindows<TBrowserWindow>(), 1, kPageTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(VisibleWindows<TBrowserWindow>(), 0, kPageTimeout);
    QVERIFY(run.form->isVisible());
}

void KeysTest::contextMenuIsTheBrowsersOwn()
{
    TReaderRun run;
    run.Load(PagesBook({{"/index.html", HtmlPage("Start", kKeyLog)}}));
    run.Create();
    QVERIFY(run.ShowAndWait("My Book - Start"));
    QVERIFY(PageHasFocus(*run.form));
    const QPoint onPage = run.form->Browser()->mapToGlobal(run.form->Browser()->rect().center());
    QVERIFY(QProcess::execute("xdotool", {"mousemove", "--sync", QString::number(onPage.x()),
                                          QString::number(onPage.y()), "click", "3"}) == 0);
    QMenu* menu = nullptr;
    QVERIFY(QTest::qWaitFor([&] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu != nullptr;
    }, kPageTimeout));
    QStringList actions;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            actions << action->text();
    QVERIFY2(actions.contains(run.form->Browser()->pageAction(QWebEnginePage::Reload)->text()),
             qPrintable(actions.join(", ")));
    menu->close();
}

QTEST_MAIN(KeysTest)
#include "KeysTest.moc"
