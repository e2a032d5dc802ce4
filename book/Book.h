#pragma once
// The one open book: its settings, pictures, fonts, buttons and entry table.

#include "PackageFormat.h"
#include "Pictures.h"
#include "Streamer.h"
#include "Utils.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace folianto {

struct TToolBarButton {
    std::uint8_t Command = 0;
    bool HasBitmap = false;
    TBitmapImage Bitmap;
    std::string Hint;
};

struct TSkinButton {
    std::int32_t Top = -1000;
    TPngImage Image;
    std::uint8_t Command = 0;
    std::int32_t Left = -1000;
};

struct TEntry {
    std::string Name;       // 8-bit, begins with "/"
    std::int32_t Offset;    // relative to HeaderOffset
};

class TBook {
public:
    // Opens the package file read-only and loads it. Only a file that cannot be opened
    // raises (EFOpenError); a package that cannot be read leaves the book not Loaded.
    // No picture, font or entry is inflated beyond largestContent bytes.
    explicit TBook(const std::string& packageFileName, std::size_t largestContent = LargestInflatedSize);
    TBook(const TBook&) = delete;
    TBook& operator=(const TBook&) = delete;

    std::int64_t HeaderOffset = 0;
    bool Loaded = false;
    std::uintptr_t MainWindowHandle = 0;

    std::string BookId, Title, Author, Description, AuthorEmail, AuthorWebsite;
    TIconImage Icon;

    std::uint8_t ChangeDisplayMode = 0;
    std::uint8_t DisplayMode = 0;
    std::int32_t DisplayWidth = 0, DisplayHeight = 0, DisplayDepth = 0;

    std::uint8_t InterfaceKind = 0;
    bool FullScreen = false;
    std::int32_t WindowWidth = 0, WindowHeight = 0;
    std::uint8_t BorderStyle = 0;
    bool SystemMenu = false, MaximizeBox = false, MinimizeBox = false;

    std::vector<Bytes> Fonts;

    TPngImage SkinImage;
    std::int32_t BrowserLeft = 0, BrowserTop = 0, BrowserRight = 0, BrowserBottom = 0;
    std::vector<TSkinButton> SkinButtons;

    bool ToolbarVisible = false;
    std::uint8_t ToolbarPosition = 0;
    bool ToolbarFlat = false;
    std::int32_t ToolbarButtonWidth = 0, ToolbarButtonHeight = 0;
    std::uint32_t ToolbarColor = 0;
    std::vector<TToolBarButton> ToolbarButtons;

    bool SplashEnabled = false;
    std::uint8_t SplashCloseMode = 0;
    std::int32_t SplashSeconds = 0;
    TPngImage SplashImage;

    bool IntroMessageEnabled = false;
    std::string IntroMessage;
    bool StayOnTop = false, DisableScreenSaver = false, RememberLastPage = false;
    bool ExitMessageEnabled = false;
    std::string ExitMessage;
    bool EscapeCloses = false;

    std::vector<TEntry> Entries;
    std::string StartPage;

    // Why the load stopped, for diagnostics; empty for a loaded book.
    std::string LoadError;

    int FontCount() const { return static_cast<int>(Fonts.size()); }
    const Bytes& Font(int index) const;
    int SkinButtonCount() const { return static_cast<int>(SkinButtons.size()); }
    const TSkinButton& SkinButton(int index) const;
    int ToolbarButtonCount() const { return static_cast<int>(ToolbarButtons.size()); }
    const TToolBarButton& ToolbarButton(int index) const;

    // Finds the first entry whose name matches ignoring case and appends its inflated
    // content to destination. False when there is no such entry or it cannot be read or
    // inflated. Reads with a file position of its own, so threads may call it at once.
    bool ExtractEntry(const std::string& name, Bytes& destination) const;
    // The same, into a target of the caller's; it is told when the stream has ended.
    bool ExtractEntry(const std::string& name, TInflateTarget& destination) const;

private:
    void Load();
    void LoadPicture(TPngImage& picture, Bytes& stored, Bytes& inflated);
    const TEntry* FindEntry(const std::string& name) const;
    TBlob ReadStored(const TEntry& entry) const;

    std::size_t largestContent_;
    TFileStream file_;
    TStreamer reader_;
};

// The package file a process reads: its own executable without arguments, otherwise the
// first argument (arguments[0] being the program itself). Without a startDirectory a
// relative name is returned as it is. With one (the reader, which has moved into its own
// folder), a relative name is looked up in the executable's folder first and, when no
// such file is there, in startDirectory, the folder the program was started from (a name
// typed in a shell); that last path is returned even when it does not exist, so that the
// open error names the place tried last.
std::string ChoosePackageFile(const std::vector<std::string>& arguments, const std::string& ownExecutable,
                              const std::string& startDirectory = {});

// Replaces the command line GetBook chooses from; programs whose own options come first
// pass what remains. Without it, the process's own command line is used. startDirectory
// as for ChoosePackageFile.
void SetBookArguments(std::vector<std::string> arguments, std::string startDirectory = {});

// The process-wide book, opened and loaded on first use. An open error propagates and
// leaves no book behind, so the next call tries again.
TBook& GetBook();
void FreeBook();

}  // namespace folianto
