#include "BrowserURL.h"

#include <vector>

namespace folianto {

namespace {

constexpr auto npos = std::string_view::npos;

bool IsSlash(char c) { return c == '/' || c == '\\'; }
bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int HexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
        const char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] + 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

// Browsers drop leading and trailing controls and spaces and every tab and line break.
std::string Cleaned(std::string_view text)
{
    std::size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 0x20)
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 0x20)
        --last;
    std::string cleaned;
    cleaned.reserve(last - first);
    for (std::size_t i = first; i < last; ++i)
        if (text[i] != '\t' && text[i] != '\n' && text[i] != '\r')
            cleaned += text[i];
    return cleaned;
}

// The length of a leading "scheme:" without its colon, or 0 when there is none.
std::size_t SchemeLength(std::string_view text)
{
    if (text.empty() || !IsAsciiAlpha(text[0]))
        return 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':')
            return i;
        if (!IsAsciiAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

bool IsSingleDot(std::string_view segment)
{
    return segment == "." || EqualsIgnoringAsciiCase(segment, "%2e");
}

bool IsDoubleDot(std::string_view segment)
{
    return segment == ".." || EqualsIgnoringAsciiCase(segment, ".%2e") || EqualsIgnoringAsciiCase(segment, "%2e.") ||
           EqualsIgnoringAsciiCase(segment, "%2e%2e");
}

// What a browser escapes in a path: controls, space, non-ASCII (byte by byte of the UTF-8)
// and " # < > ? ` { }. "%" stays as it is, so escaping twice changes nothing.
void AppendEncoded(std::string& out, std::string_view segment)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : segment) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x21 || u > 0x7E || std::string_view("\"#<>?`{}").find(c) != npos) {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
}

// "/"-rooted path with "\" read as "/", dot segments resolved and the browser's escapes.
std::string NormalizedPath(std::string_view path)
{
    std::string text(path);
    for (char& c : text)
        if (c == '\\')
            c = '/';
    std::string_view rest = text;
    if (!rest.empty() && rest.front() == '/')
        rest.remove_prefix(1);
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = rest.find('/', start);
        const std::string_view segment = rest.substr(start, end == npos ? npos : end - start);
        const bool last = end == npos;
        if (IsDoubleDot(segment)) {
            if (!segments.empty())
                segments.pop_back();
            if (last)
                segments.emplace_back();
        } else if (IsSingleDot(segment)) {
            if (last)
                segments.emplace_back();
        } else {
            segments.push_back(segment);
        }
        if (last)
            break;
        start = end + 1;
    }
    std::string result;
    result.reserve(text.size() + 8);
    for (const auto segment : segments) {
        result += '/';
        AppendEncoded(result, segment);
    }
    return result.empty() ? "/" : result;
}

}  // namespace

std::optional<TLocalReference> ResolveReference(std::string_view basePath, std::string_view reference)
{
    const std::string text = Cleaned(reference);
    std::string_view rest = text;
    if (const std::size_t scheme = SchemeLength(rest)) {
        // "http:page.html" is relative to an http page; every other scheme leaves the book.
        if (!EqualsIgnoringAsciiCase(rest.substr(0, scheme), "http"))
            return std::nullopt;
        rest.remove_prefix(scheme + 1);
    }
    if (rest.size() >= 2 && IsSlash(rest[0]) && IsSlash(rest[1]))
        return std::nullopt;  // another host, or this one on another port

    TLocalReference result;
    if (const std::size_t hash = rest.find('#'); hash != npos) {
        result.Fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (const std::size_t question = rest.find('?'); question != npos) {
        result.Query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    if (rest.empty()) {
        result.Path = std::string(basePath);
        result.FragmentOnly = !result.Query;
    } else if (IsSlash(rest.front())) {
        result.Path = NormalizedPath(rest);
    } else {
        const std::size_t slash = basePath.rfind('/');
        const std::string directory = slash == npos ? "/" : std::string(basePath.substr(0, slash + 1));
        result.Path = NormalizedPath(directory + std::string(rest));
    }
    return result;
}

std::optional<TLocalReference> ResolveFromRoot(std::string_view reference)
{
    return ResolveReference("/", reference);
}

std::string PercentDecode(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2])) {
            result += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

}  // namespace folianto
