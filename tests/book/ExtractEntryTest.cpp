// Getting stored entries out of a loaded book.

#include "Book.h"
#include "PackageBytes.h"

#include <gtest/gtest.h>

#include <memory>

namespace folianto {
namespace {

using namespace folianto::testing;
using namespace std::string_literals;

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::unique_ptr<TBook> LoadBytes(const ByteVector& bytes)
{
    TempFile file(bytes);
    return std::make_unique<TBook>(file.Path());
}

// Records for the failure cases: their rows point at them, or at bytes inside them.
enum Record {
    kIndex, kUpperGif, kLowerAccent, kSharpS, kDuplicateFirst, kDuplicateSecond,
    kNotZlib, kCorruptDeflate, kBadCheck, kEndsEarly, kEmpty, kLargeRecord, kForged, kRecordCount,
};

const std::string kLarge = [] {
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += static_cast<char>('a' + (i * 7 + i / 13) % 26);
    return text;
}();
const std::string kEarly(6000, 'z');

class ExtractEntry : public ::testing::Test {
protected:
    void SetUp() override
    {
        PackageRecipe s;
        s.prefix = ByteVector(333, 0x90);
        s.records.resize(kRecordCount);
        s.records[kIndex] = Zlib("<html>index</html>");
        s.records[kUpperGif] = Zlib("GIF89a-gr");
        s.records[kLowerAccent] = Zlib("accent");
        s.records[kSharpS] = Zlib("strasse");
        s.records[kDuplicateFirst] = Zlib("first of two");
        s.records[kDuplicateSecond] = Zlib("second of two");
        s.records[kNotZlib] = ToBytes("<html>stored raw</html>");
        s.records[kCorruptDeflate] = {0x78, 0x9C, 0xFF, 0xFF, 0xFF};
        s.records[kBadCheck] = Zlib("checked");
        s.records[kBadCheck].back() ^= 0x55;
        s.records[kEndsEarly] = Zlib(ToBytes(kEarly), Z_NO_COMPRESSION);
        s.records[kEndsEarly].resize(s.records[kEndsEarly].size() / 2);
        s.records[kEmpty] = {};
        s.records[kLargeRecord] = Zlib(kLarge);
        // Lengths to point rows at: negative, and far beyond the file.
        ByteWriter forged;
        forged.Int32(-1).Int32(2000000000).Int32(0);
        s.records[kForged] = forged.bytes;

        const auto offsets = BuildPackage(s).recordOffsets;  // rows do not move the records
        const std::int32_t negativeLength = offsets[kForged] + 4;
        const std::int32_t hugeLength = offsets[kForged] + 8;
        s.rows = {
            {"/index.html", kIndex},
            {"/GR.GIF", kUpperGif},
            {"/\xE9t\xE9.html", kLowerAccent},          // /été.html
            {"/stra\xDF" "e.html", kSharpS},            // /straße.html
            {"/twice.html", kDuplicateFirst},
            {"/TWICE.HTML", kDuplicateSecond},
            {"/twice.html", kDuplicateSecond},
            {"/raw.html", kNotZlib},
            {"/corrupt.html", kCorruptDeflate},
            {"/check.html", kBadCheck},
            {"/early.txt", kEndsEarly},
            {"/empty.txt", kEmpty},
            {"/large.txt", kLargeRecord},
            {"/negative.bin", 0, negativeLength},
            {"/huge.bin", 0, hugeLength},
            {"/beyond.bin", 0, 10000000},
            {"/beforefile.bin", 0, -334},             // before the start of the file
            {"/intoprefix.bin", 0, -4},               // inside the bytes in front of the header
        };
        book_ = LoadBytes(BuildPackage(s).bytes);
        ASSERT_TRUE(book_->Loaded) << book_->LoadError;
    }

