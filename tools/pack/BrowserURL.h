#pragma once
// How a browser turns a reference written on one of the book's pages into the request it
// sends to the page server: resolution against the page's address, dot segments, the
// characters it percent-encodes, and what never leaves the browser (the fragment).

#include <optional>
#include <string>
#include <string_view>

namespace folianto {

struct TLocalReference {
    std::string Path;                    // as sent: begins with "/", percent-encoded
    std::optional<std::string> Query;    // after "?", as written
    std::optional<std::string> Fragment; // after "#", as written (still percent-encoded)
    bool FragmentOnly = false;           // "#name" or "": the base document itself, no request
};

// Resolves reference (UTF-8, as the page or style sheet holds it once its own escapes are
// undone) against basePath, the path of the address it appears on (percent-encoded as a
// browser sends it). Empty optional when the reference leaves the book: another scheme
// ("https:", "mailto:", "data:", ...) or another host ("//example.org/").
std::optional<TLocalReference> ResolveReference(std::string_view basePath, std::string_view reference);

// The address path under which a browser asks for a name written on a page, such as a
// book's own entry names: ResolveReference from the root.
std::optional<TLocalReference> ResolveFromRoot(std::string_view reference);

// Undoes "%XX" escapes (a fragment as the browser compares it with ids); other text stays.
std::string PercentDecode(std::string_view text);

}  // namespace folianto
