#include "BookJson.h"

#include "CodePage.h"
#include "Pictures.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <vector>

namespace folianto {

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

struct TName {
    const char* Name;
    std::uint8_t Value;
};

constexpr TName kCommands[] = {
    {"Back", 0}, {"Forward", 1}, {"Stop", 2}, {"Refresh", 3}, {"Home", 4},
    {"Find", 5}, {"Print", 6}, {"About", 8}, {"Close", 9},
};
constexpr TName kInterfaceKinds[] = {{"Window", 0}, {"Skin", 1}, {"None", 2}};
constexpr TName kBorderStyles[] = {
    {"None", 0}, {"Single", 1}, {"Sizeable", 2}, {"ToolWindow", 3}, {"SizeableToolWindow", 4},
};
constexpr TName kToolbarPositions[] = {{"Top", 0}, {"Left", 1}, {"Right", 2}, {"Bottom", 3}};
constexpr TName kSplashCloseModes[] = {{"Startup", 0}, {"Click", 1}, {"Seconds", 2}};

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

Bytes ReadWholeFile(const fs::path& path, const std::string& what)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        throw EBookJsonError(what + ": file " + Quoted(path.string()) + " does not exist or is not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EBookJsonError(what + ": cannot read file " + Quoted(path.string()));
    // Read in large blocks: a book's pictures and pages add up to many megabytes.
    Bytes bytes;
    if (const auto size = fs::file_size(path, error); !error)
        bytes.reserve(static_cast<std::size_t>(size));
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        bytes.insert(bytes.end(), block, block + in.gcount());
    if (in.bad())
        throw EBookJsonError(what + ": cannot read file " + Quoted(path.string()));
    return bytes;
}

// One JSON object of the description. Every key must be one it knows, so a misspelt
// setting is an error instead of a silently ignored line.
class TSection {
public:
    TSection(const json& value, std::string where, const fs::path& base,
             std::initializer_list<std::string_view> keys)
        : value_(value), where_(std::move(where)), base_(base)
    {
        if (!value_.is_object())
            throw EBookJsonError(where_ + ": expected an object {...}");
        for (const auto& [key, item] : value_.items()) {
            if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
                std::string known;
                for (auto k : keys)
                    known += (known.empty() ? "" : ", ") + std::string(k);
                throw EBookJsonError(Where(key) + ": unknown key (known keys: " + known + ")");
            }
        }
    }

    const fs::path& Base() const { return base_; }
    std::string Where(std::string_view key) const { return where_ + "." + std::string(key); }

    // Present and not null; null stands for "not given" everywhere.
    bool Has(std::string_view key) const
    {
        const auto it = value_.find(key);
        return it != value_.end() && !it->is_null();
    }
    const json& At(std::string_view key) const { return *value_.find(key); }

    std::string Text(std::string_view key, const std::string& fallback = {}) const
    {
        if (!Has(key))
            return fallback;
        const auto& item = At(key);
        if (!item.is_string())
            throw EBookJsonError(Where(key) + ": expected a text in double quotes");
        return ToPackageText(item.get<std::string>(), Where(key));
    }

    bool Flag(std::string_view key, bool fallback) const
    {
        if (!Has(key))
            return fallback;
        const auto& item = At(key);
        if (!item.is_boolean())
            throw EBookJsonError(Where(key) + ": expected true or false");
        return item.get<bool>();
    }

    std::int64_t Number(std::string_view key, std::int64_t fallback, std::int64_t low, std::int64_t high) const
    {
        if (!Has(key))
            return fallback;
        return NumberOf(At(key), Where(key), low, high);
    }

