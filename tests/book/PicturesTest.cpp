// The pictures a package carries: PNG decoding for the skin and splash, and the checks
// on icons and toolbar bitmaps.

#include "PackageBytes.h"
#include "Pictures.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace folianto {
namespace {

using namespace folianto::testing;

long PeakRssKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Replaces the IHDR size of a PNG and mends the chunk's CRC, so that only the size lies.
ByteVector WithClaimedSize(ByteVector png, std::uint32_t width, std::uint32_t height)
{
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    put32(16, width);
    put32(20, height);
    put32(29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)));
    return png;
}

TEST(PngImage, ColourTypesAndAlpha)
{
    struct Case {
        const char* name;
        PngRecipe recipe;
        bool alphaPlane;
        bool trns;
        std::vector<std::uint8_t> alpha;  // expected plane, when there is one
    };
    PngRecipe gray;
    gray.colorType = PNG_COLOR_TYPE_GRAY;
    PngRecipe grayTrns = gray;
    grayTrns.trnsAlpha = {0};
    PngRecipe rgb;
    rgb.colorType = PNG_COLOR_TYPE_RGB;
    rgb.width = 3;
    PngRecipe rgbTrns = rgb;
    rgbTrns.trnsAlpha = {0};
    PngRecipe palette;
    palette.colorType = PNG_COLOR_TYPE_PALETTE;
    palette.paletteSize = 4;
    PngRecipe paletteTrns = palette;
    paletteTrns.trnsAlpha = {0, 128};
    PngRecipe grayAlpha;
    grayAlpha.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    grayAlpha.samples = {10, 0, 20, 50, 30, 100, 40, 255};
    PngRecipe rgba;
    rgba.width = 2;
    rgba.height = 3;
    rgba.samples = {0, 0, 0, 1,  0, 0, 0, 2,  0, 0, 0, 3,  0, 0, 0, 4,  9, 9, 9, 200, 9, 9, 9, 255};
    PngRecipe rgba16 = rgba;
    rgba16.bitDepth = 16;
    rgba16.height = 1;
    rgba16.samples = {0, 0, 0, 0x1234, 65535, 65535, 65535, 0xFF00};
    PngRecipe interlaced = rgba;
    interlaced.interlaced = true;
    const Case cases[] = {
        {"gray", gray, false, false, {}},
        {"gray with tRNS", grayTrns, false, true, {}},
        {"RGB", rgb, false, false, {}},
        {"RGB with tRNS", rgbTrns, false, true, {}},
        {"palette", palette, false, false, {}},
        {"palette with tRNS", paletteTrns, false, true, {}},
        {"gray and alpha", grayAlpha, true, false, {0, 50, 100, 255}},
        {"RGBA", rgba, true, false, {1, 2, 3, 4, 200, 255}},
        {"RGBA, 16 bits per sample", rgba16, true, false, {0x12, 0xFF}},
        {"RGBA, interlaced", interlaced, true, false, {1, 2, 3, 4, 200, 255}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = MakePng(c.recipe);
        TPngImage image;
        ASSERT_NO_THROW(image.LoadFromBytes(bytes));
        EXPECT_FALSE(image.Empty());
        EXPECT_EQ(image.Data, bytes);
        EXPECT_EQ(image.Width, c.recipe.width);
        EXPECT_EQ(image.Height, c.recipe.height);
        EXPECT_EQ(image.ColorType, c.recipe.colorType);
        EXPECT_EQ(image.HasAlphaChannel(), c.alphaPlane);
        EXPECT_EQ(image.HasTransparencyChunk, c.trns);
        EXPECT_EQ(image.Transparent(), c.alphaPlane || c.trns);
        EXPECT_EQ(image.Alpha, c.alpha);
        if (c.alphaPlane) {
            EXPECT_EQ(image.AlphaAt(c.recipe.width - 1, c.recipe.height - 1), c.alpha.back());
        }
    }
}

TEST(PngImage, InvalidBytesAreRefusedAndLeaveItEmpty)
{
    const auto good = MakePng({});
    auto badCrc = good;
    badCrc[20] ^= 0x01;  // inside IHDR, CRC unchanged
    auto truncated = good;
    truncated.resize(good.size() - 16);
    auto noEnd = good;
    noEnd.resize(good.size() - 12);  // IEND missing
    auto badIdat = good;
    for (std::size_t i = 41; i + 16 < badIdat.size(); ++i)
        badIdat[i] = 0xFF;
    const std::pair<const char*, ByteVector> cases[] = {
        {"empty", {}},
        {"signature only", ByteVector(good.begin(), good.begin() + 8)},
        {"not a PNG", ToBytes("GIF89a and some more bytes")},
        {"bitmap", MakeBmp(2, 2)},
        {"damaged header CRC", badCrc},
        {"truncated", truncated},
        {"no end chunk", noEnd},
        {"damaged image data", badIdat},
        {"zero width", WithClaimedSize(good, 0, 2)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        TPngImage image;
        image.LoadFromBytes(MakePng({}));  // a picture that the failed load must drop
        EXPECT_THROW(image.LoadFromBytes(bytes), EInvalidGraphic);
        EXPECT_TRUE(image.Empty());
        EXPECT_EQ(image.Width, 0);
        EXPECT_EQ(image.ColorType, -1);
        EXPECT_TRUE(image.Alpha.empty());
    }
}

// A header may claim a picture far larger than its bytes could hold, or than any window
// needs; it is refused before the pixel memory is taken.
TEST(PngImage, OversizedClaimsAreRefusedBeforeAllocating)
{
    PngRecipe small;
    small.width = 16;
    small.height = 16;
    const auto good = MakePng(small);
    ByteVector bigButEmpty = MakePng([] {
        PngRecipe s;
        s.width = 64;
        s.height = 64;
        s.colorType = PNG_COLOR_TYPE_GRAY;
        s.samples.assign(64 * 64, 0);
        return s;
    }());
    // Padding that the package's own zlib would squeeze away: the PNG is large, its
    // stored form tiny. Inserted as an ancillary chunk so the file stays well formed.
    ByteVector padded(bigButEmpty.begin(), bigButEmpty.begin() + 33);
    for (int n = 0; n < 2; ++n) {
        const std::uint32_t length = 4000000;  // libpng refuses single chunks above 8 MB
        ByteVector chunk = {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
                            static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length),
                            'z', 'z', 'P', 'd'};
        chunk.resize(8 + length, 0);
        const auto crc = static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, 4 + length));
        for (int i = 0; i < 4; ++i)
            chunk.push_back(static_cast<std::uint8_t>(crc >> (24 - 8 * i)));
        padded.insert(padded.end(), chunk.begin(), chunk.end());
    }
    padded.insert(padded.end(), bigButEmpty.begin() + 33, bigButEmpty.end());
    TPngImage check;
    ASSERT_NO_THROW(check.LoadFromBytes(padded)) << "the padding chunk itself is acceptable";

    const std::pair<const char*, ByteVector> cases[] = {
        {"30000 x 30000 in a few bytes", WithClaimedSize(good, 30000, 30000)},
        {"20000 x 20000 behind 8 MB of padding", WithClaimedSize(padded, 20000, 20000)},
        {"beyond the decoder's limits", WithClaimedSize(good, 100000, 1)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const long before = PeakRssKb();
        TPngImage image;
        EXPECT_THROW(image.LoadFromBytes(bytes), EInvalidGraphic);
        EXPECT_TRUE(image.Empty());
        EXPECT_LT(PeakRssKb() - before, 256 * 1024) << "the claimed picture was allocated";
    }
}

