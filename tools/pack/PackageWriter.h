#pragma once
// Writes a book package: every field of the layout the reader loads, from a description.

#include "PackageFormat.h"
#include "Streamer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace folianto {

struct TBookDescription {
    // Header strings; texts are written as their bytes (Windows-1252 in a real book).
    std::string BookId, ReservedHeader, Title, Author, Description, AuthorEmail, AuthorWebsite;
    std::optional<Bytes> Icon;  // .ico file, stored as is

    std::uint8_t ChangeDisplayMode = 0;
    std::uint8_t DisplayMode = 0;  // written when ChangeDisplayMode is 1
    std::int32_t DisplayWidth = 0, DisplayHeight = 0, DisplayDepth = 0;  // written for mode 3

    std::vector<Bytes> Fonts;  // .ttf files, deflated on writing

    std::uint8_t InterfaceKind = 2;  // 0 window block, 1 skin block, other: neither

    bool FullScreen = false;
    std::int32_t WindowWidth = 800, WindowHeight = 600;
    std::uint8_t BorderStyle = 2;
    bool SystemMenu = true, MaximizeBox = true, MinimizeBox = true;
    bool ToolbarVisible = false;
    std::uint8_t ToolbarPosition = 0;
    bool ToolbarFlat = true;
    std::int32_t ToolbarButtonWidth = 31, ToolbarButtonHeight = 30;
    std::uint32_t ToolbarColor = 0xFF00000F;
    struct ToolbarButton {
        std::uint8_t Command = 0;
        std::optional<Bytes> Bitmap;  // .bmp file, deflated on writing
    };
    std::vector<ToolbarButton> ToolbarButtons;

    Bytes SkinImage;  // PNG, deflated on writing
    std::int32_t BrowserLeft = 0, BrowserTop = 0, BrowserRight = 0, BrowserBottom = 0;
    struct SkinButton {
        std::uint8_t Command = 0;
        std::int32_t Left = 0, Top = 0;
        Bytes Image;  // PNG, deflated on writing
    };
    std::vector<SkinButton> SkinButtons;

    std::uint8_t ReservedSelector = 0;          // 1: ReservedStrings follow; 2: six bytes
    std::vector<std::string> ReservedStrings;

    bool SplashEnabled = false;
    std::uint8_t SplashCloseMode = 0;
    std::int32_t SplashSeconds = 0;  // written for close mode 2
    Bytes SplashImage;               // PNG, deflated on writing

    bool IntroMessageEnabled = false;
    std::string IntroMessage;
    bool StayOnTop = false, DisableScreenSaver = false, RememberLastPage = false;
    bool ExitMessageEnabled = false;
    std::string ExitMessage;
    bool EscapeCloses = false;
    std::uint8_t SecondReservedSelector = 0;

    struct Entry {
        std::string Name;  // "/"-rooted
        Bytes Content;     // deflated on writing
    };
    std::vector<Entry> Entries;
    std::string StartPage;
};

// zlib stream (RFC 1950) of data.
Bytes Deflate(const Bytes& data, int level = 9);

// The package, trailer included, for a file in which it starts at headerOffset.
Bytes WritePackage(const TBookDescription& book, std::int64_t headerOffset = 0);

}  // namespace folianto
