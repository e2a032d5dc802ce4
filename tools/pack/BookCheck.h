#pragma once
// Checks a book the way an author wants before shipping it: every local address on every
// page and in every style sheet reaches an entry, exactly as the reader's browser and page
// server would resolve it; fragments land on an id; the start page exists; every entry
// can be asked for by its name; and which entries no page reaches.

#include "Book.h"
#include "PackageWriter.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace folianto {

// A book's entry table as the checker reads it, from a description or from a package.
struct TCheckedBook {
    std::string Source;              // how the book was named; findings about the whole book go under it
    std::vector<std::string> Names;  // the entry table in order, Windows-1252
    std::function<bool(std::size_t row, Bytes& content)> Read;
    std::string StartPage;           // the page the reader opens first; empty when there is none
    std::string LoadError;           // why a package did not load completely; empty when it did
};

// The description must outlive the result, which reads its entries in place.
TCheckedBook CheckedBookOf(const TBookDescription& description, std::string source);
// The book must outlive the result; reading moves its file position.
TCheckedBook CheckedBookOf(TBook& book, std::string source);

enum class TFindingKind { Error, Warning, Note };

struct TFinding {
    std::string Page;  // UTF-8: an entry's name, or the book's Source for the whole book
    int Line = 0;      // from 1; 0 when the finding is about the whole entry
    TFindingKind Kind = TFindingKind::Error;
    std::string Message;
};

struct TCheckResult {
    std::string Source;
    std::vector<TFinding> Findings;  // the book first, then entries in table order, by line
    std::size_t Entries = 0, Pages = 0, StyleSheets = 0;

    std::size_t Count(TFindingKind kind) const;
};

// Pages (.html, .htm, .xhtml, .xht) and style sheets larger than this are not read.
constexpr std::size_t kLargestCheckedText = 16u << 20;

TCheckResult CheckBook(const TCheckedBook& book);

}  // namespace folianto
