// The book checker's parts: how a browser resolves an address, what a style sheet and a
// page ask for, and the findings over small books that each hold one kind of mistake.

#include "BookCheck.h"
#include "BrowserURL.h"
#include "CheckReport.h"
#include "PageReferences.h"
#include "StyleSheetReferences.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace folianto;

namespace {

TEST(ResolveReference, AsABrowserOnAPageOfTheBook)
{
    struct Case {
        std::string reference;
        std::string path;       // "" when the reference leaves the book
        std::string query = "-", fragment = "-";  // "-": none
        bool fragmentOnly = false;
    };
    const Case cases[] = {
        {"other.html", "/dir/other.html"},
        {"../up.html", "/up.html"},
        {"../../../../x.html", "/x.html"},
        {"/abs.html", "/abs.html"},
        {"./a/./b/../c.html", "/dir/a/c.html"},
        {"sub/..", "/dir/"},
        {"%2e%2E/x.html", "/x.html"},
        {"a b.html", "/dir/a%20b.html"},
        {"caf\xC3\xA9.html", "/dir/caf%C3%A9.html"},
        {"q\"<>`{}.html", "/dir/q%22%3C%3E%60%7B%7D.html"},
        {"100%.html", "/dir/100%.html"},
        {"a%20b.html", "/dir/a%20b.html"},
        {"a+b.html", "/dir/a+b.html"},
        {"win\\dows\\page.html", "/dir/win/dows/page.html"},
        {"  spaced.html \n", "/dir/spaced.html"},
        {"bro\nken\t.html", "/dir/broken.html"},
        {"page.html?x=1#part", "/dir/page.html", "x=1", "part"},
        {"page.html#a?b", "/dir/page.html", "-", "a?b"},
        {"?q=2", "/dir/page.html", "q=2"},
        {"#sec", "/dir/page.html", "-", "sec", true},
        {"", "/dir/page.html", "-", "-", true},
        {"http:rel.html", "/dir/rel.html"},
        {"HTTP:/root.html", "/root.html"},
        {"https://example.org/", ""},
        {"http://127.0.0.1:8080/index.html", ""},
        {"//host/x.html", ""},
        {"\\\\host\\x.html", ""},
        {"/\\host/x.html", ""},
        {"mailto:ada@example.org", ""},
        {"javascript:history.back()", ""},
        {"data:image/png;base64,AAAA", ""},
        {"C:\\book\\page.html", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reference);
        const auto local = ResolveReference("/dir/page.html", c.reference);
        if (c.path.empty()) {
            EXPECT_FALSE(local.has_value());
            continue;
        }
        ASSERT_TRUE(local.has_value());
        EXPECT_EQ(local->Path, c.path);
        EXPECT_EQ(local->Query.value_or("-"), c.query);
        EXPECT_EQ(local->Fragment.value_or("-"), c.fragment);
        EXPECT_EQ(local->FragmentOnly, c.fragmentOnly);
    }
}

struct TFound {
    std::string text, source;
    int line;
    bool styleSheet;
    bool operator==(const TFound&) const = default;
};

std::vector<TFound> Found(const std::vector<TReference>& references)
{
    std::vector<TFound> found;
    for (const auto& r : references)
        found.push_back({r.Text, r.Source, r.Line, r.StyleSheet});
    return found;
}

void PrintTo(const TFound& f, std::ostream* out) { *out << f.source << " \"" << f.text << "\" line " << f.line; }

TEST(StyleSheetReferences, FollowTheSyntaxRulesForUrlsStringsAndComments)
{
    struct Case {
        std::string css;
        std::vector<TFound> expected;
    };
    const Case cases[] = {
        {"a { background: url(x.png) }", {{"x.png", "url()", 1, false}}},
        {"a{b:url(  \"quoted.png\"  )}", {{"quoted.png", "url()", 1, false}}},
        {"a{b:url('single.png')}", {{"single.png", "url()", 1, false}}},
        {"a{b:URL(upper.png)}", {{"upper.png", "url()", 1, false}}},
        {"a{b:u\\72l(escaped-name.png)}", {{"escaped-name.png", "url()", 1, false}}},
        {"a{b:url(a\\29 b.png) url(\"c\\\"d.png\")}", {{"a)b.png", "url()", 1, false}, {"c\"d.png", "url()", 1, false}}},
        {"/* url(comment.png) */ a{content:\"url(string.png)\"}", {}},
        {"a{b:url(bad url.png); c:url(bad\"quote.png); d:url(fine.png)}", {{"fine.png", "url()", 1, false}}},
        {"#url(x.png) {} a{width:10url(y.png)}", {}},
        {"@import \"a.css\";\n@import url(b.css) screen;\n@IMPORT 'c.css' layer(x);",
         {{"a.css", "@import", 1, true}, {"b.css", "@import", 2, true}, {"c.css", "@import", 3, true}}},
        {"@import url(\"d.css\") supports(display: grid) \"not-a-sheet.css\";", {{"d.css", "@import", 1, true}}},
        {"@namespace svg url(http://www.w3.org/2000/svg);\n@namespace url(local-name);\na{b:url(after.png)}",
         {{"after.png", "url()", 3, false}}},
        {"a{b:image-set(\"one.png\" 1x, \"two.png\" 2x); c:-webkit-image-set(url(w.png) 1x); d:format(\"woff\")}",
         {{"one.png", "image-set()", 1, false}, {"two.png", "image-set()", 1, false}, {"w.png", "url()", 1, false}}},
        {"\n\n  a{b:url(\nthird.png)}", {{"third.png", "url()", 3, false}}},
        {"a\r\nb\r\n{c:url(crlf.png)}\rd\f{e:url(cr-ff.png)}",
         {{"crlf.png", "url()", 3, false}, {"cr-ff.png", "url()", 5, false}}},
        {"a{b:\"unclosed\nc:url(next-line.png)}", {{"next-line.png", "url()", 2, false}}},
        {"a{b:image-set(\"con\\\ntinued.png\" 1x)}\nc{d:url(after.png)}",
         {{"continued.png", "image-set()", 1, false}, {"after.png", "url()", 3, false}}},
        {"a{b:url(caf\\E9 .png)}", {{"caf\xC3\xA9.png", "url()", 1, false}}},
        {"a{b:url(", {{"", "url()", 1, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.css);
        EXPECT_EQ(Found(StyleSheetReferences(c.css)), c.expected);
    }
    EXPECT_EQ(Found(StyleSheetReferences("a{b:url(x.png)}", 7)), (std::vector<TFound>{{"x.png", "url()", 7, false}}));
}

TEST(SrcsetAddresses, CandidatesUpToTheirCommas)
{
    using List = std::vector<std::string>;
    EXPECT_EQ(SrcsetAddresses("a.png 1x, b.png 2x"), (List{"a.png", "b.png"}));
    EXPECT_EQ(SrcsetAddresses("  a.png 1x,b.png,,  c.png 100w"), (List{"a.png", "b.png", "c.png"}));
    // Commas inside an address belong to it unless they end it.
    EXPECT_EQ(SrcsetAddresses("a.png,b.png,, c.png"), (List{"a.png,b.png", "c.png"}));
    EXPECT_EQ(SrcsetAddresses("a.png (max-width: 1px, 2px) 1x, b.png"), (List{"a.png", "b.png"}));
    EXPECT_EQ(SrcsetAddresses("data:image/png;base64,AA,BB 1x, c.png"), (List{"data:image/png;base64,AA,BB", "c.png"}));
    EXPECT_EQ(SrcsetAddresses(" , ,"), List{});
}

TEST(ReadPageReferences, EveryKindOfAddressWithItsLine)
{
    const std::string page =
        "<!DOCTYPE html>\n"
        "<html><head><title>All</title><base href=\"/base/\">\n"
        "<link rel=\"Alternate StyleSheet\" href=\"theme.css\"><link rel=icon href=\"icon.png\">\n"
        "<meta http-equiv=\"Refresh\" content=\"5; URL='next.html'\">\n"
        "<style>\nbody { background: url(paper.png) }\n</style>\n"
        "</head><body background=\"old.png\" id=\"top-of-page\">\n"
        "<a href=\"a.html?x=1&amp;y=2\" name=\"here\">a</a><area href=\"area.html\">\n"
        "<img src=\"img.png\" srcset=\"one.png 1x,\n two.png 2x\"><picture><source\nsrcset=\"s.webp\"></picture>\n"
        "<video src=\"v.webm\" poster=\"poster.png\"><track src=\"t.vtt\"></video><audio src=\"a.ogg\"></audio>\n"
        "<object data=\"o.svg\"></object><embed src=\"e.swf\"><iframe src=\"frame.html\"></iframe>\n"
        "<script src=\"s.js\"></script><script>var x = '<a href=\"not-a-link.html\">';</script>\n"
        "<input type=image src=\"button.png\"><input type=text src=\"ignored.png\">\n"
        "<p style=\"background: url('inline.png')\" id=\"para\">text with href=\"nothing.html\"</p>\n"
        "<svg><image href=\"svg-image.png\"/><use xlink:href=\"#icon\"/></svg>\n"
        "<!-- <a href=\"commented.html\"> -->\n"
        "<table background=\"t.png\"><tr><td background=\"td.png\">x</td></tr></table>\n"
        "</body></html>\n";
    const TPageReferences found = ReadPageReferences(page);
    EXPECT_EQ(Found(found.References), (std::vector<TFound>{
                                           {"theme.css", "href", 3, true},
                                           {"icon.png", "href", 3, false},
                                           {"next.html", "refresh", 4, false},
                                           {"paper.png", "url()", 6, false},
                                           {"old.png", "background", 8, false},
                                           {"a.html?x=1&y=2", "href", 9, false},
                                           {"area.html", "href", 9, false},
                                           {"img.png", "src", 10, false},
                                           {"one.png", "srcset", 10, false},
                                           {"two.png", "srcset", 10, false},
                                           {"s.webp", "srcset", 11, false},
                                           {"v.webm", "src", 13, false},
                                           {"poster.png", "poster", 13, false},
                                           {"t.vtt", "src", 13, false},
                                           {"a.ogg", "src", 13, false},
                                           {"o.svg", "data", 14, false},
                                           {"e.swf", "src", 14, false},
                                           {"frame.html", "src", 14, false},
                                           {"s.js", "src", 15, false},
                                           {"button.png", "src", 16, false},
                                           {"inline.png", "url()", 17, false},
                                           {"svg-image.png", "href", 18, false},
                                           {"#icon", "xlink:href", 18, false},
                                           {"t.png", "background", 20, false},
                                           {"td.png", "background", 20, false},
                                       }));
    EXPECT_EQ(found.BaseHref.value_or("-"), "/base/");
    EXPECT_EQ(found.Anchors, (std::unordered_set<std::string>{"top-of-page", "here", "para"}));
}

TEST(ReadPageReferences, ReadsThePageInTheEncodingABrowserWould)
{
    const std::string link = "<a href=\"caf\xE9.html\" id=\"\xE9t\xE9\">x</a>";
    struct Case {
        const char* what;
        std::string page;
        std::string href;
    };
    const Case cases[] = {
        {"UTF-8", "<meta charset=utf-8><a href=\"caf\xC3\xA9.html\">x</a>", "caf\xC3\xA9.html"},
        {"UTF-8 without a declaration", "<a href=\"caf\xC3\xA9.html\">x</a>", "caf\xC3\xA9.html"},
        {"UTF-8 with its byte order mark", "\xEF\xBB\xBF<a href=\"caf\xC3\xA9.html\">x</a>", "caf\xC3\xA9.html"},
        {"declared Windows-1252", "<meta charset=\"windows-1252\">" + link, "caf\xC3\xA9.html"},
        {"declared ISO-8859-1 in a content type",
         "<meta http-equiv=Content-Type content=\"text/html; charset=ISO-8859-1\">" + link, "caf\xC3\xA9.html"},
        {"undeclared and not UTF-8", link, "caf\xC3\xA9.html"},
        {"UTF-8 bytes declared Windows-1252", "<meta charset=windows-1252><a href=\"\xC3\xA9.html\">x</a>",
         "\xC3\x83\xC2\xA9.html"},
        {"smart quotes in Windows-1252", "<a href=\"\x93q\x94.html\">x</a>", "\xE2\x80\x9Cq\xE2\x80\x9D.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto found = ReadPageReferences(c.page);
        ASSERT_EQ(found.References.size(), 1u);
        EXPECT_EQ(found.References[0].Text, c.href);
    }
    EXPECT_EQ(ReadPageReferences(link).Anchors, (std::unordered_set<std::string>{"\xC3\xA9t\xC3\xA9"}));
}

// A book made of (name, content) rows, with the first row as its start page.
TCheckedBook Book(std::vector<std::pair<std::string, std::string>> rows, std::string start = "")
{
    TCheckedBook book;
    book.Source = "test.book";
    for (const auto& [name, content] : rows)
        book.Names.push_back(name);
    book.StartPage = start.empty() && !rows.empty() ? rows.front().first : start;
    book.Read = [rows](std::size_t row, Bytes& content) {
        if (rows[row].second == "<unreadable>")
            return false;
        content.assign(rows[row].second.begin(), rows[row].second.end());
        return true;
    };
    return book;
}

std::vector<std::string> Lines(const TCheckResult& result)
{
    std::vector<std::string> lines;
    for (const auto& finding : result.Findings)
        lines.push_back(FindingLine(finding, KindName(finding.Kind)));
    return lines;
}

TEST(CheckBook, OneKindOfMistakePerBook)
{
    struct Case {
        const char* what;
        TCheckedBook book;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"a clean book", Book({{"/index.html", "<a href=\"b.html#x\">b</a><img src=\"/P.PNG\">"},
                               {"/b.html", "<h1 id=x>b</h1><a href=\"index.html\">back</a>"},
                               {"/p.png", "png"}}),
         {}},
        {"addresses that leave the book are not looked up",
         Book({{"/index.html", "<a href=\"https://example.org/\">w</a><a href=\"mailto:a@b\">m</a>"
                               "<a href=\"javascript:void(0)\">j</a><img src=\"data:image/png;base64,AA\">"
                               "<a href=\"//host/x.html\">h</a><a href=\"\">self</a><a href=\"#\">top</a>"
                               "<a href=\"#TOP\">top</a>"}}),
         {}},
        {"the page server refuses what its decoder cannot read",
         Book({{"/index.html", "<a href=\"100%25.html\">x</a>\n<a href=\"50%25%25.html\">y</a>"},
               {"/50%.html", "fine"}}),
         {"/index.html:1: error: href \"100%25.html\": the page server refuses the request (Invalid URL encoded "
          "character (%.h) at position 5)",
          "/50%.html: error: a link cannot name this entry as written: \"%\" is not followed by two hexadecimal "
          "digits"}},
        {"a base address moves every relative address",
         Book({{"/index.html", "<base href=\"/other/\"><a href=\"x.html\">x</a>\n<a href=\"y.html\">y</a>"},
               {"/other/x.html", "x"}}),
         {"/index.html:2: error: href \"y.html\": \"/other/y.html\" is not in the book"}},
        {"a base address outside the book takes every address with it",
         Book({{"/index.html", "<base href=\"https://example.org/\"><a href=\"gone.html\">x</a>"}}), {}},
        {"a style sheet named by <link> whatever its name",
         Book({{"/index.html", "<link rel=stylesheet href=\"theme.txt\">"}, {"/theme.txt", "\na{b:url(gone.png)}"}}),
         {"/theme.txt:2: error: url() \"gone.png\": \"/gone.png\" is not in the book"}},
        {"fragments on the page itself and names of anchors",
         Book({{"/index.html", "<a href=\"#here\" id=here>1</a>\n<a href=\"#gone\">2</a>\n<a name=\"old\"></a>"
                               "<a href=\"index.html#old\">3</a>\n<a href=\"#caf%C3%A9\" id=\"caf\xC3\xA9\">4</a>"}}),
         {"/index.html:2: warning: href \"#gone\": this page has no id or anchor \"gone\""}},
        {"an id on another page is not one of this page's",
         Book({{"/index.html", "<a href=\"b.html#mine\">b</a><p id=\"mine\">"}, {"/b.html", "<p id=\"theirs\">"}}),
         {"/index.html:1: warning: href \"b.html#mine\": \"/b.html\" has no id or anchor \"mine\""}},
        {"names a link cannot ask for",
         Book({{"/index.html", "<a href=\"a%2Bb.html\">a</a>"},
               {"/a+b.html", "x"},
               {"/x#y.html", "x"},
               {"/x%20y.html", "x"},
               {"/back\\slash.html", "x"},
               {"/trailing.html ", "x"},
               {"nothing-in-front.html", "x"}}),
         // "a+b.html" is reached by its own name, and by "a%2Bb.html" too, as the page server finds it.
         {"/x#y.html: error: a link cannot name this entry as written: \"#\" starts the fragment, which the browser "
          "keeps to itself",
          "/x%20y.html: error: a link cannot name this entry as written: a link to it asks for \"/x y.html\", which "
          "is not in the book",
          "/back\\slash.html: error: a link cannot name this entry as written: a link to it asks for "
          "\"/back/slash.html\", which is not in the book",
          "/trailing.html : error: a link cannot name this entry as written: a link to it asks for \"/trailing.html\", "
          "which is not in the book",
          "nothing-in-front.html: error: a link cannot name this entry as written: a link to it asks for "
          "\"/nothing-in-front.html\", which is not in the book"}},
        {"a second row of the same name is never served",
         Book({{"/index.html", "<a href=\"b.html\">b</a>"}, {"/B.html", "1"}, {"/b.HTML", "2"}}),
         {"/b.HTML: error: the reader never serves this entry: \"/B.html\" (row 2) comes first and has the same name "
          "ignoring letter case"}},
        {"unreachable entries, also those only unreachable pages lead to",
         Book({{"/index.html", "<link rel=stylesheet href=s.css>"},
               {"/s.css", "a{b:url(used.png)}"},
               {"/used.png", ""},
               {"/island.html", "<a href=\"beyond.html\">b</a>"},
               {"/beyond.html", "<a href=\"index.html\">home</a>"}}),
         {"/island.html: note: no page leads here from the start page \"/index.html\"",
          "/beyond.html: note: no page leads here from the start page \"/index.html\""}},
        {"a start page that is not in the book",
         Book({{"/index.html", "x"}, {"/other.png", ""}}, "/gone.html"),
         {"test.book: error: the start page \"/gone.html\" is not in the book"}},
        {"no entries at all", Book({}), {"test.book: error: the book has no entries"}},
        {"an entry that cannot be inflated",
         Book({{"/index.html", "<a href=\"b.html\">b</a>"}, {"/b.html", "<unreadable>"}}),
         {"/b.html: error: the entry cannot be read or inflated"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Lines(CheckBook(c.book)), c.expected);
    }
}

TEST(CheckBook, ReportsSummariseTheFindings)
{
    TCheckedBook book = Book({{"/index.html", "<a href=\"gone.html\">x</a>\n<a href=\"#nowhere\">y</a>"}, {"/spare.png", ""}});
    book.LoadError = "Stream read error";
    const TCheckResult result = CheckBook(book);
    EXPECT_EQ(CheckReportText(result),
              "test.book: error: the book did not load completely (Stream read error); the 2 entries read are checked\n"
              "/index.html:1: error: href \"gone.html\": \"/gone.html\" is not in the book\n"
              "/index.html:2: warning: href \"#nowhere\": this page has no id or anchor \"nowhere\"\n"
              "/spare.png: note: no page leads here from the start page \"/index.html\"\n"
              "2 errors, 1 warning, 1 note in 2 entries (1 page, 0 style sheets)\n");
    const auto json = CheckReportJson(result);
    EXPECT_EQ(json["book"], "test.book");
    EXPECT_EQ(json["errors"], 2);
    EXPECT_EQ(json["warnings"], 1);
    EXPECT_EQ(json["notes"], 1);
    EXPECT_EQ(json["findings"][1], (nlohmann::json{{"page", "/index.html"}, {"line", 1}, {"kind", "error"},
                                                   {"message", "href \"gone.html\": \"/gone.html\" is not in the book"}}));
    EXPECT_TRUE(json["findings"][3]["line"].is_null());
    EXPECT_EQ(BuildCheckText(result, false),
              "test.book: warning: the book did not load completely (Stream read error); the 2 entries read are "
              "checked\n"
              "/index.html:1: warning: href \"gone.html\": \"/gone.html\" is not in the book\n"
              "/index.html:2: warning: href \"#nowhere\": this page has no id or anchor \"nowhere\"\n"
              "1 entry is not reached from the start page; \"folianto-pack check\" lists them\n"
              "check: 2 errors, 1 warning, 1 note in 2 entries (1 page, 0 style sheets)\n");
    EXPECT_NE(BuildCheckText(result, true).find("/index.html:1: error: href"), std::string::npos);
    EXPECT_EQ(BuildCheckText(CheckBook(Book({{"/index.html", "x"}})), false), "");
}

}  // namespace
