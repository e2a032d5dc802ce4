#pragma once

#include "Streamer.h"

#include <string>
#include <string_view>

namespace folianto {

class EDecompressionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Inflates the zlib stream held in source and appends the result to destination.
// A corrupt stream raises EDecompressionError; a stream that merely ends early yields
// what was inflated so far; an empty source yields nothing.
void InflateStream(const Bytes& source, Bytes& destination);

// MD5 of the text's bytes as 32 lowercase hexadecimal digits; empty when hashing fails.
std::string MD5Hex(std::string_view text);

}  // namespace folianto
