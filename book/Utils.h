#pragma once

#include "Streamer.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace folianto {

class EDecompressionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where inflated bytes go: room is asked for piece by piece, and zlib writes into it
// directly, so no piece is copied on its way to where it is kept.
class TInflateTarget {
public:
    virtual ~TInflateTarget() = default;
    // Room for the next inflated bytes, at least one byte. May throw to stop inflating.
    virtual std::span<std::uint8_t> Room() = 0;
    // The first count bytes of the room given last hold inflated bytes now (count may be 0).
    virtual void Filled(std::size_t count) = 0;
    // The stream has ended and its check matched: no byte follows.
    virtual void Ended() {}
};

// Appends to a byte vector, 65,536 bytes of room at a time.
class TBytesTarget : public TInflateTarget {
public:
    explicit TBytesTarget(Bytes& bytes) : bytes_(bytes) {}
    std::span<std::uint8_t> Room() override;
    void Filled(std::size_t count) override;

private:
    Bytes& bytes_;
    std::size_t start_ = 0;
};

// The most one stream from a package may inflate to. A few forged megabytes can inflate
// to terabytes; past this the stream is refused instead of filling memory.
constexpr std::size_t LargestInflatedSize = std::size_t {1} << 30;

// Inflates the zlib stream held in source into destination.
// A corrupt stream, or one that inflates to more than limit bytes, raises
// EDecompressionError; a stream that merely ends early yields what was inflated so far
// (without Ended); an empty source yields nothing.
void InflateStream(std::span<const std::uint8_t> source, TInflateTarget& destination,
                   std::size_t limit = LargestInflatedSize);
// The same, appending the result to destination.
void InflateStream(const Bytes& source, Bytes& destination, std::size_t limit = LargestInflatedSize);

// MD5 of the text's bytes as 32 lowercase hexadecimal digits; empty when hashing fails.
std::string MD5Hex(std::string_view text);

}  // namespace folianto
