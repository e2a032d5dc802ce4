#pragma once
// The book's page server: answers every request on 127.0.0.1 with the entry named by
// the request path, or with the fixed "not found" page.

#include "EntryCache.h"
#include "EntryNames.h"
#include "EntryStreams.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace folianto {

class TBook;
class THTTPEngine;
struct THTTPRequest;
class THTTPResponse;

// A port from 1024 to 31023, drawn uniformly; seeded from the clock.
int DrawPort();

class THTTPServer {
public:
    // port 0 draws one from 1024 to 31023; nothing is bound until Start.
    explicit THTTPServer(TBook& book, int port = 0);
    ~THTTPServer();
    THTTPServer(const THTTPServer&) = delete;
    THTTPServer& operator=(const THTTPServer&) = delete;

    // Binds and listens; does nothing when already running. Raises std::runtime_error
    // with the engine's message when the port cannot be bound.
    void Start();
    // Closes the listener and every connection and waits for their threads; does nothing
    // when stopped. Raises std::runtime_error("Terminate Thread Timeout") after 5 s.
    void Stop();
    int Port() const;
    bool Active() const;

    // Also answers requests whose "Host" names this (NAME, or NAME:PORT for one port),
    // for a tunnel or proxy of the user's. Only before the first Start.
    void AllowHost(const std::string& name);

    // Answers one request from the book; runs on connection threads, any number at once
    // (the book reads each entry with a file position of its own).
    void HandleRequest(const THTTPRequest& request, THTTPResponse& response);

    // Inflated entries kept between requests: a browser asks again for the style sheet
    // and the pictures a book's pages share, and for every page it goes back to.
    static constexpr std::size_t CacheBytes = 32 << 20;
    static constexpr std::size_t LargestCachedEntry = 4 << 20;

private:
    // A large entry whose size is remembered, going out while it is inflated; null when
    // it must be extracted whole first.
    std::shared_ptr<TGrowingBuffer> StreamedEntry(const std::string& name);

    TBook& book_;
    TEntryCache cache_{CacheBytes, LargestCachedEntry};
    TEntryStreams streams_;  // its producers use the book and the cache
    std::unique_ptr<THTTPEngine> engine_;
    int port_ = 0;
    std::vector<std::string> allowedHosts_;
};

// The page every missing entry gets.
extern const std::string_view NotFoundPage;

// The process-wide page server for GetBook(), created on first use.
THTTPServer& GetHTTPServer();
// Stops and frees it (program shutdown); the next GetHTTPServer creates a new one.
void FreeHTTPServer();

}  // namespace folianto
