// Printing: the browser's pages drawn on a printer with our header and footer, read back
// from the PDF the test printers write with pdftotext.

#include "BookJson.h"
#include "Commands.h"
#include "ModalWatcher.h"
#include "PrintedPages.h"
#include "TestBooks.h"
#include "TestWindow.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QtTest>

using namespace folianto;
using namespace folianto::test;

namespace {

constexpr int kPrintTimeout = 60000;

// The text of each page of a PDF file.
QStringList PdfPages(const QString& path)
{
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-layout", path, "-"});
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The paper size of a PDF file's first page, in whole points.
QSize PdfPaperPoints(const QString& path)
{
    QProcess pdfinfo;
    pdfinfo.start("pdfinfo", {path});
    if (!pdfinfo.waitForFinished(30000))
        return {};
    const auto match = QRegularExpression(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)")
                           .match(QString::fromUtf8(pdfinfo.readAllStandardOutput()));
    return match.hasMatch() ? QSize(qRound(match.captured(1).toDouble()), qRound(match.captured(2).toDouble())) : QSize();
}

QString Today()
{
    return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
}

// A PDF of `count` pages, as the browser would hand over.
QByteArray PdfOfPages(int count)
{
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    for (int page = 1; page <= count; ++page) {
        if (page > 1)
            writer.newPage();
        painter.drawText(QPointF(500, 500), QString("body %1").arg(page));
    }
    painter.end();
    return pdf;
}

// The sample book's longest page, by the size of its file.
QString LongestSamplePage(const QString& pagesFolder)
{
    QString longest;
    qint64 size = -1;
    for (QDirIterator it(pagesFolder, {"*.html"}, QDir::Files); it.hasNext();) {
        const QFileInfo page(it.next());
        if (page.size() > size) {
            size = page.size();
            longest = "/" + page.fileName();
        }
    }
    return longest;
}

// Presses a standard button of the next print dialog.
struct TPrintDialogAnswer {
    explicit TPrintDialogAnswer(QDialogButtonBox::StandardButton answer)
        : Closer([answer](QWidget* modal) {
              auto* dialog = qobject_cast<QPrintDialog*>(modal);
              if (!dialog)
                  return false;
              auto* buttons = dialog->findChild<QDialogButtonBox*>();
              QPushButton* button = buttons ? buttons->button(answer) : nullptr;
              if (!button)
                  return false;
              button->click();
              return true;
          })
    {
    }
    TModalWatcher Closer;
};

}  // namespace

class PrintTest : public QObject {
    Q_OBJECT
private slots:
    void printsChosenPagesWithHeaderAndFooter();
    void longTextsAreShortenedAndKeepTheirPlaces();
    void unreadablePrintoutPrintsNothing();
    void printCommandPrintsTheLongestSamplePage();
    void withoutDefaultPrinterSaysSoAndPrintsNothing();
    void pageAsksToPrintThroughTheDialog();
    void closingWhilePrintingIsSafe();
};

void PrintTest::printsChosenPagesWithHeaderAndFooter()
{
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("out.pdf"));
    printer.setPageRanges(QPageRanges::fromString("2-3"));
    const TPageSetupValues values{"Chapter & Verse", "http://127.0.0.1:4711/verse.html", "21.03.24"};
    QCOMPARE(PrintPdfPages(PdfOfPages(3), printer, kPrintHeader, kPrintFooter, values), QString());

    const QStringList pages = PdfPages(dir.filePath("out.pdf"));
    QCOMPARE(pages.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QString& page = pages[i];
        QVERIFY2(page.contains(QString("Strona %1 z 3").arg(i + 2)), qPrintable(page));
        QVERIFY2(page.contains("Chapter & Verse"), qPrintable(page));
        QVERIFY2(page.contains("http://127.0.0.1:4711/verse.html"), qPrintable(page));
        QVERIFY2(page.contains("21.03.24"), qPrintable(page));
        // The header stands above the footer on the same page.
        QVERIFY(page.indexOf("Strona") < page.indexOf("verse.html"));
    }
}

void PrintTest::longTextsAreShortenedAndKeepTheirPlaces()
{
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("out.pdf"));
    const QString title = "A title that goes on " + QString("and on ").repeated(40) + "END";
    const QString address = "http://127.0.0.1:4711/" + QString("deeper/").repeated(6) + "page.html";
    QCOMPARE(PrintPdfPages(PdfOfPages(1), printer, kPrintHeader, kPrintFooter, {title, address, "21.03.24"}), QString());

    const QStringList pages = PdfPages(dir.filePath("out.pdf"));
    QCOMPARE(pages.size(), 1);
    const QStringList lines = pages[0].split('\n', Qt::SkipEmptyParts);
    // The title gives way to the page number; the address pushes the date aside, whole.
    QVERIFY2(lines.first().contains("A title that goes on") && lines.first().contains("Strona 1 z 1"),
             qPrintable(lines.first()));
    QVERIFY(!pages[0].contains("END"));
    QVERIFY2(lines.last().contains(address + " ") && lines.last().contains("21.03.24"), qPrintable(lines.last()));
}

void PrintTest::unreadablePrintoutPrintsNothing()
{
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("out.pdf"));
    for (const QByteArray& pdf : {QByteArray(), QByteArray("%PDF-1.4 not really"), PdfOfPages(2).left(300)}) {
        QVERIFY(!PrintPdfPages(pdf, printer, kPrintHeader, kPrintFooter, {}).isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("out.pdf")));
    }
}

