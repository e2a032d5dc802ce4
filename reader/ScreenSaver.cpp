#include "ScreenSaver.h"

#include <X11/Xlib.h>

namespace folianto {

namespace {

class TX11ScreenSaver : public TScreenSaver {
public:
    TX11ScreenSaver() : display_(XOpenDisplay(nullptr)) {}
    ~TX11ScreenSaver() override
    {
        if (display_)
            XCloseDisplay(display_);
    }

    bool Active() override
    {
        if (!display_)
            return false;
        int timeout = 0, interval = 0, preferBlanking = 0, allowExposures = 0;
        XGetScreenSaver(display_, &timeout, &interval, &preferBlanking, &allowExposures);
        if (timeout != 0)
            savedTimeout_ = timeout;
        return timeout != 0;
    }

    void SetActive(bool active) override
    {
        if (!display_)
            return;
        int timeout = 0, interval = 0, preferBlanking = 0, allowExposures = 0;
        XGetScreenSaver(display_, &timeout, &interval, &preferBlanking, &allowExposures);
        if (!active && timeout != 0)
            savedTimeout_ = timeout;
        // -1 asks the server for its default timeout.
        XSetScreenSaver(display_, active ? savedTimeout_ : 0, interval, preferBlanking, allowExposures);
        XFlush(display_);
    }

private:
    Display* display_;
    int savedTimeout_ = -1;
};

}  // namespace

std::unique_ptr<TScreenSaver> CreateX11ScreenSaver()
{
    return std::make_unique<TX11ScreenSaver>();
}

}  // namespace folianto
