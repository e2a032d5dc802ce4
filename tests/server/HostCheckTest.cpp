// Requests that name another host are refused, over real sockets and as a plain decision.

#include "HostCheck.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace folianto {
namespace {

using namespace folianto::test;

// Written out in full so that any change to the refusal shows here.
const std::string ForbiddenHead =
    "HTTP/1.1 403 Forbidden\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 161\r\n"
    "Server: FoliantoHTTP/3.0\r\n\r\n";
const std::string Forbidden =
    ForbiddenHead +
    "<html><head><title>Forbidden</title></head><body><h1>403 Forbidden</h1>"
    "<p>This eBook answers only requests addressed to 127.0.0.1 or localhost.</p></body></html>";

TEST(HostCheck, RequestsForAnotherHostAreRefused)
{
    TTestBook book(Describe({{"/index.html", "index"}, {"/50%.html", "fifty"}}));
    auto server = StartedServer(book.Book);
    const std::string port = std::to_string(server->Port());
    const std::string otherPort = std::to_string(server->Port() == 31023 ? 1024 : server->Port() + 1);
    auto get = [](const std::string& headers) { return "GET /index.html HTTP/1.1\r\n" + headers + "\r\n"; };
    struct TCase {
        std::string request;
        std::string answer;
    };
    const TCase cases[] = {
        {get("Host: 127.0.0.1:" + port + "\r\n"), Found("index")},
        {get("Host: LOCALHOST:" + port + "\r\n"), Found("index")},
        {get("Host: [::1]:" + port + "\r\n"), Found("index")},
        {get("host:  localhost:" + port + " \r\nAccept: */*\r\n"), Found("index")},
        {get(""), Found("index")},
        {"GET /index.html HTTP/1.0\n\n", Found("index")},
        {get("Host: evil.example:" + port + "\r\n"), Forbidden},
        {get("Host: 127.0.0.1.evil.example:" + port + "\r\n"), Forbidden},
        {get("Host: localhost.evil.example:" + port + "\r\n"), Forbidden},
        {get("Host: 127.0.0.1:" + otherPort + "\r\n"), Forbidden},
        {get("Host: 127.0.0.1\r\n"), Forbidden},
        {get("Host: 127.0.0.1:\r\n"), Forbidden},
        {get("Host: 127.0.0.1:" + port + "0\r\n"), Forbidden},
        {get("Host:\r\n"), Forbidden},
        {get("Host: 127.0.0.1:" + port + "\r\nHost: evil.example:" + port + "\r\n"), Forbidden},
        {get("Host: evil.example:" + port + "\r\nHost: 127.0.0.1:" + port + "\r\n"), Forbidden},
        {get("Host: 127.0.0.1:" + port + "\r\n .evil.example\r\n"), Forbidden},
        // Neither the entry table nor the path decoder is reached.
        {"GET /nothing.html HTTP/1.1\r\nHost: evil.example:" + port + "\r\n\r\n", Forbidden},
        {"GET /100%25.html HTTP/1.1\r\nHost: evil.example:" + port + "\r\n\r\n", Forbidden},
        {"HEAD /index.html HTTP/1.1\r\nHost: evil.example:" + port + "\r\n\r\n", ForbiddenHead},
        {"POST /index.html HTTP/1.1\r\nHost: evil.example:" + port + "\r\nContent-Length: 2\r\n\r\nab", Forbidden},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Exchange(server->Port(), c.request), c.answer) << c.request;
}

TEST(HostCheck, AllowedNamesAddToOurOwn)
{
    TTestBook book(Describe({{"/index.html", "index"}}));
    auto server = StartedServer(book.Book, {"books.example", "tunnel.example:8443"});
    const std::string port = std::to_string(server->Port());
    struct TCase {
        std::string host;
        bool answered;
    };
    const TCase cases[] = {
        {"books.example", true},
        {"BOOKS.example:" + port, true},
        {"books.example:80", true},
        {"tunnel.example:8443", true},
        {"localhost:" + port, true},
        {"tunnel.example", false},
        {"tunnel.example:" + port, false},
        {"www.books.example", false},
        {"books.example.evil", false},
        {"books.example:", false},
        {"evil.example:" + port, false},
    };
    for (const auto& c : cases) {
        const std::string answer = Exchange(server->Port(), "GET /index.html HTTP/1.1\r\nHost: " + c.host + "\r\n\r\n");
        EXPECT_EQ(answer, c.answered ? Found("index") : Forbidden) << c.host;
    }
}

TEST(HostCheck, NamesAsBrowsersSendThem)
{
    struct TCase {
        const char* host;
        int port;
        bool ours;
    };
    const TCase cases[] = {
        {"127.0.0.1:8080", 8080, true},
        {"127.0.0.1:08080", 8080, true},
        {"LocalHost:8080", 8080, true},
        {"[::1]:8080", 8080, true},
        {"127.0.0.1", 80, true},  // browsers leave out only the default port
        {"localhost", 80, true},
        {"[::1]", 80, true},
        {"127.0.0.1:80", 80, true},
        {"127.0.0.1", 8080, false},
        {"[::1]", 8080, false},
        {"[::1]8080", 8080, false},
        {"[::1:8080", 8080, false},
        {"::1:8080", 8080, false},
        {"127.0.0.1:8080:8080", 8080, false},
        {"127.0.0.1:-8080", 8080, false},
        {"127.0.0.1:+8080", 8080, false},
        {"127.0.0.1:8080 ", 8080, false},
        {"127.0.0.1:808080", 8080, false},
        {":8080", 8080, false},
        {"127.1:8080", 8080, false},
        {"127.0.0.2:8080", 8080, false},
        {"0.0.0.0:8080", 8080, false},
        {"", 8080, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HostNamesServer(c.host, c.port, {}), c.ours) << c.host << " on " << c.port;

    EXPECT_TRUE(HostNamesServer("[fe80::2]:9", 8080, {"[FE80::2]"}));
    EXPECT_FALSE(HostNamesServer("[fe80::2]:9", 8080, {"[fe80::2]:8"}));
    EXPECT_FALSE(HostNamesServer("fe80", 8080, {"[fe80::2]"}));
    EXPECT_FALSE(HostNamesServer("books.example", 8080, {"", "books"}));
}

}  // namespace
}  // namespace folianto
