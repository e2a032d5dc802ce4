#pragma once
// The book's splash picture: a borderless window above all others, shown before the reader
// window exists, closed by the rule the book chooses; closing it asks for the intro message.

#include "PictureControl.h"

#include <QPointer>
#include <QString>

#include <cstdint>

class QTimer;

namespace folianto {

class TBook;

// The close modes: at start-up, on a click, after a number of seconds.
inline constexpr int kSplashAtStartup = 0;
inline constexpr int kSplashOnClick = 1;
inline constexpr int kSplashAfterSeconds = 2;

// The mode that applies: an unknown mode, mode 2 without a positive number of seconds and
// a picture without size would leave a splash nothing closes, so they close at start-up.
int SplashCloseModeOf(std::uint8_t mode, std::int32_t seconds, bool pictureHasSize);
int SplashCloseModeOf(const TBook& book);
// Whether a click closes the splash.
bool SplashClickCloses(int mode);
// Whether a close request (Alt+F4, the window menu) may close the splash.
bool SplashCloseAllowed(int mode, bool timerEnabled);
// The timer's interval for mode 2, held within what a timer can count.
int SplashIntervalMs(std::int32_t seconds);

class TSplashScreenController;

// The splash window: the picture at its own size, centred on the screen.
class TSplashForm : public TPictureControl {
    Q_OBJECT
public:
    TSplashForm(TSplashScreenController& controller, const TBook& book);
    // Lets go of the controller and goes once the events already queued are handled.
    void Release();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TSplashScreenController* controller_;  // none once released
};

class TSplashScreenController {
public:
    // Shows the splash; it is painted on screen when this returns.
    explicit TSplashScreenController(TBook& book);
    TSplashScreenController(const TSplashScreenController&) = delete;
    TSplashScreenController& operator=(const TSplashScreenController&) = delete;
    ~TSplashScreenController();  // closes the splash

    void ShowSplash();
    // Releases the window and asks for the intro message once the window has gone; only
    // the first call does either.
    void CloseSplash();
    void SplashClick(QObject* sender);
    void SplashCloseQuery(QObject* sender, bool& canClose);
    void SplashTimer();

    // The window while it is shown; none once released.
    TSplashForm* Form() const { return FForm; }

private:
    TBook& FBook;
    QPointer<TSplashForm> FForm;
    bool closed_ = false;
};

// The process-wide splash, created by the program entry when the book has one.
TSplashScreenController& CreateSplashScreen(TBook& book);
// Frees the kept splash (closing it first); nothing when there is none.
void FreeSplashScreen();
TSplashScreenController* SplashScreen();

}  // namespace folianto
