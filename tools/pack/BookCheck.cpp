#include "BookCheck.h"

#include "BrowserURL.h"
#include "CodePage.h"
#include "HTTPEngine.h"
#include "HTTPServer.h"
#include "PageReferences.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace folianto {

std::size_t TCheckResult::Count(TFindingKind kind) const
{
    return static_cast<std::size_t>(
        std::count_if(Findings.begin(), Findings.end(), [kind](const TFinding& finding) { return finding.Kind == kind; }));
}

TCheckedBook CheckedBookOf(const TBookDescription& description, std::string source)
{
    TCheckedBook book;
    book.Source = std::move(source);
    for (const auto& entry : description.Entries)
        book.Names.push_back(entry.Name);
    book.Read = [&description](std::size_t row, Bytes& content) {
        content = description.Entries[row].Content;
        return true;
    };
    // The reader opens the first row when the description names no start page.
    book.StartPage = description.StartPage.empty() && !description.Entries.empty() ? description.Entries.front().Name
                                                                                   : description.StartPage;
    return book;
}

TCheckedBook CheckedBookOf(TBook& book, std::string source)
{
    TCheckedBook checked;
    checked.Source = std::move(source);
    for (const auto& entry : book.Entries)
        checked.Names.push_back(entry.Name);
    checked.Read = [&book](std::size_t row, Bytes& content) { return book.ExtractEntry(book.Entries[row].Name, content); };
    checked.StartPage = book.StartPage;
    if (!book.Loaded)
        checked.LoadError = book.LoadError.empty() ? "not a book package" : book.LoadError;
    return checked;
}

