// A buffer filled by one producer while readers send what is ready, and the large entries
// shared through such buffers: readers never see a byte before it is final, never the last
// one before the whole is right, and a failure or Close reaches every one of them.

#include "EntryStreams.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <thread>

namespace folianto {
namespace {

using namespace folianto::test;
using namespace std::chrono_literals;

void Fill(TGrowingBuffer& buffer, std::size_t count, std::uint8_t value)
{
    std::memset(buffer.Unfilled().data(), value, count);
    buffer.Filled(count);
}

// What a reader may send in the end: the whole, or an exception.
std::size_t WaitAll(TGrowingBuffer& buffer)
{
    std::size_t ready = 0;
    while (ready < buffer.Size())
        ready = buffer.WaitReady(ready);
    return ready;
}

TEST(GrowingBuffer, ReadersGetFilledBytesButTheLastOnlyOnceComplete)
{
    TGrowingBuffer buffer(10);
    Fill(buffer, 4, 'a');
    EXPECT_EQ(buffer.WaitReady(0), 4u);
    Fill(buffer, 6, 'b');
    EXPECT_EQ(buffer.WaitReady(4), 9u) << "the last byte went out before the whole was known right";

    // A reader that has sent all it may waits for the end.
    auto waiting = std::async(std::launch::async, [&] { return buffer.WaitReady(9); });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    buffer.Complete();
    EXPECT_EQ(waiting.get(), 10u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), 10), "aaaabbbbbb");
    buffer.Fail();  // too late: a complete buffer stays complete
    EXPECT_EQ(buffer.WaitReady(0), 10u);

    TGrowingBuffer overfilled(3);
    EXPECT_THROW(overfilled.Filled(4), std::logic_error);
}

TEST(GrowingBuffer, FailureReachesEveryReaderAndStopsTheProducer)
{
    TGrowingBuffer buffer(1000);
    Fill(buffer, 100, 'x');
    std::vector<std::future<std::size_t>> readers;
    for (int i = 0; i < 8; ++i)
        readers.push_back(std::async(std::launch::async, [&] { return buffer.WaitReady(100); }));
    buffer.Fail();
    for (auto& reader : readers)
        EXPECT_THROW(reader.get(), EIncompleteBody);
    EXPECT_THROW(buffer.WaitReady(0), EIncompleteBody) << "bytes of a failed body went out";
    EXPECT_THROW(buffer.Filled(1), EIncompleteBody) << "the producer was not told to stop";
    buffer.Complete();
    EXPECT_TRUE(buffer.Failed());

    // Completing a buffer that is not full fails it: its readers must not wait forever.
    TGrowingBuffer short_(10);
    Fill(short_, 9, 'y');
    short_.Complete();
    EXPECT_THROW(short_.WaitReady(0), EIncompleteBody);
}

// A fill that waits to be let go, so that a test decides when a buffer is complete.
struct TGate {
    std::promise<void> Open;
    std::shared_future<void> Opened = Open.get_future().share();
    std::atomic<int> Fills{0};
    TEntryStreams::TFill Fill(std::uint8_t value)
    {
        return [this, value](TGrowingBuffer& buffer) {
            ++Fills;
            folianto::Fill(buffer, 1, value);
            Opened.wait();
            folianto::Fill(buffer, buffer.Unfilled().size(), value);
            return true;
        };
    }
};

TEST(EntryStreams, RequestsShareOneBufferWhileAnyOfThemSendsIt)
{
    TEntryStreams streams;
    TGate gate;
    std::vector<std::shared_ptr<TGrowingBuffer>> got(16);
    std::vector<std::thread> requests;
    for (std::size_t i = 0; i < got.size(); ++i)
        requests.emplace_back([&, i] { got[i] = streams.Get("/large.bin", 5000, gate.Fill('L')); });
    for (auto& request : requests)
        request.join();
    for (const auto& buffer : got)
        EXPECT_EQ(buffer, got.front());
    EXPECT_EQ(got.front()->WaitReady(0), 1u);  // being filled, readers already going
    gate.Open.set_value();
    EXPECT_EQ(WaitAll(*got.front()), 5000u);
    EXPECT_EQ(gate.Fills, 1);

    // Another name has a buffer of its own.
    TGate other;
    other.Open.set_value();
    const auto second = streams.Get("/LARGE.bin", 5000, other.Fill('l'));
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, got.front());
    EXPECT_EQ(WaitAll(*second), 5000u);
    EXPECT_EQ(second->Data()[4999], 'l');

    // Complete and still sent by one answer: a later request shares it, filling nothing.
    std::shared_ptr<TGrowingBuffer> stillSent = got.front();
    got.clear();
    EXPECT_EQ(streams.Get("/large.bin", 5000, gate.Fill('M')), stillSent);
    EXPECT_EQ(gate.Fills, 1);

    // Once no answer holds it, it is gone: the next request inflates again.
    stillSent.reset();
    TGate again;
    again.Open.set_value();
    const auto fresh = streams.Get("/large.bin", 5000, again.Fill('N'));
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(WaitAll(*fresh), 5000u);
    EXPECT_EQ(fresh->Data()[0], 'N');
    EXPECT_EQ(again.Fills, 1);
}

