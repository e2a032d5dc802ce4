#include "HTTPEngine.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <map>
#include <system_error>
#include <utility>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace folianto {

const char* const HTTPProductToken = "FoliantoHTTP/3.0";

namespace {

// Errors on a connection end it without an answer; nobody is told.
class EConnectionClosed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Spaces and control characters at either end go.
std::string_view Trim(std::string_view text)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool SameAsciiIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// ---------------------------------------------------------------------------------------
// Socket errors

int SocketErrorCode(int posixError)
{
    switch (posixError) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: case ENFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: case EPIPE: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    default: return 0;
    }
}

std::string SocketErrorText(int code)
{
    static const std::map<int, const char*> texts = {
        {10004, "Interrupted system call."},
        {10009, "Bad file number."},
        {10013, "Access denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Operation would block. "},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on non-socket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported on socket."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Cannot assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Net dropped connection or reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send or receive after socket is closed."},
        {10059, "Too many references, cannot splice."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10062, "Too many levels of symbolic links."},
        {10063, "File name too long."},
        {10064, "Host is down."},
        {10065, "No route to host."},
        {10066, "Directory not empty"},
    };
    const auto found = texts.find(code);
    return found == texts.end() ? std::string() : std::string(found->second);
}

std::string SocketErrorMessage(int code)
{
    return "Socket Error # " + std::to_string(code) + "\r\n" + SocketErrorText(code);
}

