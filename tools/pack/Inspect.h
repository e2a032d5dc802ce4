#pragma once
// What a built book holds, for the author to check: readable text or one JSON object.

#include "Book.h"

#include <nlohmann/json.hpp>

#include <string>

namespace folianto {

// Every setting under its TBook name, texts converted from Windows-1252 to UTF-8, with
// Entries, Fonts, the button lists and the pictures' sizes. A book that did not load is
// described as far as it was read, with Loaded false.
nlohmann::json InspectJson(const TBook& book);
std::string InspectText(const TBook& book);

// "#RRGGBB" for an explicit colour, "System:N" for a system colour index.
std::string ColorText(std::uint32_t color);

}  // namespace folianto
