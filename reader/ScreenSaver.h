#pragma once
// The screen saver switch: read whether it is active, switch it off, give it back.

#include <memory>

namespace folianto {

class TScreenSaver {
public:
    virtual ~TScreenSaver() = default;
    virtual bool Active() = 0;
    virtual void SetActive(bool active) = 0;
};

// The X server's screen saver (XGetScreenSaver/XSetScreenSaver): active means a non-zero
// timeout. Switching it back on restores the timeout it had when it was last read active,
// or the server's default.
std::unique_ptr<TScreenSaver> CreateX11ScreenSaver();

}  // namespace folianto