    static std::int64_t NumberOf(const json& item, const std::string& where, std::int64_t low, std::int64_t high)
    {
        const std::string range = " from " + std::to_string(low) + " to " + std::to_string(high);
        if (!item.is_number_integer())
            throw EBookJsonError(where + ": expected a whole number" + range);
        std::int64_t value = 0;
        if (item.is_number_unsigned()) {
            const auto u = item.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(high))
                throw EBookJsonError(where + ": " + std::to_string(u) + " is not" + range);
            value = static_cast<std::int64_t>(u);
        } else {
            value = item.get<std::int64_t>();
        }
        if (value < low || value > high)
            throw EBookJsonError(where + ": " + std::to_string(value) + " is not" + range);
        return value;
    }

    std::int32_t Int32(std::string_view key, std::int32_t fallback) const
    {
        return static_cast<std::int32_t>(Number(key, fallback, std::numeric_limits<std::int32_t>::min(),
                                                std::numeric_limits<std::int32_t>::max()));
    }

    // A named choice, or its number for values the names do not cover.
    template <std::size_t N>
    std::uint8_t Choice(std::string_view key, std::uint8_t fallback, const TName (&names)[N], int highestNumber) const
    {
        if (!Has(key))
            return fallback;
        return ChoiceOf(At(key), Where(key), names, highestNumber);
    }

    template <std::size_t N>
    static std::uint8_t ChoiceOf(const json& item, const std::string& where, const TName (&names)[N], int highestNumber)
    {
        if (item.is_string()) {
            const auto text = item.get<std::string>();
            for (const auto& name : names)
                if (SameNameIgnoringCase(text, name.Name))
                    return name.Value;
        } else if (item.is_number_integer()) {
            return static_cast<std::uint8_t>(NumberOf(item, where, 0, highestNumber));
        }
        std::string known;
        for (const auto& name : names)
            known += (known.empty() ? "" : ", ") + Quoted(name.Name);
        throw EBookJsonError(where + ": expected one of " + known + " or a number from 0 to " +
                             std::to_string(highestNumber));
    }

    fs::path Path(std::string_view key) const
    {
        if (!Has(key))
            throw EBookJsonError(Where(key) + ": missing (a file name is needed)");
        return PathOf(At(key), Where(key));
    }

    fs::path PathOf(const json& item, const std::string& where) const
    {
        if (!item.is_string() || item.get<std::string>().empty())
            throw EBookJsonError(where + ": expected a file name in double quotes");
        const fs::path path = fs::path(item.get<std::string>());
        return path.is_absolute() ? path : base_ / path;
    }

    Bytes File(std::string_view key) const { return ReadWholeFile(Path(key), Where(key)); }

private:
    const json& value_;
    std::string where_;
    fs::path base_;
};

std::uint32_t ParseColor(const json& item, const std::string& where)
{
    if (item.is_number_integer())
        return static_cast<std::uint32_t>(TSection::NumberOf(item, where, 0, 0xFFFFFFFF));
    if (item.is_string()) {
        const auto text = item.get<std::string>();
        unsigned r = 0, g = 0, b = 0, index = 0;
        int used = 0;
        if (text.size() == 7 && std::sscanf(text.c_str(), "#%2x%2x%2x%n", &r, &g, &b, &used) == 3 && used == 7)
            return r | (g << 8) | (b << 16);
        if (SameNameIgnoringCase(text.substr(0, std::min<std::size_t>(text.size(), 7)), "System:") &&
            std::sscanf(text.c_str() + 7, "%u%n", &index, &used) == 1 && 7 + used == static_cast<int>(text.size()) &&
            index <= 255)
            return 0xFF000000u | index;
    }
    throw EBookJsonError(where + ": expected \"#RRGGBB\", \"System:N\" (N from 0 to 255) or a number");
}

template <typename Picture>
Bytes CheckedPicture(Bytes bytes, const std::string& where, const char* kind)
{
    try {
        Picture picture;
        picture.LoadFromBytes(bytes);
    } catch (const std::exception& error) {
        throw EBookJsonError(where + ": not a valid " + kind + " file (" + error.what() + ")");
    }
    return bytes;
}

