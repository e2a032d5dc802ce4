#pragma once
// Texts in a package are 8-bit Windows-1252; the rest of the world speaks UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace folianto {

std::string Cp1252ToUtf8(std::string_view text);
// The code points of a UTF-8 text; empty optional when it is not valid UTF-8.
std::optional<std::u32string> DecodeUtf8(std::string_view text);
std::string CodePointToUtf8(char32_t codePoint);
// The Windows-1252 byte of a code point, when the code page has one.
std::optional<char> Cp1252FromCodePoint(char32_t codePoint);
// Empty optional when the text is not valid UTF-8 or holds a character Windows-1252 lacks.
std::optional<std::string> Utf8ToCp1252(std::string_view text);
// Case folding of Windows-1252 letters, as the entry lookup compares names.
char Cp1252ToLower(char c);
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
// The name with every letter folded: two names are the same ignoring case exactly when
// their folded names are equal, so an index keyed by it finds what a scan would.
std::string FoldedName(std::string_view name);

}  // namespace folianto