void PrintTest::printCommandPrintsTheLongestSamplePage()
{
    const QString sample = QDir(qEnvironmentVariable("FOLIANTO_SOURCE")).filePath("samples/sample-book");
    TWindowRun run(ReadBookJson((sample + "/book.json").toStdString()));
    const QString page = LongestSamplePage(sample + "/pages");
    QVERIFY(run.Open(page.toStdString()));
    const QString title = run.Form->Browser()->page()->title();
    const QString address = run.Form->Browser()->url().toString();
    QVERIFY(!title.isEmpty());
    // On A4 the longest page fits on one sheet; A5 shows the numbering over several, and
    // that the browser lays the page out on the printer's own paper.
    run.Printers->Paper = QPageSize(QPageSize::A5);

    QSignalSpy printed(run.Form.get(), &TMainForm::Printed);
    QObject printButton;
    printButton.setProperty(kCommandTagProperty, CommandTag(6));
    run.Form->CommandButtonClick(&printButton);
    // Straight to the default printer, no dialog; the window goes on while the page is laid out.
    QCOMPARE(run.Printers->HandedOut, 1);
    QCOMPARE(run.Printers->Asked, 0);
    QCOMPARE(printed.count(), 0);
    QVERIFY(printed.wait(kPrintTimeout));
    QCOMPARE(printed.first().first().toBool(), true);

    const QStringList pages = PdfPages(run.Printers->Printout(1));
    QVERIFY2(pages.size() >= 2, qPrintable(QString::number(pages.size())));
    for (int i = 0; i < pages.size(); ++i) {
        const QString& text = pages[i];
        QVERIFY2(text.contains(title), qPrintable(text));
        QVERIFY2(text.contains(QString("Strona %1 z %2").arg(i + 1).arg(pages.size())), qPrintable(text));
        QVERIFY2(text.contains(address), qPrintable(text));
        QVERIFY2(text.contains(Today()), qPrintable(text));
    }
    QCOMPARE(PdfPaperPoints(run.Printers->Printout(1)), QPageSize(QPageSize::A5).sizePoints());
}

void PrintTest::withoutDefaultPrinterSaysSoAndPrintsNothing()
{
    auto description = PagesBook({{"/index.html", "<html><head><title>Start</title></head><body>text</body></html>"}});
    description.Title = "Notes [*] 1";  // Qt would take "[*]" for its modified mark
    TWindowRun run(description);
    run.Printers->HasDefault = false;
    QSignalSpy printed(run.Form.get(), &TMainForm::Printed);
    TMessageBoxCloser closer;
    run.Form->RunCommand(6);
    QVERIFY(closer.Watcher.Done);  // shown and closed while the command ran
    QVERIFY2(closer.Text.contains("no default printer"), qPrintable(closer.Text));
    QCOMPARE(closer.Title, QString("Notes [*] 1"));
    QCOMPARE(run.Printers->HandedOut, 0);
    QCOMPARE(run.Printers->Asked, 0);
    QVERIFY(QDir(run.Dir.path()).entryList({"printout-*"}).isEmpty());
    QCOMPARE(printed.count(), 0);
}

void PrintTest::pageAsksToPrintThroughTheDialog()
{
    TWindowRun run(PagesBook({{"/index.html", "<html><head><title>Start</title></head><body>text</body></html>"}}));
    QSignalSpy printed(run.Form.get(), &TMainForm::Printed);

    // Cancelled (Ctrl+P goes this way): nothing is printed.
    {
        TPrintDialogAnswer cancel(QDialogButtonBox::Cancel);
        run.Form->PrintDocument(true);
        QVERIFY(cancel.Closer.Done);
    }
    QCOMPARE(run.Printers->Asked, 1);

    // The page's own window.print() shows the dialog too; printing from it prints as the
    // Print command does.
    TPrintDialogAnswer print(QDialogButtonBox::Ok);
    run.Evaluate("window.print(); 1");
    QVERIFY(printed.wait(kPrintTimeout));
    QVERIFY(print.Closer.Done);
    QCOMPARE(run.Printers->Asked, 2);
    QCOMPARE(printed.count(), 1);  // the cancelled one never came
    QVERIFY(!QFile::exists(run.Printers->Printout(1)));
    const QStringList pages = PdfPages(run.Printers->Printout(2));
    QCOMPARE(pages.size(), 1);
    QVERIFY2(pages[0].contains("Strona 1 z 1") && pages[0].contains("Start"), qPrintable(pages[0]));
}

void PrintTest::closingWhilePrintingIsSafe()
{
    // Closed while the browser lays the page out, or while the printout is being drawn.
    for (const bool waitForLayout : {false, true}) {
        TWindowRun run(PagesBook({{"/index.html", "<html><body>text</body></html>"}}));
        const QString printout = run.Printers->Printout(1);  // the printers go with the window
        run.Form->RunCommand(6);
        if (waitForLayout)
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(printout), kPrintTimeout);
        run.Form.reset();
        // What was asked for is printed in full before the window has gone.
        QCOMPARE(PdfPages(printout).size(), 1);
    }
}

QTEST_MAIN(PrintTest)
#include "PrintTest.moc"
