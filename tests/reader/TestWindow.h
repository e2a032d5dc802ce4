#pragma once
// A reader window on a book written for the test, served by a real page server, with
// printers that write PDF files into a folder of the test.

#include "Book.h"
#include "HTTPServer.h"
#include "MainForm.h"
#include "PackageWriter.h"

#include <QPrinter>
#include <QTemporaryDir>

#include <memory>

namespace folianto::test {

// Each printer handed out writes printout-<n>.pdf (n from 1) on paper of size Paper.
class TPdfPrinters : public TPrinters {
public:
    explicit TPdfPrinters(QString folder) : folder_(std::move(folder)) {}
    std::unique_ptr<QPrinter> DefaultPrinter() override;
    bool AskToPrint(QPrinter& printer, QWidget* parent) override;  // the real print dialog

    QString Printout(int n) const;
    QPageSize Paper{QPageSize::A4};
    bool HasDefault = true;
    int HandedOut = 0;
    int Asked = 0;

private:
    QString folder_;
};

struct TWindowRun {
    QTemporaryDir Dir;
    std::unique_ptr<TBook> Book;
    std::unique_ptr<THTTPServer> Http;
    std::unique_ptr<TPageServer> Server;
    TPdfPrinters* Printers = nullptr;  // owned by the window
    std::unique_ptr<TMainForm> Form;

    // Writes the book, starts the window on it and waits for its first page.
    explicit TWindowRun(const TBookDescription& description);
    ~TWindowRun();
    // Runs a script in the page (the page's own world) and waits for its result.
    QVariant Evaluate(const QString& script);
    // Goes to a page of the book and waits until it has loaded.
    bool Open(const std::string& path);
};

}  // namespace folianto::test