namespace {

bool EndsWithIgnoringCase(const std::string& folded, std::string_view suffix)
{
    return folded.size() >= suffix.size() && folded.compare(folded.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string Quoted(std::string_view text)
{
    // One finding is one line, whatever the page held.
    std::string shown = "\"";
    for (const char c : text)
        shown += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    return shown + "\"";
}

// A name as a browser sent it: UTF-8 when it is, else the book's own code page.
std::string ShownRequestName(const std::string& name)
{
    return DecodeUtf8(name) ? name : Cp1252ToUtf8(name);
}

std::string TextOfSheet(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return DecodeUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
}

enum class TEntryKind { Other, Page, StyleSheet };

struct TScan {
    TPageReferences References;
    std::string Base;         // the address path relative references resolve against
    bool ForeignBase = false; // <base> points out of the book: nothing here is local
};

// What the page server makes of a request path.
struct TServed {
    std::optional<std::size_t> Row;
    std::string Name;     // the entry name looked up first
    std::string Refusal;  // the error the server answers with instead of a page
};

class TChecker {
public:
    explicit TChecker(const TCheckedBook& book)
        : book_(book), rows_(book.Names.size()), kinds_(rows_, TEntryKind::Other), scans_(rows_), edges_(rows_),
          nameError_(rows_, false)
    {
        for (std::size_t row = 0; row < rows_; ++row) {
            const std::string folded = FoldedName(book.Names[row]);
            const auto [at, added] = index_.emplace(folded, row);
            firstRow_.push_back(at->second);
            if (!added)
                continue;
            for (const char* suffix : {".html", ".htm", ".xhtml", ".xht"})
                if (EndsWithIgnoringCase(folded, suffix))
                    kinds_[row] = TEntryKind::Page;
            if (EndsWithIgnoringCase(folded, ".css"))
                kinds_[row] = TEntryKind::StyleSheet;
        }
    }

    TCheckResult Run()
    {
        if (!book_.LoadError.empty())
            Add(kBook, 0, TFindingKind::Error,
                "the book did not load completely (" + book_.LoadError + "); the " + std::to_string(rows_) +
                    " entries read are checked");
        CheckNames();
        ScanPagesAndStyleSheets();
        // Style sheets named by <link> or @import whatever their names end with join in.
        std::deque<std::size_t> pending;
        for (std::size_t row = 0; row < rows_; ++row)
            if (scans_[row])
                pending.push_back(row);
        while (!pending.empty()) {
            const std::size_t row = pending.front();
            pending.pop_front();
            for (const std::size_t sheet : Resolve(row)) {
                kinds_[sheet] = TEntryKind::StyleSheet;
                Scan(sheet);
                if (scans_[sheet])
                    pending.push_back(sheet);
            }
        }
        const std::optional<std::size_t> start = CheckStartPage();
        if (start)
            ListUnreachable(*start);
        return Result();
    }

private:
    static constexpr std::size_t kBook = static_cast<std::size_t>(-1);

    struct TPending {
        std::size_t Group;  // kBook or a row
        int Line;
        TFinding Finding;
    };

    std::string Shown(std::size_t row) const { return Cp1252ToUtf8(book_.Names[row]); }

    void Add(std::size_t row, int line, TFindingKind kind, std::string message)
    {
        std::lock_guard guard(findingsLock_);
        findings_.push_back({row, line, {row == kBook ? book_.Source : Shown(row), line, kind, std::move(message)}});
    }

    TServed Serve(const std::string& requestPath) const
    {
        TServed served;
        const std::string documentPath = DecodeDocumentPath(requestPath);
        try {
            served.Name = DecodeRequestPath(documentPath);
        } catch (const std::exception& error) {
            served.Refusal = error.what();
            return served;
        }
        for (const std::string& candidate : EntryNamesFor(requestPath, documentPath)) {
            if (const auto at = index_.find(FoldedName(candidate)); at != index_.end()) {
                served.Row = at->second;
                break;
            }
        }
        return served;
    }

    // Where a browser on this entry's own address stands.
    std::string OwnPath(std::size_t row) const
    {
        const auto own = ResolveFromRoot(Shown(row));
        return own ? own->Path : "/";
    }

    // An author links to an entry by writing its name; that must lead back to it.
    void CheckNames()
    {
        for (std::size_t row = 0; row < rows_; ++row) {
            const std::string& name = book_.Names[row];
            if (firstRow_[row] != row) {
                Add(row, 0, TFindingKind::Error,
                    "the reader never serves this entry: " + Quoted(Shown(firstRow_[row])) + " (row " +
                        std::to_string(firstRow_[row] + 1) +
                        ") comes first and has the same name ignoring letter case");
                nameError_[row] = true;
                continue;
            }
            const auto local = ResolveFromRoot(Shown(row));
            const TServed served = local ? Serve(local->Path) : TServed{};
            if (local && !local->FragmentOnly && !local->Fragment && !local->Query && served.Row == row)
                continue;
            nameError_[row] = true;
            std::string why;
            if (name.find('?') != std::string::npos) {
                why = "\"?\" starts the query, which the page server does not look at";
            } else if (name.find('#') != std::string::npos) {
                why = "\"#\" starts the fragment, which the browser keeps to itself";
            } else if (HasStrayPercent(name)) {
                why = "\"%\" is not followed by two hexadecimal digits";
            } else if (!local) {
                why = "it reads as an address outside the book";
            } else if (!served.Refusal.empty()) {
                why = "the page server refuses the request (" + served.Refusal + ")";
            } else if (served.Row) {
                why = "a link to it reaches " + Quoted(Shown(*served.Row)) + " instead";
            } else {
                why = "a link to it asks for " + Quoted(ShownRequestName(served.Name)) + ", which is not in the book";
            }
            Add(row, 0, TFindingKind::Error, "a link cannot name this entry as written: " + why);
        }
    }

    static bool HasStrayPercent(std::string_view name)
    {
        auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
        for (std::size_t i = 0; i < name.size(); ++i)
            if (name[i] == '%' && !(i + 2 < name.size() && hex(name[i + 1]) && hex(name[i + 2])))
                return true;
        return false;
    }

    // Entries are read one at a time (a package has one file position) and parsed on
    // every core: parsing is most of the time a large book takes.
    void ScanPagesAndStyleSheets()
    {
        std::vector<std::size_t> rows;
        for (std::size_t row = 0; row < rows_; ++row)
            if (kinds_[row] != TEntryKind::Other)
                rows.push_back(row);
        std::atomic<std::size_t> next{0};
        std::exception_ptr failure;
        std::mutex failureLock;
        auto work = [&] {
            try {
                for (std::size_t i; (i = next.fetch_add(1)) < rows.size();)
                    Scan(rows[i]);
            } catch (...) {
                std::lock_guard guard(failureLock);
                failure = std::current_exception();
                next = rows.size();
            }
        };
        const unsigned helpers = std::min(std::max(std::thread::hardware_concurrency(), 1u), 8u) - 1;
        std::vector<std::thread> threads;
        for (unsigned i = 0; i < helpers && i + 1 < rows.size(); ++i)
            threads.emplace_back(work);
        work();
        for (auto& thread : threads)
            thread.join();
        if (failure)
            std::rethrow_exception(failure);
    }

    void Scan(std::size_t row)
    {
        if (scans_[row])
            return;
        Bytes content;
        bool read;
        {
            std::lock_guard guard(readLock_);
            read = book_.Read(row, content);
        }
        if (!read) {
            Add(row, 0, TFindingKind::Error, "the entry cannot be read or inflated");
            return;
        }
        if (content.size() > kLargestCheckedText) {
            Add(row, 0, TFindingKind::Warning,
                "larger than " + std::to_string(kLargestCheckedText >> 20) + " MiB; its addresses are not checked");
            return;
        }
        const std::string_view text(reinterpret_cast<const char*>(content.data()), content.size());
        TScan scan;
        scan.Base = OwnPath(row);
        if (kinds_[row] == TEntryKind::Page) {
            scan.References = ReadPageReferences(text);
            if (scan.References.BaseHref) {
                if (const auto base = ResolveReference(scan.Base, *scan.References.BaseHref))
                    scan.Base = base->Path;
                else
                    scan.ForeignBase = true;
            }
        } else {
            scan.References.References = StyleSheetReferences(TextOfSheet(text));
        }
        scans_[row] = std::move(scan);
    }

    // Checks every address of a scanned entry; returns the entries it names as style
    // sheets that have not been read as one yet.
    std::vector<std::size_t> Resolve(std::size_t row)
    {
        std::vector<std::size_t> newSheets;
        const TScan& scan = *scans_[row];
        if (scan.ForeignBase)
            return newSheets;
        const std::string own = OwnPath(row);
        for (const TReference& reference : scan.References.References) {
            const auto local = ResolveReference(scan.Base, reference.Text);
            if (!local)
                continue;
            const std::string what = reference.Source + " " + Quoted(reference.Text);
            if (local->FragmentOnly && local->Path == own) {
                // In a style sheet of its own, url(#id) names something in the page using it.
                if (kinds_[row] == TEntryKind::Page && local->Fragment)
                    CheckFragment(row, reference.Line, what, row, *local->Fragment);
                continue;
            }
            const TServed served = Serve(local->Path);
            if (!served.Refusal.empty()) {
                Add(row, reference.Line, TFindingKind::Error,
                    what + ": the page server refuses the request (" + served.Refusal + ")");
                continue;
            }
            if (!served.Row) {
                Add(row, reference.Line, TFindingKind::Error,
                    what + ": " + Quoted(ShownRequestName(served.Name)) + " is not in the book");
                continue;
            }
            const std::size_t target = *served.Row;
            edges_[row].push_back(target);
            if (reference.StyleSheet && kinds_[target] == TEntryKind::Other &&
                std::find(newSheets.begin(), newSheets.end(), target) == newSheets.end())
                newSheets.push_back(target);
            if (local->Fragment && kinds_[target] == TEntryKind::Page)
                CheckFragment(row, reference.Line, what, target, *local->Fragment);
        }
        return newSheets;
    }

    void CheckFragment(std::size_t row, int line, const std::string& what, std::size_t target, const std::string& fragment)
    {
        if (!scans_[target])
            return;
        const std::string decoded = PercentDecode(fragment);
        // An empty fragment and "top" scroll to the top of any page.
        if (decoded.empty() || (decoded.size() == 3 && FoldedName(decoded) == "top"))
            return;
        const auto& anchors = scans_[target]->References.Anchors;
        if (anchors.count(decoded) || anchors.count(fragment))
            return;
        const std::string shown = DecodeUtf8(decoded) ? decoded : fragment;
        Add(row, line, TFindingKind::Warning,
            what + ": " + (target == row ? std::string("this page") : Quoted(Shown(target))) +
                " has no id or anchor " + Quoted(shown));
    }

    std::optional<std::size_t> CheckStartPage()
    {
        if (book_.StartPage.empty()) {
            Add(kBook, 0, TFindingKind::Error, rows_ == 0 ? "the book has no entries" : "the book has no start page");
            return std::nullopt;
        }
        const std::string shown = Cp1252ToUtf8(book_.StartPage);
        const auto local = ResolveFromRoot(shown);
        const TServed served = local ? Serve(local->Path) : TServed{};
        if (!served.Row) {
            Add(kBook, 0, TFindingKind::Error, "the start page " + Quoted(shown) + " is not in the book");
            return std::nullopt;
        }
        if (local->Fragment && kinds_[*served.Row] == TEntryKind::Page)
            CheckFragment(kBook, 0, "the start page " + Quoted(shown), *served.Row, *local->Fragment);
        return served.Row;
    }

    void ListUnreachable(std::size_t start)
    {
        std::vector<bool> reached(rows_, false);
        std::vector<std::size_t> pending{start};
        reached[start] = true;
        while (!pending.empty()) {
            const std::size_t row = pending.back();
            pending.pop_back();
            for (const std::size_t next : edges_[row]) {
                if (!reached[next]) {
                    reached[next] = true;
                    pending.push_back(next);
                }
            }
        }
        const std::string from = Quoted(Cp1252ToUtf8(book_.StartPage));
        for (std::size_t row = 0; row < rows_; ++row)
            if (!reached[row] && !nameError_[row])
                Add(row, 0, TFindingKind::Note, "no page leads here from the start page " + from);
    }

    TCheckResult Result()
    {
        // The whole book first, then the entries in table order, each by line.
        std::stable_sort(findings_.begin(), findings_.end(), [](const TPending& a, const TPending& b) {
            const std::size_t ga = a.Group == kBook ? 0 : a.Group + 1, gb = b.Group == kBook ? 0 : b.Group + 1;
            return ga != gb ? ga < gb : a.Line < b.Line;
        });
        TCheckResult result;
        result.Source = book_.Source;
        for (auto& pending : findings_)
            result.Findings.push_back(std::move(pending.Finding));
        result.Entries = rows_;
        result.Pages = static_cast<std::size_t>(std::count(kinds_.begin(), kinds_.end(), TEntryKind::Page));
        result.StyleSheets = static_cast<std::size_t>(std::count(kinds_.begin(), kinds_.end(), TEntryKind::StyleSheet));
        return result;
    }

    const TCheckedBook& book_;
    const std::size_t rows_;
    std::unordered_map<std::string, std::size_t> index_;  // folded name -> the row the reader serves
    std::vector<std::size_t> firstRow_;
    std::vector<TEntryKind> kinds_;
    std::vector<std::optional<TScan>> scans_;
    std::vector<std::vector<std::size_t>> edges_;
    std::vector<bool> nameError_;
    std::mutex readLock_, findingsLock_;
    std::vector<TPending> findings_;
};

}  // namespace

TCheckResult CheckBook(const TCheckedBook& book)
{
    return TChecker(book).Run();
}

}  // namespace folianto
