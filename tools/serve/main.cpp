// folianto-serve [--port N] [--allow-host NAME]... BOOK: serves a book's entries on
// 127.0.0.1 the way the reader window's browser sees them, until SIGINT or SIGTERM.

#include "BlockedPorts.h"
#include "Book.h"
#include "HTTPServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <pthread.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char* const UsageText =
    "usage: folianto-serve [--port N] [--allow-host NAME]... BOOK\n"
    "Serves the pages of BOOK on 127.0.0.1 to any web browser and prints the address to open.\n"
    "  --port N           listen on port N instead of one drawn at random (never one\n"
    "                     that web browsers refuse to load pages from)\n"
    "  --allow-host NAME  also answer requests for the host NAME (any port) or NAME:PORT,\n"
    "                     for a tunnel or proxy of yours; may be given more than once\n"
    "Requests for any other host than 127.0.0.1, localhost or [::1] with this port are\n"
    "refused: a web site could otherwise point its own name at 127.0.0.1 and read the\n"
    "book through your browser.\n";

int Usage()
{
    std::fputs(UsageText, stderr);
    return 2;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace folianto;

    int port = 0;
    std::string bookFile;
    std::vector<std::string> allowedHosts;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(UsageText, stdout);
            return 0;
        } else if (argument == "--allow-host" && i + 1 < argc && argv[i + 1][0] != '\0') {
            allowedHosts.push_back(argv[++i]);
        } else if (argument == "--port" && i + 1 < argc) {
            const std::string value = argv[++i];
            char* end = nullptr;
            const long number = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || number < 0 || number > 65535)
                return Usage();
            port = static_cast<int>(number);
        } else if (bookFile.empty() && !argument.starts_with("--")) {
            bookFile = argument;
        } else {
            return Usage();
        }
    }
    if (bookFile.empty())
        return Usage();
    if (port != 0 && BrowsersRefusePort(port)) {
        std::fprintf(stderr, "Port %d is one that web browsers refuse to load pages from; choose another.\n", port);
        return 2;
    }
    // Unlike the reader, whose own web view is told to allow its port, other browsers
    // cannot be configured: draw a port they accept.
    if (port == 0)
        port = DrawPortBrowsersAccept(DrawPort);

    // Blocked before any thread exists, so every thread inherits the mask and only
    // sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        SetBookArguments({argv[0], bookFile});
        TBook& book = GetBook();
        if (!book.Loaded)
            return Fail("Invalid eBook");

        THTTPServer server(book, port);
        for (const auto& name : allowedHosts)
            server.AllowHost(name);
        server.Start();
        std::printf("http://127.0.0.1:%d\n", server.Port());
        std::fflush(stdout);

        int received = 0;
        sigwait(&stopSignals, &received);
        server.Stop();
    } catch (const std::exception& error) {
        return Fail(error.what());
    }
    return 0;
}