TEST(EntryStreams, AFailedBufferIsNeverHandedOutAgain)
{
    TEntryStreams streams;
    for (const bool throws : {false, true}) {
        SCOPED_TRACE(throws);
        // A name of its own: the last round's complete buffer may still be shared.
        const std::string name = throws ? "/thrown.bin" : "/false.bin";
        const auto failed = streams.Get(name, 100, [throws](TGrowingBuffer& buffer) -> bool {
            Fill(buffer, 50, 'f');
            if (throws)
                throw std::runtime_error("cannot read");
            return false;
        });
        ASSERT_NE(failed, nullptr);
        EXPECT_THROW(WaitAll(*failed), EIncompleteBody);
        const auto next = streams.Get(name, 100, [](TGrowingBuffer& buffer) {
            Fill(buffer, 100, 'g');
            return true;
        });
        ASSERT_NE(next, nullptr);
        EXPECT_NE(next, failed);
        EXPECT_EQ(WaitAll(*next), 100u);
    }
}

TEST(EntryStreams, CloseCutsOffBuffersBeingFilledAndEndsTheirProducersPromptly)
{
    const int before = TaskCount();
    TEntryStreams streams;
    // Producers that would take minutes, stopped only by their failing buffer.
    auto slow = [](TGrowingBuffer& buffer) {
        while (!buffer.Unfilled().empty()) {
            Fill(buffer, 1, 's');
            std::this_thread::sleep_for(1ms);
        }
        return true;
    };
    const auto a = streams.Get("/a.bin", 1 << 20, slow);
    const auto b = streams.Get("/b.bin", 1 << 20, slow);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(streams.ProducerCount(), 2u);
    auto reader = std::async(std::launch::async, [&] {
        for (std::size_t sent = 0;;)
            sent = a->WaitReady(sent);
    });
    EXPECT_GE(a->WaitReady(0), 1u);

    const auto start = std::chrono::steady_clock::now();
    streams.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(streams.ProducerCount(), 0u);
    EXPECT_THROW(reader.get(), EIncompleteBody);
    EXPECT_THROW(b->WaitReady(0), EIncompleteBody);
    EXPECT_TRUE(WaitFor([&] { return TaskCount() <= before; }, 2s)) << TaskCount() << " threads, " << before << " before";

    EXPECT_EQ(streams.Get("/a.bin", 10, slow), nullptr) << "a stream while closed";
    streams.Open();
    const auto reopened = streams.Get("/c.bin", 10, [](TGrowingBuffer& buffer) {
        Fill(buffer, 10, 'c');
        return true;
    });
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(WaitAll(*reopened), 10u);
}

TEST(EntryStreams, AnEntryFillsItsBufferOnlyWhenTheSizesAgree)
{
    const std::string large = Prose(300000, 1) + Noise(200000, 2);
    TTestBook book(Describe({{"/large.bin", large}, {"/empty.txt", ""}}));
    struct Case {
        const char* name;
        std::size_t size;
        bool whole;
    };
    const Case cases[] = {
        {"/large.bin", large.size(), true},
        {"/LARGE.BIN", large.size(), true},
        {"/large.bin", large.size() - 1, false},  // the entry is larger than its buffer
        {"/large.bin", large.size() + 1, false},  // smaller
        {"/missing.bin", large.size(), false},
        {"/empty.txt", 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.size));
        TGrowingBuffer buffer(c.size);
        EXPECT_EQ(InflateEntryInto(book.Book, c.name, buffer), c.whole);
        if (c.whole) {
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), buffer.Size()), large);
        }
    }
}

}  // namespace
}  // namespace folianto
