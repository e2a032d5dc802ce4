#include "TestWindow.h"

#include "Navigation.h"
#include "PageScript.h"
#include "PageServerOf.h"
#include "TestBooks.h"

#include <QDir>
#include <QSignalSpy>
#include <QWebEnginePage>

namespace folianto::test {

namespace {

constexpr int kLoadTimeout = 20000;

}  // namespace

std::unique_ptr<QPrinter> TPdfPrinters::DefaultPrinter()
{
    if (!HasDefault)
        return nullptr;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setPageSize(Paper);
    printer->setOutputFileName(Printout(++HandedOut));
    return printer;
}

bool TPdfPrinters::AskToPrint(QPrinter& printer, QWidget* parent)
{
    ++Asked;
    return ShowPrintDialog(printer, parent);
}

QString TPdfPrinters::Printout(int n) const
{
    return QDir(folder_).filePath(QString("printout-%1.pdf").arg(n));
}

TWindowRun::TWindowRun(const TBookDescription& description)
{
    Book = std::make_unique<TBook>(WriteBookFile(description, Dir.path()).toStdString());
    Http = std::make_unique<THTTPServer>(*Book);
    Server = std::make_unique<TPageServerOf>(*Http);
    TMainFormServices services;
    services.Server = Server.get();
    auto printers = std::make_unique<TPdfPrinters>(Dir.path());
    Printers = printers.get();
    services.Printers = std::move(printers);
    Form = std::make_unique<TMainForm>(*Book, std::move(services));
    QSignalSpy loaded(Form->Browser(), &QWebEngineView::loadFinished);
    Form->show();
    if (!loaded.wait(kLoadTimeout))
        qWarning("the first page did not load");
}

TWindowRun::~TWindowRun()
{
    Form.reset();
    Http->Stop();
}

QVariant TWindowRun::Evaluate(const QString& script)
{
    const auto result = EvaluateInPage(*Form->Browser()->page(), script, kLoadTimeout);
    if (!result)
        qWarning("the script did not finish");
    return result.value_or(QVariant());
}

bool TWindowRun::Open(const std::string& path)
{
    QSignalSpy loaded(Form->Browser(), &QWebEngineView::loadFinished);
    Form->Browser()->setUrl(LocalQUrl(Server->Port(), path));
    return loaded.wait(kLoadTimeout) && loaded.first().first().toBool();
}

}  // namespace folianto::test
