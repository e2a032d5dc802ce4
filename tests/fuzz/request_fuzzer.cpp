// The bytes a client sends, through request reading, path decoding and the page server's
// handler over a small book, to the bytes it would be answered with; no sockets.

#include "Book.h"
#include "HTTPEngine.h"
#include "HTTPServer.h"
#include "PackageWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using namespace folianto;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The book lives in a temporary file for the whole run, as a reader's package does.
THTTPServer& Server()
{
    static std::unique_ptr<TBook> book;
    static std::unique_ptr<THTTPServer> server;
    if (!server) {
        TBookDescription description;
        description.Title = "Fuzz";
        description.Entries = {
            {"/index.html", Text("<html><body>index</body></html>")},
            {"/my page.html", Text("my page")},
            {"/50%.html", Text("fifty")},
            {"/pic.svg", Text("<svg xmlns=\"http://www.w3.org/2000/svg\"/>")},
            {"/caf\xE9.html", Text("cafe")},
            {"/empty.txt", Text("")},
            {"/big.bin", Bytes(100000, 'x')},
        };
        char path[] = "/tmp/folianto-request-fuzzer-XXXXXX";
        const int fd = mkstemp(path);
        const Bytes package = WritePackage(description);
        if (fd < 0 || write(fd, package.data(), package.size()) != static_cast<ssize_t>(package.size()))
            std::abort();
        close(fd);
        book = std::make_unique<TBook>(path);
        unlink(path);  // the open descriptor keeps it readable
        if (!book->Loaded)
            std::abort();
        server = std::make_unique<THTTPServer>(*book, 8080);
    }
    return *server;
}

}  // namespace

// What the engine answers to these bytes ("" when it closes without an answer).
std::string Answer(const std::uint8_t* data, std::size_t size)
{
    THTTPServer& server = Server();
    TMemorySource source(std::string_view(reinterpret_cast<const char*>(data), size), 997);
    TStringSink sink;
    ServeRequest(source, sink, "127.0.0.1", [&](const THTTPRequest& request, THTTPResponse& response) {
        server.HandleRequest(request, response);
    });
    return sink.Text;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string answer = Answer(data, size);
    // Whatever came in, an answer is a whole status line and header block.
    if (!answer.empty() && (!answer.starts_with("HTTP/1.1 ") || answer.find("\r\n\r\n") == std::string::npos))
        std::abort();
    return 0;
}
