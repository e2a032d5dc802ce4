// Request reading and answer writing as plain functions of bytes, and the engine's own
// socket behaviour.

#include "HTTPEngine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace folianto {
namespace {

// Answers with what the engine read, so that a table can check every field at once.
void Echo(const THTTPRequest& request, THTTPResponse& response)
{
    response.ContentType = "";
    response.BodyText = request.Method + "|" + request.DocumentPath + "|" + request.QueryString + "|" +
                        request.Version + "|" + request.Body + "|" + request.ContentType + "|" +
                        std::to_string(request.ContentLength);
}

// The echoed fields, "" when the engine gave no answer at all.
std::string Served(const std::string& bytes, std::size_t pieceSize = SocketBufferSize)
{
    TMemorySource source(bytes, pieceSize);
    TStringSink sink;
    ServeRequest(source, sink, "127.0.0.1", Echo);
    const std::size_t end = sink.Text.find("\r\n\r\n");
    return end == std::string::npos ? sink.Text : sink.Text.substr(end + 4);
}

struct TReadCase {
    const char* what;
    std::string request;
    std::string fields;  // "" means: no answer
};

TEST(RequestReading, FieldsFromRequestBytes)
{
    const std::vector<TReadCase> cases = {
        {"CR LF line ends", "GET /index.html HTTP/1.1\r\nHost: x\r\n\r\n", "GET|/index.html||HTTP/1.1|||-1"},
        {"bare LF line ends", "GET /index.html HTTP/1.0\n\n", "GET|/index.html||HTTP/1.0|||-1"},
        {"lower-case method", "get /a.html HTTP/1.1\r\n\r\n", "GET|/a.html||HTTP/1.1|||-1"},
        {"space inside the target", "GET /my page.html HTTP/1.1\r\n\r\n", "GET|/my page.html||HTTP/1.1|||-1"},
        {"no target", "GET HTTP/1.1\r\n\r\n", "GET|||HTTP/1.1|||-1"},
        {"escapes, %00 dropped", "GET /a%41%00b.html HTTP/1.1\r\n\r\n", "GET|/aAb.html||HTTP/1.1|||-1"},
        {"bad escape dropped", "GET /a%zzb.html HTTP/1.1\r\n\r\n", "GET|/ab.html||HTTP/1.1|||-1"},
        {"short escape at the end", "GET /p%4 HTTP/1.1\r\n\r\n", "GET|/p\x04||HTTP/1.1|||-1"},
        {"plus before escapes", "GET /a+b%2B.html HTTP/1.1\r\n\r\n", "GET|/a b+.html||HTTP/1.1|||-1"},
        {"tail after = not decoded", "GET /x=1%41/y HTTP/1.1\r\n\r\n", "GET|/x=1%41/y||HTTP/1.1|||-1"},
        {"tail cut at #", "GET /d%41=%41#frag HTTP/1.1\r\n\r\n", "GET|/dA=%41||HTTP/1.1|||-1"},
        {"absolute address", "GET http://127.0.0.1:4711/dir/a.html HTTP/1.1\r\n\r\n", "GET|/dir/a.html||HTTP/1.1|||-1"},
        {"absolute with user and fragment", "GET http://u:p@host:1/d%41/n%42#f HTTP/1.1\r\n\r\n",
         "GET|/dA/nB||HTTP/1.1|||-1"},
        {"query string", "GET /a.html?x=1&y=%41?z HTTP/1.1\r\n\r\n", "GET|/a.html|x=1&y=%41?z|HTTP/1.1|||-1"},
        {"backslashes", "GET \\images\\logo.gif HTTP/1.1\r\n\r\n", "GET|/images/logo.gif||HTTP/1.1|||-1"},
        {"asterisk", "GET * HTTP/1.1\r\n\r\n", "GET|*||HTTP/1.1|||-1"},
        {"POST with length", "POST /f HTTP/1.1\r\nContent-Type:  text/plain \r\nContent-Length: 5\r\n\r\nhelloXX",
         "POST|/f||HTTP/1.1|hello|text/plain|5"},
        {"POST with length 0", "POST /f HTTP/1.1\r\nContent-Length: 0\r\n\r\nabc", "POST|/f||HTTP/1.1|||0"},
        {"POST without length reads to the end", "POST /f HTTP/1.1\r\n\r\nabc\r\ndef", "POST|/f||HTTP/1.1|abc\r\ndef||-1"},
        {"GET with a body", "GET /f HTTP/1.1\r\ncontent-LENGTH: 3\r\n\r\nxyz", "GET|/f||HTTP/1.1|xyz||3"},
        {"GET without length has no body", "GET /f HTTP/1.1\r\n\r\nxyz", "GET|/f||HTTP/1.1|||-1"},
        {"length not a number", "GET /f HTTP/1.1\r\nContent-Length: 12a\r\n\r\n", "GET|/f||HTTP/1.1|||-1"},
        {"negative length, GET", "GET /f HTTP/1.1\r\nContent-Length: -5\r\n\r\nxyz", "GET|/f||HTTP/1.1|||-5"},
        {"first header of a name counts", "GET /f HTTP/1.1\r\nContent-Type: a\r\ncontent-type: b\r\n\r\n",
         "GET|/f||HTTP/1.1||a|-1"},
        {"continuation lines", "GET /f HTTP/1.1\r\nContent-Type: text/\r\n\t plain \r\n  x\r\nHost: h\r\n\r\n",
         "GET|/f||HTTP/1.1||text/ plain x|-1"},
        {"OPTIONS is not answered", "OPTIONS / HTTP/1.1\r\n\r\n", ""},
        {"no space in the request line", "GARBAGE\r\n\r\n", ""},
        {"client closes before the empty line", "GET /a HTTP/1.1\r\nHost: x\r\n", ""},
        {"client closes inside the body", "POST /f HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc", ""},
        {"nothing sent", "", ""},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, SocketBufferSize}) {
            EXPECT_EQ(Served(c.request, piece), c.fields) << c.what << ", pieces of " << piece;
        }
    }
}

