#include "Pictures.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace folianto {

namespace {

// Decoded pixels of one picture: room for an 8192 x 4096 picture with alpha.
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t {1} << 27;

struct PngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->position)
        png_error(png, "PNG data is truncated");
    std::memcpy(out, source->data + source->position, count);
    source->position += count;
}

void IgnoreWarning(png_structp, png_const_charp) {}

struct PngHeader {
    png_uint_32 width;
    png_uint_32 height;
    int colorType;
    int interlace;
    bool hasTrns;
    std::size_t rowBytes;  // after our transformations
};

// Sets up the reader shared by both passes: 16-bit samples become 8-bit so that the
// alpha plane is one byte per pixel; nothing else is transformed.
void Prepare(png_structp png, png_infop info, PngHeader& header)
{
    png_set_user_limits(png, 32768, 32768);
    png_read_info(png, info);
    header.width = png_get_image_width(png, info);
    header.height = png_get_image_height(png, info);
    header.colorType = png_get_color_type(png, info);
    header.interlace = png_get_interlace_type(png, info);
    header.hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_strip_16(png);
    if (header.interlace != PNG_INTERLACE_NONE)
        png_set_interlace_handling(png);
    png_read_update_info(png, info);
    header.rowBytes = png_get_rowbytes(png, info);
}

// Only plain C data lives across setjmp in these two functions.
const char* ReadPngHeader(PngSource* source, PngHeader* header)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
    if (!png)
        return "Out of memory";
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return "Out of memory";
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return "Invalid PNG image";
    }
    png_set_read_fn(png, source, ReadFromMemory);
    Prepare(png, info, *header);
    png_destroy_read_struct(&png, &info, nullptr);
    return nullptr;
}

const char* DecodePng(PngSource* source, PngHeader* header, png_bytep* rows)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
    if (!png)
        return "Out of memory";
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return "Out of memory";
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return "Invalid PNG image";
    }
    png_set_read_fn(png, source, ReadFromMemory);
    Prepare(png, info, *header);
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return nullptr;
}

std::uint32_t Le32(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t Le16(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace

void TPngImage::Clear()
{
    Data.clear();
    Alpha.clear();
    Width = Height = 0;
    ColorType = -1;
    HasTransparencyChunk = false;
}

void TPngImage::LoadFromBytes(const Bytes& bytes)
{
    Clear();
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0)
        throw EInvalidGraphic("Invalid PNG image: bad signature");

    PngSource source {bytes.data(), bytes.size(), 0};
    PngHeader header {};
    if (const char* error = ReadPngHeader(&source, &header))
        throw EInvalidGraphic(error);

    // Deflate expands at most about 1032 to 1; a header that claims more pixel rows than
    // the file could hold is a forgery, and must not make us allocate for it.
    const std::uint64_t imageBytes = static_cast<std::uint64_t>(header.rowBytes) * header.height;
    if (imageBytes > static_cast<std::uint64_t>(bytes.size()) * 1040 + 65536)
        throw EInvalidGraphic("Invalid PNG image: image data is truncated");
    // The PNG itself arrives inflated from the package, so a few stored bytes can still
    // describe a picture of gigabytes; no window needs more than this.
    if (imageBytes > kMaxPixelBytes)
        throw EInvalidGraphic("Invalid PNG image: picture is too large");

    Bytes pixels(static_cast<std::size_t>(imageBytes));
    std::vector<png_bytep> rows(header.height);
    for (png_uint_32 y = 0; y < header.height; ++y)
        rows[y] = pixels.data() + static_cast<std::size_t>(y) * header.rowBytes;

    source.position = 0;
    if (const char* error = DecodePng(&source, &header, rows.data()))
        throw EInvalidGraphic(error);

    Width = static_cast<int>(header.width);
    Height = static_cast<int>(header.height);
    ColorType = header.colorType;
    HasTransparencyChunk = header.hasTrns;
    if (HasAlphaChannel()) {
        const std::size_t channels = header.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 4;
        Alpha.resize(static_cast<std::size_t>(Width) * Height);
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                Alpha[static_cast<std::size_t>(y) * Width + x] = rows[y][x * channels + channels - 1];
    }
    Data = bytes;
}

void TIconImage::LoadFromBytes(const Bytes& bytes)
{
    Data.clear();
    // ICONDIR: reserved 0, type 1, count; then 16-byte entries naming their image data.
    if (bytes.size() < 6 || Le16(bytes, 0) != 0 || Le16(bytes, 2) != 1 || Le16(bytes, 4) == 0)
        throw EInvalidGraphic("Invalid icon");
    const std::size_t count = Le16(bytes, 4);
    if (6 + 16 * count > bytes.size())
        throw EInvalidGraphic("Invalid icon: directory is truncated");
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * i;
        const std::uint64_t size = Le32(bytes, entry + 8);
        const std::uint64_t offset = Le32(bytes, entry + 12);
        if (size == 0 || offset < 6 + 16 * count || offset + size > bytes.size())
            throw EInvalidGraphic("Invalid icon: image data out of bounds");
    }
    Data = bytes;
}

void TBitmapImage::LoadFromBytes(const Bytes& bytes)
{
    Data.clear();
    Width = Height = 0;
    if (bytes.empty())
        return;
    if (bytes.size() < 14 + 12 || bytes[0] != 'B' || bytes[1] != 'M')
        throw EInvalidGraphic("Bitmap image is not valid");
    const std::uint32_t pixelOffset = Le32(bytes, 10);
    const std::uint32_t headerSize = Le32(bytes, 14);
    std::int64_t width = 0, height = 0;
    unsigned bitCount = 0, compression = 0, planes = 0;
    if (headerSize == 12) {
        width = Le16(bytes, 18);
        height = static_cast<std::int16_t>(Le16(bytes, 20));
        planes = Le16(bytes, 22);
        bitCount = Le16(bytes, 24);
    } else if (headerSize >= 40 && headerSize <= 124 && 14 + headerSize <= bytes.size()) {
        width = static_cast<std::int32_t>(Le32(bytes, 18));
        height = static_cast<std::int32_t>(Le32(bytes, 22));
        planes = Le16(bytes, 26);
        bitCount = Le16(bytes, 28);
        compression = Le32(bytes, 30);
    } else {
        throw EInvalidGraphic("Bitmap image is not valid");
    }
    if (height < 0)
        height = -height;
    const bool knownDepth = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
                            bitCount == 24 || bitCount == 32;
    if (width <= 0 || height <= 0 || planes != 1 || !knownDepth || compression > 3 ||
        pixelOffset < 14 + headerSize || pixelOffset > bytes.size())
        throw EInvalidGraphic("Bitmap image is not valid");
    // Uncompressed rows are padded to four bytes; the file must hold all of them.
    if (compression == 0 || compression == 3) {
        const std::uint64_t rowBytes = ((static_cast<std::uint64_t>(width) * bitCount + 31) / 32) * 4;
        if (rowBytes * static_cast<std::uint64_t>(height) > bytes.size() - pixelOffset)
            throw EInvalidGraphic("Bitmap image is not valid: pixel data is truncated");
    }
    Width = static_cast<int>(width);
    Height = static_cast<int>(height);
    Data = bytes;
}

}  // namespace folianto
