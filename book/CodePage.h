#pragma once
// Texts in a package are 8-bit Windows-1252; the rest of the world speaks UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace folianto {

std::string Cp1252ToUtf8(std::string_view text);
// Empty optional when the text is not valid UTF-8 or holds a character Windows-1252 lacks.
std::optional<std::string> Utf8ToCp1252(std::string_view text);
// Case folding of Windows-1252 letters, as the entry lookup compares names.
char Cp1252ToLower(char c);
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace folianto
