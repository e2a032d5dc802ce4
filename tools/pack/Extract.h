#pragma once
// Writes a book's entries out as files, never outside the chosen folder.

#include "Book.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string_view>

namespace folianto {

// Where an entry name lands below the target folder: the name converted to UTF-8 and
// split at "/" and "\", with empty, "." and ".." parts dropped. None when nothing is left
// or the name holds a NUL byte.
std::optional<std::filesystem::path> SafeEntryPath(std::string_view packageName);

// Extracts every entry in table order. A name equal (ignoring case) to an earlier row is
// skipped, as the reader would never serve it. A symbolic link already in the folder
// where an entry's file or one of its folders goes is never written through: that entry
// is skipped and reported. Progress goes to out, problems to err. True when every entry
// that should be written was written.
bool ExtractBook(TBook& book, const std::filesystem::path& folder, std::ostream& out, std::ostream& err);

}  // namespace folianto
