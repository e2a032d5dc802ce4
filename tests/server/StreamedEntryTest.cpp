// Large entries whose size the page server remembers go out while they are inflated: the
// answers stay byte for byte what they were, whoever asks and however many at once, and an
// answer that cannot be completed is cut off, never completed with other bytes.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace folianto {
namespace {

using namespace folianto::test;
using namespace std::chrono_literals;

// Larger than the cache keeps, deflating well at first and not at all after.
const std::string& LargeEntry()
{
    static const std::string content = Prose(1 << 20, 7) + Noise(4608 * 1024, 8);
    return content;
}

const std::string LargeRequest = "GET /large.bin HTTP/1.1\r\n\r\n";

// Where two answers part, without printing megabytes; empty when they are the same.
std::string Mismatch(const std::string& got, const std::string& expected)
{
    if (got == expected)
        return "";
    std::size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at])
        ++at;
    return std::to_string(got.size()) + " bytes instead of " + std::to_string(expected.size()) +
           ", the first difference at byte " + std::to_string(at);
}

// Reads the answer's first bytes, then leaves: a reset, or a plain close.
void LeaveAfter(int port, std::size_t bytes, bool reset)
{
    const int s = Connect(port, 65536);
    ASSERT_GE(s, 0);
    SendAll(s, LargeRequest);
    std::size_t received = 0;
    char buffer[65536];
    while (received < bytes) {
        const ssize_t n = recv(s, buffer, std::min(sizeof buffer, bytes - received), 0);
        ASSERT_GT(n, 0);
        received += static_cast<std::size_t>(n);
    }
    if (reset) {
        const linger abort{1, 0};
        setsockopt(s, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    close(s);
}

TEST(StreamedEntry, AnswersAreByteExactForOneAndManyClients)
{
    TTestBook book(Describe({{"/index.html", "<p>index</p>"}, {"/large.bin", LargeEntry()}}));
    auto server = StartedServer(book.Book);
    const int port = server->Port();
    const std::string expected = Found(LargeEntry());

    EXPECT_EQ(Mismatch(Exchange(port, LargeRequest), expected), "") << "the first answer, inflated whole";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Mismatch(Exchange(port, LargeRequest), expected), "") << "answer " << i << ", streamed";
    EXPECT_EQ(Exchange(port, "HEAD /large.bin HTTP/1.1\r\n\r\n"), FoundHead(LargeEntry().size()));
    EXPECT_EQ(Mismatch(Exchange(port, "GET /LARGE.BIN HTTP/1.1\r\n\r\n"), expected), "") << "another name's first";

    // Clients at once, joining a buffer being filled or one already complete.
    constexpr int Clients = 16;
    std::vector<std::string> failures(Clients);
    std::vector<std::thread> clients;
    for (int c = 0; c < Clients; ++c) {
        clients.emplace_back([&, c] {
            for (int round = 0; round < 3 && failures[c].empty(); ++round) {
                try {
                    failures[c] = Mismatch(Exchange(port, c % 4 == 0 ? "GET /index.html HTTP/1.1\r\n\r\n" : LargeRequest),
                                           c % 4 == 0 ? Found("<p>index</p>") : expected);
                } catch (const std::exception& error) {
                    failures[c] = error.what();
                }
            }
        });
    }
    for (auto& client : clients)
        client.join();
    for (int c = 0; c < Clients; ++c)
        EXPECT_EQ(failures[c], "") << "client " << c;
}

TEST(StreamedEntry, AClientThatLeavesMidBodyDisturbsNoOther)
{
    TTestBook book(Describe({{"/large.bin", LargeEntry()}}));
    auto server = StartedServer(book.Book);
    const int port = server->Port();
    const std::string expected = Found(LargeEntry());
    ASSERT_EQ(Mismatch(Exchange(port, LargeRequest), expected), "");

    const std::size_t headSize = FoundHead(LargeEntry().size()).size();
    for (const std::size_t bytes : {headSize, headSize + (1 << 20)}) {
        for (const bool reset : {true, false}) {
            SCOPED_TRACE(std::to_string(bytes) + (reset ? " bytes, reset" : " bytes, closed"));
            // One client reads it all while another shares its buffer and leaves.
            std::string whole;
            std::thread reader([&] { whole = Exchange(port, LargeRequest); });
            LeaveAfter(port, bytes, reset);
            reader.join();
            EXPECT_EQ(Mismatch(whole, expected), "");
            EXPECT_EQ(Mismatch(Exchange(port, LargeRequest), expected), "") << "after it left";
        }
    }
}

TEST(StreamedEntry, StopDuringAStreamedBodyCutsItOffAndTheNextStartServesItAgain)
{
    TTestBook book(Describe({{"/large.bin", LargeEntry()}}));
    auto server = StartedServer(book.Book);
    const std::string expected = Found(LargeEntry());
    ASSERT_EQ(Mismatch(Exchange(server->Port(), LargeRequest), expected), "");

    // Two answers under way, sharing one buffer; neither client reads on.
    std::vector<int> held;
    for (int i = 0; i < 2; ++i) {
        held.push_back(Connect(server->Port(), 65536));
        ASSERT_GE(held.back(), 0);
        SendAll(held.back(), LargeRequest);
        char first[4096];
        ASSERT_GT(recv(held.back(), first, sizeof first, 0), 0);
    }
    const auto before = std::chrono::steady_clock::now();
    server->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1500ms);
    for (const int s : held) {
        std::string rest;
        try {
            rest = ReceiveAll(s);
        } catch (const std::exception&) {
        }
        close(s);
        EXPECT_LT(rest.size() + 4096, expected.size()) << "the whole entry went out";
    }

    server->Start();
    EXPECT_EQ(Mismatch(Exchange(server->Port(), LargeRequest), expected), "");
    EXPECT_EQ(Mismatch(Exchange(server->Port(), LargeRequest), expected), "");
}

