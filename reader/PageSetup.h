#pragma once
// Page-setup codes, the small language in which a printed page's header and footer are
// written: &w the window title, &u the page address, &d the date in short form, &p the page
// number, &P the number of pages, && a literal &. Each &b moves what follows to the next
// place on the line: left, then centre, then right.

#include <QString>

namespace folianto {

// What the Print command puts above and below every page: the title with "Strona n z m"
// (page n of m) centred, and the address with the date centred.
inline constexpr const char* kPrintHeader = "&w&bStrona &p z &P";
inline constexpr const char* kPrintFooter = "&u&b&d";

// The values the codes stand for on one printed page.
struct TPageSetupValues {
    QString WindowTitle;  // &w
    QString Address;      // &u
    QString ShortDate;    // &d
    int Page = 0;         // &p, counted from 1
    int Pages = 0;        // &P
};

// One header or footer line, in its three places.
struct TPageSetupLine {
    QString Left;
    QString Centre;
    QString Right;
    bool operator==(const TPageSetupLine&) const = default;
};

// Expands the codes of one header or footer. The values are put in as they are (a title
// holding "&p" stays "&p"). An unknown code and a lone & at the end stay as written; a
// third &b leaves the text on the right.
TPageSetupLine ExpandPageSetup(const QString& codes, const TPageSetupValues& values);

}  // namespace folianto
