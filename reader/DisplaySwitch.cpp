#include "DisplaySwitch.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace folianto {

namespace {

class TXRandrDisplaySwitch : public TDisplaySwitch {
public:
    ~TXRandrDisplaySwitch() override
    {
        GiveScreenBack();
        if (config_)
            XRRFreeScreenConfigInfo(config_);
        if (display_)
            XCloseDisplay(display_);
    }

    long Create() override
    {
        if (display_)
            return 0;
        display_ = XOpenDisplay(nullptr);
        int eventBase = 0, errorBase = 0;
        if (!display_ || !XRRQueryExtension(display_, &eventBase, &errorBase))
            return kDisplayFailure;
        return 0;
    }

    long TakeScreen() override
    {
        if (!display_)
            return kDisplayFailure;
        if (!config_)
            config_ = XRRGetScreenInfo(display_, DefaultRootWindow(display_));
        if (!config_)
            return kDisplayFailure;
        originalSize_ = XRRConfigCurrentConfiguration(config_, &originalRotation_);
        taken_ = true;
        return 0;
    }

    long SetMode(int width, int height, int /*depth*/) override
    {
        if (!taken_)
            return kDisplayFailure;
        int count = 0;
        XRRScreenSize* sizes = XRRConfigSizes(config_, &count);
        for (int i = 0; i < count; ++i) {
            if (sizes[i].width == width && sizes[i].height == height) {
                const Status status = XRRSetScreenConfig(display_, config_, DefaultRootWindow(display_), i,
                                                         originalRotation_, CurrentTime);
                XSync(display_, False);
                if (status != Success)
                    return kDisplayFailure;
                changed_ = i != originalSize_;
                return 0;
            }
        }
        return kDisplayFailure;
    }

    void GiveScreenBack() override
    {
        if (taken_ && changed_) {
            XRRSetScreenConfig(display_, config_, DefaultRootWindow(display_), originalSize_, originalRotation_,
                               CurrentTime);
            XSync(display_, False);
        }
        changed_ = false;
        taken_ = false;
    }

private:
    Display* display_ = nullptr;
    XRRScreenConfiguration* config_ = nullptr;
    SizeID originalSize_ = 0;
    Rotation originalRotation_ = 0;
    bool taken_ = false;
    bool changed_ = false;
};

}  // namespace

std::unique_ptr<TDisplaySwitch> CreateXRandrDisplaySwitch()
{
    return std::make_unique<TXRandrDisplaySwitch>();
}

}  // namespace folianto
