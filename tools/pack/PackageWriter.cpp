#include "PackageWriter.h"

#include <zlib.h>

#include <limits>
#include <stdexcept>

namespace folianto {

namespace {

class TPackageBuilder {
public:
    Bytes bytes;

    void Byte(std::uint8_t value) { bytes.push_back(value); }
    void Bool(bool value) { Byte(value ? 1 : 0); }
    void UInt32(std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void Int32(std::int32_t value) { UInt32(static_cast<std::uint32_t>(value)); }
    void Code32(std::uint8_t value) { Int32(value); }
    void Raw(const void* data, std::size_t size)
    {
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    }
    void Blob(const Bytes& data)
    {
        Int32(CheckedLength(data.size()));
        Raw(data.data(), data.size());
    }
    void String(const std::string& text)
    {
        Int32(CheckedLength(text.size()));
        Raw(text.data(), text.size());
    }
    void ZBlob(const Bytes& data) { Blob(Deflate(data)); }
    std::int32_t Offset() const { return CheckedLength(bytes.size()); }

private:
    static std::int32_t CheckedLength(std::size_t size)
    {
        if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            throw std::length_error("A book package cannot exceed 2 GiB");
        return static_cast<std::int32_t>(size);
    }
};

}  // namespace

Bytes Deflate(const Bytes& data, int level)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level) != Z_OK)
        throw std::runtime_error("Compression failed");
    out.resize(size);
    return out;
}

Bytes WritePackage(const TBookDescription& book, std::int64_t headerOffset)
{
    TPackageBuilder w;
    w.Raw(kPackageMagic, sizeof kPackageMagic);
    for (const auto* text : {&book.BookId, &book.ReservedHeader, &book.Title, &book.Author,
                             &book.Description, &book.AuthorEmail, &book.AuthorWebsite})
        w.String(*text);

    w.Bool(book.Icon.has_value());
    if (book.Icon)
        w.Blob(*book.Icon);

    w.Code32(book.ChangeDisplayMode);
    if (book.ChangeDisplayMode == 1) {
        w.Code32(book.DisplayMode);
        if (book.DisplayMode == kDisplayModeExplicit) {
            w.Int32(book.DisplayWidth);
            w.Int32(book.DisplayHeight);
            w.Int32(book.DisplayDepth);
        }
    }

    w.Int32(static_cast<std::int32_t>(book.Fonts.size()));
    for (const auto& font : book.Fonts)
        w.ZBlob(font);

    w.Code32(book.InterfaceKind);
    if (book.InterfaceKind == static_cast<std::uint8_t>(TInterfaceKind::Window)) {
        w.Bool(book.FullScreen);
        if (!book.FullScreen) {
            w.Int32(book.WindowWidth);
            w.Int32(book.WindowHeight);
        }
        w.Code32(book.BorderStyle);
        w.Bool(book.SystemMenu);
        w.Bool(book.MaximizeBox);
        w.Bool(book.MinimizeBox);
        w.Bool(book.ToolbarVisible);
        if (book.ToolbarVisible) {
            w.Code32(book.ToolbarPosition);
            w.Bool(book.ToolbarFlat);
            w.Int32(book.ToolbarButtonWidth);
            w.Int32(book.ToolbarButtonHeight);
            w.UInt32(book.ToolbarColor);
            w.Int32(static_cast<std::int32_t>(book.ToolbarButtons.size()));
            for (const auto& button : book.ToolbarButtons) {
                w.Code32(button.Command);
                w.Bool(button.Bitmap.has_value());
                if (button.Bitmap)
                    w.ZBlob(*button.Bitmap);
            }
        }
    } else if (book.InterfaceKind == static_cast<std::uint8_t>(TInterfaceKind::Skin)) {
        w.ZBlob(book.SkinImage);
        w.Int32(book.BrowserLeft);
        w.Int32(book.BrowserTop);
        w.Int32(book.BrowserRight);
        w.Int32(book.BrowserBottom);
        w.Int32(static_cast<std::int32_t>(book.SkinButtons.size()));
        for (const auto& button : book.SkinButtons) {
            w.Code32(button.Command);
            w.Int32(button.Left);
            w.Int32(button.Top);
            w.ZBlob(button.Image);
        }
    }

    w.Code32(book.ReservedSelector);
    if (book.ReservedSelector == 1) {
        w.Int32(static_cast<std::int32_t>(book.ReservedStrings.size()));
        for (const auto& text : book.ReservedStrings)
            w.String(text);
    } else if (book.ReservedSelector == 2) {
        const std::uint8_t reserved[6] = {};
        w.Raw(reserved, sizeof reserved);
    }
    const std::uint8_t flags[kReservedFlagBytes] = {};
    w.Raw(flags, sizeof flags);
    w.String("");

    w.Bool(book.SplashEnabled);
    if (book.SplashEnabled) {
        w.Code32(book.SplashCloseMode);
        if (book.SplashCloseMode == 2)
            w.Int32(book.SplashSeconds);
        w.ZBlob(book.SplashImage);
    }

    w.Bool(book.IntroMessageEnabled);
    if (book.IntroMessageEnabled)
        w.String(book.IntroMessage);
    w.Bool(book.StayOnTop);
    w.Bool(book.DisableScreenSaver);
    w.Byte(0);
    w.Bool(book.RememberLastPage);
    w.Bool(book.ExitMessageEnabled);
    if (book.ExitMessageEnabled)
        w.String(book.ExitMessage);
    w.Bool(book.EscapeCloses);
    w.Code32(book.SecondReservedSelector);
    if (book.SecondReservedSelector == 0)
        w.String("");
    w.Byte(0);

    // The entry table offset comes before the records it follows, so patch it in.
    const std::size_t tableOffsetAt = w.bytes.size();
    w.Int32(0);

    std::vector<std::int32_t> offsets;
    offsets.reserve(book.Entries.size());
    for (const auto& entry : book.Entries) {
        offsets.push_back(w.Offset());
        w.ZBlob(entry.Content);
    }

    const std::int32_t tableOffset = w.Offset();
    for (int i = 0; i < 4; ++i)
        w.bytes[tableOffsetAt + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(tableOffset) >> (8 * i));

    const bool extendedRows = book.ReservedSelector != 0;
    w.Int32(static_cast<std::int32_t>(book.Entries.size()));
    for (std::size_t i = 0; i < book.Entries.size(); ++i) {
        w.String(book.Entries[i].Name);
        w.Int32(offsets[i]);
        if (extendedRows)
            w.Byte(0);
    }
    w.String(book.StartPage);
    if (extendedRows)
        w.String("");

    if (headerOffset < 0 || headerOffset > std::numeric_limits<std::int32_t>::max())
        throw std::length_error("The reader in front of the package is too large");
    w.Int32(static_cast<std::int32_t>(headerOffset));
    return std::move(w.bytes);
}

}  // namespace folianto
