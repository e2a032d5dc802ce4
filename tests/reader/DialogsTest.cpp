// The message window's links and what a click hands to the shell; the About box.

#include "About.h"
#include "Book.h"
#include "MessageFormTool.h"
#include "RichEditEx.h"
#include "ShellOpen.h"
#include "TestBooks.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace folianto;
using namespace folianto::test;

namespace {

class TRecordingShell : public TShell {
public:
    void Open(const QString& file) override { Opened.push_back(file); }
    QStringList Opened;
};

// The Motif window manager hints that Qt gives the window: flags, functions, decorations.
QList<uint> MotifHints(QWidget& window)
{
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(window.winId()), "_MOTIF_WM_HINTS"});
    xprop.waitForFinished(10000);
    const QString line = QString::fromLatin1(xprop.readAllStandardOutput());
    QList<uint> values;
    for (const QString& item : line.section('=', 1).split(',', Qt::SkipEmptyParts))
        values.push_back(item.trimmed().toUInt(nullptr, 16));
    return values;
}

// Clicks the middle of a link's first character, as a user would.
void ClickLink(TRichEditEx& edit, const TTextRun& link)
{
    QTextCursor cursor(edit.document());
    cursor.setPosition(link.Start + 1);
    const QRect caret = edit.cursorRect(cursor);
    QTest::mouseClick(edit.viewport(), Qt::LeftButton, {}, caret.center());
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void clickingLinksHandsThemToTheShell();
    void messageWindowShowsTitleAndIgnoresEscape();
    void dialogsAskForACloseButtonOnly();
    void aboutBoxGrowsWithAWrappingTitle();
    void aboutBoxLinksOpenTheirCaption();
};

void DialogsTest::clickingLinksHandsThemToTheShell()
{
    TRecordingShell shell;
    TRichEditEx edit(shell);
    edit.resize(400, 200);
    edit.SetText("Mail jane.doe@mail.example.org\r\nor see www.folianto.example, not user@localhost.\n"
                 "http://user@host.example/p");
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QCOMPARE(int(edit.Links().size()), 3);
    QCOMPARE(edit.LinkText(0), QString("jane.doe@mail.example.org"));

    for (const TTextRun& link : edit.Links())
        ClickLink(edit, link);
    QCOMPARE(shell.Opened, QStringList({"mailto:jane.doe@mail.example.org", "www.folianto.example",
                                        "http://user@host.example/p"}));
    // Other buttons do nothing; the view never follows a link itself.
    QTest::mouseClick(edit.viewport(), Qt::RightButton, {}, edit.cursorRect(QTextCursor(edit.document())).center());
    QCOMPARE(shell.Opened.size(), 3);
    QVERIFY(edit.source().isEmpty());
}

void DialogsTest::messageWindowShowsTitleAndIgnoresEscape()
{
    TRecordingShell shell;
    TMessageForm form(shell);
    bool escapeIgnored = false;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(QApplication::activeModalWidget() == &form);
        QTest::keyClick(&form, Qt::Key_Escape);
        escapeIgnored = form.isVisible();
        QTest::keyClick(form.Button1(), Qt::Key_Return);
    });
    form.ShowMessageWindow("Caf\xE9 Book", "Hello reader, write to a@b.example");
    QVERIFY(escapeIgnored);
    QCOMPARE(form.windowTitle(), QString::fromUtf8("Caf\xC3\xA9 Book"));
    QCOMPARE(form.RichEditEx1()->Text(), QString("Hello reader, write to a@b.example"));
    QCOMPARE(form.size(), QSize(396, 210));
}

