#include "Utils.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace folianto {

namespace {
constexpr std::size_t kInflateChunk = 65536;
}

std::span<std::uint8_t> TBytesTarget::Room()
{
    // Growing by a chunk at a time clears only what zlib is about to write, while it is
    // still in the cache, rather than a whole reserved buffer up front.
    start_ = bytes_.size();
    bytes_.resize(start_ + kInflateChunk);
    return {bytes_.data() + start_, kInflateChunk};
}

void TBytesTarget::Filled(std::size_t count) { bytes_.resize(start_ + count); }

void InflateStream(std::span<const std::uint8_t> source, TInflateTarget& destination, std::size_t limit)
{
    if (source.empty())
        return;

    z_stream zs {};
    if (inflateInit(&zs) != Z_OK)
        throw EDecompressionError("Decompression error: cannot initialise zlib");
    std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&zs, inflateEnd);

    // zlib counts in uInt: a source beyond that is fed in parts.
    const std::uint8_t* input = source.data();
    std::size_t inputLeft = source.size();
    constexpr std::size_t kLargestPart = 1u << 30;
    auto feed = [&] {
        if (zs.avail_in == 0 && inputLeft > 0) {
            const std::size_t part = std::min(inputLeft, kLargestPart);
            zs.next_in = const_cast<Bytef*>(input);
            zs.avail_in = static_cast<uInt>(part);
            input += part;
            inputLeft -= part;
        }
    };
    std::size_t total = 0;
    for (;;) {
        feed();
        const std::span<std::uint8_t> room = destination.Room();
        // One byte beyond the limit is enough to know the stream goes past it.
        const std::size_t allowed = limit - total;  // total never exceeds limit here
        const std::size_t roomSize = std::min({room.size(), kLargestPart, allowed == SIZE_MAX ? allowed : allowed + 1});
        zs.next_out = room.data();
        zs.avail_out = static_cast<uInt>(roomSize);
        const int result = inflate(&zs, Z_NO_FLUSH);
        const std::size_t produced = roomSize - zs.avail_out;
        total += produced;
        if (total > limit) {
            destination.Filled(0);
            throw EDecompressionError("Decompression error: the content is larger than " + std::to_string(limit) + " bytes");
        }
        destination.Filled(produced);
        if (result == Z_STREAM_END) {
            destination.Ended();
            return;
        }
        const bool inputGone = zs.avail_in == 0 && inputLeft == 0;
        if (result == Z_BUF_ERROR || (result == Z_OK && produced == 0 && inputGone))
            return;  // the input ended before the stream did: keep what we have
        if (result != Z_OK)
            throw EDecompressionError(std::string("Decompression error: ") + (zs.msg ? zs.msg : "corrupt data"));
    }
}

void InflateStream(const Bytes& source, Bytes& destination, std::size_t limit)
{
    TBytesTarget target(destination);
    InflateStream(std::span<const std::uint8_t>(source), target, limit);
}

std::string MD5Hex(std::string_view text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr) != 1)
        return {};
    std::string hex;
    hex.reserve(length * 2);
    char pair[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%.2x", digest[i]);
        hex += pair;
    }
    return hex;
}

}  // namespace folianto
