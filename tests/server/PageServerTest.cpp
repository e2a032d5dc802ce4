// The page server over real sockets on 127.0.0.1: request bytes in, exact answer bytes out.

#include "HTTPEngine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace folianto {
namespace {

using namespace folianto::test;

const std::string Index = "<html><body>index</body></html>";
const std::string Svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"7\" height=\"5\"/>";

TBookDescription PageBook()
{
    return Describe({
        {"/index.html", Index},
        {"/my page.html", "my page"},
        {"/a b.html", "a b"},
        {"/50%.html", "fifty"},
        {"/images/logo.gif", "GIF89a-logo"},
        {"/dir/a.html", "dir a"},
        {"/pic.svg", Svg},
        {"/svg.html", "not a picture"},
        {"/caf\xE9.html", "cafe"},
        {"/empty.txt", ""},
    });
}

std::string TooLong()
{
    return std::string("HTTP/1.1 413 Request Entity To Long\r\nConnection: close\r\nContent-Type: text/html\r\nServer: ") +
           HTTPProductToken + "\r\n\r\n";
}

class PageServer : public ::testing::Test {
protected:
    TTestBook book{PageBook()};
    std::unique_ptr<THTTPServer> server = StartedServer(book.Book);
    std::string Ask(const std::string& request, bool shutdownAfter = false)
    {
        return Exchange(server->Port(), request, shutdownAfter);
    }
};

TEST_F(PageServer, AnswersFromTheBook)
{
    struct TCase {
        const char* what;
        std::string request;
        std::string answer;
    };
    const TCase cases[] = {
        {"found", "GET /index.html HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server->Port()) + "\r\n\r\n",
         Found(Index)},
        {"bare LF, HTTP/1.0", "GET /index.html HTTP/1.0\n\n", Found(Index)},
        {"case of method and name", "get /INDEX.HTML HTTP/1.1\r\n\r\n", Found(Index)},
        {"query string ignored", "GET /index.html?page=2 HTTP/1.1\r\n\r\n", Found(Index)},
        {"no default document", "GET / HTTP/1.1\r\n\r\n", NotFound()},
        {"empty path", "GET HTTP/1.1\r\n\r\n", NotFound()},
        {"missing entry", "GET /nothing.html HTTP/1.1\r\n\r\n", NotFound()},
        {"%20", "GET /my%20page.html HTTP/1.1\r\n\r\n", Found("my page")},
        {"plus", "GET /my+page.html HTTP/1.1\r\n\r\n", Found("my page")},
        {"raw space", "GET /my page.html HTTP/1.1\r\n\r\n", Found("my page")},
        {"%2B is a space in the end", "GET /a%2Bb.html HTTP/1.1\r\n\r\n", Found("a b")},
        {"bad escape after the first decoding", "GET /100%25.html HTTP/1.1\r\n\r\n",
         ServerError("Invalid URL encoded character (%.h) at position 5")},
        {"%% after the first decoding", "GET /50%25%25.html HTTP/1.1\r\n\r\n", Found("fifty")},
        {"% at the very end", "GET /x%25 HTTP/1.1\r\n\r\n",
         ServerError("Error decoding URL style (%XX) encoded string at position 3")},
        {"% one before the end", "GET /ab%251 HTTP/1.1\r\n\r\n",
         ServerError("Error decoding URL style (%XX) encoded string at position 4")},
        {"backslashes", "GET \\images\\logo.gif HTTP/1.1\r\n\r\n", Found("GIF89a-logo")},
        {"absolute address", "GET http://127.0.0.1:4711/dir/a.html HTTP/1.1\r\n\r\n", Found("dir a")},
        {"HEAD found", "HEAD /index.html HTTP/1.1\r\n\r\n", FoundHead(Index.size())},
        {"HEAD missing", "HEAD /nothing HTTP/1.1\r\n\r\n", NotFoundHead()},
        {"empty entry", "GET /empty.txt HTTP/1.1\r\n\r\n", FoundHead(0)},
        {"POST with a body", "POST /index.html HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", Found(Index)},
        {"POST with length 0 is answered at once", "POST /index.html HTTP/1.1\r\nContent-Length: 0\r\n\r\n", Found(Index)},
        {"one request per connection", "GET /index.html HTTP/1.1\r\n\r\nGET /dir/a.html HTTP/1.1\r\n\r\n", Found(Index)},
        {"OPTIONS", "OPTIONS / HTTP/1.1\r\n\r\n", ""},
        {"other method", "DELETE /index.html HTTP/1.1\r\n\r\n", ""},
        {"no space", "GARBAGE\r\n\r\n", ""},
        {"SVG has its type", "GET /pic.svg HTTP/1.1\r\n\r\n", Found(Svg, "image/svg+xml")},
        {"SVG in any case", "GET /PIC.SVG HTTP/1.1\r\n\r\n", Found(Svg, "image/svg+xml")},
        {"SVG HEAD", "HEAD /pic.Svg HTTP/1.1\r\n\r\n",
         "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: image/svg+xml\r\nContent-Length: " +
             std::to_string(Svg.size()) + "\r\nServer: " + HTTPProductToken + "\r\n\r\n"},
        {"only the ending counts", "GET /svg.html HTTP/1.1\r\n\r\n", Found("not a picture")},
        {"Windows-1252 name", "GET /caf%E9.html HTTP/1.1\r\n\r\n", Found("cafe")},
        {"UTF-8 name of a Windows-1252 entry", "GET /caf%C3%A9.html HTTP/1.1\r\n\r\n", Found("cafe")},
        {"UTF-8 name, other case", "GET /CAF%C3%89.HTML HTTP/1.1\r\n\r\n", Found("cafe")},
        {"not UTF-8", "GET /caf%C3.html HTTP/1.1\r\n\r\n", NotFound()},
        {"UTF-8 without a Windows-1252 form", "GET /caf%E2%82%AC%E0%A4%85.html HTTP/1.1\r\n\r\n", NotFound()},
        {"length above 1 MiB", "POST /index.html HTTP/1.1\r\nContent-Length: 1048577\r\n\r\n", TooLong()},
        {"length beyond any number", "GET /index.html HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n", TooLong()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Ask(c.request), c.answer) << c.what;
}

TEST_F(PageServer, NotFoundAnswerIsExactlyItsBytes)
{
    // Written out rather than built from the server's own constant, so a change shows.
    const std::string page =
        "<html><head><title>Resource Not Found</title></head><body><h1>404 Resource Not Found</h1>"
        "<p>The request resource was not found on this eBook.</p></html>";
    ASSERT_EQ(page.size(), 152u);
    EXPECT_EQ(Ask("GET /nothing.html HTTP/1.1\r\n\r\n"),
              "HTTP/1.1 404 Not Found\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 152\r\n"
              "Server: FoliantoHTTP/3.0\r\n\r\n" + page);
}

std::string HeaderLine(std::size_t bytesBeforeLF)
{
    return "X: " + std::string(bytesBeforeLF - 4, 'a') + "\r\n";
}

TEST_F(PageServer, ClosesWithoutAnswerPastTheLimits)
{
    // The client keeps its side open: an empty answer means the server hung up by itself.
    std::string manyHeaders;
    for (int i = 0; i < 129; ++i)
        manyHeaders += "A: b\r\n";
    const std::string bigHeaders = HeaderLine(16384) + HeaderLine(16384) + HeaderLine(16384) + HeaderLine(16384);
    struct TCase {
        const char* what;
        std::string request;
        std::string answer;
    };
    const TCase cases[] = {
        {"header line of 16384 bytes", "GET /index.html HTTP/1.1\r\n" + HeaderLine(16384) + "\r\n", Found(Index)},
        {"header line of 16385 bytes", "GET /index.html HTTP/1.1\r\n" + HeaderLine(16385) + "\r\n", ""},
        {"16385 bytes and no line end", "GET /index.html?" + std::string(16369, 'q'), ""},
        {"129 header lines", "GET /index.html HTTP/1.1\r\n" + manyHeaders + "\r\n", ""},
        {"64 KiB of headers", "GET /index.html HTTP/1.1\r\n" + bigHeaders + "A: b\r\n\r\n", Found(Index)},
        {"more than 64 KiB of headers", "GET /index.html HTTP/1.1\r\n" + bigHeaders + "A: bc\r\n\r\n", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Ask(c.request), c.answer) << c.what;
}

TEST_F(PageServer, PostWithoutLengthIsAnsweredOnceTheClientHasSentAll)
{
    const int s = Connect(server->Port());
    ASSERT_GE(s, 0);
    SendAll(s, "POST /index.html HTTP/1.1\r\n\r\nsome body");
    pollfd answer{s, POLLIN, 0};
    EXPECT_EQ(poll(&answer, 1, 150), 0) << "answered before the body ended";
    shutdown(s, SHUT_WR);
    EXPECT_EQ(ReceiveAll(s), Found(Index));
    close(s);

    const std::string mebibyte(1 << 20, 'b');
    EXPECT_EQ(Ask("POST /index.html HTTP/1.1\r\n\r\n" + mebibyte, true), Found(Index));
    EXPECT_EQ(Ask("POST /index.html HTTP/1.1\r\n\r\n" + mebibyte + "b", true), TooLong());
}

TEST_F(PageServer, PortStaysAcrossStopAndStart)
{
    const int port = server->Port();
    EXPECT_GE(port, 1024);
    EXPECT_LE(port, 31023);
    server->Start();  // already running: nothing changes
    EXPECT_TRUE(server->Active());
    for (int cycle = 0; cycle < 3; ++cycle) {
        server->Stop();
        EXPECT_FALSE(server->Active());
        server->Stop();
        EXPECT_LT(Connect(port), 0) << "still listening after Stop";
        server->Start();  // right after closing connections on the same port
        EXPECT_EQ(server->Port(), port);
        EXPECT_EQ(Ask("GET /dir/a.html HTTP/1.1\r\n\r\n"), Found("dir a"));
    }
}

TEST_F(PageServer, StopClosesAnIdleClientPromptly)
{
    const int idle = Connect(server->Port());
    ASSERT_GE(idle, 0);
    SendAll(idle, "GET /index.html HTTP/1.1\r\n");  // the headers never end
    const auto before = std::chrono::steady_clock::now();
    server->Stop();
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_EQ(ReceiveAll(idle), "");
    close(idle);
}

TEST(PageServerTransfer, StopCutsOffALargeTransferAndTheNextStartServes)
{
    std::string large(16 << 20, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>((i * 7 + i / 4093) & 0xFF);
    TTestBook book(Describe({{"/large.bin", large}, {"/small.txt", "small"}}));
    auto server = StartedServer(book.Book);

    const int s = Connect(server->Port(), 65536);
    ASSERT_GE(s, 0);
    SendAll(s, "GET /large.bin HTTP/1.1\r\n\r\n");
    char first[4096];
    ASSERT_GT(recv(s, first, sizeof first, 0), 0);  // the answer has begun; now nobody reads it

    const auto before = std::chrono::steady_clock::now();
    server->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1500));
    std::string rest;
    try {
        rest = ReceiveAll(s);
    } catch (const std::exception&) {
    }
    close(s);
    EXPECT_LT(rest.size() + sizeof first, large.size()) << "the whole entry went out";

    server->Start();
    EXPECT_EQ(Exchange(server->Port(), "GET /small.txt HTTP/1.1\r\n\r\n"), Found("small"));
    EXPECT_EQ(Exchange(server->Port(), "GET /large.bin HTTP/1.1\r\n\r\n"), Found(large));
}

TEST(PageServerPort, StartOnAHeldPortFailsUntilItIsFree)
{
    TTestBook book(Describe({{"/index.html", Index}}));
    TPortHolder holder;
    THTTPServer server(book.Book, holder.Port());
    EXPECT_EQ(server.Port(), holder.Port());
    try {
        server.Start();
        FAIL() << "bound a port another socket holds";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Could not bind socket. Address and port are already in use.");
    }
    EXPECT_FALSE(server.Active());
    server.Stop();  // inactive: nothing to do
    holder.Release();
    server.Start();
    EXPECT_TRUE(server.Active());
    EXPECT_EQ(Exchange(server.Port(), "GET /index.html HTTP/1.1\r\n\r\n"), Found(Index));
}

TEST(PageServerParallel, EveryClientGetsItsOwnEntry)
{
    constexpr int Clients = 48;
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < Clients; ++i) {
        std::string content;
        const std::size_t size = 1000 + static_cast<std::size_t>(i) * 9173;  // up to about 440 KB
        for (std::size_t k = 0; k < size; ++k)
            content += static_cast<char>('a' + (k * (i + 3) + k / 97) % 26);
        entries.push_back({"/entry" + std::to_string(i) + ".txt", content});
    }
    TTestBook book(Describe(entries));
    auto server = StartedServer(book.Book);

    std::vector<std::string> answers(Clients);
    std::vector<std::thread> clients;
    for (int i = 0; i < Clients; ++i) {
        clients.emplace_back([&, i] {
            try {
                answers[i] = Exchange(server->Port(), "GET " + entries[i].first + " HTTP/1.1\r\n\r\n");
            } catch (const std::exception& error) {
                answers[i] = error.what();
            }
        });
    }
    for (auto& client : clients)
        client.join();
    for (int i = 0; i < Clients; ++i)
        EXPECT_TRUE(answers[i] == Found(entries[i].second)) << "client " << i << " got " << answers[i].substr(0, 120);
}

TEST(PageServerProcessWide, GetHTTPServerServesGetBook)
{
    TTempFile file(WritePackage(Describe({{"/index.html", Index}})));
    SetBookArguments({"reader", file.Path()});
    THTTPServer& server = GetHTTPServer();
    EXPECT_EQ(&server, &GetHTTPServer());
    EXPECT_GE(server.Port(), 1024);
    EXPECT_LE(server.Port(), 31023);
    EXPECT_FALSE(server.Active());
    FreeHTTPServer();
    FreeBook();
}

}  // namespace
}  // namespace folianto
