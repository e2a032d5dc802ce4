#pragma once
// A small HTTP/1.1 server: one request per connection, one thread per connection, one
// request handler that fills the answer. It knows nothing of books.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace folianto {

using Bytes = std::vector<std::uint8_t>;

// The fixed text sent in every answer's "Server" header.
extern const char* const HTTPProductToken;

constexpr std::size_t MaxLineLength = 16384;
constexpr std::size_t SocketBufferSize = 32768;
constexpr std::size_t SendPieceSize = 32768;
// A local client must not be able to make us hold more than this of its request.
constexpr std::int64_t MaxRequestBody = 1 << 20;
constexpr std::size_t MaxHeaderBytes = 65536;  // header line bytes, line ends not counted
constexpr std::size_t MaxHeaderLines = 128;

// A socket error, numbered as Windows Sockets numbers it so that messages stay the same
// on every platform.
class ESocketError : public std::runtime_error {
public:
    ESocketError(int code, const std::string& message) : std::runtime_error(message), Code(code) {}
    int Code;
};

// The Windows Sockets number for a POSIX errno value (0 when there is none).
int SocketErrorCode(int posixError);
// The engine's text for a Windows Sockets error number ("" for an unknown one).
std::string SocketErrorText(int code);
// "Socket Error # N\r\n<text>".
std::string SocketErrorMessage(int code);

// Where request bytes come from: a socket, or memory for tests and fuzzing.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    // Up to count bytes; 0 once the peer has shut down its sending direction.
    virtual std::size_t Receive(char* buffer, std::size_t count) = 0;
};

// Where answer bytes go. Send takes every byte or throws.
class TByteSink {
public:
    virtual ~TByteSink() = default;
    virtual void Send(const char* data, std::size_t count) = 0;
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

class TStringSink : public TByteSink {
public:
    void Send(const char* data, std::size_t count) override { Text.append(data, count); }
    std::string Text;
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
    // Borrows it: the caller keeps it alive until the response is released.
    void SetBodyStream(const Bytes& stream);
    const Bytes* BodyStream() const { return bodyStream_; }
    bool OwnsBodyStream() const { return static_cast<bool>(ownedStream_); }
    void ReleaseBodyStream();

    bool HeaderWritten() const { return headerWritten_; }
    // Throws "Header has already been written." the second time.
    void WriteHeader(TByteSink& sink);
    void WriteBody(TByteSink& sink);

private:
    int statusCode_ = 200;
    std::string reasonPhrase_ = "OK";
    const Bytes* bodyStream_ = nullptr;
    std::unique_ptr<Bytes> ownedStream_;
    bool headerWritten_ = false;
};

using THTTPHandler = std::function<void(const THTTPRequest&, THTTPResponse&)>;

// The engine's first decoding of a request target's path part.
std::string DecodeDocumentPath(std::string_view path);
// "+" to space, "%XX" to the byte (00 and bad escapes dropped).
std::string DecodeURIPart(std::string_view text);

// Reads one request from source, runs the handler and writes its answer to sink, as
// one connection does. Whatever goes wrong while reading ends it without an answer.
void ServeRequest(TByteSource& source, TByteSink& sink, const std::string& peerAddress,
                  const THTTPHandler& handler);

class THTTPEngine {
public:
    THTTPEngine();
    ~THTTPEngine();
    THTTPEngine(const THTTPEngine&) = delete;
    THTTPEngine& operator=(const THTTPEngine&) = delete;

    struct TBinding {
        std::string Address;  // dotted IPv4; empty for every local address
        int Port = 80;
    };
    void AddBinding(const std::string& address, int port = 80);
    const std::vector<TBinding>& Bindings() const { return bindings_; }

    THTTPHandler OnRequest;
    int ListenBacklog = 15;

    void Start();
    void Stop();
    bool Active() const { return active_; }

private:
    // A connection thread with a small stack. Each connection gets a thread of its own, and
    // with the default 8 MiB stack the C library mapped and unmapped a fresh stack for
    // nearly every request, which cost more than answering it; small stacks are reused.
    class TConnectionThread {
    public:
        TConnectionThread() = default;
        explicit TConnectionThread(std::function<void()> body);  // throws std::system_error
        TConnectionThread(TConnectionThread&& other) noexcept;
        TConnectionThread& operator=(TConnectionThread&& other) noexcept;
        ~TConnectionThread();
        void join();

    private:
        unsigned long handle_ = 0;
        bool joinable_ = false;
    };

    struct TListener {
        int Socket = -1;
        std::thread Thread;
    };
    struct TConnection {
        int Socket = -1;
        TConnectionThread Thread;
        bool Finished = false;
    };

    void Listen(int listenSocket);
    void Serve(TConnection& connection, std::string peerAddress);
    void JoinFinished(std::unique_lock<std::mutex>& lock);

    std::vector<TBinding> bindings_;
    bool active_ = false;
    std::atomic<bool> stopping_{false};
    std::vector<TListener> listeners_;

    std::mutex connectionsLock_;
    std::condition_variable connectionEnded_;
    std::list<TConnection> connections_;
};

}  // namespace folianto