// The body of an answer, checked to be what its header announces.
struct TAnswer {
    std::string Head;
    std::string Body;
};
TAnswer Split(const std::string& answer)
{
    const std::size_t end = answer.find("\r\n\r\n");
    if (end == std::string::npos)
        return {answer, ""};
    return {answer.substr(0, end + 4), answer.substr(end + 4)};
}

TEST(StreamedEntry, StoredBytesChangedAfterTheSizeWasRememberedNeverGiveAWrongCompleteAnswer)
{
    const std::string& large = LargeEntry();
    enum class TChange { CheckDigits, ByteAmongStoredBytes, RecordCutInHalf };
    for (const TChange change : {TChange::CheckDigits, TChange::ByteAmongStoredBytes, TChange::RecordCutInHalf}) {
        SCOPED_TRACE(static_cast<int>(change));
        TTestBook book(Describe({{"/large.bin", large}}));
        auto server = StartedServer(book.Book);
        const int port = server->Port();
        ASSERT_EQ(Mismatch(Exchange(port, LargeRequest), Found(large)), "");

        // The entry's record: its length, then its zlib stream.
        const std::int64_t record = book.Book.HeaderOffset + book.Book.Entries.at(0).Offset;
        const int file = open(book.File.Path().c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(file, 0);
        std::int32_t length = 0;
        ASSERT_EQ(pread(file, &length, 4, record), 4);
        if (change == TChange::RecordCutInHalf) {
            const std::int32_t half = length / 2;
            ASSERT_EQ(pwrite(file, &half, 4, record), 4);
        } else {
            // The last byte of the Adler-32 check, or one among the noise's stored bytes:
            // either way every byte comes out, and only the check at the end fails.
            const std::int64_t at = record + 4 + (change == TChange::CheckDigits ? length - 1 : length * 3 / 4);
            char byte = 0;
            ASSERT_EQ(pread(file, &byte, 1, at), 1);
            byte = static_cast<char>(byte ^ 0x20);
            ASSERT_EQ(pwrite(file, &byte, 1, at), 1);
        }
        close(file);

        // Streamed with the size remembered: cut off, at least one byte short.
        const TAnswer cut = Split(Exchange(port, LargeRequest));
        EXPECT_EQ(cut.Head, FoundHead(large.size()));
        EXPECT_LT(cut.Body.size(), large.size());
        // Only a changed stored byte comes out changed; the client drops the short answer.
        if (change != TChange::ByteAmongStoredBytes) {
            EXPECT_EQ(cut.Body, large.substr(0, cut.Body.size())) << "bytes that are not the entry's";
        }

        // Then the size is forgotten and the entry answered as today, from its whole extraction.
        const std::string next = Exchange(port, LargeRequest);
        if (change == TChange::RecordCutInHalf) {
            const TAnswer part = Split(next);
            EXPECT_GT(part.Body.size(), 0u);
            EXPECT_LT(part.Body.size(), large.size());
            EXPECT_EQ(part.Head, FoundHead(part.Body.size()));
            EXPECT_EQ(part.Body, large.substr(0, part.Body.size()));
        } else {
            EXPECT_EQ(next, NotFound());
        }
    }
}

TEST(StreamedEntry, NoThreadOutlivesThePageServer)
{
    const int before = TaskCount();
    TTestBook book(Describe({{"/large.bin", LargeEntry()}}));
    auto server = StartedServer(book.Book);
    ASSERT_EQ(Mismatch(Exchange(server->Port(), LargeRequest), Found(LargeEntry())), "");
    std::vector<int> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(Connect(server->Port(), 65536));
        SendAll(held.back(), LargeRequest);
    }
    char first[4096];
    ASSERT_GT(recv(held.back(), first, sizeof first, 0), 0);

    const auto start = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_TRUE(WaitFor([&] { return TaskCount() <= before; }, 2s)) << TaskCount() << " threads, " << before << " before";
    for (const int s : held)
        close(s);
}

}  // namespace
}  // namespace folianto
