// The reader window on a port that Chromium refuses to fetch from (X11's 6000, SIP's 5060
// and others the page server's draw can give) shows its pages all the same. A program of its
// own: the web engine takes its flags once, when the process makes its first profile, and
// here that is the reader window's.

#include "Book.h"
#include "BookStore.h"
#include "HTTPServer.h"
#include "MainForm.h"
#include "PageScript.h"
#include "PageServerOf.h"
#include "TestBooks.h"

#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QtTest>

#include <memory>

using namespace folianto;
using namespace folianto::test;

namespace {

constexpr int kLoadTimeout = 15000;

}  // namespace

class RefusedPortTest : public QObject {
    Q_OBJECT
private slots:
    void pagesShowOnAPortChromiumRefuses();
};

void RefusedPortTest::pagesShowOnAPortChromiumRefuses()
{
    auto description = PagesBook({{"/index.html", "<html><head><title>Start</title></head>"
                                                  "<body><img id='picture' src='picture.png'></body></html>"}});
    description.Entries.push_back({"/picture.png", PngOf(Filled(3, 2, Qt::blue, QImage::Format_RGB32))});
    QTemporaryDir dir;
    TBook book(WriteBookFile(description, dir.path()).toStdString());
    QVERIFY(book.Loaded);

    // The first of these refused ports that is free here: another run may hold one.
    std::unique_ptr<THTTPServer> http;
    for (const int port : {6000, 5060, 6666, 10080, 1719, 6697, 4045}) {
        auto candidate = std::make_unique<THTTPServer>(book, port);
        try {
            candidate->Start();
            candidate->Stop();
        } catch (const std::exception&) {
            continue;
        }
        http = std::move(candidate);
        break;
    }
    QVERIFY(http);
    TPageServerOf server(*http);

    const QByteArray flagsBefore = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    TMainFormServices services;
    services.Server = &server;
    const QString configRoot = dir.filePath("config");
    services.OpenStore = [configRoot](const std::string& id) { return std::make_unique<TIniBookStore>(id, configRoot); };
    auto form = std::make_unique<TMainForm>(book, std::move(services));
    // The allowed port went to the engine, not to programs the reader starts later.
    QCOMPARE(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), flagsBefore);

    form->show();
    // Refused, the page would be Chromium's error page, titled "127.0.0.1".
    QTRY_COMPARE_WITH_TIMEOUT(form->Caption(), std::string("My Book - Start"), kLoadTimeout);
    QVERIFY(WaitForPageValue(*form->Browser()->page(), "document.getElementById('picture').naturalWidth",
                             [](const QVariant& v) { return v.toInt() == 3; }, kLoadTimeout));
    QCOMPARE(form->CurrentPage(), std::string("/index.html"));

    form.reset();
    http->Stop();
}

QTEST_MAIN(RefusedPortTest)
#include "RefusedPortTest.moc"
