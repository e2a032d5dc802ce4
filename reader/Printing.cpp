// The reader window's printing: the browser lays the page out as PDF without holding up
// the window; a worker thread draws its pages with our header and footer on the printer.

#include "MainForm.h"

#include "ApplicationError.h"
#include "Navigation.h"
#include "PrintedPages.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLocale>
#include <QMessageBox>
#include <QPrinter>
#include <QTimer>
#include <QWebEnginePage>

namespace folianto {

void TMainForm::PrintDocument(bool askFirst)
{
    if (destroyed_ || !HasDocument() || !services_.Printers)
        return;
    std::unique_ptr<QPrinter> printer = services_.Printers->DefaultPrinter();
    if (!printer && !askFirst) {
        QMessageBox::warning(this, ApplicationTitle(),
                             tr("The page cannot be printed, because no default printer is set up."));
        return;
    }
    if (!printer)
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);  // the dialog offers what there is
    if (askFirst && !services_.Printers->AskToPrint(*printer, this))
        return;

    QWebEnginePage* page = Browser_->page();
    TPageSetupValues values;
    values.WindowTitle = PageTitleAsReported(page->title(), page->url());
    values.Address = page->url().toString();
    values.ShortDate = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    printer->setDocName(values.WindowTitle);
    const QPageLayout layout = BrowserPageLayout(*printer);
    std::shared_ptr<QPrinter> target(std::move(printer));
    ++printLayouts_;
    page->printToPdf(
        [this, target, values](const QByteArray& pdf) {
            --printLayouts_;
            if (pdf.isEmpty()) {
                if (!destroyed_)
                    PrintFinished(tr("The browser could not lay the page out for printing."));
                return;
            }
            // One printout at a time, in the order asked for; one asked for just before the
            // window closed is still printed.
            printThreads_.start([this, target, values, pdf] {
                const QString error = PrintPdfPages(pdf, *target, kPrintHeader, kPrintFooter, values);
                QMetaObject::invokeMethod(this, [this, error] { PrintFinished(error); }, Qt::QueuedConnection);
            });
        },
        layout);
}

void TMainForm::BrowserPrintRequested()
{
    // A page's window.print(): as in a browser, the print dialog comes first. Shown once the
    // browser's own handling of the call is over.
    QTimer::singleShot(0, this, [this] { PrintDocument(true); });
}

void TMainForm::AwaitPrintLayouts()
{
    if (printLayouts_ == 0)
        return;
    const QDeadlineTimer deadline(std::chrono::seconds(30));
    QEventLoop loop;
    QTimer tick;
    connect(&tick, &QTimer::timeout, &loop, [&] {
        if (printLayouts_ == 0 || deadline.hasExpired())
            loop.quit();
    });
    tick.start(20);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void TMainForm::PrintFinished(const QString& error)
{
    emit Printed(error.isEmpty());
    if (!error.isEmpty())
        QMessageBox::warning(this, ApplicationTitle(), tr("The page could not be printed. %1").arg(error));
}

}  // namespace folianto
