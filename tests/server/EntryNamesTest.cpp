// Which entry a request path means: "+" kept first, then as a space; UTF-8 as Windows-1252.

#include "EntryNames.h"
#include "HTTPRequest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace folianto {
namespace {

using namespace folianto::test;

std::vector<std::string> NamesFor(const std::string& rawPath)
{
    return EntryNamesFor(rawPath, DecodeDocumentPath(rawPath));
}

TEST(EntryNames, PlusIsLookedUpAsItselfFirst)
{
    using TNames = std::vector<std::string>;
    struct TCase {
        std::string rawPath;
        TNames names;
    };
    const TCase cases[] = {
        {"/index.html", {"/index.html"}},
        {"/a+b.html", {"/a+b.html", "/a b.html"}},
        {"/a%2Bb.html", {"/a+b.html", "/a b.html"}},
        {"/a%2bb.html", {"/a+b.html", "/a b.html"}},
        {"/a%20b.html", {"/a b.html"}},
        {"/d+1/x%41+.html", {"/d+1/xA+.html", "/d 1/xA .html"}},
        {"/x=a+b", {"/x=a+b", "/x=a b"}},  // the tail is not decoded by the engine, only here
        {"http://127.0.0.1:1/a+b.html", {"/a+b.html", "/a b.html"}},
        {"/50%25%25+.html", {"/50%+.html", "/50% .html"}},
        {"/caf%C3%A9+1.html", {"/caf\xC3\xA9+1.html", "/caf\xE9+1.html", "/caf\xC3\xA9 1.html", "/caf\xE9 1.html"}},
        {"/caf%E9.html", {"/caf\xE9.html"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NamesFor(c.rawPath), c.names) << c.rawPath;
}

TEST(EntryNames, MalformedEscapesFailAsAlways)
{
    for (const auto& [rawPath, message] : std::vector<std::pair<std::string, std::string>>{
             {"/100%25.html", "Invalid URL encoded character (%.h) at position 5"},
             {"/1+0%25.html", "Invalid URL encoded character (%.h) at position 5"},
             {"/x%25", "Error decoding URL style (%XX) encoded string at position 3"},
         }) {
        try {
            NamesFor(rawPath);
            ADD_FAILURE() << rawPath << " decoded";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(error.what(), message) << rawPath;
        }
    }
}

TEST(EntryNames, NamesWithPlusAndSpaceAreEachReachable)
{
    TTestBook book(Describe({{"/a+b.html", "plus"}, {"/a b.html", "space"}, {"/c d.html", "only space"},
                             {"/e+f.html", "only plus"}}));
    auto server = StartedServer(book.Book);
    struct TCase {
        const char* path;
        std::string answer;
    };
    const TCase cases[] = {
        {"/a+b.html", Found("plus")},
        {"/A+B.HTML", Found("plus")},
        {"/a%2Bb.html", Found("plus")},
        {"/a%20b.html", Found("space")},
        {"/a b.html", Found("space")},
        {"/c+d.html", Found("only space")},  // links that write "+" for a space still work
        {"/e+f.html", Found("only plus")},
        {"/e%20f.html", NotFound()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Exchange(server->Port(), std::string("GET ") + c.path + " HTTP/1.1\r\n\r\n"), c.answer) << c.path;
}

}  // namespace
}  // namespace folianto