void ReadWindow(const TSection& window, TBookDescription& book)
{
    book.FullScreen = window.Flag("FullScreen", book.FullScreen);
    book.WindowWidth = window.Int32("WindowWidth", book.WindowWidth);
    book.WindowHeight = window.Int32("WindowHeight", book.WindowHeight);
    book.BorderStyle = window.Choice("BorderStyle", book.BorderStyle, kBorderStyles, 255);
    book.SystemMenu = window.Flag("SystemMenu", book.SystemMenu);
    book.MaximizeBox = window.Flag("MaximizeBox", book.MaximizeBox);
    book.MinimizeBox = window.Flag("MinimizeBox", book.MinimizeBox);
    book.ToolbarVisible = window.Flag("ToolbarVisible", true);
    book.ToolbarPosition = window.Choice("ToolbarPosition", book.ToolbarPosition, kToolbarPositions, 255);
    book.ToolbarFlat = window.Flag("ToolbarFlat", book.ToolbarFlat);
    book.ToolbarButtonWidth = window.Int32("ToolbarButtonWidth", book.ToolbarButtonWidth);
    book.ToolbarButtonHeight = window.Int32("ToolbarButtonHeight", book.ToolbarButtonHeight);
    if (window.Has("ToolbarColor"))
        book.ToolbarColor = ParseColor(window.At("ToolbarColor"), window.Where("ToolbarColor"));

    book.ToolbarButtons.clear();
    if (!window.Has("ToolbarButtons")) {
        for (const auto& command : kCommands)
            book.ToolbarButtons.push_back({command.Value, std::nullopt});
        return;
    }
    const auto& list = window.At("ToolbarButtons");
    if (!list.is_array())
        throw EBookJsonError(window.Where("ToolbarButtons") + ": expected a list [...]");
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string where = window.Where("ToolbarButtons") + "[" + std::to_string(i) + "]";
        TBookDescription::ToolbarButton button;
        if (list[i].is_string() || list[i].is_number()) {
            // A bare command: a button without a picture.
            button.Command = TSection::ChoiceOf(list[i], where, kCommands, 9);
        } else {
            const TSection item(list[i], where, window.Base(), {"Command", "Bitmap"});
            if (!item.Has("Command"))
                throw EBookJsonError(item.Where("Command") + ": missing");
            button.Command = TSection::ChoiceOf(item.At("Command"), item.Where("Command"), kCommands, 9);
            if (item.Has("Bitmap"))
                button.Bitmap = CheckedPicture<TBitmapImage>(item.File("Bitmap"), item.Where("Bitmap"), "bitmap (.bmp)");
        }
        book.ToolbarButtons.push_back(std::move(button));
    }
}

void ReadSkin(const TSection& skin, TBookDescription& book)
{
    book.SkinImage = CheckedPicture<TPngImage>(skin.File("SkinImage"), skin.Where("SkinImage"), "PNG");
    TPngImage image;
    image.LoadFromBytes(book.SkinImage);
    // The browser fills the whole skin unless told otherwise.
    book.BrowserLeft = skin.Int32("BrowserLeft", 0);
    book.BrowserTop = skin.Int32("BrowserTop", 0);
    book.BrowserRight = skin.Int32("BrowserRight", image.Width);
    book.BrowserBottom = skin.Int32("BrowserBottom", image.Height);

    if (!skin.Has("SkinButtons"))
        return;
    const auto& list = skin.At("SkinButtons");
    if (!list.is_array())
        throw EBookJsonError(skin.Where("SkinButtons") + ": expected a list [...]");
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TSection item(list[i], skin.Where("SkinButtons") + "[" + std::to_string(i) + "]", skin.Base(),
                            {"Command", "Left", "Top", "Image"});
        for (auto key : {"Command", "Left", "Top"})
            if (!item.Has(key))
                throw EBookJsonError(item.Where(key) + ": missing");
        TBookDescription::SkinButton button;
        button.Command = item.Choice("Command", 0, kCommands, 9);
        button.Left = item.Int32("Left", 0);
        button.Top = item.Int32("Top", 0);
        button.Image = CheckedPicture<TPngImage>(item.File("Image"), item.Where("Image"), "PNG");
        book.SkinButtons.push_back(std::move(button));
    }
}

void ReadSplash(const TSection& splash, TBookDescription& book)
{
    book.SplashEnabled = splash.Flag("SplashEnabled", true);
    book.SplashCloseMode = splash.Choice("SplashCloseMode", 0, kSplashCloseModes, 255);
    book.SplashSeconds = static_cast<std::int32_t>(
        splash.Number("SplashSeconds", 3, 0, std::numeric_limits<std::int32_t>::max()));
    book.SplashImage = CheckedPicture<TPngImage>(splash.File("SplashImage"), splash.Where("SplashImage"), "PNG");
}

// Every regular file under the folder, named "/relative/path", in byte order of the path.
void ReadEntries(const fs::path& folder, const std::string& where, TBookDescription& book)
{
    std::error_code error;
    if (!fs::is_directory(folder, error))
        throw EBookJsonError(where + ": folder " + Quoted(folder.string()) + " does not exist or is not a folder");

    std::vector<std::pair<std::string, fs::path>> files;  // UTF-8 relative name, file
    fs::recursive_directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error))
            continue;
        files.emplace_back(it->path().lexically_relative(folder).generic_string(), it->path());
    }
    if (error)
        throw EBookJsonError(where + ": cannot list folder " + Quoted(folder.string()) + ": " + error.message());
    std::sort(files.begin(), files.end());

    // The reader looks names up ignoring case and serves only the first of equal names,
    // so a second one would be dead weight that hides a mistake.
    std::map<std::string, std::string> seen;  // folded package name -> UTF-8 name
    for (const auto& [relative, path] : files) {
        const std::string name = ToPackageText("/" + relative, where + ": file name " + Quoted(relative));
        if (const auto [previous, added] = seen.emplace(FoldedName(name), relative); !added)
            throw EBookJsonError(where + ": files " + Quoted(previous->second) + " and " + Quoted(relative) +
                                 " differ only in letter case; the reader could serve only one of them");
        book.Entries.push_back({name, ReadWholeFile(path, where)});
    }
}

