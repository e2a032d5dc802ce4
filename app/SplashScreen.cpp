#include "SplashScreen.h"

#include "AnsiText.h"
#include "Book.h"
#include "MainForm.h"
#include "WindowTitle.h"

#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <climits>
#include <memory>

namespace folianto {

namespace {

constexpr const char* kTimerName = "Timer";

std::unique_ptr<TSplashScreenController> theSplash;

// How long the splash waits for the window system to show it before painting anyway.
constexpr int kExposeWaitMs = 2000;

}  // namespace

int SplashCloseModeOf(std::uint8_t mode, std::int32_t seconds, bool pictureHasSize)
{
    if (!pictureHasSize)
        return kSplashAtStartup;  // nothing to click, and nothing to see
    if (mode == kSplashOnClick)
        return kSplashOnClick;
    if (mode == kSplashAfterSeconds && seconds > 0)
        return kSplashAfterSeconds;
    return kSplashAtStartup;
}

int SplashCloseModeOf(const TBook& book)
{
    return SplashCloseModeOf(book.SplashCloseMode, book.SplashSeconds,
                             book.SplashImage.Width > 0 && book.SplashImage.Height > 0);
}

bool SplashClickCloses(int mode)
{
    return mode == kSplashOnClick;
}

bool SplashCloseAllowed(int mode, bool timerEnabled)
{
    if (mode == kSplashOnClick)
        return false;
    if (mode == kSplashAfterSeconds)
        return !timerEnabled;
    return true;
}

int SplashIntervalMs(std::int32_t seconds)
{
    return std::clamp(seconds, 1, INT_MAX / 1000) * 1000;
}

TSplashForm::TSplashForm(TSplashScreenController& controller, const TBook& book)
    : TPictureControl(book.SplashImage, nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      controller_(&controller)
{
    SetLiteralWindowTitle(*this, FromAnsi(book.Title));
    setAutoFillBackground(true);
    const QSize size(std::max(book.SplashImage.Width, 1), std::max(book.SplashImage.Height, 1));
    setFixedSize(size);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect place(QPoint(0, 0), size);
        place.moveCenter(screen->geometry().center());
        move(place.topLeft());
    }
    connect(this, &TPictureControl::Clicked, this, [this] {
        if (controller_)
            controller_->SplashClick(this);
    });
}

void TSplashForm::Release()
{
    controller_ = nullptr;
    if (auto* timer = findChild<QTimer*>(QString::fromLatin1(kTimerName)))
        timer->stop();
    deleteLater();  // never inside its own handler
}

void TSplashForm::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    if (controller_)
        controller_->SplashCloseQuery(this, canClose);
    if (canClose)
        event->accept();
    else
        event->ignore();
}

TSplashScreenController::TSplashScreenController(TBook& book) : FBook(book)
{
    ShowSplash();
}

TSplashScreenController::~TSplashScreenController()
{
    CloseSplash();
}

void TSplashScreenController::ShowSplash()
{
    FForm = new TSplashForm(*this, FBook);
    if (SplashCloseModeOf(FBook) == kSplashAfterSeconds) {
        auto* timer = new QTimer(FForm);
        timer->setObjectName(QString::fromLatin1(kTimerName));
        QObject::connect(timer, &QTimer::timeout, FForm, [this] { SplashTimer(); });
        timer->start(SplashIntervalMs(FBook.SplashSeconds));
    }
    FForm->show();
    // No event loop runs yet while the program goes on creating its windows, so the
    // picture is painted here and now, as soon as the window system shows the window.
    QEventLoop waiting;
    QTimer poll;
    const QDeadlineTimer deadline(kExposeWaitMs);
    QObject::connect(&poll, &QTimer::timeout, &waiting, [&] {
        if (!FForm || !FForm->windowHandle() || FForm->windowHandle()->isExposed() || deadline.hasExpired())
            waiting.quit();
    });
    poll.start(10);
    if (FForm && FForm->windowHandle() && !FForm->windowHandle()->isExposed())
        waiting.exec(QEventLoop::ExcludeUserInputEvents);
    if (FForm) {
        FForm->repaint();
        FForm->activateWindow();
    }
}

void TSplashScreenController::CloseSplash()
{
    if (closed_)
        return;
    closed_ = true;
    const bool askForIntro = FBook.SplashEnabled && FBook.IntroMessageEnabled;
    const std::uintptr_t mainWindow = FBook.MainWindowHandle;
    if (TSplashForm* form = FForm) {
        FForm = nullptr;
        // The intro message must never open under the splash, so it is asked for once the
        // window has really gone. Until the event loop gets to it, the splash stays on
        // screen: in mode 0 that is just after the reader window has first been shown.
        if (askForIntro)
            QObject::connect(form, &QObject::destroyed, [mainWindow] { PostIntroRequest(mainWindow); });
        form->Release();
    } else if (askForIntro) {
        PostIntroRequest(mainWindow);
    }
}

void TSplashScreenController::SplashClick(QObject* /*sender*/)
{
    if (SplashClickCloses(SplashCloseModeOf(FBook)))
        CloseSplash();
}

void TSplashScreenController::SplashCloseQuery(QObject* sender, bool& canClose)
{
    const auto* form = qobject_cast<QWidget*>(sender);
    const auto* timer = form ? form->findChild<QTimer*>(QString::fromLatin1(kTimerName)) : nullptr;
    canClose = canClose && SplashCloseAllowed(SplashCloseModeOf(FBook), timer && timer->isActive());
}

void TSplashScreenController::SplashTimer()
{
    if (FForm) {
        if (auto* timer = FForm->findChild<QTimer*>(QString::fromLatin1(kTimerName)))
            timer->stop();  // fires once
    }
    CloseSplash();
}

TSplashScreenController& CreateSplashScreen(TBook& book)
{
    theSplash.reset();
    theSplash = std::make_unique<TSplashScreenController>(book);
    return *theSplash;
}

void FreeSplashScreen()
{
    theSplash.reset();
}

TSplashScreenController* SplashScreen()
{
    return theSplash.get();
}

}  // namespace folianto
