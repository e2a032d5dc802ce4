#pragma once
// The author's description of a book (book.json) turned into what the package writer needs.

#include "PackageWriter.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace folianto {

// Anything wrong with the description: bad JSON, an unknown key, a value of the wrong
// kind, a missing file, a text Windows-1252 cannot hold. The message says where.
class EBookJsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the description; paths in it are relative to the folder of jsonFile.
TBookDescription ReadBookJson(const std::filesystem::path& jsonFile);
// The same from text already read; baseDirectory resolves the paths, sourceName prefixes
// the messages.
TBookDescription ParseBookJson(std::string_view text, const std::filesystem::path& baseDirectory,
                               const std::string& sourceName);

// The package text of a UTF-8 text; raises EBookJsonError naming `what` and the first
// character Windows-1252 lacks.
std::string ToPackageText(std::string_view utf8, const std::string& what);

}  // namespace folianto