namespace {

[[noreturn]] void ThrowSocketError(int posixError)
{
    const int code = SocketErrorCode(posixError);
    throw ESocketError(code, SocketErrorMessage(code));
}

class TSocketSource : public TByteSource {
public:
    explicit TSocketSource(int socket) : socket_(socket) {}
    std::size_t Receive(char* buffer, std::size_t count) override
    {
        for (;;) {
            const ssize_t received = recv(socket_, buffer, count, 0);
            if (received >= 0)
                return static_cast<std::size_t>(received);
            if (errno != EINTR)
                ThrowSocketError(errno);
        }
    }

private:
    int socket_;
};

class TSocketSink : public TByteSink {
public:
    explicit TSocketSink(int socket) : socket_(socket) {}
    void Send(const char* data, std::size_t count) override
    {
        while (count > 0) {
            // MSG_NOSIGNAL: a client that hangs up must not kill the process with SIGPIPE.
            const ssize_t sent = send(socket_, data, count, MSG_NOSIGNAL);
            if (sent < 0) {
                if (errno == EINTR)
                    continue;
                ThrowSocketError(errno);
            }
            data += sent;
            count -= static_cast<std::size_t>(sent);
        }
    }

private:
    int socket_;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Reading

std::size_t TMemorySource::Receive(char* buffer, std::size_t count)
{
    const std::size_t n = std::min({count, pieceSize_, data_.size()});
    std::memcpy(buffer, data_.data(), n);
    data_.remove_prefix(n);
    return n;
}

bool TRequestReader::Fill()
{
    if (start_ > 0) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    char piece[SocketBufferSize];
    const std::size_t received = source_.Receive(piece, sizeof piece);
    if (received == 0)
        return false;
    buffer_.append(piece, received);
    return true;
}

std::string TRequestReader::ReadLine()
{
    std::size_t searched = start_;
    for (;;) {
        const std::size_t end = buffer_.find('\n', searched);
        if (end != std::string::npos) {
            if (end - start_ > MaxLineLength)
                throw EConnectionClosed("Max line length exceeded.");
            std::string line = buffer_.substr(start_, end - start_);
            start_ = end + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        if (buffer_.size() - start_ > MaxLineLength)
            throw EConnectionClosed("Max line length exceeded.");
        searched = buffer_.size() - start_;
        if (!Fill())
            throw EConnectionClosed("Connection Closed Gracefully.");
    }
}

std::string TRequestReader::ReadBytes(std::size_t count)
{
    while (buffer_.size() - start_ < count) {
        if (!Fill())
            throw EConnectionClosed("Connection Closed Gracefully.");
    }
    std::string bytes = buffer_.substr(start_, count);
    start_ += count;
    return bytes;
}

std::string TRequestReader::ReadToEnd(std::size_t limit, bool& truncated)
{
    truncated = false;
    while (buffer_.size() - start_ <= limit) {
        if (!Fill())
            break;
    }
    if (buffer_.size() - start_ > limit)
        truncated = true;
    std::string bytes = buffer_.substr(start_, std::min(limit, buffer_.size() - start_));
    start_ = buffer_.size();
    return bytes;
}

namespace {

// The value of the header line at index, with the continuation lines after it.
std::string ValueAt(const std::vector<std::string>& headers, std::size_t index, std::size_t colon)
{
    std::string value(Trim(std::string_view(headers[index]).substr(colon + 1)));
    for (std::size_t j = index + 1; j < headers.size(); ++j) {
        const std::string_view next = headers[j];
        if (next.empty() || (next.front() != ' ' && next.front() != '\t'))
            break;
        value += ' ';
        value += Trim(next);
    }
    return value;
}

// Where the name of a header line ends, npos when the line does not carry this name.
std::size_t NameEnd(std::string_view line, std::string_view name)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !SameAsciiIgnoringCase(line.substr(0, colon), name))
        return std::string_view::npos;
    return colon;
}

}  // namespace

std::optional<std::string> THTTPRequest::HeaderValue(std::string_view name) const
{
    for (std::size_t i = 0; i < Headers.size(); ++i) {
        if (const std::size_t colon = NameEnd(Headers[i], name); colon != std::string_view::npos)
            return ValueAt(Headers, i, colon);
    }
    return std::nullopt;
}

std::vector<std::string> THTTPRequest::HeaderValues(std::string_view name) const
{
    std::vector<std::string> values;
    for (std::size_t i = 0; i < Headers.size(); ++i) {
        if (const std::size_t colon = NameEnd(Headers[i], name); colon != std::string_view::npos)
            values.push_back(ValueAt(Headers, i, colon));
    }
    return values;
}

namespace {

// A signed decimal number, or -1 when it is not one. Too large a number saturates, so
// that it is refused as too large rather than taken as "no length".
std::int64_t ParseContentLength(const std::optional<std::string>& value)
{
    if (!value || value->empty())
        return -1;
    std::string_view digits = *value;
    bool negative = false;
    if (digits.front() == '-' || digits.front() == '+') {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    (void)end;
    if (error == std::errc::result_out_of_range)
        return negative ? -1 : INT64_MAX;
    return negative ? -number : number;
}

}  // namespace

std::string DecodeURIPart(std::string_view text)
{
    std::string plus(text);
    std::replace(plus.begin(), plus.end(), '+', ' ');
    std::string result;
    result.reserve(plus.size());
    for (std::size_t i = 0; i < plus.size(); ++i) {
        if (plus[i] != '%') {
            result += plus[i];
            continue;
        }
        const std::size_t digits = std::min<std::size_t>(2, plus.size() - i - 1);
        int value = digits == 0 ? -1 : 0;
        for (std::size_t k = 1; k <= digits; ++k) {
            const int digit = HexValue(plus[i + k]);
            if (digit < 0 || value < 0) {
                value = -1;
                continue;
            }
            value = value * 16 + digit;
        }
        if (value >= 1 && value <= 255)
            result += static_cast<char>(value);
        i += digits;
    }
    return result;
}

std::string DecodeDocumentPath(std::string_view path)
{
    if (path == "*")
        return "*";
    std::string text(path);
    std::replace(text.begin(), text.end(), '\\', '/');
    bool absolute = false;
    if (const std::size_t scheme = text.find("://"); scheme != std::string::npos) {
        absolute = true;
        const std::size_t slash = text.find('/', scheme + 3);
        text = slash == std::string::npos ? std::string() : text.substr(slash);
    }
    const std::size_t equals = text.find('=');
    const std::size_t nameEnd = equals == std::string::npos ? text.size() : equals;
    const std::size_t lastSlash = nameEnd == 0 ? std::string::npos : text.rfind('/', nameEnd - 1);
    const std::size_t nameStart = lastSlash == std::string::npos ? 0 : lastSlash + 1;
    std::string directory = text.substr(0, nameStart);
    std::string name = text.substr(nameStart, nameEnd - nameStart);
    std::string tail = text.substr(nameEnd);
    if (absolute)
        name = name.substr(0, name.find('#'));
    tail = tail.substr(0, tail.find('#'));
    return DecodeURIPart(directory) + DecodeURIPart(name) + tail;
}

// ---------------------------------------------------------------------------------------
// Answering

std::string ReasonPhraseFor(int statusCode)
{
    switch (statusCode) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 203: return "Non-authoritative Information";
    case 204: return "No Content";
    case 205: return "Reset Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Moved Temporarily";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 305: return "Use Proxy";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method not allowed";
    case 406: return "Not Acceptable";
    case 407: return "Proxy Authentication Required";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 410: return "Gone";
    case 411: return "Length Required";
    case 412: return "Precondition Failed";
    case 413: return "Request Entity To Long";
    case 414: return "Request-URI Too Long. 256 Chars max";
    case 415: return "Unsupported Media Type";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway timeout";
    case 505: return "HTTP version not supported";
    default: return "Unknown Response Code";
    }
}

THTTPResponse::THTTPResponse() = default;

void THTTPResponse::SetStatusCode(int code)
{
    statusCode_ = code;
    reasonPhrase_ = ReasonPhraseFor(code);
    if (code == 404)
        CloseConnection = true;
}

void THTTPResponse::SetBodyStream(std::unique_ptr<Bytes> stream)
{
    ownedStream_ = std::move(stream);
    bodyStream_ = ownedStream_.get();
}

void THTTPResponse::SetBodyStream(const Bytes& stream)
{
    ownedStream_.reset();
    bodyStream_ = &stream;
}

void THTTPResponse::ReleaseBodyStream()
{
    bodyStream_ = nullptr;
    ownedStream_.reset();
}

void THTTPResponse::WriteHeader(TByteSink& sink)
{
    if (headerWritten_)
        throw std::runtime_error("Header has already been written.");
    if (ContentLength == -1) {
        if (!BodyText.empty())
            ContentLength = static_cast<std::int64_t>(BodyText.size());
        else if (bodyStream_)
            ContentLength = static_cast<std::int64_t>(bodyStream_->size());
    }
    std::string header = "HTTP/1.1 " + std::to_string(statusCode_) + " " + reasonPhrase_ + "\r\n";
    if (CloseConnection)
        header += "Connection: close\r\n";
    if (!ContentType.empty())
        header += "Content-Type: " + ContentType + "\r\n";
    if (ContentLength >= 0)
        header += "Content-Length: " + std::to_string(ContentLength) + "\r\n";
    if (!Server.empty())
        header += "Server: " + Server + "\r\n";
    header += "\r\n";
    sink.Send(header.data(), header.size());
    headerWritten_ = true;
}

void THTTPResponse::WriteBody(TByteSink& sink)
{
    if (!BodyText.empty()) {
        sink.Send(BodyText.data(), BodyText.size());
        return;
    }
    if (!bodyStream_)
        return;
    const Bytes& body = *bodyStream_;
    for (std::size_t offset = 0; offset < body.size(); offset += SendPieceSize) {
        const std::size_t piece = std::min(SendPieceSize, body.size() - offset);
        sink.Send(reinterpret_cast<const char*>(body.data() + offset), piece);
    }
}

namespace {

// What a request turned out to be once read.
enum class TReadOutcome { Serve, TooLarge };

// Steps up to the decoded path; throws to end the connection without an answer, returns
// TooLarge for a body we refuse to hold.
TReadOutcome ReadRequest(TRequestReader& reader, THTTPRequest& request)
{
    request.RequestLine = reader.ReadLine();
    const std::string& line = request.RequestLine;
    const std::size_t lastSpace = line.rfind(' ');
    if (lastSpace == std::string::npos)
        throw EConnectionClosed("Error in parsing command.");
    request.Version = line.substr(lastSpace + 1);
    const std::string before = line.substr(0, lastSpace);
    const std::size_t firstSpace = before.find(' ');
    request.Method = before.substr(0, firstSpace);
    std::transform(request.Method.begin(), request.Method.end(), request.Method.begin(), AsciiUpper);
    const std::string target = firstSpace == std::string::npos ? std::string() : before.substr(firstSpace + 1);

    if (request.Method != "GET" && request.Method != "POST" && request.Method != "HEAD")
        throw EConnectionClosed("");

    std::size_t headerBytes = 0;
    for (;;) {
        std::string header = reader.ReadLine();
        if (header.empty())
            break;
        headerBytes += header.size();
        if (request.Headers.size() >= MaxHeaderLines || headerBytes > MaxHeaderBytes)
            throw EConnectionClosed("Too many header lines.");
        request.Headers.push_back(std::move(header));
    }

    request.ContentLength = ParseContentLength(request.HeaderValue("Content-Length"));
    request.ContentType = request.HeaderValue("Content-Type").value_or("");

    if (request.ContentLength > MaxRequestBody)
        return TReadOutcome::TooLarge;
    if (request.ContentLength > 0) {
        request.Body = reader.ReadBytes(static_cast<std::size_t>(request.ContentLength));
    } else if (request.ContentLength < 0 && request.Method == "POST") {
        bool truncated = false;
        request.Body = reader.ReadToEnd(static_cast<std::size_t>(MaxRequestBody), truncated);
        if (truncated)
            return TReadOutcome::TooLarge;
    }

    const std::size_t question = target.find('?');
    if (question != std::string::npos)
        request.QueryString = target.substr(question + 1);
    request.DocumentPath = DecodeDocumentPath(std::string_view(target).substr(0, question));
    return TReadOutcome::Serve;
}

}  // namespace

void ServeRequest(TByteSource& source, TByteSink& sink, const std::string& peerAddress,
                  const THTTPHandler& handler)
{
    THTTPRequest request;
    request.PeerAddress = peerAddress;
    TRequestReader reader(source);
    TReadOutcome outcome;
    try {
        outcome = ReadRequest(reader, request);
    } catch (const std::exception&) {
        return;
    }

    THTTPResponse response;
    if (outcome == TReadOutcome::TooLarge) {
        response.SetStatusCode(413);
    } else {
        try {
            if (handler)
                handler(request, response);
        } catch (const std::exception& error) {
            response.SetStatusCode(500);
            response.BodyText = error.what();
        } catch (...) {
            response.SetStatusCode(500);
            response.BodyText = "Unknown error";
        }
    }
    // A failed send ends the answer; the connection is closed by the caller either way.
    try {
        if (!response.HeaderWritten())
            response.WriteHeader(sink);
        if (!response.BodyText.empty() || response.BodyStream()) {
            if (request.Method != "HEAD")
                response.WriteBody(sink);
        }
    } catch (const std::exception&) {
    }
    response.BodyText.clear();
    response.ReleaseBodyStream();
}

// ---------------------------------------------------------------------------------------
// Engine

namespace {

constexpr std::size_t ConnectionStackSize = 512 * 1024;

void* RunConnectionThread(void* argument)
{
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return nullptr;
}

}  // namespace

THTTPEngine::TConnectionThread::TConnectionThread(std::function<void()> body)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, ConnectionStackSize);
    auto* argument = new std::function<void()>(std::move(body));
    pthread_t handle;
    const int error = pthread_create(&handle, &attributes, RunConnectionThread, argument);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete argument;
        throw std::system_error(error, std::generic_category(), "Cannot create a connection thread");
    }
    handle_ = handle;
    joinable_ = true;
}

