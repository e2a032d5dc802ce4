// The peer of bench/page-load: a bare QWebEngineView that opens one address, with an
// off-the-record profile like the reader's, and shows the page's title in its caption.
//   folianto-bare-view URL
#include <QApplication>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2)
        return 2;
    auto* profile = new QWebEngineProfile(&application);
    QWebEngineView view;
    view.setPage(new QWebEnginePage(profile, &view));
    QObject::connect(&view, &QWebEngineView::titleChanged, &view,
                     [&view](const QString& title) { view.setWindowTitle("Bare view - " + title); });
    view.resize(800, 600);
    view.show();
    view.load(QUrl(QString::fromLocal8Bit(argv[1])));
    return application.exec();
}
