#pragma once
// The addresses a style sheet makes the browser fetch, read with the CSS syntax rules for
// comments, strings, escapes and url( ... ), not by pattern matching.

#include <string>
#include <string_view>
#include <vector>

namespace folianto {

// One address written on a page or in a style sheet.
struct TReference {
    std::string Text;        // UTF-8, once the page's or sheet's own escapes are undone
    std::string Source;      // what holds it: an attribute ("href", "srcset"...), "url()", "@import"...
    int Line = 0;            // in the page or sheet, from 1
    bool StyleSheet = false; // the browser reads the target as a style sheet
};

// url(...) in either spelling, the sheet named by @import (a string or a url), and the
// strings of image-set(). The URL of @namespace is a name, not a fetch, and is left out.
// css is UTF-8; firstLine is the line on which it starts in its file.
std::vector<TReference> StyleSheetReferences(std::string_view css, int firstLine = 1);

}  // namespace folianto
