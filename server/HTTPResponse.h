#pragma once
// The answer to one request: its status, headers and body, written to the client, and
// the whole round of one connection from request bytes to answer bytes.

#include "GrowingBuffer.h"
#include "HTTPRequest.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace folianto {

using Bytes = std::vector<std::uint8_t>;

// The fixed text sent in every answer's "Server" header.
extern const char* const HTTPProductToken;

constexpr std::size_t SendPieceSize = 32768;

// Where answer bytes go. Send takes every byte or throws.
class TByteSink {
public:
    virtual ~TByteSink() = default;
    virtual void Send(const char* data, std::size_t count) = 0;
    // The same, where more follows at once: a socket may hold these bytes back to send
    // them together with the next.
    virtual void SendMore(const char* data, std::size_t count) { Send(data, count); }
};

class TStringSink : public TByteSink {
public:
    void Send(const char* data, std::size_t count) override { Text.append(data, count); }
    std::string Text;
};

// The reason phrase that goes with a status code.
std::string ReasonPhraseFor(int statusCode);

class THTTPResponse {
public:
    THTTPResponse();

    int StatusCode() const { return statusCode_; }
    const std::string& ReasonPhrase() const { return reasonPhrase_; }
    // Also sets the reason phrase; 404 also closes the connection.
    void SetStatusCode(int code);

    std::string ContentType = "text/html";
    std::int64_t ContentLength = -1;  // -1: filled in when the header is written
    std::string BodyText;
    bool CloseConnection = true;
    std::string Server = HTTPProductToken;

    // Takes the stream; it is released once sent.
    void SetBodyStream(std::unique_ptr<Bytes> stream);
    // Takes a share of it, released once sent.
    void SetBodyStream(std::shared_ptr<const Bytes> stream);
    // Borrows it: the caller keeps it alive until the response is released.
    void SetBodyStream(const Bytes& stream);
    // Takes a share of a body still being filled: its size goes out in the header at
    // once, its bytes as they become ready.
    void SetBodyStream(std::shared_ptr<TGrowingBuffer> stream);
    const Bytes* BodyStream() const { return bodyStream_; }
    const TGrowingBuffer* GrowingBody() const { return growingBody_.get(); }
    // The size of the body stream, growing or not; 0 without one.
    std::size_t BodyStreamSize() const;
    bool OwnsBodyStream() const { return static_cast<bool>(ownedStream_); }
    void ReleaseBodyStream();

    bool HeaderWritten() const { return headerWritten_; }
    // Throws "Header has already been written." the second time. bodyFollows: the body
    // is written right after it.
    void WriteHeader(TByteSink& sink, bool bodyFollows = false);
    void WriteBody(TByteSink& sink);

private:
    int statusCode_ = 200;
    std::string reasonPhrase_ = "OK";
    const Bytes* bodyStream_ = nullptr;
    std::shared_ptr<const Bytes> ownedStream_;
    std::shared_ptr<TGrowingBuffer> growingBody_;
    bool headerWritten_ = false;
};

using THTTPHandler = std::function<void(const THTTPRequest&, THTTPResponse&)>;

// Reads one request from source, runs the handler and writes its answer to sink, as
// one connection does. Whatever goes wrong while reading ends it without an answer.
void ServeRequest(TByteSource& source, TByteSink& sink, const std::string& peerAddress,
                  const THTTPHandler& handler);

}  // namespace folianto