TEST(BitmapImage, AcceptsSoundFilesAndRefusesOthers)
{
    TBitmapImage bitmap;
    bitmap.LoadFromBytes(MakeBmp(5, 3));
    EXPECT_EQ(bitmap.Width, 5);
    EXPECT_EQ(bitmap.Height, 3);
    EXPECT_EQ(bitmap.Data, MakeBmp(5, 3));

    auto topDown = MakeBmp(4, 2);
    ByteWriter patch;
    patch.bytes = topDown;
    patch.PatchInt32(22, -2);
    bitmap.LoadFromBytes(patch.bytes);
    EXPECT_EQ(bitmap.Height, 2);

    bitmap.LoadFromBytes({});
    EXPECT_TRUE(bitmap.Empty()) << "no bytes give an empty bitmap";

    auto truncated = MakeBmp(4, 4);
    truncated.resize(truncated.size() - 1);
    ByteWriter zeroWidth;
    zeroWidth.bytes = MakeBmp(2, 2);
    zeroWidth.PatchInt32(18, 0);
    ByteWriter pixelsBeyond;
    pixelsBeyond.bytes = MakeBmp(2, 2);
    pixelsBeyond.PatchInt32(10, 100000);
    ByteWriter huge;
    huge.bytes = MakeBmp(2, 2);
    huge.PatchInt32(18, 100000);
    huge.PatchInt32(22, 100000);
    ByteWriter badDepth;
    badDepth.bytes = MakeBmp(2, 2);
    badDepth.bytes[28] = 7;
    const std::pair<const char*, ByteVector> cases[] = {
        {"PNG", MakePng({})},
        {"header only", ByteVector(truncated.begin(), truncated.begin() + 20)},
        {"missing pixel bytes", truncated},
        {"zero width", zeroWidth.bytes},
        {"pixels beyond the file", pixelsBeyond.bytes},
        {"huge claimed size", huge.bytes},
        {"unknown depth", badDepth.bytes},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        TBitmapImage image;
        EXPECT_THROW(image.LoadFromBytes(bytes), EInvalidGraphic);
        EXPECT_TRUE(image.Empty());
    }
}

TEST(IconImage, AcceptsSoundFilesAndRefusesOthers)
{
    TIconImage icon;
    icon.LoadFromBytes(MakeIco(100));
    EXPECT_EQ(icon.Data, MakeIco(100));

    const auto good = MakeIco(40);
    auto cursor = good;
    cursor[2] = 2;
    auto noImages = good;
    noImages[4] = 0;
    auto manyImages = good;
    manyImages[4] = 200;
    ByteWriter beyond;
    beyond.bytes = good;
    beyond.PatchInt32(6 + 8, 41);
    ByteWriter insideDirectory;
    insideDirectory.bytes = good;
    insideDirectory.PatchInt32(6 + 12, 4);
    ByteWriter wrapping;
    wrapping.bytes = good;
    wrapping.PatchInt32(6 + 8, -1);
    const std::pair<const char*, ByteVector> cases[] = {
        {"empty", {}},
        {"PNG", MakePng({})},
        {"cursor file", cursor},
        {"no images", noImages},
        {"directory longer than the file", manyImages},
        {"image beyond the file", beyond.bytes},
        {"image inside the directory", insideDirectory.bytes},
        {"size that wraps around", wrapping.bytes},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        TIconImage image;
        EXPECT_THROW(image.LoadFromBytes(bytes), EInvalidGraphic);
        EXPECT_TRUE(image.Empty());
    }
}

}  // namespace
}  // namespace folianto