THTTPEngine::TConnectionThread::TConnectionThread(TConnectionThread&& other) noexcept
    : handle_(other.handle_), joinable_(std::exchange(other.joinable_, false))
{
}

THTTPEngine::TConnectionThread& THTTPEngine::TConnectionThread::operator=(TConnectionThread&& other) noexcept
{
    if (this != &other) {
        if (joinable_)
            std::terminate();  // like std::thread: a running thread must be joined first
        handle_ = other.handle_;
        joinable_ = std::exchange(other.joinable_, false);
    }
    return *this;
}

THTTPEngine::TConnectionThread::~TConnectionThread()
{
    if (joinable_)
        std::terminate();
}

void THTTPEngine::TConnectionThread::join()
{
    if (joinable_) {
        pthread_join(static_cast<pthread_t>(handle_), nullptr);
        joinable_ = false;
    }
}

THTTPEngine::THTTPEngine() = default;

THTTPEngine::~THTTPEngine()
{
    try {
        Stop();
    } catch (const std::exception&) {
    }
    // No connection thread may outlive the engine: their sockets are shut down, so they
    // end; wait for every one of them.
    std::unique_lock lock(connectionsLock_);
    for (auto& connection : connections_) {
        if (!connection.Finished && connection.Socket >= 0)
            shutdown(connection.Socket, SHUT_RDWR);
    }
    connectionEnded_.wait(lock, [this] {
        return std::all_of(connections_.begin(), connections_.end(), [](const TConnection& c) { return c.Finished; });
    });
    JoinFinished(lock);
}

