#include "PackageFormat.h"

namespace folianto {

std::string CommandText(int command)
{
    static const char* const kTexts[kCommandCount] = {
        "Back", "Forward", "Stop", "Refresh", "Home", "Find", "Print", "", "About", "Close",
    };
    return command >= 0 && command < kCommandCount ? kTexts[command] : "";
}

std::optional<TDisplaySize> DisplayModeSize(std::uint8_t mode)
{
    static const std::optional<TDisplaySize> kModes[12] = {
        TDisplaySize {640, 480, 16}, TDisplaySize {800, 600, 16}, TDisplaySize {1024, 768, 16}, std::nullopt,
        std::nullopt, TDisplaySize {640, 480, 24}, TDisplaySize {800, 600, 24}, TDisplaySize {1024, 768, 24},
        std::nullopt, TDisplaySize {640, 480, 32}, TDisplaySize {800, 600, 32}, TDisplaySize {1024, 768, 32},
    };
    return mode < 12 ? kModes[mode] : std::nullopt;
}

}  // namespace folianto
