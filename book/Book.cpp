#include "Book.h"

#include "CodePage.h"
#include "Utils.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace folianto {

namespace {

[[noreturn]] void IndexError(int index)
{
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

TBook::TBook(const std::string& packageFileName, std::size_t largestContent)
    : largestContent_(largestContent), file_(packageFileName), reader_(file_)
{
    try {
        Load();
    } catch (const std::exception& error) {
        Loaded = false;
        LoadError = error.what();
    } catch (...) {
        Loaded = false;
        LoadError = "Unknown error";
    }
}

const Bytes& TBook::Font(int index) const
{
    if (index < 0 || index >= FontCount())
        IndexError(index);
    return Fonts[static_cast<std::size_t>(index)];
}

const TSkinButton& TBook::SkinButton(int index) const
{
    if (index < 0 || index >= SkinButtonCount())
        IndexError(index);
    return SkinButtons[static_cast<std::size_t>(index)];
}

const TToolBarButton& TBook::ToolbarButton(int index) const
{
    if (index < 0 || index >= ToolbarButtonCount())
        IndexError(index);
    return ToolbarButtons[static_cast<std::size_t>(index)];
}

void TBook::LoadPicture(TPngImage& picture, Bytes& stored, Bytes& inflated)
{
    stored.clear();
    inflated.clear();
    reader_.ReadBlob(stored);
    InflateStream(stored, inflated, largestContent_);
    picture.LoadFromBytes(inflated);
}

void TBook::Load()
{
    Bytes stored, inflated;  // scratch streams, cleared before each use

    reader_.Seek(reader_.Size() - static_cast<std::int64_t>(kTrailerSize));
    HeaderOffset = reader_.ReadInt32();
    reader_.Seek(HeaderOffset);

    char magic[sizeof kPackageMagic];
    reader_.ReadBytes(magic, sizeof magic);
    if (std::memcmp(magic, kPackageMagic, sizeof magic) != 0) {
        // Not a book at all: nothing past the magic means anything.
        LoadError = "Not a book package";
        return;
    }

    std::string header[kHeaderStringCount];
    for (auto& text : header)
        text = reader_.ReadString();
    BookId = header[0];
    Title = header[2];
    Author = header[3];
    Description = header[4];
    AuthorEmail = header[5];
    AuthorWebsite = header[6];

    if (reader_.ReadBool()) {
        stored.clear();
        reader_.ReadBlob(stored);
        Icon.LoadFromBytes(stored);
    }

    ChangeDisplayMode = reader_.ReadCode32();
    if (ChangeDisplayMode == 1) {
        DisplayMode = reader_.ReadCode32();
        if (DisplayMode == kDisplayModeExplicit) {
            DisplayWidth = reader_.ReadInt32();
            DisplayHeight = reader_.ReadInt32();
            DisplayDepth = reader_.ReadInt32();
        } else if (const auto size = DisplayModeSize(DisplayMode)) {
            DisplayWidth = size->Width;
            DisplayHeight = size->Height;
            DisplayDepth = size->Depth;
        }
    }

    // A bad font record is skipped; its length was consumed before inflating, so the
    // next record starts in the right place. Running off the end of the file is not a
    // bad record but a broken package, and must not spin through a forged count.
    for (std::int32_t n = reader_.ReadInt32(); n > 0; --n) {
        try {
            stored.clear();
            reader_.ReadBlob(stored);
            Bytes font;
            InflateStream(stored, font, largestContent_);
            Fonts.push_back(std::move(font));
        } catch (const EEndOfFile&) {
            throw;
        } catch (const std::exception&) {
        }
    }

    InterfaceKind = reader_.ReadCode32();
    if (InterfaceKind == static_cast<std::uint8_t>(TInterfaceKind::Window)) {
        FullScreen = reader_.ReadBool();
        if (!FullScreen) {
            WindowWidth = reader_.ReadInt32();
            WindowHeight = reader_.ReadInt32();
        }
        BorderStyle = reader_.ReadCode32();
        SystemMenu = reader_.ReadBool();
        MaximizeBox = reader_.ReadBool();
        MinimizeBox = reader_.ReadBool();
        ToolbarVisible = reader_.ReadBool();
        if (ToolbarVisible) {
            ToolbarPosition = reader_.ReadCode32();
            ToolbarFlat = reader_.ReadBool();
            ToolbarButtonWidth = reader_.ReadInt32();
            ToolbarButtonHeight = reader_.ReadInt32();
            ToolbarColor = reader_.ReadUInt32();
            for (std::int32_t n = reader_.ReadInt32(); n > 0; --n) {
                TToolBarButton button;
                button.Command = reader_.ReadCode32();
                button.Hint = CommandText(button.Command);
                button.HasBitmap = reader_.ReadBool();
                if (button.HasBitmap) {
                    stored.clear();
                    inflated.clear();
                    reader_.ReadBlob(stored);
                    InflateStream(stored, inflated, largestContent_);
                    button.Bitmap.LoadFromBytes(inflated);
                    button.Bitmap.Transparent = true;
                }
                ToolbarButtons.push_back(std::move(button));
            }
        }
    } else if (InterfaceKind == static_cast<std::uint8_t>(TInterfaceKind::Skin)) {
        LoadPicture(SkinImage, stored, inflated);
        BrowserLeft = reader_.ReadInt32();
        BrowserTop = reader_.ReadInt32();
        BrowserRight = reader_.ReadInt32();
        BrowserBottom = reader_.ReadInt32();
        for (std::int32_t n = reader_.ReadInt32(); n > 0; --n) {
            TSkinButton button;
            button.Command = reader_.ReadCode32();
            button.Left = reader_.ReadInt32();
            button.Top = reader_.ReadInt32();
            LoadPicture(button.Image, stored, inflated);
            SkinButtons.push_back(std::move(button));
        }
    }

    const std::uint8_t selector = reader_.ReadCode32();
    if (selector == 1) {
        for (std::int32_t n = reader_.ReadInt32(); n > 0; --n)
            reader_.ReadString();
    } else if (selector == 2) {
        std::uint8_t skipped[6];
        reader_.ReadBytes(skipped, sizeof skipped);
    }
    const bool extendedRows = selector != 0;

    std::uint8_t flags[kReservedFlagBytes];
    reader_.ReadBytes(flags, sizeof flags);
    reader_.ReadString();

    SplashEnabled = reader_.ReadBool();
    if (SplashEnabled) {
        SplashCloseMode = reader_.ReadCode32();
        if (SplashCloseMode == 2)
            SplashSeconds = reader_.ReadInt32();
        LoadPicture(SplashImage, stored, inflated);
    }

    IntroMessageEnabled = reader_.ReadBool();
    if (IntroMessageEnabled)
        IntroMessage = reader_.ReadString();
    StayOnTop = reader_.ReadBool();
    DisableScreenSaver = reader_.ReadBool();
    reader_.ReadByte();
    RememberLastPage = reader_.ReadBool();
    ExitMessageEnabled = reader_.ReadBool();
    if (ExitMessageEnabled)
        ExitMessage = reader_.ReadString();
    EscapeCloses = reader_.ReadBool();
    if (reader_.ReadCode32() == 0)
        reader_.ReadString();
    reader_.ReadByte();

    const std::int32_t tableOffset = reader_.ReadInt32();
    reader_.Seek(HeaderOffset + tableOffset);
    for (std::int32_t n = reader_.ReadInt32(); n > 0; --n) {
        TEntry entry;
        entry.Name = reader_.ReadString();
        entry.Offset = reader_.ReadInt32();
        Entries.push_back(std::move(entry));
        if (extendedRows)
            reader_.ReadByte();
    }

    StartPage = reader_.ReadString();
    if (extendedRows)
        reader_.ReadString();
    if (StartPage.empty() && !Entries.empty())
        StartPage = Entries.front().Name;

    Loaded = true;
    LoadError.clear();
}

const TEntry* TBook::FindEntry(const std::string& name) const
{
    for (const auto& entry : Entries) {
        if (SameNameIgnoringCase(entry.Name, name))
            return &entry;
    }
    return nullptr;
}

TBlob TBook::ReadStored(const TEntry& entry) const
{
    // The page server's threads extract entries at the same time.
    TFileStream file = file_.Share();
    TStreamer reader(file);
    reader.Seek(HeaderOffset + entry.Offset);
    return reader.ReadBlob();
}

bool TBook::ExtractEntry(const std::string& name, Bytes& destination) const
{
    const TEntry* found = FindEntry(name);
    if (!found)
        return false;
    try {
        const TBlob stored = ReadStored(*found);
        // Most entries inflate to at least their stored size: one allocation up front
        // instead of several growing copies.
        destination.reserve(destination.size() + stored.Size);
        TBytesTarget target(destination);
        InflateStream(stored.View(), target, largestContent_);
        return true;
    } catch (...) {
        return false;
    }
}

bool TBook::ExtractEntry(const std::string& name, TInflateTarget& destination) const
{
    const TEntry* found = FindEntry(name);
    if (!found)
        return false;
    try {
        InflateStream(ReadStored(*found).View(), destination, largestContent_);
        return true;
    } catch (...) {
        return false;
    }
}

std::string ChoosePackageFile(const std::vector<std::string>& arguments, const std::string& ownExecutable,
                              const std::string& startDirectory)
{
    if (arguments.size() < 2)
        return ownExecutable;
    const std::filesystem::path named(arguments[1]);
    if (startDirectory.empty() || named.empty() || named.is_absolute())
        return arguments[1];
    std::error_code error;
    const std::filesystem::path beside = std::filesystem::path(ownExecutable).parent_path() / named;
    if (std::filesystem::exists(beside, error) && !std::filesystem::is_directory(beside, error))
        return beside.string();
    return (std::filesystem::path(startDirectory) / named).string();
}

namespace {

std::mutex gBookMutex;
std::unique_ptr<TBook> gBook;
std::optional<std::vector<std::string>> gArguments;
std::string gStartDirectory;

std::vector<std::string> ProcessArguments()
{
    std::vector<std::string> arguments;
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string argument;
    while (std::getline(in, argument, '\0'))
        arguments.push_back(argument);
    return arguments;
}

std::string OwnExecutable()
{
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    return std::string(path, static_cast<std::size_t>(length));
}

}  // namespace

void SetBookArguments(std::vector<std::string> arguments, std::string startDirectory)
{
    std::lock_guard lock(gBookMutex);
    gArguments = std::move(arguments);
    gStartDirectory = std::move(startDirectory);
}

TBook& GetBook()
{
    std::lock_guard lock(gBookMutex);
    if (!gBook) {
        const auto arguments = gArguments ? *gArguments : ProcessArguments();
        gBook = std::make_unique<TBook>(ChoosePackageFile(arguments, OwnExecutable(), gStartDirectory));
    }
    return *gBook;
}

void FreeBook()
{
    std::lock_guard lock(gBookMutex);
    gBook.reset();
}

}  // namespace folianto
