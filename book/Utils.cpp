#include "Utils.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <cstdio>
#include <memory>

namespace folianto {

namespace {
constexpr std::size_t kInflateChunk = 65536;
}

void InflateStream(const Bytes& source, Bytes& destination)
{
    if (source.empty())
        return;

    z_stream zs {};
    if (inflateInit(&zs) != Z_OK)
        throw EDecompressionError("Decompression error: cannot initialise zlib");
    std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&zs, inflateEnd);

    zs.next_in = const_cast<Bytef*>(source.data());
    zs.avail_in = static_cast<uInt>(source.size());

    std::uint8_t chunk[kInflateChunk];
    for (;;) {
        zs.next_out = chunk;
        zs.avail_out = sizeof chunk;
        const int result = inflate(&zs, Z_NO_FLUSH);
        const std::size_t produced = sizeof chunk - zs.avail_out;
        destination.insert(destination.end(), chunk, chunk + produced);
        if (result == Z_STREAM_END)
            return;
        if (result == Z_BUF_ERROR || (result == Z_OK && produced == 0 && zs.avail_in == 0))
            return;  // the input ended before the stream did: keep what we have
        if (result != Z_OK)
            throw EDecompressionError(std::string("Decompression error: ") + (zs.msg ? zs.msg : "corrupt data"));
    }
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
