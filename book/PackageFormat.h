#pragma once
// Constants of the package layout, shared by the reader and the author's tool.

#include <cstdint>
#include <optional>
#include <string>

namespace folianto {

inline constexpr char kPackageMagic[6] = {'K', 'D', 'W', '3', '0', '0'};
inline constexpr int kHeaderStringCount = 7;   // BookId, reserved, Title, Author, Description, AuthorEmail, AuthorWebsite
inline constexpr int kReservedFlagBytes = 12;
inline constexpr std::size_t kTrailerSize = 4;

enum class TInterfaceKind : std::uint8_t { Window = 0, Skin = 1 };

enum class TCommand : std::uint8_t {
    Back = 0, Forward = 1, Stop = 2, Refresh = 3, Home = 4,
    Find = 5, Print = 6, Reserved = 7, About = 8, Close = 9,
};
inline constexpr int kCommandCount = 10;

// Hint text of a command number; 7 and anything above 9 have none.
std::string CommandText(int command);

struct TDisplaySize {
    std::int32_t Width;
    std::int32_t Height;
    std::int32_t Depth;
};
// Screen mode of a stored display mode number; none for 3 (stored explicitly), 4, 8 and
// anything unknown.
std::optional<TDisplaySize> DisplayModeSize(std::uint8_t mode);
inline constexpr std::uint8_t kDisplayModeExplicit = 3;

}  // namespace folianto
