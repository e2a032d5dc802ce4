#pragma once
// A small HTTP/1.1 server: one request per connection, each connection served from start
// to end by a thread of its own, one request handler that fills the answer. It knows
// nothing of books.

#include "ConnectionThread.h"
#include "HTTPRequest.h"
#include "HTTPResponse.h"
#include "SocketErrors.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
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
    // How long a thread that has closed its connection waits for the next one before it
    // ends. Creating a thread costs more than answering a small request, and a browser
    // asks for a page's pictures and style sheets right after the page.
    std::chrono::milliseconds IdleThreadWait{2000};

    void Start();
    // Closes every connection and ends every connection thread, waiting or serving.
    void Stop();
    bool Active() const { return active_; }

    // Connection threads alive: serving a connection or waiting for one.
    std::size_t ConnectionThreadCount();

private:
    struct TListener {
        int Socket = -1;
        std::thread Thread;
    };
    // A connection thread; it serves one connection at a time and waits for the next.
    struct TWorker {
        int Socket = -1;  // the connection it serves; -1 while it waits for one
        std::string PeerAddress;
        bool Finished = false;  // has left for good: only its joining is left
        std::condition_variable Wake;
        TConnectionThread Thread;
    };

    void Listen(int listenSocket);
    void HandOver(int socket, std::string peerAddress);
    void Work(TWorker& worker);
    // Closes the connections, wakes the waiting threads and waits up to the bound for all
    // of them to end; false when some have not.
    bool EndConnectionThreads(std::unique_lock<std::mutex>& lock, bool bounded);
    void JoinFinished(std::unique_lock<std::mutex>& lock);

    std::vector<TBinding> bindings_;
    bool active_ = false;
    std::atomic<bool> stopping_{false};
    std::vector<TListener> listeners_;

    // Guards everything below.
    std::mutex connectionsLock_;
    std::condition_variable connectionEnded_;
    std::list<TWorker> workers_;
    std::vector<TWorker*> waiting_;  // the most recently idle last: its stack is warm
    std::size_t finished_ = 0;
    bool retiring_ = false;  // Stop: a thread whose connection ends does not wait for more
};

}  // namespace folianto
