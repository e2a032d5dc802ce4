#pragma once
// Reading one HTTP request from the bytes a client sends, with the engine's limits.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folianto {

constexpr std::size_t MaxLineLength = 16384;
constexpr std::size_t SocketBufferSize = 32768;
// A local client must not be able to make us hold more than this of its request.
constexpr std::int64_t MaxRequestBody = 1 << 20;
constexpr std::size_t MaxHeaderBytes = 65536;  // header line bytes, line ends not counted
constexpr std::size_t MaxHeaderLines = 128;

// Where request bytes come from: a socket, or memory for tests and fuzzing.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    // Up to count bytes; 0 once the peer has shut down its sending direction.
    virtual std::size_t Receive(char* buffer, std::size_t count) = 0;
};

class TMemorySource : public TByteSource {
public:
    explicit TMemorySource(std::string_view data, std::size_t pieceSize = SocketBufferSize)
        : data_(data), pieceSize_(pieceSize) {}
    std::size_t Receive(char* buffer, std::size_t count) override;

private:
    std::string_view data_;
    std::size_t pieceSize_;
};

// Buffered line and byte reads over a source, with the engine's limits.
class TRequestReader {
public:
    explicit TRequestReader(TByteSource& source) : source_(source) {}
    // Bytes up to the next LF, without the LF and a CR right before it. Throws
    // "Max line length exceeded." or "Connection Closed Gracefully.".
    std::string ReadLine();
    // Exactly count bytes; throws "Connection Closed Gracefully." when they do not come.
    std::string ReadBytes(std::size_t count);
    // Everything until the peer shuts down, but at most limit bytes; the flag tells
    // whether more was on its way.
    std::string ReadToEnd(std::size_t limit, bool& truncated);

private:
    bool Fill();

    TByteSource& source_;
    std::string buffer_;
    std::size_t start_ = 0;
};

struct THTTPRequest {
    std::string RequestLine;
    std::string Method;
    std::string Version;
    std::string Target;  // as received, between the method and the version
    std::string PeerAddress;
    std::vector<std::string> Headers;
    std::int64_t ContentLength = -1;
    std::string ContentType;
    std::string Body;
    std::string QueryString;
    std::string DocumentPath;

    // The value of the first header line with this name (case ignored), continuation
    // lines joined with one space; empty optional when there is none.
    std::optional<std::string> HeaderValue(std::string_view name) const;
    // The values of every header line with this name, in the order received.
    std::vector<std::string> HeaderValues(std::string_view name) const;
};

// ASCII letters compared without regard to case; other bytes must be equal.
bool SameAsciiIgnoringCase(std::string_view a, std::string_view b);

// The engine's first decoding of a request target's path part.
std::string DecodeDocumentPath(std::string_view path, bool plusIsSpace = true);
// "+" to space (unless told otherwise), "%XX" to the byte (00 and bad escapes dropped).
std::string DecodeURIPart(std::string_view text, bool plusIsSpace = true);

// What a request turned out to be once read.
enum class TReadOutcome { Serve, TooLarge };

// Reads the request line, the headers and the body and derives the document path.
// Throws to end the connection without an answer; TooLarge for a body we refuse to hold.
TReadOutcome ReadRequest(TRequestReader& reader, THTTPRequest& request);

}  // namespace folianto
