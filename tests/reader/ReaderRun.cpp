#include "ReaderRun.h"

#include "BookFonts.h"
#include "KeyFilter.h"
#include "PageScript.h"
#include "PageServerOf.h"
#include "Skin.h"

#include <QDir>
#include <QPrinter>
#include <QWebEnginePage>
#include <QtTest>

namespace folianto::test {

namespace {

// A default printer that writes a PDF nobody reads, and a print dialog that is always
// cancelled.
class TCancelledPrinters : public TPrinters {
public:
    TCancelledPrinters(int& dialogs, QString file) : dialogs_(dialogs), file_(std::move(file)) {}
    std::unique_ptr<QPrinter> DefaultPrinter() override
    {
        auto printer = std::make_unique<QPrinter>();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(file_);
        return printer;
    }
    bool AskToPrint(QPrinter&, QWidget*) override
    {
        ++dialogs_;
        return false;
    }

private:
    int& dialogs_;
    QString file_;
};

}  // namespace

QVariant Evaluate(TMainForm& form, const QString& script)
{
    return EvaluateInPage(*form.Browser()->page(), script, kPageTimeout).value_or(QVariant(QStringLiteral("(no answer)")));
}

void TReaderRun::Load(const TBookDescription& description)
{
    book = std::make_unique<TBook>(WriteBookFile(description, dir.path()).toStdString());
    http = std::make_unique<THTTPServer>(*book);
    server = std::make_unique<TPageServerOf>(*http);
}

void TReaderRun::Create()
{
    if (fontDirectory.empty()) {
        fontDirectory = QDir(dir.path()).filePath("fonts").toStdString();
        QDir().mkpath(QString::fromStdString(fontDirectory));
    }
    TMainFormServices services;
    services.Server = server.get();
    const QString store = dir.filePath("config");
    services.OpenStore = [store](const std::string& id) { return std::make_unique<TIniBookStore>(id, store); };
    services.ShowMessageWindow = [this](const std::string& title, const std::string& text) {
        messages.emplace_back(title, text);
        if (onMessage)
            onMessage();
    };
    services.ShowAboutBox = [this] { ++aboutBoxes; };
    services.Printers = std::make_unique<TCancelledPrinters>(printDialogs, dir.filePath("printed.pdf"));
    services.InstallKeyFilter = InstallKeyFilter;
    services.BuildSkin = BuildSkin;
    PlugInBookFonts(services, fontDirectory);
    form = std::make_unique<TMainForm>(*book, std::move(services));
}

bool TReaderRun::ShowAndWait(const std::string& caption)
{
    form->show();
    return QTest::qWaitFor([&] { return form->Caption() == caption; }, kPageTimeout);
}

TReaderRun::~TReaderRun()
{
    form.reset();
    if (http)
        http->Stop();
}

}  // namespace folianto::test
