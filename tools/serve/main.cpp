// folianto-serve [--port N] BOOK: serves a book's entries on 127.0.0.1 the way the
// reader window's browser sees them, until SIGINT or SIGTERM.

#include "Book.h"
#include "HTTPServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <pthread.h>
#include <string>
#include <string_view>

namespace {

int Usage()
{
    std::fputs("usage: folianto-serve [--port N] BOOK\n", stderr);
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
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--port" && i + 1 < argc) {
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
