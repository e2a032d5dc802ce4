#pragma once
// The exclusive display-mode switch. Result codes follow the platform's convention: 0 is
// success, a negative value (high bit set) a failure, anything else a partial answer.

#include <memory>

namespace folianto {

class TDisplaySwitch {
public:
    virtual ~TDisplaySwitch() = default;
    // Reaches the display service; a failure code means there is none.
    virtual long Create() = 0;
    // Takes the screen for this program.
    virtual long TakeScreen() = 0;
    virtual long SetMode(int width, int height, int depth) = 0;
    // Makes the desktop visible again and gives the screen back in its own mode.
    virtual void GiveScreenBack() = 0;
};

inline constexpr long kDisplayFailure = -2147467259L;  // E_FAIL: any failure will do

// XRandR: the mode is picked by width and height (X cannot change the depth); the mode
// the screen had when it was taken is set again when it is given back.
std::unique_ptr<TDisplaySwitch> CreateXRandrDisplaySwitch();

}  // namespace folianto