std::string LineOf(std::size_t bytesBeforeLF)
{
    // "X: aaa...\r": the CR counts towards the limit.
    return "X: " + std::string(bytesBeforeLF - 4, 'a') + "\r\n";
}

TEST(RequestReading, LimitsOnLinesAndHeaders)
{
    const std::string longTarget = "GET /f?" + std::string(MaxLineLength - 17, 'q') + " HTTP/1.1";
    ASSERT_EQ(longTarget.size() + 1, MaxLineLength);  // with its CR
    struct TCase {
        const char* what;
        std::string request;
        bool answered;
    } cases[] = {
        {"header line of 16384 bytes", "GET /f HTTP/1.1\r\n" + LineOf(16384) + "\r\n", true},
        {"header line of 16385 bytes", "GET /f HTTP/1.1\r\n" + LineOf(16385) + "\r\n", false},
        {"request line of 16384 bytes", longTarget + "\r\n\r\n", true},
        {"request line of 16385 bytes", longTarget + "q\r\n\r\n", false},
        {"16385 bytes without LF", std::string(16385, 'G'), false},
        {"128 header lines", "GET /f HTTP/1.1\r\n" + [] { std::string h; for (int i = 0; i < 128; ++i) h += "A: b\r\n"; return h; }() + "\r\n", true},
        {"129 header lines", "GET /f HTTP/1.1\r\n" + [] { std::string h; for (int i = 0; i < 129; ++i) h += "A: b\r\n"; return h; }() + "\r\n", false},
        // Line ends do not count: four lines of 16,383 bytes and one of 4 make 65,536.
        {"64 KiB of header lines", "GET /f HTTP/1.1\r\n" + LineOf(16384) + LineOf(16384) + LineOf(16384) + LineOf(16384) + "A: b\r\n\r\n", true},
        {"over 64 KiB of header lines", "GET /f HTTP/1.1\r\n" + LineOf(16384) + LineOf(16384) + LineOf(16384) + LineOf(16384) + "A: bc\r\n\r\n", false},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{100}, SocketBufferSize}) {
            const std::string answer = Served(c.request, piece);
            if (c.answered)
                EXPECT_TRUE(answer.starts_with("GET|/f|")) << c.what << ": " << answer.substr(0, 80);
            else
                EXPECT_EQ(answer, "") << c.what;
        }
    }
}

TEST(RequestReading, BodiesAboveOneMebibyteAreRefused)
{
    const std::string tooLong = std::string("HTTP/1.1 413 Request Entity To Long\r\nConnection: close\r\n"
                                            "Content-Type: text/html\r\nServer: ") + HTTPProductToken + "\r\n\r\n";
    const std::string mebibyte(1 << 20, 'b');
    auto answer = [](const std::string& request) {
        TMemorySource source(request);
        TStringSink sink;
        bool handled = false;
        ServeRequest(source, sink, "127.0.0.1", [&](const THTTPRequest& r, THTTPResponse& response) {
            handled = true;
            response.BodyText = std::to_string(r.Body.size());
        });
        return std::make_pair(sink.Text, handled);
    };

    // Refused from the header alone: no body needs to be there.
    for (const char* length : {"1048577", "99999999999999999999999"}) {
        const auto [text, handled] = answer(std::string("POST /f HTTP/1.1\r\nContent-Length: ") + length + "\r\n\r\n");
        EXPECT_EQ(text, tooLong) << length;
        EXPECT_FALSE(handled);
    }
    const auto [exact, exactHandled] = answer("POST /f HTTP/1.1\r\nContent-Length: 1048576\r\n\r\n" + mebibyte);
    EXPECT_TRUE(exactHandled);
    EXPECT_TRUE(exact.ends_with("\r\n\r\n1048576")) << exact.substr(0, 200);

    const auto [unbounded, unboundedHandled] = answer("POST /f HTTP/1.1\r\n\r\n" + mebibyte + "b");
    EXPECT_EQ(unbounded, tooLong);
    EXPECT_FALSE(unboundedHandled);
    const auto [toEnd, toEndHandled] = answer("POST /f HTTP/1.1\r\n\r\n" + mebibyte);
    EXPECT_TRUE(toEndHandled);
    EXPECT_TRUE(toEnd.ends_with("\r\n\r\n1048576"));
}

