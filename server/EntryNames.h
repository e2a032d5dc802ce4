#pragma once
// From a request's path to the names of the book's entries it may mean.

#include <string>
#include <string_view>
#include <vector>

namespace folianto {

// Turns a request path into an entry name ("+" is a space unless told otherwise, "%XX"
// a byte, "%%" a "%"). A malformed escape raises std::runtime_error with the message
// the client receives.
std::string DecodeRequestPath(std::string_view text, bool plusIsSpace = true);

// The entry names a request may mean, in the order to look them up, from the path part
// of its target as received and the engine's decoding of it. Browsers send a "+" of a
// link unescaped, so a path with "+" (or "%2B") first means the name with "+" kept;
// links that write "+" for a space still find their entry next. A name that is not
// ASCII is also tried as Windows-1252, the code page of the names in a book, since
// browsers send UTF-8. Raises as DecodeRequestPath does.
std::vector<std::string> EntryNamesFor(std::string_view rawPath, std::string_view documentPath);

}  // namespace folianto
