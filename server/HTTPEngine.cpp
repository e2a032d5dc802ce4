#include "HTTPEngine.h"

#include "SocketErrors.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace folianto {

namespace {

class TSocketSource : public TByteSource {
public:
    explicit TSocketSource(int socket) : socket_(socket) {}
    std::size_t Receive(char* buffer, std::size_t count) override
    {
        for (;;) {
            const ssize_t received = recv(socket_, buffer, count, 0);
            if (received >= 0)
                return static_cast<std::size_t>(received);
            if (errno != EINTR)
                ThrowSocketError(errno);
        }
    }

private:
    int socket_;
};

class TSocketSink : public TByteSink {
public:
    explicit TSocketSink(int socket) : socket_(socket) {}
    void Send(const char* data, std::size_t count) override { SendWith(data, count, 0); }
    // The header and a small body then leave in one segment instead of two.
    void SendMore(const char* data, std::size_t count) override { SendWith(data, count, MSG_MORE); }

private:
    void SendWith(const char* data, std::size_t count, int flags)
    {
        while (count > 0) {
            // MSG_NOSIGNAL: a client that hangs up must not kill the process with SIGPIPE.
            const ssize_t sent = send(socket_, data, count, MSG_NOSIGNAL | flags);
            if (sent < 0) {
                if (errno == EINTR)
                    continue;
                ThrowSocketError(errno);
            }
            data += sent;
            count -= static_cast<std::size_t>(sent);
        }
    }

    int socket_;
};

}  // namespace

THTTPEngine::THTTPEngine() = default;

THTTPEngine::~THTTPEngine()
{
    try {
        Stop();
    } catch (const std::exception&) {
    }
    // No connection thread may outlive the engine: wait for every one of them, however
    // long a failed Stop left them running.
    std::unique_lock lock(connectionsLock_);
    EndConnectionThreads(lock, false);
}

void THTTPEngine::AddBinding(const std::string& address, int port)
{
    bindings_.push_back({address, port});
}

void THTTPEngine::Start()
{
    if (active_)
        return;
    if (bindings_.empty())
        AddBinding("", 80);

    std::vector<int> sockets;
    auto fail = [&](const std::string& message, int code) {
        for (int s : sockets)
            close(s);
        Stop();
        throw ESocketError(code, message);
    };
    for (const auto& binding : bindings_) {
        // Non-blocking, so the listener can drain its queue; accepted sockets still block.
        const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (s < 0)
            fail("Cannot allocate socket.", SocketErrorCode(errno));
        sockets.push_back(s);
        // Every Start binds the same port again right after the previous Stop closed
        // connections on it; without this Linux keeps it in TIME_WAIT for a minute.
        const int yes = 1;
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(binding.Port));
        if (binding.Address.empty())
            address.sin_addr.s_addr = htonl(INADDR_ANY);
        else if (inet_pton(AF_INET, binding.Address.c_str(), &address.sin_addr) != 1)
            fail(SocketErrorMessage(10049), 10049);
        if (binding.Port < 0 || binding.Port > 65535)
            fail(SocketErrorMessage(10049), 10049);
        if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            const int code = SocketErrorCode(errno);
            if (code == 10048)
                fail("Could not bind socket. Address and port are already in use.", code);
            fail(SocketErrorMessage(code), code);
        }
    }
    for (int s : sockets) {
        if (listen(s, ListenBacklog) != 0)
            fail(SocketErrorMessage(SocketErrorCode(errno)), SocketErrorCode(errno));
    }
    stopping_ = false;
    {
        std::lock_guard lock(connectionsLock_);
        retiring_ = false;
    }
    for (int s : sockets) {
        TListener listener;
        listener.Socket = s;
        listener.Thread = std::thread(&THTTPEngine::Listen, this, s);
        listeners_.push_back(std::move(listener));
    }
    active_ = true;
}

void THTTPEngine::Listen(int listenSocket)
{
    while (!stopping_) {
        pollfd ready{listenSocket, POLLIN, 0};
        const int polled = poll(&ready, 1, 100);
        if (stopping_)
            break;
        if (polled <= 0)
            continue;
        // Take every connection already waiting before polling again: under load one poll
        // per connection was a tenth of the work of a small answer.
        while (!stopping_) {
            sockaddr_in peer{};
            socklen_t peerSize = sizeof peer;
            const int s = accept4(listenSocket, reinterpret_cast<sockaddr*>(&peer), &peerSize, SOCK_CLOEXEC);
            if (s < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK)
                    break;
                const int code = SocketErrorCode(errno);
                if (code == 10038 || code == 10009 || code == 10022)
                    return;  // the listening socket is gone
                if (code == 10024 || code == 10055) {
                    // Out of descriptors: the pending connection stays ready, so do not spin.
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    break;
                }
                continue;
            }
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);

            HandOver(s, text);
        }
    }
}