TEST(Answers, HeaderLinesFollowWhatTheHandlerSet)
{
    const std::string server = std::string("Server: ") + HTTPProductToken + "\r\n";
    struct TCase {
        const char* what;
        std::string request;
        THTTPHandler handler;
        std::string answer;
    } cases[] = {
        {"neither body text nor stream", "GET / HTTP/1.1\r\n\r\n",
         [](const THTTPRequest&, THTTPResponse& r) { r.ContentType = ""; },
         "HTTP/1.1 200 OK\r\nConnection: close\r\n" + server + "\r\n"},
        {"defaults keep text/html", "GET / HTTP/1.1\r\n\r\n",
         [](const THTTPRequest&, THTTPResponse& r) { r.BodyText = "hi"; },
         "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 2\r\n" + server + "\r\nhi"},
        {"status with its phrase, kept-alive flag off", "GET / HTTP/1.1\r\n\r\n",
         [](const THTTPRequest&, THTTPResponse& r) { r.SetStatusCode(302); r.CloseConnection = false; r.Server = ""; },
         "HTTP/1.1 302 Moved Temporarily\r\nContent-Type: text/html\r\n\r\n"},
        {"unknown status", "GET / HTTP/1.1\r\n\r\n",
         [](const THTTPRequest&, THTTPResponse& r) { r.SetStatusCode(299); r.ContentLength = 0; },
         "HTTP/1.1 299 Unknown Response Code\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 0\r\n" + server + "\r\n"},
        {"404 closes the connection", "GET / HTTP/1.1\r\n\r\n",
         [](const THTTPRequest&, THTTPResponse& r) { r.CloseConnection = false; r.SetStatusCode(404); r.ContentType = ""; },
         "HTTP/1.1 404 Not Found\r\nConnection: close\r\n" + server + "\r\n"},
        {"handler error becomes 500", "GET / HTTP/1.1\r\n\r\n",
         [](const THTTPRequest&, THTTPResponse& r) { r.ContentType = "text/plain"; throw std::runtime_error("broken"); },
         "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\nContent-Type: text/plain\r\nContent-Length: 6\r\n" + server + "\r\nbroken"},
        {"HEAD gets no body", "HEAD / HTTP/1.1\r\n\r\n",
         [](const THTTPRequest&, THTTPResponse& r) { r.BodyText = "hello"; },
         "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 5\r\n" + server + "\r\n"},
    };
    for (const auto& c : cases) {
        TMemorySource source(c.request);
        TStringSink sink;
        ServeRequest(source, sink, "127.0.0.1", c.handler);
        EXPECT_EQ(sink.Text, c.answer) << c.what;
    }
}

// Counts pieces so that a large body is seen going out 32,768 bytes at a time.
class TPieceSink : public TByteSink {
public:
    void Send(const char* data, std::size_t count) override
    {
        Pieces.push_back(count);
        Text.append(data, count);
    }
    std::vector<std::size_t> Pieces;
    std::string Text;
};

TEST(Answers, StreamsGoOutInPiecesAndHeaderOnce)
{
    THTTPResponse response;
    auto body = std::make_unique<Bytes>(70000, 'z');
    response.SetBodyStream(std::move(body));
    response.ContentType = "";
    TPieceSink sink;
    response.WriteHeader(sink);
    response.WriteBody(sink);
    ASSERT_EQ(sink.Pieces.size(), 4u);
    EXPECT_EQ(sink.Pieces[1], 32768u);
    EXPECT_EQ(sink.Pieces[2], 32768u);
    EXPECT_EQ(sink.Pieces[3], 70000u - 65536u);
    EXPECT_NE(sink.Text.find("Content-Length: 70000\r\n"), std::string::npos);
    try {
        response.WriteHeader(sink);
        FAIL() << "a second header was written";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Header has already been written.");
    }
}

TEST(Engine, BindErrorsCarryTheSocketMessages)
{
    EXPECT_EQ(SocketErrorMessage(10013), "Socket Error # 10013\r\nAccess denied.");
    EXPECT_EQ(SocketErrorMessage(12345), "Socket Error # 12345\r\n");
    EXPECT_EQ(SocketErrorCode(EADDRINUSE), 10048);
    EXPECT_EQ(SocketErrorCode(EACCES), 10013);

    THTTPEngine engine;
    engine.AddBinding("192.0.2.1", 8080);  // an address this machine does not have
    try {
        engine.Start();
        FAIL() << "bound an address the machine does not have";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Socket Error # 10049\r\nCannot assign requested address.");
    }
    EXPECT_FALSE(engine.Active());
}

}  // namespace
}  // namespace folianto
