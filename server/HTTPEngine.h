#pragma once
// A small HTTP/1.1 server: one request per connection, one thread per connection, one
// request handler that fills the answer. It knows nothing of books.

#include "HTTPRequest.h"
#include "HTTPResponse.h"
#include "SocketErrors.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace folianto {

class THTTPEngine {
public:
    THTTPEngine();
    ~THTTPEngine();
    THTTPEngine(const THTTPEngine&) = delete;
    THTTPEngine& operator=(const THTTPEngine&) = delete;

    struct TBinding {
        std::string Address;  // dotted IPv4; empty for every local address
        int Port = 80;
    };
    void AddBinding(const std::string& address, int port = 80);
    const std::vector<TBinding>& Bindings() const { return bindings_; }

    THTTPHandler OnRequest;
    int ListenBacklog = 15;

    void Start();
    void Stop();
    bool Active() const { return active_; }

private:
    // A connection thread with a small stack. Each connection gets a thread of its own, and
    // with the default 8 MiB stack the C library mapped and unmapped a fresh stack for
    // nearly every request, which cost more than answering it; small stacks are reused.
    class TConnectionThread {
    public:
        TConnectionThread() = default;
        explicit TConnectionThread(std::function<void()> body);  // throws std::system_error
        TConnectionThread(TConnectionThread&& other) noexcept;
        TConnectionThread& operator=(TConnectionThread&& other) noexcept;
        ~TConnectionThread();
        void join();

    private:
        unsigned long handle_ = 0;
        bool joinable_ = false;
    };

    struct TListener {
        int Socket = -1;
        std::thread Thread;
    };
    struct TConnection {
        int Socket = -1;
        TConnectionThread Thread;
        bool Finished = false;
    };

    void Listen(int listenSocket);
    void Serve(TConnection& connection, std::string peerAddress);
    void JoinFinished(std::unique_lock<std::mutex>& lock);

    std::vector<TBinding> bindings_;
    bool active_ = false;
    std::atomic<bool> stopping_{false};
    std::vector<TListener> listeners_;

    std::mutex connectionsLock_;
    std::condition_variable connectionEnded_;
    std::list<TConnection> connections_;
};

}  // namespace folianto