    std::unique_ptr<TBook> book_;
};

TEST_F(ExtractEntry, FindsNamesIgnoringLetterCase)
{
    struct Case {
        std::string request;
        std::string content;
    };
    const Case cases[] = {
        {"/index.html", "<html>index</html>"},
        {"/INDEX.HTML", "<html>index</html>"},
        {"/Index.Html", "<html>index</html>"},
        {"/gr.gif", "GIF89a-gr"},
        {"/GR.GIF", "GIF89a-gr"},
        {"/Gr.Gif", "GIF89a-gr"},
        {"/\xC9T\xC9.HTML", "accent"},   // /ÉTÉ.HTML finds /été.html
        {"/\xC9t\xE9.html", "accent"},
        {"/STRA\xDF" "E.HTML", "strasse"},  // ß has no capital of its own
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        Bytes content;
        ASSERT_TRUE(book_->ExtractEntry(c.request, content));
        EXPECT_EQ(Text(content), c.content);
    }
}

TEST_F(ExtractEntry, NameNotFoundLeavesTheDestinationUntouched)
{
    const std::string misses[] = {
        "", "/", "index.html", "\\index.html", "/index.html ", " /index.html", "/index.html?x=1",
        "/index.html#top", "/index.htm", "/index.html\0"s, "/STRASSE.html", "/%69ndex.html",
    };
    for (const auto& name : misses) {
        SCOPED_TRACE(name);
        Bytes content = {'k', 'e', 'e', 'p'};
        EXPECT_FALSE(book_->ExtractEntry(name, content));
        EXPECT_EQ(Text(content), "keep");
    }
}

TEST_F(ExtractEntry, ContentIsAppendedAtTheEnd)
{
    Bytes content = {'>', '>'};
    ASSERT_TRUE(book_->ExtractEntry("/gr.gif", content));
    EXPECT_EQ(Text(content), ">>GIF89a-gr");
}

TEST_F(ExtractEntry, FirstOfDuplicateNamesWins)
{
    for (const char* name : {"/twice.html", "/TWICE.HTML", "/Twice.html"}) {
        SCOPED_TRACE(name);
        Bytes content;
        ASSERT_TRUE(book_->ExtractEntry(name, content));
        EXPECT_EQ(Text(content), "first of two");
    }
}

TEST_F(ExtractEntry, RecordOutcomes)
{
    struct Case {
        const char* name;
        bool result;
        std::string content;  // checked when the call succeeds
    };
    const Case cases[] = {
        {"/raw.html", false, ""},
        {"/corrupt.html", false, ""},
        {"/check.html", false, ""},
        {"/empty.txt", true, ""},
        {"/negative.bin", false, ""},
        {"/huge.bin", false, ""},
        {"/beyond.bin", false, ""},
        {"/beforefile.bin", false, ""},
        {"/intoprefix.bin", false, ""},
        {"/large.txt", true, kLarge},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes content;
        EXPECT_EQ(book_->ExtractEntry(c.name, content), c.result);
        if (c.result) {
            EXPECT_EQ(Text(content), c.content);
        }
    }
}

TEST_F(ExtractEntry, StreamThatEndsEarlyGivesThePartSoFar)
{
    Bytes content;
    ASSERT_TRUE(book_->ExtractEntry("/early.txt", content));
    EXPECT_GT(content.size(), 0u);
    EXPECT_LT(content.size(), kEarly.size());
    EXPECT_EQ(Text(content), kEarly.substr(0, content.size()));
}

TEST_F(ExtractEntry, RepeatedCallsGiveTheSameBytesWhateverFailedBetween)
{
    Bytes first;
    ASSERT_TRUE(book_->ExtractEntry("/large.txt", first));
    for (const char* failing : {"/corrupt.html", "/huge.bin", "/beyond.bin", "/negative.bin", "/early.txt", "/none"}) {
        SCOPED_TRACE(failing);
        Bytes scratch;
        book_->ExtractEntry(failing, scratch);
        Bytes again;
        ASSERT_TRUE(book_->ExtractEntry("/large.txt", again));
        EXPECT_EQ(again, first);
        Bytes small;
        ASSERT_TRUE(book_->ExtractEntry("/index.html", small));
        EXPECT_EQ(Text(small), "<html>index</html>");
    }
}

TEST(ExtractEntryLimits, StreamsInflatingBeyondTheLargestContentAreRefused)
{
    // A few kilobytes that inflate to more than the book allows (as a gibibyte does by
    // default), as an entry, a font and a picture.
    constexpr std::size_t kLargest = 1 << 20;
    const ByteVector forged = ZlibOfZeros(2);
    const ByteVector fits = ZlibOfZeros(1);
    PackageRecipe s;
    s.records = {Zlib("<html>index</html>"), forged, fits};
    s.rows = {{"/index.html", 0}, {"/forged.bin", 1}, {"/fits.bin", 2}};
    s.fonts = {forged, Zlib("font")};
    TempFile file(BuildPackage(s).bytes);
    const TBook book(file.Path(), kLargest);
    ASSERT_TRUE(book.Loaded) << book.LoadError;
    ASSERT_EQ(book.FontCount(), 1) << "the forged font is skipped like any bad font record";
    EXPECT_EQ(Text(book.Font(0)), "font");

    Bytes content;
    EXPECT_FALSE(book.ExtractEntry("/forged.bin", content));
    EXPECT_LE(content.size(), kLargest);
    Bytes whole;
    ASSERT_TRUE(book.ExtractEntry("/fits.bin", whole));
    EXPECT_EQ(whole.size(), kLargest);
    Bytes index;
    ASSERT_TRUE(book.ExtractEntry("/index.html", index));
    EXPECT_EQ(Text(index), "<html>index</html>");

    // A picture is part of the settings: the book does not load.
    s.interfaceKind = static_cast<std::int32_t>(TInterfaceKind::Skin);
    s.skinImage = forged;
    TempFile withIcon(BuildPackage(s).bytes);
    const TBook refused(withIcon.Path(), kLargest);
    EXPECT_FALSE(refused.Loaded);
    EXPECT_NE(refused.LoadError.find("larger than 1048576 bytes"), std::string::npos) << refused.LoadError;
}

TEST(ExtractEntryUnloaded, BookThatFailedToLoadFindsNothing)
{
    PackageRecipe s;
    s.magic = "XXXXXX";
    s.records = {Zlib("x")};
    s.rows = {{"/a.html", 0}};
    const auto book = LoadBytes(BuildPackage(s).bytes);
    ASSERT_FALSE(book->Loaded);
    Bytes content;
    EXPECT_FALSE(book->ExtractEntry("/a.html", content));
    EXPECT_TRUE(content.empty());
}

}  // namespace
}  // namespace folianto