void THTTPEngine::AddBinding(const std::string& address, int port)
{
    bindings_.push_back({address, port});
}

void THTTPEngine::Start()
{
    if (active_)
        return;
    if (bindings_.empty())
        AddBinding("", 80);

    std::vector<int> sockets;
    auto fail = [&](const std::string& message, int code) {
        for (int s : sockets)
            close(s);
        Stop();
        throw ESocketError(code, message);
    };
    for (const auto& binding : bindings_) {
        // Non-blocking, so the listener can drain its queue; accepted sockets still block.
        const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (s < 0)
            fail("Cannot allocate socket.", SocketErrorCode(errno));
        sockets.push_back(s);
        // Every Start binds the same port again right after the previous Stop closed
        // connections on it; without this Linux keeps it in TIME_WAIT for a minute.
        const int yes = 1;
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(binding.Port));
        if (binding.Address.empty())
            address.sin_addr.s_addr = htonl(INADDR_ANY);
        else if (inet_pton(AF_INET, binding.Address.c_str(), &address.sin_addr) != 1)
            fail(SocketErrorMessage(10049), 10049);
        if (binding.Port < 0 || binding.Port > 65535)
            fail(SocketErrorMessage(10049), 10049);
        if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            const int code = SocketErrorCode(errno);
            if (code == 10048)
                fail("Could not bind socket. Address and port are already in use.", code);
            fail(SocketErrorMessage(code), code);
        }
    }
    for (int s : sockets) {
        if (listen(s, ListenBacklog) != 0)
            fail(SocketErrorMessage(SocketErrorCode(errno)), SocketErrorCode(errno));
    }
    stopping_ = false;
    for (int s : sockets) {
        TListener listener;
        listener.Socket = s;
        listener.Thread = std::thread(&THTTPEngine::Listen, this, s);
        listeners_.push_back(std::move(listener));
    }
    active_ = true;
}

