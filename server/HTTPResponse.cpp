#include "HTTPResponse.h"

#include <algorithm>
#include <stdexcept>

namespace folianto {

const char* const HTTPProductToken = "FoliantoHTTP/3.0";

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
    SetBodyStream(std::shared_ptr<const Bytes>(std::move(stream)));
}

void THTTPResponse::SetBodyStream(std::shared_ptr<const Bytes> stream)
{
    growingBody_.reset();
    ownedStream_ = std::move(stream);
    bodyStream_ = ownedStream_.get();
}

void THTTPResponse::SetBodyStream(const Bytes& stream)
{
    growingBody_.reset();
    ownedStream_.reset();
    bodyStream_ = &stream;
}

void THTTPResponse::SetBodyStream(std::shared_ptr<TGrowingBuffer> stream)
{
    ReleaseBodyStream();
    growingBody_ = std::move(stream);
}

std::size_t THTTPResponse::BodyStreamSize() const
{
    if (bodyStream_)
        return bodyStream_->size();
    return growingBody_ ? growingBody_->Size() : 0;
}

void THTTPResponse::ReleaseBodyStream()
{
    bodyStream_ = nullptr;
    ownedStream_.reset();
    growingBody_.reset();
}

void THTTPResponse::WriteHeader(TByteSink& sink, bool bodyFollows)
{
    if (headerWritten_)
        throw std::runtime_error("Header has already been written.");
    if (ContentLength == -1) {
        if (!BodyText.empty())
            ContentLength = static_cast<std::int64_t>(BodyText.size());
        else if (bodyStream_ || growingBody_)
            ContentLength = static_cast<std::int64_t>(BodyStreamSize());
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
    if (bodyFollows)
        sink.SendMore(header.data(), header.size());
    else
        sink.Send(header.data(), header.size());
    headerWritten_ = true;
}

void THTTPResponse::WriteBody(TByteSink& sink)
{
    if (!BodyText.empty()) {
        sink.Send(BodyText.data(), BodyText.size());
        return;
    }
    if (bodyStream_) {
        const Bytes& body = *bodyStream_;
        for (std::size_t offset = 0; offset < body.size(); offset += SendPieceSize) {
            const std::size_t piece = std::min(SendPieceSize, body.size() - offset);
            sink.Send(reinterpret_cast<const char*>(body.data() + offset), piece);
        }
        return;
    }
    if (!growingBody_)
        return;
    // What is ready goes out while the rest is filled; a body that fails throws, and the
    // connection closes short of its Content-Length.
    TGrowingBuffer& body = *growingBody_;
    for (std::size_t offset = 0; offset < body.Size();) {
        const std::size_t ready = body.WaitReady(offset);
        while (offset < ready) {
            const std::size_t piece = std::min(SendPieceSize, ready - offset);
            sink.Send(reinterpret_cast<const char*>(body.Data() + offset), piece);
            offset += piece;
        }
    }
}

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
        const bool hasBody = !response.BodyText.empty() || response.BodyStream() || response.GrowingBody();
        const bool bodyBytes = !response.BodyText.empty() || response.BodyStreamSize() > 0;
        if (!response.HeaderWritten())
            response.WriteHeader(sink, bodyBytes && request.Method != "HEAD");
        if (hasBody) {
            if (request.Method != "HEAD")
                response.WriteBody(sink);
        }
    } catch (const std::exception&) {
    }
    response.BodyText.clear();
    response.ReleaseBodyStream();
}

}  // namespace folianto
