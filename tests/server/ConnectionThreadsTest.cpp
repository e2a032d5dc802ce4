// Connection threads are reused, bounded in how long they wait, and never outlive Stop or
// the engine->

#include "HTTPEngine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace folianto {
namespace {

using namespace folianto::test;
using namespace std::chrono_literals;

// An engine on a free port that notes which thread served each request.
class ConnectionThreads : public ::testing::Test {
protected:
    void StartEngine(std::chrono::milliseconds idleWait)
    {
        const THTTPHandler handler = [this](const THTTPRequest& request, THTTPResponse& response) {
            {
                std::lock_guard guard(lock);
                servedBy.insert(gettid());  // kernel ids, unlike pthread ones, are not soon reused
            }
            response.ContentType = "";
            response.BodyText = "answer to " + request.DocumentPath;
        };
        for (int attempt = 0;; ++attempt) {
            TPortHolder holder;
            port = holder.Port();
            holder.Release();
            engine = std::make_unique<THTTPEngine>();
            engine->IdleThreadWait = idleWait;
            engine->OnRequest = handler;
            engine->AddBinding("127.0.0.1", port);
            try {
                engine->Start();
                return;
            } catch (const ESocketError& error) {
                if (error.Code != 10048 || attempt == 20)
                    throw;
            }
        }
    }
    std::string Ask(int n) { return Exchange(port, "GET /" + std::to_string(n) + " HTTP/1.1\r\n\r\n"); }
    static std::string Answer(int n)
    {
        const std::string body = "answer to /" + std::to_string(n);
        return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nServer: FoliantoHTTP/3.0\r\n\r\n" + body;
    }
    // Clients that each hold a connection open with a request not yet finished, so that
    // every one of them occupies a thread of its own; then all finish and are answered.
    void Burst(int clients)
    {
        std::vector<int> sockets;
        for (int i = 0; i < clients; ++i) {
            sockets.push_back(Connect(port));
            ASSERT_GE(sockets.back(), 0);
            SendAll(sockets.back(), "GET /" + std::to_string(i) + " HTTP/1.1\r\n");
        }
        ASSERT_TRUE(WaitFor([&] { return engine->ConnectionThreadCount() == static_cast<std::size_t>(clients); }, 10s))
            << engine->ConnectionThreadCount() << " threads for " << clients << " connections";
        for (int i = 0; i < clients; ++i)
            SendAll(sockets[i], "\r\n");
        for (int i = 0; i < clients; ++i) {
            EXPECT_EQ(ReceiveAll(sockets[i]), Answer(i));
            close(sockets[i]);
        }
    }

    std::unique_ptr<THTTPEngine> engine = std::make_unique<THTTPEngine>();
    int port = 0;
    std::mutex lock;
    std::set<pid_t> servedBy;
};

TEST_F(ConnectionThreads, SequentialClientsShareOneThread)
{
    StartEngine(60s);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(Ask(i), Answer(i));
    EXPECT_EQ(servedBy.size(), 1u);
    EXPECT_EQ(engine->ConnectionThreadCount(), 1u);
}

TEST_F(ConnectionThreads, ParallelClientsReuseTheThreadsOfABurst)
{
    StartEngine(60s);
    Burst(16);
    ASSERT_EQ(servedBy.size(), 16u);
    const std::set<pid_t> burst = servedBy;

    // Waiting threads take the next connections before any new thread is made.
    std::vector<std::thread> clients;
    std::vector<std::string> answers(64);
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 16; ++i)
            clients.emplace_back([&, n = round * 16 + i] { answers[n] = Ask(n); });
        for (auto& client : clients)
            client.join();
        clients.clear();
    }
    for (int n = 0; n < 64; ++n)
        EXPECT_EQ(answers[n], Answer(n)) << n;
    EXPECT_LE(engine->ConnectionThreadCount(), 16u);
    EXPECT_LE(servedBy.size(), 16u) << "new threads although 16 were waiting";
    EXPECT_EQ(servedBy, burst);
}

TEST_F(ConnectionThreads, LiveThreadsFallBackAfterABurst)
{
    const int before = TaskCount();
    StartEngine(300ms);
    const int withListener = TaskCount();
    EXPECT_EQ(withListener, before + 1);
    Burst(24);
    EXPECT_TRUE(WaitFor([&] { return engine->ConnectionThreadCount() == 0; }, 10s)) << engine->ConnectionThreadCount();
    EXPECT_TRUE(WaitFor([&] { return TaskCount() == withListener; }, 10s)) << TaskCount() << " threads";
    EXPECT_EQ(Ask(7), Answer(7));  // by a new thread
    EXPECT_EQ(servedBy.size(), 25u);
}

// Connections that each keep a thread reading a request that never ends.
std::vector<int> HoldConnections(int port, int count)
{
    std::vector<int> sockets;
    for (int i = 0; i < count; ++i) {
        sockets.push_back(Connect(port));
        SendAll(sockets.back(), "GET /held HTTP/1.1\r\n");
    }
    return sockets;
}

TEST_F(ConnectionThreads, StopEndsWaitingAndServingThreadsAndStartServesAgain)
{
    const int before = TaskCount();
    StartEngine(60s);
    for (const bool serving : {false, true}) {
        Burst(8);  // eight threads now wait for connections
        std::vector<int> held;
        if (serving) {
            // Eight take the waiting threads, the ninth needs a new one: all nine are served.
            held = HoldConnections(port, 9);
            ASSERT_TRUE(WaitFor([&] { return engine->ConnectionThreadCount() == 9; }, 10s));
        }
        const auto start = std::chrono::steady_clock::now();
        engine->Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms) << serving;
        EXPECT_EQ(engine->ConnectionThreadCount(), 0u);
        for (const int s : held) {
            EXPECT_EQ(ReceiveAll(s), "");
            close(s);
        }
        EXPECT_TRUE(WaitFor([&] { return TaskCount() <= before; }, 2s)) << TaskCount() << " threads, " << before << " before";

        engine->Start();  // the same port, right after closing connections on it
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(Ask(i), Answer(i));
    }
}

TEST_F(ConnectionThreads, NoThreadOutlivesTheEngine)
{
    const int before = TaskCount();
    StartEngine(60s);
    Burst(8);
    const std::vector<int> held = HoldConnections(port, 9);
    ASSERT_TRUE(WaitFor([&] { return engine->ConnectionThreadCount() == 9; }, 10s));
    engine.reset();
    EXPECT_TRUE(WaitFor([&] { return TaskCount() <= before; }, 2s)) << TaskCount() << " threads, " << before << " before";
    for (const int s : held) {
        EXPECT_EQ(ReceiveAll(s), "");
        close(s);
    }
}

}  // namespace
}  // namespace folianto
