// A closed-loop HTTP load client for the benchmarks: CONNECTIONS clients, each asking for
// URL again and again, one request per connection. Unlike wrk, each request's time runs
// from the start of its connect to the last byte of the answer, so time spent waiting to
// be accepted (a full listen queue drops the SYN, and the client tries again a second
// later) counts; so do requests still unanswered when the run ends, if older than 1 s.
//   folianto-load-client URL CONNECTIONS SECONDS
// prints "requests_per_second p50_ms p99_ms errors".
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct TTarget {
    sockaddr_in Address{};
    std::string Request;
};

struct TConnection {
    int Socket = -1;
    Clock::time_point Start;
    bool Sent = false;
    std::size_t Received = 0;
    char Status[13] = {};
};

struct TResults {
    std::vector<double> Milliseconds;
    std::size_t Answered = 0;
    std::size_t Errors = 0;
    std::size_t ExpectedBytes = 0;  // of the first answer; a different length is an error
};

bool ParseURL(const std::string& url, TTarget& target)
{
    const std::string prefix = "http://";
    if (url.rfind(prefix, 0) != 0)
        return false;
    const std::size_t slash = url.find('/', prefix.size());
    const std::string hostPort = url.substr(prefix.size(), slash - prefix.size());
    const std::string path = slash == std::string::npos ? "/" : url.substr(slash);
    const std::size_t colon = hostPort.find(':');
    const std::string host = hostPort.substr(0, colon);
    const int port = colon == std::string::npos ? 80 : std::atoi(hostPort.c_str() + colon + 1);
    target.Address.sin_family = AF_INET;
    target.Address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &target.Address.sin_addr) != 1)
        return false;
    target.Request = "GET " + path + " HTTP/1.1\r\nHost: " + hostPort + "\r\nConnection: close\r\n\r\n";
    return true;
}

void Run(const TTarget& target, int connections, Clock::time_point end, TResults& results)
{
    const int poller = epoll_create1(EPOLL_CLOEXEC);
    std::vector<TConnection> clients(static_cast<std::size_t>(connections));
    char buffer[65536];

    auto begin = [&](std::size_t index) {
        TConnection& c = clients[index];
        c = TConnection{};
        c.Start = Clock::now();
        c.Socket = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int done = connect(c.Socket, reinterpret_cast<const sockaddr*>(&target.Address), sizeof target.Address);
        if (done != 0 && errno != EINPROGRESS) {
            close(c.Socket);
            c.Socket = -1;
            ++results.Errors;
            return false;
        }
        epoll_event event{EPOLLOUT, {.u64 = index}};
        epoll_ctl(poller, EPOLL_CTL_ADD, c.Socket, &event);
        return true;
    };
    auto finish = [&](std::size_t index, bool failed) {
        TConnection& c = clients[index];
        epoll_ctl(poller, EPOLL_CTL_DEL, c.Socket, nullptr);
        close(c.Socket);
        c.Socket = -1;
        if (!failed && std::strncmp(c.Status, "HTTP/1.1 200", 12) != 0)
            failed = true;
        if (!failed && results.ExpectedBytes == 0)
            results.ExpectedBytes = c.Received;
        if (failed || c.Received != results.ExpectedBytes) {
            ++results.Errors;
            return;
        }
        results.Milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - c.Start).count());
        ++results.Answered;
    };

    for (std::size_t i = 0; i < clients.size(); ++i)
        begin(i);
    epoll_event events[256];
    while (Clock::now() < end) {
        const int ready = epoll_wait(poller, events, 256, 20);
        for (int e = 0; e < ready; ++e) {
            const std::size_t index = events[e].data.u64;
            TConnection& c = clients[index];
            if (c.Socket < 0)
                continue;
            if (!c.Sent) {
                int error = 0;
                socklen_t size = sizeof error;
                getsockopt(c.Socket, SOL_SOCKET, SO_ERROR, &error, &size);
                if (error != 0 || send(c.Socket, target.Request.data(), target.Request.size(), MSG_NOSIGNAL) !=
                                      static_cast<ssize_t>(target.Request.size())) {
                    finish(index, true);
                } else {
                    c.Sent = true;
                    epoll_event event{EPOLLIN, {.u64 = index}};
                    epoll_ctl(poller, EPOLL_CTL_MOD, c.Socket, &event);
                    continue;
                }
            } else {
                const ssize_t n = recv(c.Socket, buffer, sizeof buffer, 0);
                if (n < 0 && (errno == EAGAIN || errno == EINTR))
                    continue;
                if (n > 0) {
                    if (c.Received < 12)
                        std::memcpy(c.Status + c.Received, buffer, std::min<std::size_t>(12 - c.Received, n));
                    c.Received += static_cast<std::size_t>(n);
                    continue;
                }
                finish(index, n < 0);
            }
            if (Clock::now() < end)
                begin(index);
        }
    }
    // Requests still unanswered count with the time they have waited so far, once that
    // is long enough to matter for the tail.
    for (auto& c : clients) {
        if (c.Socket < 0)
            continue;
        const double waited = std::chrono::duration<double, std::milli>(Clock::now() - c.Start).count();
        if (waited > 1000)
            results.Milliseconds.push_back(waited);
        close(c.Socket);
    }
    close(poller);
}

}  // namespace

int main(int argc, char** argv)
{
    TTarget target;
    if (argc != 4 || !ParseURL(argv[1], target)) {
        std::fprintf(stderr, "usage: %s http://ADDRESS:PORT/PATH CONNECTIONS SECONDS\n", argv[0]);
        return 2;
    }
    const int connections = std::max(1, std::atoi(argv[2]));
    const double seconds = std::atof(argv[3]);
    const int threads = connections < 2 ? 1 : 2;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::vector<TResults> results(static_cast<std::size_t>(threads));
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back(Run, std::cref(target), connections / threads + (t < connections % threads), end,
                             std::ref(results[static_cast<std::size_t>(t)]));
    for (auto& worker : workers)
        worker.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<double> all;
    std::size_t errors = 0, answered = 0;
    for (const auto& r : results) {
        all.insert(all.end(), r.Milliseconds.begin(), r.Milliseconds.end());
        errors += r.Errors;
        answered += r.Answered;
    }
    std::sort(all.begin(), all.end());
    auto percentile = [&](double p) {
        return all.empty() ? 0.0 : all[std::min(all.size() - 1, static_cast<std::size_t>(p * all.size()))];
    };
    std::printf("%.1f %.3f %.3f %zu\n", static_cast<double>(answered) / elapsed, percentile(0.5), percentile(0.99),
                errors);
    return 0;
}
