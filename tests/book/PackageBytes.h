#pragma once
// Book packages built byte by byte for the tests and the fuzz seeds. Written from the
// format alone and independent of the author's tool, so that a fault shared by writer
// and reader cannot hide.

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace folianto::testing {

using ByteVector = std::vector<std::uint8_t>;

// Little-endian primitives of the package.
class ByteWriter {
public:
    ByteVector bytes;

    std::size_t Size() const { return bytes.size(); }
    ByteWriter& Byte(std::uint8_t value) { bytes.push_back(value); return *this; }
    ByteWriter& Bool(bool value) { return Byte(value ? 1 : 0); }
    ByteWriter& UInt32(std::uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<std::uint8_t>(value >> shift));
        return *this;
    }
    ByteWriter& Int32(std::int32_t value) { return UInt32(static_cast<std::uint32_t>(value)); }
    ByteWriter& Raw(const ByteVector& data) { bytes.insert(bytes.end(), data.begin(), data.end()); return *this; }
    ByteWriter& Raw(const std::string& data) { bytes.insert(bytes.end(), data.begin(), data.end()); return *this; }
    ByteWriter& String(const std::string& text) { Int32(static_cast<std::int32_t>(text.size())); return Raw(text); }
    ByteWriter& Blob(const ByteVector& data) { Int32(static_cast<std::int32_t>(data.size())); return Raw(data); }
    void PatchInt32(std::size_t at, std::int32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes.at(at + i) = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
};

inline ByteVector ToBytes(const std::string& text) { return ByteVector(text.begin(), text.end()); }

inline ByteVector Zlib(const ByteVector& data, int level = Z_BEST_COMPRESSION)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    ByteVector out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}
inline ByteVector Zlib(const std::string& text, int level = Z_BEST_COMPRESSION) { return Zlib(ToBytes(text), level); }

// A whole, valid zlib stream of mebibytes MiB of zero bytes, built from one compressed
// mebibyte repeated (each ends with a full flush, so none refers to another): about
// 1 KB per MiB, the shape of a forged entry that fills memory when inflated.
inline ByteVector ZlibOfZeros(std::size_t mebibytes)
{
    z_stream zs {};
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    ByteVector zeros(1 << 20, 0), block(1 << 16), last(64);
    zs.next_in = zeros.data();
    zs.avail_in = static_cast<uInt>(zeros.size());
    zs.next_out = block.data();
    zs.avail_out = static_cast<uInt>(block.size());
    if (deflate(&zs, Z_FULL_FLUSH) != Z_OK || zs.avail_in != 0)
        throw std::runtime_error("deflate failed");
    block.resize(block.size() - zs.avail_out);
    zs.next_out = last.data();
    zs.avail_out = static_cast<uInt>(last.size());
    if (deflate(&zs, Z_FINISH) != Z_STREAM_END)
        throw std::runtime_error("deflate failed");
    last.resize(last.size() - zs.avail_out);
    deflateEnd(&zs);

    ByteVector out = {0x78, 0xDA};
    for (std::size_t i = 0; i < mebibytes; ++i)
        out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), last.begin(), last.end());
    // Adler-32 of zeros: the first sum stays 1, the second adds 1 per byte.
    const std::uint32_t check = static_cast<std::uint32_t>(((mebibytes << 20) % 65521) << 16 | 1);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(check >> shift));
    return out;
}

// A PNG made with libpng. Samples are given per pixel as channel values (0..255, or
// 0..65535 for depth 16); a palette image takes palette indexes.
struct PngRecipe {
    int width = 2;
    int height = 2;
    int colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    int bitDepth = 8;
    std::vector<unsigned> samples;          // width * height * channels; generated when empty
    int paletteSize = 0;                    // colour type 3
    std::vector<std::uint8_t> trnsAlpha;    // writes a tRNS chunk when not empty (types 0, 2, 3)
    bool interlaced = false;
};

inline int PngChannels(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: return 1;
    case PNG_COLOR_TYPE_PALETTE: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    default: return 4;
    }
}

