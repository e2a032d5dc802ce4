#pragma once
// What an HTML page asks the browser to fetch or to follow, and the names a link's
// "#fragment" can land on, read with libxml2's HTML parser: tags, attributes, character
// references and the raw text of <style> and <script> as a browser tokenizes them.

#include "StyleSheetReferences.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace folianto {

struct TPageReferences {
    std::vector<TReference> References;       // in document order
    std::unordered_set<std::string> Anchors;  // every id, and the names of <a name="...">
    std::optional<std::string> BaseHref;      // of the first <base href>, which moves the base address
};

// A page is read as UTF-8 unless it declares a Windows-1252 charset (or one of its aliases
// such as ISO-8859-1), or it is not valid UTF-8; then as Windows-1252, as browsers do.
// Covers href, src, srcset, poster, object data, the legacy background, <meta> refresh,
// <link>, inline style attributes and <style> elements, SVG href and xlink:href. An
// attribute's line is the one on which its element's tag begins.
TPageReferences ReadPageReferences(std::string_view page);

// The addresses of a srcset attribute ("a.png 1x, b.png 2x"), as browsers split it.
std::vector<std::string> SrcsetAddresses(std::string_view value);

}  // namespace folianto
