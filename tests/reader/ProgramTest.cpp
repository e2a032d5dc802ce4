// The folianto executable as a user starts it: a book appended to a copy of the program,
// a package named on the command line, and a package file that does not exist.

#include "TestBooks.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace folianto;
using namespace folianto::test;

namespace {

constexpr int kTimeout = 30000;

QString ReaderProgram()
{
    return QDir(qEnvironmentVariable("FOLIANTO_BIN")).filePath("folianto");
}

QString Xdotool(const QStringList& arguments)
{
    QProcess xdotool;
    xdotool.start("xdotool", arguments);
    xdotool.waitForFinished(10000);
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
}

// The first window whose name matches exactly, polled until the deadline.
QString WaitForWindow(const QString& name, QProcess& process)
{
    QString id;
    (void)QTest::qWaitFor([&] {
        if (process.state() == QProcess::NotRunning)
            return true;
        id = Xdotool({"search", "--name", "^" + QRegularExpression::escape(name) + "$"}).section('\n', 0, 0);
        return !id.isEmpty();
    }, kTimeout);
    return id;
}

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void missingPackageFileEndsWithApplicationError();
    void appendedBookRunsAndRemembersItsLastPage();
    void relativePackageNameIsLookedUpNextToTheProgram();
    void relativePackageNameFromAShell_data();
    void relativePackageNameFromAShell();
    void skinnedBookWithSplashAndFont();
};

void ProgramTest::initTestCase()
{
    QVERIFY2(QFile::exists(ReaderProgram()), qPrintable(ReaderProgram()));
    QVERIFY(!QStandardPaths::findExecutable("xdotool").isEmpty());
}

void ProgramTest::missingPackageFileEndsWithApplicationError()
{
    QProcess reader;
    reader.start(ReaderProgram(), {"/nonexistent/folder/book.pkg"});
    QVERIFY(reader.waitForStarted());
    const QString box = WaitForWindow("Application Error", reader);
    QVERIFY(!box.isEmpty());
    // No reader window beside the message box. The box is named before it is mapped, so its
    // becoming visible is waited for.
    QStringList windows;
    QVERIFY(QTest::qWaitFor([&] {
        windows = Xdotool({"search", "--onlyvisible", "--pid", QString::number(reader.processId())})
                      .split('\n', Qt::SkipEmptyParts);
        return windows.contains(box);
    }, kTimeout));
    QCOMPARE(windows, QStringList{box});
    Xdotool({"windowactivate", "--sync", box});
    Xdotool({"key", "--clearmodifiers", "Return"});
    QVERIFY(reader.waitForFinished(kTimeout));
    QCOMPARE(reader.exitStatus(), QProcess::NormalExit);
    QCOMPARE(reader.exitCode(), 1);
    const QByteArray errors = reader.readAllStandardError();
    QVERIFY2(errors.contains("Cannot open file \"/nonexistent/folder/book.pkg\". No such file or directory"),
             errors.constData());
}

void ProgramTest::appendedBookRunsAndRemembersItsLastPage()
{
    QTemporaryDir dir;
    const QString bookId = QString("e2e-%1").arg(QCoreApplication::applicationPid());
    auto description = PagesBook({
        {"/index.html", "<html><head><title>First Page</title></head>"
                        "<body onload=\"setTimeout(function(){location.href='second.html#end'},100)\">1</body></html>"},
        {"/second.html", "<html><head><title>Second Page</title></head><body>2</body></html>"},
    });
    description.BookId = bookId.toStdString();
    description.Title = "E2E Book";
    description.RememberLastPage = true;
    description.WindowWidth = 640;
    description.WindowHeight = 480;

    // The book is a copy of the program with the package behind it.
    const QString book = dir.filePath("e2e-book");
    QVERIFY(QFile::copy(ReaderProgram(), book));
    QFile file(book);
    QVERIFY(file.open(QIODevice::Append));
    const Bytes package = WritePackage(description, file.size());
    file.write(reinterpret_cast<const char*>(package.data()), static_cast<qint64>(package.size()));
    file.close();

    QProcess reader;
    reader.setWorkingDirectory(QDir::rootPath());
    reader.start(book, {});
    QVERIFY(reader.waitForStarted());
    QString window = WaitForWindow("E2E Book - Second Page", reader);
    QVERIFY2(!window.isEmpty(), qPrintable(QString::number(reader.state())));

    Xdotool({"windowactivate", "--sync", window});
    Xdotool({"key", "--clearmodifiers", "alt+F4"});
    QVERIFY(reader.waitForFinished(kTimeout));
    QCOMPARE(reader.exitCode(), 0);

    const QString ini = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                            .filePath("Vantrel/Folianto/3.0/eBooks/" + bookId + ".ini");
    QSettings stored(ini, QSettings::IniFormat);
    QCOMPARE(stored.value("Configuration/LastPageViewed").toString(), QString("/second.html#end"));
}

void ProgramTest::relativePackageNameIsLookedUpNextToTheProgram()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(ReaderProgram(), dir.filePath("reader")));
    auto description = PagesBook({{"/index.html", "<html><head><title>Beside</title></head><body>x</body></html>"}});
    description.Title = "Relative Book";
    QVERIFY(!WriteBookFile(description, dir.path(), "beside.pkg").isEmpty());

    QProcess reader;
    reader.setWorkingDirectory(QDir::rootPath());
    reader.start(dir.filePath("reader"), {"beside.pkg"});
    QVERIFY(reader.waitForStarted());
    const QString window = WaitForWindow("Relative Book - Beside", reader);
    QVERIFY2(!window.isEmpty(), qPrintable(QString::number(reader.state())));
    Xdotool({"windowactivate", "--sync", window});
    Xdotool({"key", "--clearmodifiers", "alt+F4"});
    QVERIFY(reader.waitForFinished(kTimeout));
    QCOMPARE(reader.exitCode(), 0);
}

