#include "HTTPRequest.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <stdexcept>

namespace folianto {

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

std::string DecodeURIPart(std::string_view text, bool plusIsSpace)
{
    std::string plus(text);
    if (plusIsSpace)
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

std::string DecodeDocumentPath(std::string_view path, bool plusIsSpace)
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
    return DecodeURIPart(directory, plusIsSpace) + DecodeURIPart(name, plusIsSpace) + tail;
}

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
    request.Target = target;

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

}  // namespace folianto
