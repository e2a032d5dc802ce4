// The book's own fonts in the real reader window: written and usable by the pages while
// the window is shown, gone when it hides. The first test of this program shows the first
// page of the process, as the program does: a font added after the web view has drawn a
// page is not seen by that page.

#include "BookFonts.h"
#include "ReaderRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>

#include <unistd.h>

using namespace folianto;
using namespace folianto::test;

namespace {

constexpr const char* kFamily = "Folianto Lantern";

Bytes SampleFont()
{
    const QByteArray source = qgetenv("FOLIANTO_SOURCE");
    const QByteArray font = ReadAll(QDir(QString::fromLocal8Bit(source)).filePath("samples/skin-book/fonts/lantern.ttf"));
    return Bytes(font.begin(), font.end());
}

// A page that measures one text in the book's family and in the fallback alone.
const std::string kMeasure =
    "<script>function width(font) { const c = document.createElement('canvas').getContext('2d');"
    "  c.font = font; return c.measureText('Wren Street lamps').width; }</script>";

TBookDescription FontBook(const std::string& bookId, int fonts)
{
    auto description = PagesBook({{"/index.html", HtmlPage("Start", kMeasure)}});
    description.BookId = bookId;
    const Bytes font = SampleFont();
    for (int i = 0; i < fonts; ++i)
        description.Fonts.push_back(font);
    return description;
}

QString FontFile(const TReaderRun& run, int index)
{
    return QString::fromStdString(BookFontFileName(run.fontDirectory, run.book->BookId, index));
}

// Keeps what the program writes to stderr while it lives.
class TStderrCapture {
public:
    TStderrCapture() : saved_(::dup(2))
    {
        file_.open();
        std::fflush(stderr);
        ::dup2(file_.handle(), 2);
    }
    ~TStderrCapture() { Stop(); }
    QString Stop()
    {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, 2);
            ::close(saved_);
            saved_ = -1;
        }
        return QString::fromLocal8Bit(ReadAll(file_.fileName()));
    }

private:
    QTemporaryFile file_;
    int saved_;
};

bool FamilyListed()
{
    return QFontDatabase::families().contains(QString::fromLatin1(kFamily));
}

}  // namespace

class BookFontsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pagesUseTheFontsWhileTheWindowIsShown();
    void leftoverFileFromAnEarlierRunIsReplaced();
    void fontThatCannotBeWrittenIsSkipped();
    void twoBooksKeepTheirOwnFiles();
};

void BookFontsTest::initTestCase()
{
    QVERIFY2(SampleFont().size() > 1000, "the sample font is missing");
    QVERIFY(!FamilyListed());
}

void BookFontsTest::pagesUseTheFontsWhileTheWindowIsShown()
{
    TReaderRun run;
    run.Load(FontBook("fonts-1", 2));
    run.Create();
    QVERIFY(run.ShowAndWait("My Book - Start"));
    for (int i = 0; i < 2; ++i) {
        QVERIFY2(QFile::exists(FontFile(run, i)), qPrintable(FontFile(run, i)));
        QCOMPARE(ReadAll(FontFile(run, i)).size(), qsizetype(SampleFont().size()));
    }
    QVERIFY(FamilyListed());

    const double book = Evaluate(*run.form, "width('20px \"Folianto Lantern\", monospace')").toDouble();
    const double fallback = Evaluate(*run.form, "width('20px monospace')").toDouble();
    QVERIFY(book > 0 && fallback > 0);
    // 17 characters 0.66 em apart, against the fallback's own spacing.
    QCOMPARE(qRound(book), qRound(17 * 20 * 0.66));
    QVERIFY2(qAbs(book - fallback) > 10, qPrintable(QString("%1 against %2").arg(book).arg(fallback)));

    run.form->hide();
    QVERIFY(!QFile::exists(FontFile(run, 0)));
    QVERIFY(!QFile::exists(FontFile(run, 1)));
    QVERIFY(!FamilyListed());
    QCOMPARE(QDir(QString::fromStdString(run.fontDirectory)).entryList(QDir::Files | QDir::Hidden), QStringList());

    // Shown again: written again.
    run.form->show();
    QVERIFY(QFile::exists(FontFile(run, 0)));
    QVERIFY(FamilyListed());
    run.form->hide();
    QVERIFY(!QFile::exists(FontFile(run, 0)));
}

void BookFontsTest::leftoverFileFromAnEarlierRunIsReplaced()
{
    TReaderRun run;
    run.Load(FontBook("fonts-leftover", 1));
    run.Create();
    // What a run that ended without hiding its window leaves behind.
    QFile leftover(FontFile(run, 0));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.write("not a font any more");
    leftover.close();
    QVERIFY(leftover.setPermissions(QFile::ReadOwner));

    QVERIFY(run.ShowAndWait("My Book - Start"));
    QCOMPARE(ReadAll(FontFile(run, 0)), QByteArray(reinterpret_cast<const char*>(SampleFont().data()),
                                                   qsizetype(SampleFont().size())));
    QVERIFY(FamilyListed());
    run.form->hide();
    QVERIFY(!QFile::exists(FontFile(run, 0)));
    QVERIFY(!FamilyListed());
}

void BookFontsTest::fontThatCannotBeWrittenIsSkipped()
{
    TReaderRun run;
    run.Load(FontBook("fonts-blocked", 2));
    run.Create();
    // A folder where font 0 should go: nothing can be written there, not even as root.
    QVERIFY(QDir().mkpath(FontFile(run, 0)));

    TStderrCapture errors;
    QVERIFY(run.ShowAndWait("My Book - Start"));  // the show went on to the first page
    const QString said = errors.Stop();
    QVERIFY2(said.contains("Cannot write the font file " + FontFile(run, 0)), qPrintable(said));
    QVERIFY(QFileInfo(FontFile(run, 0)).isDir());
    QVERIFY(QFile::exists(FontFile(run, 1)));
    QVERIFY(FamilyListed());  // from font 1
    run.form->hide();
    QVERIFY(QFileInfo(FontFile(run, 0)).isDir());  // not ours to delete
    QVERIFY(!QFile::exists(FontFile(run, 1)));
    QVERIFY(!FamilyListed());
}

void BookFontsTest::twoBooksKeepTheirOwnFiles()
{
    TReaderRun first, second;
    first.Load(FontBook("book one", 1));
    second.Load(FontBook("book two", 1));
    first.Create();
    second.fontDirectory = first.fontDirectory;  // one folder, as for one user
    second.Create();
    QVERIFY(first.ShowAndWait("My Book - Start"));
    QVERIFY(second.ShowAndWait("My Book - Start"));
    QVERIFY(FontFile(first, 0) != FontFile(second, 0));
    QVERIFY(QFile::exists(FontFile(first, 0)));
    QVERIFY(QFile::exists(FontFile(second, 0)));

    second.form->hide();
    QVERIFY(!QFile::exists(FontFile(second, 0)));
    QVERIFY(QFile::exists(FontFile(first, 0)));
    QVERIFY(FamilyListed());  // the first book still has it
    first.form->hide();
    QVERIFY(!FamilyListed());
}

QTEST_MAIN(BookFontsTest)
#include "BookFontsTest.moc"
