#include "Inspect.h"

#include "CodePage.h"

#include <cstdio>
#include <sstream>

namespace folianto {

using json = nlohmann::json;

namespace {

json PictureJson(const TPngImage& picture)
{
    if (picture.Empty())
        return nullptr;
    return {{"Width", picture.Width}, {"Height", picture.Height}, {"ColorType", picture.ColorType}};
}

// Texts are stored as 8-bit bytes; JSON needs UTF-8.
std::string Utf8(const std::string& text) { return Cp1252ToUtf8(text); }

}  // namespace

std::string ColorText(std::uint32_t color)
{
    char text[16];
    if ((color & 0xFF000000u) == 0xFF000000u && (color & 0x00FFFF00u) == 0)
        std::snprintf(text, sizeof text, "System:%u", color & 0xFFu);
    else if ((color & 0xFF000000u) == 0)
        std::snprintf(text, sizeof text, "#%02X%02X%02X", color & 0xFFu, (color >> 8) & 0xFFu, (color >> 16) & 0xFFu);
    else
        std::snprintf(text, sizeof text, "0x%08X", color);
    return text;
}

json InspectJson(const TBook& book)
{
    json out = json::object();
    out["BookId"] = Utf8(book.BookId);
    out["Title"] = Utf8(book.Title);
    out["Author"] = Utf8(book.Author);
    out["Description"] = Utf8(book.Description);
    out["AuthorEmail"] = Utf8(book.AuthorEmail);
    out["AuthorWebsite"] = Utf8(book.AuthorWebsite);
    out["Icon"] = book.Icon.Empty() ? json(nullptr) : json{{"Size", book.Icon.Data.size()}};
    out["ChangeDisplayMode"] = book.ChangeDisplayMode;
    out["DisplayMode"] = book.DisplayMode;
    out["DisplayWidth"] = book.DisplayWidth;
    out["DisplayHeight"] = book.DisplayHeight;
    out["DisplayDepth"] = book.DisplayDepth;
    out["InterfaceKind"] = book.InterfaceKind;
    out["FullScreen"] = book.FullScreen;
    out["WindowWidth"] = book.WindowWidth;
    out["WindowHeight"] = book.WindowHeight;
    out["BorderStyle"] = book.BorderStyle;
    out["SystemMenu"] = book.SystemMenu;
    out["MaximizeBox"] = book.MaximizeBox;
    out["MinimizeBox"] = book.MinimizeBox;
    out["BrowserLeft"] = book.BrowserLeft;
    out["BrowserTop"] = book.BrowserTop;
    out["BrowserRight"] = book.BrowserRight;
    out["BrowserBottom"] = book.BrowserBottom;
    out["ToolbarVisible"] = book.ToolbarVisible;
    out["ToolbarPosition"] = book.ToolbarPosition;
    out["ToolbarFlat"] = book.ToolbarFlat;
    out["ToolbarButtonWidth"] = book.ToolbarButtonWidth;
    out["ToolbarButtonHeight"] = book.ToolbarButtonHeight;
    out["ToolbarColor"] = book.ToolbarColor;
    out["SplashEnabled"] = book.SplashEnabled;
    out["SplashCloseMode"] = book.SplashCloseMode;
    out["SplashSeconds"] = book.SplashSeconds;
    out["IntroMessageEnabled"] = book.IntroMessageEnabled;
    out["IntroMessage"] = Utf8(book.IntroMessage);
    out["StayOnTop"] = book.StayOnTop;
    out["DisableScreenSaver"] = book.DisableScreenSaver;
    out["RememberLastPage"] = book.RememberLastPage;
    out["ExitMessageEnabled"] = book.ExitMessageEnabled;
    out["ExitMessage"] = Utf8(book.ExitMessage);
    out["EscapeCloses"] = book.EscapeCloses;
    out["StartPage"] = Utf8(book.StartPage);
    out["Loaded"] = book.Loaded;
    out["LoadError"] = book.LoadError;
    out["HeaderOffset"] = book.HeaderOffset;

    json entries = json::array();
    for (const auto& entry : book.Entries)
        entries.push_back({{"name", Utf8(entry.Name)}, {"offset", entry.Offset}});
    out["Entries"] = std::move(entries);

    json fonts = json::array();
    for (const auto& font : book.Fonts)
        fonts.push_back(font.size());
    out["Fonts"] = std::move(fonts);

    json toolbar = json::array();
    for (const auto& button : book.ToolbarButtons)
        toolbar.push_back({{"Command", button.Command}, {"HasBitmap", button.HasBitmap}, {"Hint", Utf8(button.Hint)}});
    out["ToolbarButtons"] = std::move(toolbar);

    json skin = json::array();
    for (const auto& button : book.SkinButtons)
        skin.push_back({{"Command", button.Command}, {"Left", button.Left}, {"Top", button.Top},
                        {"Width", button.Image.Width}, {"Height", button.Image.Height}});
    out["SkinButtons"] = std::move(skin);

    out["SkinImage"] = PictureJson(book.SkinImage);
    out["SplashImage"] = PictureJson(book.SplashImage);
    return out;
}

std::string InspectText(const TBook& book)
{
    static const char* const kInterfaceKinds[] = {"window", "skin"};
    static const char* const kBorderStyles[] = {"none", "single", "sizeable", "tool window", "sizeable tool window"};
    static const char* const kPositions[] = {"top", "left", "right", "bottom"};
    static const char* const kCloseModes[] = {"when start-up is done", "on a click", "after some seconds"};
    const auto name = [](const auto& table, std::uint8_t value) -> std::string {
        const std::size_t count = sizeof table / sizeof table[0];
        return value < count ? std::string(table[value]) + " (" + std::to_string(value) + ")"
                             : "other (" + std::to_string(value) + ")";
    };
    const auto yes = [](bool value) { return value ? "yes" : "no"; };
    const auto quoted = [](const std::string& text) { return "\"" + Utf8(text) + "\""; };

    std::ostringstream out;
    out << "Loaded:           " << yes(book.Loaded);
    if (!book.Loaded)
        out << " (" << book.LoadError << ")";
    out << "\nHeader offset:    " << book.HeaderOffset << "\n"
        << "BookId:           " << quoted(book.BookId) << "\n"
        << "Title:            " << quoted(book.Title) << "\n"
        << "Author:           " << quoted(book.Author) << "\n"
        << "Description:      " << quoted(book.Description) << "\n"
        << "AuthorEmail:      " << quoted(book.AuthorEmail) << "\n"
        << "AuthorWebsite:    " << quoted(book.AuthorWebsite) << "\n"
        << "Icon:             " << (book.Icon.Empty() ? "none" : std::to_string(book.Icon.Data.size()) + " bytes") << "\n"
        << "Display mode:     ";
    if (book.ChangeDisplayMode == 1)
        out << "switch to mode " << int(book.DisplayMode) << " (" << book.DisplayWidth << " x " << book.DisplayHeight
            << ", " << book.DisplayDepth << " bits)\n";
    else
        out << "unchanged\n";
    out << "Fonts:            " << book.Fonts.size();
    for (const auto& font : book.Fonts)
        out << " [" << font.size() << " bytes]";
    out << "\nInterface:        " << name(kInterfaceKinds, book.InterfaceKind) << "\n";
    if (book.InterfaceKind == 0) {
        out << "  Window:         ";
        if (book.FullScreen)
            out << "full screen";
        else
            out << book.WindowWidth << " x " << book.WindowHeight;
        out << ", border " << name(kBorderStyles, book.BorderStyle) << ", system menu " << yes(book.SystemMenu)
            << ", maximize " << yes(book.MaximizeBox) << ", minimize " << yes(book.MinimizeBox) << "\n"
            << "  Toolbar:        ";
        if (book.ToolbarVisible) {
            out << name(kPositions, book.ToolbarPosition) << ", " << (book.ToolbarFlat ? "flat" : "raised")
                << ", buttons " << book.ToolbarButtonWidth << " x " << book.ToolbarButtonHeight << ", colour "
                << ColorText(book.ToolbarColor) << "\n";
            for (const auto& button : book.ToolbarButtons)
                out << "    command " << int(button.Command) << " " << quoted(button.Hint)
                    << (button.HasBitmap ? ", bitmap " + std::to_string(button.Bitmap.Width) + " x " +
                                               std::to_string(button.Bitmap.Height)
                                         : ", no bitmap")
                    << "\n";
        } else {
            out << "hidden\n";
        }
    } else if (book.InterfaceKind == 1) {
        out << "  Skin image:     " << book.SkinImage.Width << " x " << book.SkinImage.Height << ", colour type "
            << book.SkinImage.ColorType << "\n"
            << "  Browser:        left " << book.BrowserLeft << ", top " << book.BrowserTop << ", right "
            << book.BrowserRight << ", bottom " << book.BrowserBottom << "\n";
        for (const auto& button : book.SkinButtons)
            out << "    command " << int(button.Command) << " at " << button.Left << ", " << button.Top << ", "
                << button.Image.Width << " x " << button.Image.Height << "\n";
    }
    out << "Splash:           ";
    if (book.SplashEnabled) {
        out << "closes " << name(kCloseModes, book.SplashCloseMode);
        if (book.SplashCloseMode == 2)
            out << ", " << book.SplashSeconds << " s";
        out << ", picture " << book.SplashImage.Width << " x " << book.SplashImage.Height << "\n";
    } else {
        out << "none\n";
    }
    out << "Intro message:    " << (book.IntroMessageEnabled ? quoted(book.IntroMessage) : "none") << "\n"
        << "Exit message:     " << (book.ExitMessageEnabled ? quoted(book.ExitMessage) : "none") << "\n"
        << "StayOnTop:        " << yes(book.StayOnTop) << "\n"
        << "DisableScreenSaver: " << yes(book.DisableScreenSaver) << "\n"
        << "RememberLastPage: " << yes(book.RememberLastPage) << "\n"
        << "EscapeCloses:     " << yes(book.EscapeCloses) << "\n"
        << "StartPage:        " << quoted(book.StartPage) << "\n"
        << "Entries:          " << book.Entries.size() << "\n";
    for (const auto& entry : book.Entries)
        out << "  " << entry.Offset << "\t" << Utf8(entry.Name) << "\n";
    return out.str();
}

}  // namespace folianto
