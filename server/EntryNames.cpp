#include "EntryNames.h"

#include "CodePage.h"
#include "HTTPRequest.h"

#include <algorithm>
#include <stdexcept>

namespace folianto {

std::string DecodeRequestPath(std::string_view text, bool plusIsSpace)
{
    auto hex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            result += plusIsSpace ? ' ' : '+';
        } else if (c != '%') {
            result += c;
        } else if (i + 1 < text.size() && text[i + 1] == '%') {
            result += '%';
            ++i;
        } else if (i + 2 >= text.size()) {
            throw std::runtime_error("Error decoding URL style (%XX) encoded string at position " +
                                     std::to_string(i + 1));
        } else if (!hex(text[i + 1]) || !hex(text[i + 2])) {
            throw std::runtime_error("Invalid URL encoded character (" + std::string(text.substr(i, 3)) +
                                     ") at position " + std::to_string(i + 1));
        } else {
            result += static_cast<char>(value(text[i + 1]) * 16 + value(text[i + 2]));
            i += 2;
        }
    }
    return result;
}

namespace {

bool HasNonAscii(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool HoldsPlus(std::string_view path)
{
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '+')
            return true;
        if (path[i] == '%' && i + 2 < path.size() && path[i + 1] == '2' && (path[i + 2] | 0x20) == 'b')
            return true;
    }
    return false;
}

void Add(std::vector<std::string>& names, std::string name)
{
    if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(std::move(name));
}

}  // namespace

std::vector<std::string> EntryNamesFor(std::string_view rawPath, std::string_view documentPath)
{
    // Decoded as always first, so that a malformed escape is answered as always.
    const std::string asAlways = DecodeRequestPath(documentPath);
    std::vector<std::string> decoded;
    if (HoldsPlus(rawPath))
        decoded.push_back(DecodeRequestPath(DecodeDocumentPath(rawPath, false), false));
    decoded.push_back(asAlways);
    std::vector<std::string> names;
    for (auto& name : decoded) {
        const auto cp1252 = HasNonAscii(name) ? Utf8ToCp1252(name) : std::nullopt;
        Add(names, std::move(name));
        if (cp1252)
            Add(names, *cp1252);
    }
    return names;
}

}  // namespace folianto
