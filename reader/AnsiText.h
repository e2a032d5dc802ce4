#pragma once
// The book's texts are 8-bit Windows-1252; Qt speaks Unicode.

#include <QString>

#include <string>
#include <string_view>

namespace folianto {

QString FromAnsi(std::string_view text);
// Characters Windows-1252 lacks become "?", as the platform's own conversion does.
std::string ToAnsi(const QString& text);

}  // namespace folianto