// nlohmann keeps the last of two equal keys; a repeated key is as much a mistake as an
// unknown one, so the parser's events are watched for it.
json ParseStrict(std::string_view text, const std::string& sourceName)
{
    std::vector<std::set<std::string>> open;
    std::string duplicate;
    const json::parser_callback_t watch = [&](int, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::object_start)
            open.emplace_back();
        else if (event == json::parse_event_t::object_end && !open.empty())
            open.pop_back();
        else if (event == json::parse_event_t::key && !open.empty() && duplicate.empty() &&
                 !open.back().insert(parsed.get<std::string>()).second)
            duplicate = parsed.get<std::string>();
        return true;
    };
    json document;
    try {
        document = json::parse(text.begin(), text.end(), watch);
    } catch (const json::parse_error& error) {
        std::string message = error.what();
        if (const auto at = message.find("parse error"); at != std::string::npos)
            message = message.substr(at);
        throw EBookJsonError(sourceName + ": not valid JSON: " + message);
    }
    if (!duplicate.empty())
        throw EBookJsonError(sourceName + ": key " + Quoted(duplicate) + " is given twice in one object");
    return document;
}

}  // namespace

std::string ToPackageText(std::string_view utf8, const std::string& what)
{
    const auto codePoints = DecodeUtf8(utf8);
    if (!codePoints)
        throw EBookJsonError(what + ": the text is not valid UTF-8");
    std::string text;
    text.reserve(codePoints->size());
    for (const char32_t cp : *codePoints) {
        const auto byte = Cp1252FromCodePoint(cp);
        if (!byte) {
            // Name the character that does not fit, so the author can find it.
            char number[16];
            std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(cp));
            throw EBookJsonError(what + ": the character " + CodePointToUtf8(cp) + " (" + number +
                                 ") cannot be written in Windows-1252, the package's text encoding");
        }
        text += *byte;
    }
    return text;
}

