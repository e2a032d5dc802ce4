// The program entry: reads the book, creates the windows, runs them, shuts down in order.

#include "About.h"
#include "Book.h"
#include "HTTPServer.h"
#include "MainForm.h"
#include "MessageFormTool.h"
#include "ShellOpen.h"
#include "SplashScreen.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

using namespace folianto;

namespace {

// The process-wide page server as the reader window sees it. GetHTTPServer creates it
// on first use, so the first LocalURL draws its port.
class TBookPageServer : public TPageServer {
public:
    void Start() override { GetHTTPServer().Start(); }
    void Stop() override { GetHTTPServer().Stop(); }
    int Port() override { return GetHTTPServer().Port(); }
};

// A relative package name on the command line is looked up next to the executable.
void EnterExecutableFolder()
{
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        std::filesystem::current_path(executable.parent_path(), error);
}

int ApplicationError(const std::string& text)
{
    std::fprintf(stderr, "Application Error: %s\n", text.c_str());
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Application Error"), QString::fromLocal8Bit(text),
                    QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    // A relative package name typed in a shell means the shell's folder when the
    // executable's folder has no such file.
    std::error_code noStartDirectory;
    const std::string startDirectory = std::filesystem::current_path(noStartDirectory).string();
    EnterExecutableFolder();
    // Chromium refuses to run as root inside its sandbox.
    if (::geteuid() == 0 && !std::getenv("QTWEBENGINE_DISABLE_SANDBOX"))
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);

    // The application object comes first so that Qt takes its own options out of the
    // command line; what remains chooses the package.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    SetBookArguments(std::vector<std::string>(argv, argv + argc), startDirectory);

    std::unique_ptr<TMainForm> mainForm;
    std::unique_ptr<TAboutBox> aboutBox;
    std::unique_ptr<TMessageForm> messageForm;
    TBookPageServer server;
    try {
        TBook& book = GetBook();

        // The splash window, when the book has one, is shown here.
        if (book.SplashEnabled)
            CreateSplashScreen(book);

        TMainFormServices services = RealMainFormServices(server);
        services.ShowMessageWindow = [&messageForm](const std::string& title, const std::string& text) {
            if (messageForm)
                messageForm->ShowMessageWindow(title, text);
        };
        services.FillAboutBox = [&aboutBox](const TBook& filled) {
            if (aboutBox)
                aboutBox->Fill(filled);
        };
        services.ShowAboutBox = [&aboutBox] {
            if (aboutBox)
                aboutBox->exec();
        };
        mainForm = std::make_unique<TMainForm>(book, std::move(services));
        aboutBox = std::make_unique<TAboutBox>(DesktopShell());
        messageForm = std::make_unique<TMessageForm>(DesktopShell());
        book.MainWindowHandle = WindowHandleOf(mainForm.get());

        // A splash that closes once the windows exist is released here.
        if (book.SplashEnabled && SplashCloseModeOf(book) == kSplashAtStartup)
            FreeSplashScreen();
    } catch (const std::exception& error) {
        messageForm.reset();
        aboutBox.reset();
        mainForm.reset();
        FreeSplashScreen();
        return ApplicationError(error.what());
    }

    QObject::connect(mainForm.get(), &TMainForm::Closed, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    mainForm->show();
    const int exitCode = application.exec();

    // No connection thread may read the book once the windows and the book go.
    try {
        FreeHTTPServer();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
    }
    messageForm.reset();
    aboutBox.reset();
    mainForm.reset();
    FreeSplashScreen();  // one that waited for a click or its seconds
    FreeBook();
    return exitCode;
}