void THTTPEngine::HandOver(int socket, std::string peerAddress)
{
    std::unique_lock lock(connectionsLock_);
    JoinFinished(lock);
    if (!waiting_.empty()) {
        TWorker& worker = *waiting_.back();
        waiting_.pop_back();
        worker.Socket = socket;
        worker.PeerAddress = std::move(peerAddress);
        worker.Wake.notify_one();
        return;
    }
    TWorker& worker = workers_.emplace_back();
    worker.Socket = socket;
    worker.PeerAddress = std::move(peerAddress);
    try {
        worker.Thread = TConnectionThread([this, &worker] { Work(worker); });
    } catch (const std::exception&) {
        // No thread to be had: drop the connection.
        close(socket);
        workers_.pop_back();
    }
}

void THTTPEngine::Work(TWorker& worker)
{
    std::unique_lock lock(connectionsLock_);
    for (;;) {
        const int s = worker.Socket;
        const std::string peerAddress = std::move(worker.PeerAddress);
        lock.unlock();
        try {
            TSocketSource source(s);
            TSocketSink sink(s);
            ServeRequest(source, sink, peerAddress, OnRequest);
        } catch (...) {
        }
        lock.lock();
        // Only this thread closes its socket, under the lock, so Stop never shuts down a
        // descriptor number that has already been reused for something else.
        shutdown(s, SHUT_WR);
        close(s);
        worker.Socket = -1;
        if (retiring_)
            break;
        waiting_.push_back(&worker);
        worker.Wake.wait_for(lock, IdleThreadWait, [&] { return worker.Socket >= 0 || retiring_; });
        if (worker.Socket < 0) {
            std::erase(waiting_, &worker);
            break;
        }
    }
    // The worker is erased once joined: nothing of it may be touched after the lock goes.
    worker.Finished = true;
    ++finished_;
    connectionEnded_.notify_all();
}

void THTTPEngine::JoinFinished(std::unique_lock<std::mutex>& lock)
{
    if (finished_ == 0)
        return;
    std::vector<TConnectionThread> ended;
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->Finished) {
            ended.push_back(std::move(it->Thread));
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
    finished_ = 0;
    // A finished thread has left the lock for good; joining only waits for its return.
    lock.unlock();
    for (auto& thread : ended)
        thread.join();
    lock.lock();
}

bool THTTPEngine::EndConnectionThreads(std::unique_lock<std::mutex>& lock, bool bounded)
{
    retiring_ = true;
    for (auto& worker : workers_) {
        if (worker.Socket >= 0)
            shutdown(worker.Socket, SHUT_RDWR);
        worker.Wake.notify_one();
    }
    auto allEnded = [this] {
        return std::all_of(workers_.begin(), workers_.end(), [](const TWorker& w) { return w.Finished; });
    };
    bool ended = !bounded;
    if (bounded) {
        for (int look = 0; look < 20 && !ended; ++look)
            ended = connectionEnded_.wait_for(lock, std::chrono::milliseconds(250), allEnded);
    } else {
        connectionEnded_.wait(lock, allEnded);
    }
    JoinFinished(lock);
    return ended;
}

std::size_t THTTPEngine::ConnectionThreadCount()
{
    std::lock_guard lock(connectionsLock_);
    return static_cast<std::size_t>(
        std::count_if(workers_.begin(), workers_.end(), [](const TWorker& w) { return !w.Finished; }));
}

void THTTPEngine::Stop()
{
    if (!active_)
        return;
    stopping_ = true;
    for (auto& listener : listeners_) {
        // Wakes the listener's poll at once; it also looks at the flag every 100 ms.
        shutdown(listener.Socket, SHUT_RDWR);
        listener.Thread.join();
        close(listener.Socket);
    }
    listeners_.clear();

    std::unique_lock lock(connectionsLock_);
    if (!EndConnectionThreads(lock, true))
        throw std::runtime_error("Terminate Thread Timeout");
    lock.unlock();
    active_ = false;
}

}  // namespace folianto