TBookDescription ParseBookJson(std::string_view text, const fs::path& baseDirectory, const std::string& sourceName)
{
    const json document = ParseStrict(text, sourceName);
    const TSection top(document, sourceName, baseDirectory,
                       {"BookId", "Title", "Author", "Description", "AuthorEmail", "AuthorWebsite", "Icon",
                        "ChangeDisplayMode", "DisplayMode", "DisplayWidth", "DisplayHeight", "DisplayDepth",
                        "Fonts", "InterfaceKind", "Window", "Skin", "Splash", "IntroMessageEnabled",
                        "IntroMessage", "StayOnTop", "DisableScreenSaver", "RememberLastPage",
                        "ExitMessageEnabled", "ExitMessage", "EscapeCloses", "Entries", "StartPage"});

    TBookDescription book;
    book.Title = top.Text("Title");
    // The id keys the remembered last page; the title is a fair stand-in when none is given.
    book.BookId = top.Text("BookId", book.Title);
    book.Author = top.Text("Author");
    book.Description = top.Text("Description");
    book.AuthorEmail = top.Text("AuthorEmail");
    book.AuthorWebsite = top.Text("AuthorWebsite");
    if (top.Has("Icon"))
        book.Icon = CheckedPicture<TIconImage>(top.File("Icon"), top.Where("Icon"), "icon (.ico)");

    book.ChangeDisplayMode = top.Flag("ChangeDisplayMode", top.Has("DisplayMode")) ? 1 : 0;
    if (book.ChangeDisplayMode) {
        if (!top.Has("DisplayMode"))
            throw EBookJsonError(top.Where("DisplayMode") + ": missing (ChangeDisplayMode is true)");
        book.DisplayMode = static_cast<std::uint8_t>(top.Number("DisplayMode", 0, 0, 255));
        if (book.DisplayMode == kDisplayModeExplicit) {
            for (auto key : {"DisplayWidth", "DisplayHeight", "DisplayDepth"})
                if (!top.Has(key))
                    throw EBookJsonError(top.Where(key) + ": missing (DisplayMode 3 stores its own size)");
            book.DisplayWidth = top.Int32("DisplayWidth", 0);
            book.DisplayHeight = top.Int32("DisplayHeight", 0);
            book.DisplayDepth = top.Int32("DisplayDepth", 0);
        }
    }

    if (top.Has("Fonts")) {
        const auto& list = top.At("Fonts");
        if (!list.is_array())
            throw EBookJsonError(top.Where("Fonts") + ": expected a list of .ttf file names");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string where = top.Where("Fonts") + "[" + std::to_string(i) + "]";
            book.Fonts.push_back(ReadWholeFile(top.PathOf(list[i], where), where));
        }
    }

    const std::uint8_t defaultKind = top.Has("Skin") ? 1 : 0;
    book.InterfaceKind = top.Choice("InterfaceKind", defaultKind, kInterfaceKinds, 255);
    if (book.InterfaceKind != 0 && top.Has("Window"))
        throw EBookJsonError(top.Where("Window") + ": given, but InterfaceKind is not \"Window\"");
    if (book.InterfaceKind != 1 && top.Has("Skin"))
        throw EBookJsonError(top.Where("Skin") + ": given, but InterfaceKind is not \"Skin\"");
    if (book.InterfaceKind == 0) {
        static const json empty = json::object();
        ReadWindow(TSection(top.Has("Window") ? top.At("Window") : empty, top.Where("Window"), baseDirectory,
                            {"FullScreen", "WindowWidth", "WindowHeight", "BorderStyle", "SystemMenu",
                             "MaximizeBox", "MinimizeBox", "ToolbarVisible", "ToolbarPosition", "ToolbarFlat",
                             "ToolbarButtonWidth", "ToolbarButtonHeight", "ToolbarColor", "ToolbarButtons"}),
                   book);
    } else if (book.InterfaceKind == 1) {
        if (!top.Has("Skin"))
            throw EBookJsonError(top.Where("Skin") + ": missing (InterfaceKind is \"Skin\")");
        ReadSkin(TSection(top.At("Skin"), top.Where("Skin"), baseDirectory,
                          {"SkinImage", "BrowserLeft", "BrowserTop", "BrowserRight", "BrowserBottom", "SkinButtons"}),
                 book);
    }

    if (top.Has("Splash"))
        ReadSplash(TSection(top.At("Splash"), top.Where("Splash"), baseDirectory,
                            {"SplashEnabled", "SplashCloseMode", "SplashSeconds", "SplashImage"}),
                   book);

    book.IntroMessage = top.Text("IntroMessage");
    book.IntroMessageEnabled = top.Flag("IntroMessageEnabled", top.Has("IntroMessage"));
    book.StayOnTop = top.Flag("StayOnTop", false);
    book.DisableScreenSaver = top.Flag("DisableScreenSaver", false);
    book.RememberLastPage = top.Flag("RememberLastPage", true);
    book.ExitMessage = top.Text("ExitMessage");
    book.ExitMessageEnabled = top.Flag("ExitMessageEnabled", top.Has("ExitMessage"));
    book.EscapeCloses = top.Flag("EscapeCloses", false);

    if (top.Has("Entries")) {
        if (!top.At("Entries").is_string())
            throw EBookJsonError(top.Where("Entries") + ": expected the name of the folder holding the pages");
        ReadEntries(top.Path("Entries"), top.Where("Entries"), book);
    }

    const auto findEntry = [&book](const std::string& name) {
        return std::any_of(book.Entries.begin(), book.Entries.end(),
                           [&](const auto& entry) { return SameNameIgnoringCase(entry.Name, name); });
    };
    if (top.Has("StartPage")) {
        book.StartPage = top.Text("StartPage");
        if (!book.StartPage.empty() && book.StartPage.front() != '/')
            book.StartPage.insert(book.StartPage.begin(), '/');
        if (!book.StartPage.empty() && !findEntry(book.StartPage))
            throw EBookJsonError(top.Where("StartPage") + ": " + Quoted(Cp1252ToUtf8(book.StartPage)) +
                                 " is not one of the book's files");
    } else if (findEntry("/index.html")) {
        book.StartPage = "/index.html";
    }
    return book;
}

TBookDescription ReadBookJson(const fs::path& jsonFile)
{
    std::ifstream in(jsonFile, std::ios::binary);
    if (!in)
        throw EBookJsonError(jsonFile.string() + ": cannot open the book description");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw EBookJsonError(jsonFile.string() + ": cannot read the book description");
    fs::path base = jsonFile.parent_path();
    if (base.empty())
        base = ".";
    return ParseBookJson(text, base, jsonFile.filename().string());
}

}  // namespace folianto
