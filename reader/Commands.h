#pragma once
// The reader's commands as toolbar and skin buttons carry them. Every command button keeps
// -(command + 1) in its tag, so a negative tag marks a command button; a click runs the
// command its tag decodes to.

namespace folianto {

// Qt property under which a command button keeps its tag.
inline constexpr const char* kCommandTagProperty = "tag";

// The tag of a button for command n: its bitwise complement, -(n + 1).
constexpr int CommandTag(int command)
{
    return ~command;
}

// The command a button with this tag runs: the complement of the tag's lowest byte, low
// 7 bits. Commands 0 to 127 give themselves; 128 to 255 run the command of n - 128.
constexpr int CommandFromTag(int tag)
{
    return (~tag & 0xFF) & 0x7F;
}

}  // namespace folianto
