// Inflating zlib streams and hashing names.

#include "PackageBytes.h"
#include "Utils.h"

#include <gtest/gtest.h>

namespace folianto {
namespace {

using namespace folianto::testing;

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(InflateStream, WholeStreams)
{
    std::string large;
    for (int i = 0; i < 300000; ++i)
        large += static_cast<char>(i * 31 % 251);
    const std::string cases[] = {"", "a", "hello, book", std::string(65536, 'x'), std::string(65537, 'y'), large};
    for (const auto& text : cases) {
        SCOPED_TRACE(text.size());
        for (const int level : {Z_NO_COMPRESSION, Z_BEST_COMPRESSION}) {
            Bytes out;
            InflateStream(Zlib(ToBytes(text), level), out);
            EXPECT_EQ(Text(out), text);
        }
    }
}

TEST(InflateStream, AppendsToWhatTheDestinationHolds)
{
    Bytes out = {'a', 'b'};
    InflateStream(Zlib("cd"), out);
    EXPECT_EQ(Text(out), "abcd");
}

TEST(InflateStream, EmptySourceGivesNothing)
{
    Bytes out = {'k'};
    EXPECT_NO_THROW(InflateStream({}, out));
    EXPECT_EQ(Text(out), "k");
}

TEST(InflateStream, StreamThatEndsEarlyGivesThePartSoFar)
{
    const std::string text(100000, 'r');
    const auto whole = Zlib(ToBytes(text), Z_NO_COMPRESSION);
    for (const std::size_t length : {std::size_t {1}, std::size_t {2}, std::size_t {7}, whole.size() / 2, whole.size() - 4, whole.size() - 1}) {
        SCOPED_TRACE(length);
        Bytes out;
        EXPECT_NO_THROW(InflateStream(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)), out));
        EXPECT_LE(out.size(), text.size());
        EXPECT_EQ(Text(out), text.substr(0, out.size()));
    }
    Bytes out;
    InflateStream(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)), out);
    EXPECT_GT(out.size(), text.size() / 3) << "the inflated part is kept";
}

TEST(InflateStream, CorruptStreamsRaise)
{
    auto badCheck = Zlib("some text to check");
    badCheck.back() ^= 0x01;
    auto badHeaderCheck = Zlib("x");
    badHeaderCheck[1] ^= 0x01;  // header check bits no longer divide by 31
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"plain text", ToBytes("<html>not compressed</html>")},
        {"gzip header", {0x1F, 0x8B, 0x08, 0x00, 0, 0, 0, 0, 0, 0x03}},
        {"bad header check", badHeaderCheck},
        {"reserved block type", {0x78, 0x9C, 0xFF, 0xFF}},
        {"preset dictionary asked for", {0x78, 0xBB, 0, 0, 0, 1}},
        {"bad Adler-32", badCheck},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out;
        EXPECT_THROW(InflateStream(c.bytes, out), EDecompressionError);
    }
}

// A target that hands out room of a fixed size, as a buffer of known size does near its end.
class TSmallRooms : public TInflateTarget {
public:
    explicit TSmallRooms(std::size_t room) : room_(room) {}
    std::span<std::uint8_t> Room() override
    {
        piece_.assign(room_, 0);
        return piece_;
    }
    void Filled(std::size_t count) override
    {
        EXPECT_FALSE(ended) << "bytes after the end";
        EXPECT_LE(count, room_);
        Text.append(piece_.begin(), piece_.begin() + static_cast<std::ptrdiff_t>(count));
    }
    void Ended() override { ended = true; }
    std::string Text;
    bool ended = false;

private:
    std::size_t room_;
    Bytes piece_;
};

TEST(InflateStream, TargetsGetTheSameBytesWhateverTheirRoomAndHearOnlyAWholeStreamEnd)
{
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += static_cast<char>(i % 7 == 0 ? i * 13 % 251 : 'e');
    const auto whole = Zlib(ToBytes(text), Z_BEST_COMPRESSION);
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2));
    for (const std::size_t room : {std::size_t {1}, std::size_t {3}, std::size_t {4096}, std::size_t {1} << 20}) {
        SCOPED_TRACE(room);
        TSmallRooms target(room);
        InflateStream(std::span<const std::uint8_t>(whole), target);
        EXPECT_EQ(target.Text, text);
        EXPECT_TRUE(target.ended);

        TSmallRooms early(room);
        InflateStream(std::span<const std::uint8_t>(cut), early);
        EXPECT_FALSE(early.ended) << "a stream cut short did not end";
        EXPECT_GT(early.Text.size(), 0u);
        EXPECT_EQ(early.Text, text.substr(0, early.Text.size()));
    }
    // Bytes whose check fails come out before the failure does: a target that sends
    // them on must wait for the end.
    auto badCheck = whole;
    badCheck.back() ^= 0x01;
    TSmallRooms target(4096);
    EXPECT_THROW(InflateStream(std::span<const std::uint8_t>(badCheck), target), EDecompressionError);
    EXPECT_EQ(target.Text, text);
    EXPECT_FALSE(target.ended);
}

TEST(InflateStream, ContentBeyondItsLimitIsRefusedWithoutBeingKept)
{
    const std::string text(100000, 'q');
    struct Case {
        std::size_t limit;
        bool refused;
    };
    const Case cases[] = {{text.size() + 1, false}, {text.size(), false}, {text.size() - 1, true}, {1, true}, {0, true}};
    for (const int level : {Z_NO_COMPRESSION, Z_BEST_COMPRESSION}) {
        const Bytes stream = Zlib(ToBytes(text), level);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(level) + " " + std::to_string(c.limit));
            Bytes out = {'p'};
            if (c.refused) {
                EXPECT_THROW(InflateStream(stream, out, c.limit), EDecompressionError);
                EXPECT_LE(out.size(), 1 + c.limit);
            } else {
                InflateStream(stream, out, c.limit);
                EXPECT_EQ(Text(out), "p" + text);
            }
        }
    }
}

TEST(InflateStream, RepeatedFlushedBlocksOfZerosAreOneWholeStream)
{
    // The test packages' forged entries are built this way; they must be sound streams.
    const Bytes stream = ZlibOfZeros(3);
    EXPECT_LT(stream.size(), 5000u);
    Bytes out;
    InflateStream(stream, out);
    EXPECT_EQ(out, Bytes(3 << 20, 0));
    Bytes cut;
    EXPECT_THROW(InflateStream(stream, cut, (3 << 20) - 1), EDecompressionError);
}

TEST(MD5Hex, KnownDigests)
{
    using namespace std::string_literals;
    const std::pair<std::string, const char*> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {"\0"s, "93b885adfe0da089cdf634904fd59f71"},
    };
    for (const auto& [text, digest] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(MD5Hex(text), digest);
    }
}

}  // namespace
}  // namespace folianto