void DialogsTest::dialogsAskForACloseButtonOnly()
{
    TRecordingShell shell;
    TMessageForm message(shell);
    TAboutBox about(shell);
    for (QDialog* dialog : std::initializer_list<QDialog*>{&message, &about}) {
        const Qt::WindowFlags flags = dialog->windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());

        // What the window manager is asked for: functions close and move only, a title and
        // a border, and neither a minimise nor a maximise button.
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QList<uint> hints = MotifHints(*dialog);
        QCOMPARE(hints.size(), 5);
        constexpr uint functions = 1u << 0, decorations = 1u << 1;
        QCOMPARE(hints[0] & (functions | decorations), functions | decorations);
        constexpr uint funcMinimize = 1u << 3, funcMaximize = 1u << 4, funcClose = 1u << 5, funcAll = 1u << 0;
        QCOMPARE(hints[1] & (funcAll | funcMinimize | funcMaximize | funcClose), funcClose);
        constexpr uint decorAll = 1u << 0, decorTitle = 1u << 3, decorMinimize = 1u << 5, decorMaximize = 1u << 6;
        QCOMPARE(hints[2] & (decorAll | decorTitle | decorMinimize | decorMaximize), decorTitle);
        dialog->hide();
    }
}

void DialogsTest::aboutBoxGrowsWithAWrappingTitle()
{
    TRecordingShell shell;
    TAboutBox box(shell);
    QTemporaryDir dir;
    auto description = PagesBook({{"/index.html", "x"}});
    description.Title = "Short";
    description.Author = "Ann Author";
    description.AuthorEmail = "ann@author.example";
    description.AuthorWebsite = "https://author.example/";
    description.Description = "About this book.";
    TBook oneLine(WriteBookFile(description, dir.path(), "one.pkg").toStdString());
    description.Title = "A title long enough to wrap onto three lines in the narrow About box of the reader";
    TBook threeLines(WriteBookFile(description, dir.path(), "three.pkg").toStdString());
    QVERIFY(oneLine.Loaded && threeLines.Loaded);

    box.Fill(oneLine);
    const int oneLineHeight = box.height();
    const int lineHeight = box.TitleLabel->height();
    QCOMPARE(box.DescriptionMemo->y() - (box.TitleLabel->y() + lineHeight), 34 - (8 + 20));
    QCOMPARE(box.AuthorLabel->text(), QString("Ann Author"));
    QCOMPARE(box.DescriptionMemo->toPlainText(), QString("About this book."));

    box.Fill(threeLines);
    QCOMPARE(box.TitleLabel->width(), 241);
    QCOMPARE(box.TitleLabel->height(), box.TitleLabel->heightForWidth(241));
    QVERIFY2(box.TitleLabel->height() >= 3 * lineHeight - 2, qPrintable(QString::number(box.TitleLabel->height())));
    QCOMPARE(box.height() - oneLineHeight, box.TitleLabel->height() - lineHeight);
    // Everything below the title keeps its distance to the title's bottom edge.
    QCOMPARE(box.DescriptionMemo->y() - (box.TitleLabel->y() + box.TitleLabel->height()), 34 - (8 + 20));
    QCOMPARE(box.OKButton->y() - box.DescriptionMemo->y(), 190 - 34);
    QCOMPARE(box.height() - box.Label3->y(), 289 - 266);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.height(), oneLineHeight + box.TitleLabel->height() - lineHeight);
}

void DialogsTest::aboutBoxLinksOpenTheirCaption()
{
    TRecordingShell shell;
    TAboutBox box(shell);
    QTemporaryDir dir;
    auto description = PagesBook({{"/index.html", "x"}});
    description.AuthorWebsite = "";
    description.AuthorEmail = "http://not.a.link.example/";
    TBook book(WriteBookFile(description, dir.path()).toStdString());
    box.Fill(book);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(box.Label4, Qt::LeftButton);
    QTest::mouseClick(box.AuthorWebsiteLabel, Qt::LeftButton);
    QTest::mouseClick(box.AuthorEmailLabel, Qt::LeftButton);
    QCOMPARE(shell.Opened, QStringList({"https://folianto.example/", ""}));
    QCOMPARE(box.Label1->text(), QString("Created with Folianto 3.0"));
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