void THTTPEngine::Listen(int listenSocket)
{
    while (!stopping_) {
        pollfd ready{listenSocket, POLLIN, 0};
        const int polled = poll(&ready, 1, 100);
        if (stopping_)
            break;
        if (polled <= 0)
            continue;
        // Take every connection already waiting before polling again: under load one poll
        // per connection was a tenth of the work of a small answer.
        while (!stopping_) {
            sockaddr_in peer{};
            socklen_t peerSize = sizeof peer;
            const int s = accept4(listenSocket, reinterpret_cast<sockaddr*>(&peer), &peerSize, SOCK_CLOEXEC);
            if (s < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK)
                    break;
                const int code = SocketErrorCode(errno);
                if (code == 10038 || code == 10009 || code == 10022)
                    return;  // the listening socket is gone
                if (code == 10024 || code == 10055) {
                    // Out of descriptors: the pending connection stays ready, so do not spin.
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    break;
                }
                continue;
            }
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);

            std::unique_lock lock(connectionsLock_);
            JoinFinished(lock);
            connections_.emplace_back();
            TConnection& connection = connections_.back();
            connection.Socket = s;
            try {
                connection.Thread = TConnectionThread([this, &connection, peer = std::string(text)] { Serve(connection, peer); });
            } catch (const std::exception&) {
                // No thread to be had: drop the connection.
                close(s);
                connections_.pop_back();
            }
        }
    }
}

void THTTPEngine::Serve(TConnection& connection, std::string peerAddress)
{
    const int s = connection.Socket;
    try {
        TSocketSource source(s);
        TSocketSink sink(s);
        ServeRequest(source, sink, peerAddress, OnRequest);
    } catch (...) {
    }
    // Only this thread closes its socket, under the lock, so Stop never shuts down a
    // descriptor number that has already been reused for something else.
    std::lock_guard lock(connectionsLock_);
    shutdown(s, SHUT_WR);
    close(s);
    connection.Socket = -1;
    connection.Finished = true;
    connectionEnded_.notify_all();
}

void THTTPEngine::JoinFinished(std::unique_lock<std::mutex>& lock)
{
    std::vector<TConnectionThread> ended;
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (it->Finished) {
            ended.push_back(std::move(it->Thread));
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
    // A finished thread has left the lock for good; joining only waits for its return.
    lock.unlock();
    for (auto& thread : ended)
        thread.join();
    lock.lock();
}

void THTTPEngine::Stop()
{
    if (!active_)
        return;
    stopping_ = true;
    for (auto& listener : listeners_) {
        // Wakes the listener's poll at once; it also looks at the flag every 100 ms.
        shutdown(listener.Socket, SHUT_RDWR);
        listener.Thread.join();
        close(listener.Socket);
    }
    listeners_.clear();

    std::unique_lock lock(connectionsLock_);
    for (auto& connection : connections_) {
        if (!connection.Finished && connection.Socket >= 0)
            shutdown(connection.Socket, SHUT_RDWR);
    }
    auto allEnded = [this] {
        return std::all_of(connections_.begin(), connections_.end(), [](const TConnection& c) { return c.Finished; });
    };
    bool ended = false;
    for (int look = 0; look < 20 && !ended; ++look)
        ended = connectionEnded_.wait_for(lock, std::chrono::milliseconds(250), allEnded);
    JoinFinished(lock);
    if (!ended)
        throw std::runtime_error("Terminate Thread Timeout");
    lock.unlock();
    active_ = false;
}

}  // namespace folianto