void ProgramTest::relativePackageNameFromAShell_data()
{
    QTest::addColumn<bool>("present");
    QTest::newRow("in the working directory only") << true;
    QTest::newRow("nowhere") << false;
}

// "folianto books/here.folianto" typed in a shell: the program's own folder holds no such
// file, so the name means the shell's folder; missing there too, the error names that path.
void ProgramTest::relativePackageNameFromAShell()
{
    QFETCH(bool, present);
    QTemporaryDir programFolder, shellFolder;
    QVERIFY(QFile::copy(ReaderProgram(), programFolder.filePath("reader")));
    QVERIFY(QDir(shellFolder.path()).mkdir("books"));
    if (present) {
        auto description = PagesBook({{"/index.html", "<html><head><title>Here</title></head><body>x</body></html>"}});
        description.Title = "Shell Book";
        QVERIFY(!WriteBookFile(description, shellFolder.filePath("books"), "here.folianto").isEmpty());
    }

    QProcess reader;
    reader.setWorkingDirectory(shellFolder.path());
    reader.start(programFolder.filePath("reader"), {"books/here.folianto"});
    QVERIFY(reader.waitForStarted());
    const QString window = WaitForWindow(present ? "Shell Book - Here" : "Application Error", reader);
    QVERIFY2(!window.isEmpty(), qPrintable(QString::number(reader.state())));
    Xdotool({"windowactivate", "--sync", window});
    Xdotool({"key", "--clearmodifiers", present ? "alt+F4" : "Return"});
    QVERIFY(reader.waitForFinished(kTimeout));
    QCOMPARE(reader.exitCode(), present ? 0 : 1);
    if (!present) {
        const QString tried = QDir(QFileInfo(shellFolder.path()).canonicalFilePath()).filePath("books/here.folianto");
        const QByteArray errors = reader.readAllStandardError();
        QVERIFY2(errors.contains(("Cannot open file \"" + tried + "\". No such file or directory").toUtf8()),
                 errors.constData());
    }
}

void ProgramTest::skinnedBookWithSplashAndFont()
{
    QTemporaryDir dir;
    auto description = PagesBook({{"/index.html", "<html><head><title>Start</title></head><body>x</body></html>"}});
    description.BookId = QString("e2e-skin-%1").arg(QCoreApplication::applicationPid()).toStdString();
    description.Title = "Skin Book";
    description.InterfaceKind = 1;
    description.SkinImage = PngOf(Filled(300, 200, QColor(30, 60, 120)));
    description.BrowserLeft = 10;
    description.BrowserTop = 40;
    description.BrowserRight = 290;
    description.BrowserBottom = 190;
    description.SplashEnabled = true;
    description.SplashCloseMode = 1;  // closed by a click
    description.SplashImage = PngOf(Filled(160, 100, QColor(200, 30, 40)));
    description.IntroMessageEnabled = true;
    description.IntroMessage = "Welcome";
    description.EscapeCloses = true;
    const QByteArray font = ReadAll(QDir(qEnvironmentVariable("FOLIANTO_SOURCE")).filePath("samples/skin-book/fonts/lantern.ttf"));
    QVERIFY(!font.isEmpty());
    description.Fonts = {Bytes(font.begin(), font.end())};
    const QString package = WriteBookFile(description, dir.path());
    const QString fontFile = QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath(
        "folianto-fonts/__" + QCryptographicHash::hash(QByteArray::fromStdString(description.BookId),
                                                       QCryptographicHash::Md5).toHex() + "_0.TTF");

    QProcess reader;
    reader.start(ReaderProgram(), {package});
    QVERIFY(reader.waitForStarted());
    const QString window = WaitForWindow("Skin Book - Start", reader);
    QVERIFY2(!window.isEmpty(), qPrintable(QString::number(reader.state())));
    QVERIFY(Xdotool({"getwindowgeometry", window}).contains("Geometry: 300x200"));
    QVERIFY2(QFile::exists(fontFile), qPrintable(fontFile));

    // The splash waits for its click, above the reader window; the intro message follows it.
    const QString splash = WaitForWindow("Skin Book", reader);
    QVERIFY(!splash.isEmpty());
    QVERIFY(Xdotool({"getwindowgeometry", splash}).contains("Geometry: 160x100"));
    Xdotool({"mousemove", "--window", splash, "80", "50", "click", "1"});
    QString message;
    QVERIFY(QTest::qWaitFor([&] {
        message = Xdotool({"search", "--onlyvisible", "--name", "^Skin Book$"}).section('\n', 0, 0);
        return !message.isEmpty() && message != splash;
    }, kTimeout));
    Xdotool({"windowactivate", "--sync", message});
    Xdotool({"key", "--clearmodifiers", "Return"});

    // Escape closes this book; its font goes with it.
    QVERIFY(QTest::qWaitFor([&] {
        return Xdotool({"search", "--onlyvisible", "--name", "^Skin Book$"}).isEmpty();
    }, kTimeout));
    Xdotool({"windowactivate", "--sync", window});
    Xdotool({"key", "--clearmodifiers", "Escape"});
    QVERIFY(reader.waitForFinished(kTimeout));
    QCOMPARE(reader.exitCode(), 0);
    QVERIFY(!QFile::exists(fontFile));
}

QTEST_MAIN(ProgramTest)
#include "ProgramTest.moc"