inline void PngAppend(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<ByteVector*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
inline void PngFlush(png_structp) {}

inline ByteVector MakePng(const PngRecipe& recipe)
{
    const int channels = PngChannels(recipe.colorType);
    const std::size_t bytesPerSample = recipe.bitDepth == 16 ? 2 : 1;
    std::vector<unsigned> samples = recipe.samples;
    if (samples.empty())
        for (int i = 0; i < recipe.width * recipe.height * channels; ++i)
            samples.push_back(static_cast<unsigned>((i * 37) % (recipe.paletteSize ? recipe.paletteSize : 256)));
    if (samples.size() != static_cast<std::size_t>(recipe.width) * recipe.height * channels)
        throw std::runtime_error("sample count does not match the picture size");

    const std::size_t rowBytes = static_cast<std::size_t>(recipe.width) * channels * bytesPerSample;
    std::vector<ByteVector> rows(recipe.height, ByteVector(rowBytes));
    for (int y = 0; y < recipe.height; ++y)
        for (int i = 0; i < recipe.width * channels; ++i) {
            const unsigned value = samples[static_cast<std::size_t>(y) * recipe.width * channels + i];
            if (bytesPerSample == 2) {
                rows[y][2 * i] = static_cast<std::uint8_t>(value >> 8);  // PNG is big-endian
                rows[y][2 * i + 1] = static_cast<std::uint8_t>(value);
            } else {
                rows[y][i] = static_cast<std::uint8_t>(value);
            }
        }

    ByteVector out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not write the fixture");
    }
    png_set_write_fn(png, &out, PngAppend, PngFlush);
    png_set_IHDR(png, info, recipe.width, recipe.height, recipe.bitDepth, recipe.colorType,
                 recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    if (recipe.colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < recipe.paletteSize; ++i)
            palette.push_back(png_color {static_cast<png_byte>(i * 10), static_cast<png_byte>(255 - i), 7});
        png_set_PLTE(png, info, palette.data(), recipe.paletteSize);
    }
    png_color_16 trnsColor {};
    if (!recipe.trnsAlpha.empty()) {
        if (recipe.colorType == PNG_COLOR_TYPE_PALETTE)
            png_set_tRNS(png, info, recipe.trnsAlpha.data(), static_cast<int>(recipe.trnsAlpha.size()), nullptr);
        else
            png_set_tRNS(png, info, nullptr, 0, &trnsColor);
    }
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (auto& row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A bottom-up 24-bit Windows bitmap file; rows padded to four bytes.
inline ByteVector MakeBmp(int width, int height, std::uint8_t fill = 0x40)
{
    const std::uint32_t rowBytes = ((static_cast<std::uint32_t>(width) * 24 + 31) / 32) * 4;
    const std::uint32_t pixelBytes = rowBytes * static_cast<std::uint32_t>(height);
    ByteWriter w;
    w.Byte('B').Byte('M').UInt32(14 + 40 + pixelBytes).UInt32(0).UInt32(14 + 40);
    w.UInt32(40).Int32(width).Int32(height).Byte(1).Byte(0).Byte(24).Byte(0);
    w.UInt32(0).UInt32(pixelBytes).Int32(2835).Int32(2835).UInt32(0).UInt32(0);
    w.Raw(ByteVector(pixelBytes, fill));
    return w.bytes;
}

// A Windows icon file with one image of the given byte size.
inline ByteVector MakeIco(std::uint32_t imageBytes = 40)
{
    ByteWriter w;
    w.Byte(0).Byte(0).Byte(1).Byte(0).Byte(1).Byte(0);                 // reserved, type 1, one image
    w.Byte(16).Byte(16).Byte(0).Byte(0).Byte(1).Byte(0).Byte(32).Byte(0);  // 16x16, planes 1, 32 bpp
    w.UInt32(imageBytes).UInt32(6 + 16);
    w.Raw(ByteVector(imageBytes, 0x11));
    return w.bytes;
}

struct ToolbarButtonRecord {
    std::int32_t command = 0;
    bool hasBitmap = false;
    ByteVector storedBitmap;  // the zblob's bytes, already compressed
};

struct SkinButtonRecord {
    std::int32_t command = 0;
    std::int32_t left = 0;
    std::int32_t top = 0;
    ByteVector storedImage;   // the zblob's bytes, already compressed
};

struct EntryRow {
    EntryRow(std::string name_, int record_) : name(std::move(name_)), record(record_) {}
    EntryRow(std::string name_, int record_, std::int32_t offset) : name(std::move(name_)), record(record_), rawOffset(offset) {}
    std::string name;
    int record = 0;                          // index into PackageRecipe::records
    std::optional<std::int32_t> rawOffset;   // used instead of the record's offset when set
};

// Every field of a package, with the values of the smallest package by default. Stored
// blobs (fonts, pictures, records) are given as they are to appear in the file.
struct PackageRecipe {
    ByteVector prefix;  // bytes in front of the package (a reader executable)

    std::string magic = "KDW300";
    std::string headerStrings[7];

    bool hasIcon = false;
    ByteVector icon;

    std::int32_t displaySwitch = 0;
    std::int32_t displayMode = 0;
    std::int32_t displayWidth = 0, displayHeight = 0, displayDepth = 0;

    std::optional<std::int32_t> fontCount;  // defaults to fonts.size()
    std::vector<ByteVector> fonts;          // each written as a blob of these bytes
    ByteVector afterFontCount;              // raw bytes written instead of the font records when set
    bool rawFonts = false;

    std::int32_t interfaceKind = 2;

    bool fullScreen = false;
    std::int32_t windowWidth = 0, windowHeight = 0;
    std::int32_t borderStyle = 0;
    bool systemMenu = false, maximizeBox = false, minimizeBox = false;
    bool toolbarVisible = false;
    std::int32_t toolbarPosition = 0;
    bool toolbarFlat = false;
    std::int32_t toolbarButtonWidth = 0, toolbarButtonHeight = 0;
    std::uint32_t toolbarColor = 0;
    std::optional<std::int32_t> toolbarButtonCount;
    std::vector<ToolbarButtonRecord> toolbarButtons;

    ByteVector skinImage;
    std::int32_t browserLeft = 0, browserTop = 0, browserRight = 0, browserBottom = 0;
    std::optional<std::int32_t> skinButtonCount;
    std::vector<SkinButtonRecord> skinButtons;

    std::int32_t reservedSelector = 0;
    std::vector<std::string> reservedStrings;       // selector 1
    ByteVector reservedSix = {1, 2, 3, 4, 5, 6};    // selector 2
    ByteVector reservedFlags = ByteVector(12, 0);
    std::string reservedString;

    bool splashEnabled = false;
    std::int32_t splashCloseMode = 0;
    std::int32_t splashSeconds = 0;
    ByteVector splashImage;

    bool introEnabled = false;
    std::string introMessage;
    bool stayOnTop = false, disableScreenSaver = false;
    std::uint8_t reservedByte1 = 0;
    bool rememberLastPage = false;
    bool exitEnabled = false;
    std::string exitMessage;
    bool escapeCloses = false;
    std::int32_t secondSelector = 0;
    std::string secondReservedString;
    std::uint8_t reservedByte2 = 0;

    std::vector<ByteVector> records;  // entry records, each written as a blob of these bytes
    std::vector<EntryRow> rows;
    std::optional<std::int32_t> rowCount;
    std::string startPage;
    std::string tableEndString;       // present when the reserved selector is not 0

    std::optional<std::int32_t> trailer;  // defaults to the header offset
};

struct BuiltPackage {
    ByteVector bytes;
    std::size_t headerOffset = 0;
    std::size_t settingsEnd = 0;            // where the entry table offset field ends
    std::vector<std::int32_t> recordOffsets;  // relative to the header
    std::size_t tableStart = 0;             // absolute
};

inline BuiltPackage BuildPackage(const PackageRecipe& s)
{
    ByteWriter w;
    w.Raw(s.prefix);
    BuiltPackage built;
    built.headerOffset = w.Size();
    const auto relative = [&](std::size_t absolute) { return static_cast<std::int32_t>(absolute - built.headerOffset); };

    w.Raw(s.magic);
    for (const auto& text : s.headerStrings)
        w.String(text);
    w.Bool(s.hasIcon);
    if (s.hasIcon)
        w.Blob(s.icon);
    w.Int32(s.displaySwitch);
    if ((s.displaySwitch & 0xFF) == 1) {
        w.Int32(s.displayMode);
        if ((s.displayMode & 0xFF) == 3)
            w.Int32(s.displayWidth).Int32(s.displayHeight).Int32(s.displayDepth);
    }
    w.Int32(s.fontCount.value_or(static_cast<std::int32_t>(s.fonts.size())));
    if (s.rawFonts)
        w.Raw(s.afterFontCount);
    else
        for (const auto& font : s.fonts)
            w.Blob(font);

    w.Int32(s.interfaceKind);
    if ((s.interfaceKind & 0xFF) == 0) {
        w.Bool(s.fullScreen);
        if (!s.fullScreen)
            w.Int32(s.windowWidth).Int32(s.windowHeight);
        w.Int32(s.borderStyle).Bool(s.systemMenu).Bool(s.maximizeBox).Bool(s.minimizeBox).Bool(s.toolbarVisible);
        if (s.toolbarVisible) {
            w.Int32(s.toolbarPosition).Bool(s.toolbarFlat).Int32(s.toolbarButtonWidth).Int32(s.toolbarButtonHeight);
            w.UInt32(s.toolbarColor);
            w.Int32(s.toolbarButtonCount.value_or(static_cast<std::int32_t>(s.toolbarButtons.size())));
            for (const auto& button : s.toolbarButtons) {
                w.Int32(button.command).Bool(button.hasBitmap);
                if (button.hasBitmap)
                    w.Blob(button.storedBitmap);
            }
        }
    } else if ((s.interfaceKind & 0xFF) == 1) {
        w.Blob(s.skinImage);
        w.Int32(s.browserLeft).Int32(s.browserTop).Int32(s.browserRight).Int32(s.browserBottom);
        w.Int32(s.skinButtonCount.value_or(static_cast<std::int32_t>(s.skinButtons.size())));
        for (const auto& button : s.skinButtons)
            w.Int32(button.command).Int32(button.left).Int32(button.top).Blob(button.storedImage);
    }

    w.Int32(s.reservedSelector);
    if ((s.reservedSelector & 0xFF) == 1) {
        w.Int32(static_cast<std::int32_t>(s.reservedStrings.size()));
        for (const auto& text : s.reservedStrings)
            w.String(text);
    } else if ((s.reservedSelector & 0xFF) == 2) {
        w.Raw(s.reservedSix);
    }
    w.Raw(s.reservedFlags);
    w.String(s.reservedString);

    w.Bool(s.splashEnabled);
    if (s.splashEnabled) {
        w.Int32(s.splashCloseMode);
        if ((s.splashCloseMode & 0xFF) == 2)
            w.Int32(s.splashSeconds);
        w.Blob(s.splashImage);
    }
    w.Bool(s.introEnabled);
    if (s.introEnabled)
        w.String(s.introMessage);
    w.Bool(s.stayOnTop).Bool(s.disableScreenSaver).Byte(s.reservedByte1).Bool(s.rememberLastPage);
    w.Bool(s.exitEnabled);
    if (s.exitEnabled)
        w.String(s.exitMessage);
    w.Bool(s.escapeCloses);
    w.Int32(s.secondSelector);
    if ((s.secondSelector & 0xFF) == 0)
        w.String(s.secondReservedString);
    w.Byte(s.reservedByte2);
    const std::size_t tableOffsetField = w.Size();
    w.Int32(0);
    built.settingsEnd = w.Size();

    for (const auto& record : s.records) {
        built.recordOffsets.push_back(relative(w.Size()));
        w.Blob(record);
    }

    built.tableStart = w.Size();
    w.PatchInt32(tableOffsetField, relative(built.tableStart));
    w.Int32(s.rowCount.value_or(static_cast<std::int32_t>(s.rows.size())));
    for (const auto& row : s.rows) {
        w.String(row.name);
        w.Int32(row.rawOffset ? *row.rawOffset : built.recordOffsets.at(static_cast<std::size_t>(row.record)));
        if ((s.reservedSelector & 0xFF) != 0)
            w.Byte(0x5A);
    }
    w.String(s.startPage);
    if ((s.reservedSelector & 0xFF) != 0)
        w.String(s.tableEndString);
    w.Int32(s.trailer.value_or(static_cast<std::int32_t>(built.headerOffset)));
    built.bytes = std::move(w.bytes);
    return built;
}

// A file in the temporary directory, removed with the object.
class TempFile {
public:
    explicit TempFile(const ByteVector& content)
    {
        const char* dir = std::getenv("TMPDIR");
        path_ = std::string(dir && *dir ? dir : "/tmp") + "/folianto-book-XXXXXX";
        const int fd = ::mkstemp(path_.data());
        if (fd < 0)
            throw std::runtime_error("mkstemp failed");
        std::size_t done = 0;
        while (done < content.size()) {
            const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
            if (n <= 0) {
                ::close(fd);
                throw std::runtime_error("write failed");
            }
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    ~TempFile() { ::unlink(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace folianto::testing
