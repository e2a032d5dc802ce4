// folianto-serve as a process, and a real browser loading a page with its pictures from it.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

namespace folianto {
namespace {

using namespace folianto::test;
namespace fs = std::filesystem;

std::string ServeTool()
{
    const char* bin = std::getenv("FOLIANTO_BIN");
    return std::string(bin ? bin : "build/bin") + "/folianto-serve";
}

class TProcess {
public:
    explicit TProcess(const std::vector<std::string>& arguments)
    {
        int out[2], err[2];
        if (pipe(out) != 0 || pipe(err) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            close(out[0]); close(out[1]); close(err[0]); close(err[1]);
            std::vector<char*> argv;
            for (const auto& a : arguments)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~TProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
        close(err_);
    }

    // One line of standard output, waiting for it up to timeoutMs.
    std::string ReadLine(int timeoutMs = 20000)
    {
        std::string line;
        char c;
        for (;;) {
            pollfd ready{out_, POLLIN, 0};
            if (poll(&ready, 1, timeoutMs) <= 0 || read(out_, &c, 1) != 1)
                return line;
            if (c == '\n')
                return line + "\n";
            line += c;
        }
    }
    static std::string ReadAll(int fd)
    {
        std::string text;
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }
    std::string RestOfOutput() { return ReadAll(out_); }
    std::string Errors() { return ReadAll(err_); }
    void Signal(int number) { kill(pid_, number); }
    // The exit code, or 128 + the signal that ended it.
    int Wait()
    {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
};

int PortOf(const std::string& urlLine)
{
    const std::string prefix = "http://127.0.0.1:";
    if (!urlLine.starts_with(prefix) || !urlLine.ends_with("\n"))
        return -1;
    return std::atoi(urlLine.c_str() + prefix.size());
}

TEST(ServeTool, ServesUntilTerminated)
{
    const TTempFile book(WritePackage(Describe({{"/index.html", "<p>served</p>"}})));
    for (const int stopSignal : {SIGTERM, SIGINT}) {
        TProcess serve({ServeTool(), book.Path()});
        const std::string line = serve.ReadLine();
        const int port = PortOf(line);
        ASSERT_GE(port, 1024) << line;
        EXPECT_LE(port, 31023);
        EXPECT_EQ(line, "http://127.0.0.1:" + std::to_string(port) + "\n");
        EXPECT_EQ(Exchange(port, "GET /index.html HTTP/1.1\r\n\r\n"), Found("<p>served</p>"));
        serve.Signal(stopSignal);
        EXPECT_EQ(serve.Wait(), 0);
        EXPECT_EQ(serve.RestOfOutput(), "") << "more than the one address line";
    }
}

TEST(ServeTool, UsesTheGivenPort)
{
    const TTempFile book(WritePackage(Describe({{"/index.html", "x"}})));
    TPortHolder holder;
    const int port = holder.Port();
    holder.Release();
    TProcess serve({ServeTool(), "--port", std::to_string(port), book.Path()});
    EXPECT_EQ(serve.ReadLine(), "http://127.0.0.1:" + std::to_string(port) + "\n");
    EXPECT_EQ(Exchange(port, "GET /INDEX.html HTTP/1.1\r\n\r\n"), Found("x"));
    serve.Signal(SIGTERM);
    EXPECT_EQ(serve.Wait(), 0);
}

TEST(ServeTool, FailuresGoToStandardErrorWithExitCode1)
{
    const TTempFile book(WritePackage(Describe({{"/index.html", "x"}})));
    const TTempFile notABook(ToBytes("this is not a book at all, just some text"));
    TPortHolder holder;
    struct TCase {
        const char* what;
        std::vector<std::string> arguments;
        std::string errors;
    } cases[] = {
        {"missing file", {ServeTool(), "/nonexistent/book.pkg"},
         "Cannot open file \"/nonexistent/book.pkg\". No such file or directory\n"},
        {"not a book", {ServeTool(), notABook.Path()}, "Invalid eBook\n"},
        {"port in use", {ServeTool(), "--port", std::to_string(holder.Port()), book.Path()},
         "Could not bind socket. Address and port are already in use.\n"},
    };
    for (const auto& c : cases) {
        TProcess serve(c.arguments);
        EXPECT_EQ(serve.Errors(), c.errors) << c.what;
        EXPECT_EQ(serve.RestOfOutput(), "") << c.what;
        EXPECT_EQ(serve.Wait(), 1) << c.what;
    }
}

TEST(ServeTool, RefusesAPortBrowsersWillNotLoadFrom)
{
    const TTempFile book(WritePackage(Describe({{"/index.html", "x"}})));
    for (const char* port : {"6000", "10080", "4190"}) {
        TProcess serve({ServeTool(), "--port", port, book.Path()});
        EXPECT_EQ(serve.Errors(), std::string("Port ") + port +
                                      " is one that web browsers refuse to load pages from; choose another.\n");
        EXPECT_EQ(serve.RestOfOutput(), "");
        EXPECT_EQ(serve.Wait(), 2);
    }
}

TEST(ServeTool, AllowsTheHostsNamedAndExplainsWhyOthersAreRefused)
{
    const TTempFile book(WritePackage(Describe({{"/index.html", "x"}})));
    TProcess serve({ServeTool(), "--allow-host", "books.example", "--allow-host", "tunnel.example:9000", book.Path()});
    const int port = PortOf(serve.ReadLine());
    ASSERT_GT(port, 0);
    auto ask = [&](const std::string& host) {
        return Exchange(port, "GET /index.html HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
    };
    EXPECT_EQ(ask("127.0.0.1:" + std::to_string(port)), Found("x"));
    EXPECT_EQ(ask("books.example:" + std::to_string(port)), Found("x"));
    EXPECT_EQ(ask("tunnel.example:9000"), Found("x"));
    EXPECT_TRUE(ask("tunnel.example:9001").starts_with("HTTP/1.1 403 Forbidden\r\n"));
    EXPECT_TRUE(ask("evil.example:" + std::to_string(port)).starts_with("HTTP/1.1 403 Forbidden\r\n"));
    serve.Signal(SIGTERM);
    EXPECT_EQ(serve.Wait(), 0);

    for (const std::vector<std::string>& wrong : {std::vector<std::string>{ServeTool(), "--allow-host"},
                                                 {ServeTool(), "--allow-host", "", book.Path()}}) {
        TProcess usage(wrong);
        const std::string errors = usage.Errors();
        EXPECT_TRUE(errors.starts_with("usage: folianto-serve [--port N] [--allow-host NAME]... BOOK\n")) << errors;
        EXPECT_NE(errors.find("point its own name at 127.0.0.1"), std::string::npos) << errors;
        EXPECT_EQ(usage.Wait(), 2);
    }
}

// A small RGB picture of the given size as a PNG file.
Bytes MakePng(std::uint32_t width, std::uint32_t height)
{
    auto be32 = [](Bytes& out, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(v >> shift));
    };
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, const Bytes& data) {
        be32(png, static_cast<std::uint32_t>(data.size()));
        Bytes typed(type, type + 4);
        typed.insert(typed.end(), data.begin(), data.end());
        png.insert(png.end(), typed.begin(), typed.end());
        be32(png, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
    };
    Bytes header;
    be32(header, width);
    be32(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    chunk("IHDR", header);
    Bytes rows;
    for (std::uint32_t y = 0; y < height; ++y) {
        rows.push_back(0);
        for (std::uint32_t x = 0; x < width * 3; ++x)
            rows.push_back(static_cast<std::uint8_t>(x * 40 + y * 70));
    }
    chunk("IDAT", Deflate(rows));
    chunk("IEND", {});
    return png;
}

TEST(ServeTool, ChromiumShowsThePageWithItsPictures)
{
    const std::string chromium = "/usr/bin/chromium";
    if (access(chromium.c_str(), X_OK) != 0)
        GTEST_SKIP() << chromium << " is not installed";

    TBookDescription description = Describe({
        {"/index.html",
         "<html><head><title>pictures</title></head><body>"
         "<img src=\"images/pic.png\"><img src=\"images/Drawing.SVG\">"
         "<script>window.addEventListener('load', () => document.body.setAttribute('data-sizes',"
         " [...document.images].map(i => i.naturalWidth + 'x' + i.naturalHeight).join(',')));</script>"
         "</body></html>"},
        {"/images/drawing.svg",
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"7\" height=\"5\"><rect width=\"7\" height=\"5\"/></svg>"},
    });
    description.Entries.push_back({"/images/pic.png", MakePng(4, 3)});
    const TTempFile book(WritePackage(description));
    TProcess serve({ServeTool(), book.Path()});
    const std::string line = serve.ReadLine();
    ASSERT_GT(PortOf(line), 0) << line;

    char profile[] = "/tmp/folianto-chromium-XXXXXX";
    ASSERT_NE(mkdtemp(profile), nullptr);
    std::string dom;
    {
        TProcess browser({chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                          "--disable-component-update", "--no-first-run", std::string("--user-data-dir=") + profile,
                          "--virtual-time-budget=10000", "--dump-dom", line.substr(0, line.size() - 1) + "/index.html"});
        dom = browser.RestOfOutput();
        browser.Wait();
    }
    fs::remove_all(profile);
    EXPECT_NE(dom.find("data-sizes=\"4x3,7x5\""), std::string::npos) << dom;

    serve.Signal(SIGTERM);
    EXPECT_EQ(serve.Wait(), 0);
}

}  // namespace
}  // namespace folianto
