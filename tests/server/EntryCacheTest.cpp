// The cache of inflated entries: bounded by bytes, least recently used out first, large
// entries never kept, and every name keeps its own bytes.

#include "EntryCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace folianto {
namespace {

std::shared_ptr<const Bytes> Content(std::size_t size, std::uint8_t fill)
{
    return std::make_shared<const Bytes>(size, fill);
}

TEST(EntryCache, KeepsTheMostRecentlyUsedWithinItsBudget)
{
    // Room for three entries of 1,000 bytes with their names, not four.
    TEntryCache cache(3 * 1200, 2000);
    cache.Add("/a", Content(1000, 'a'));
    cache.Add("/b", Content(1000, 'b'));
    cache.Add("/c", Content(1000, 'c'));
    ASSERT_NE(cache.Find("/a"), nullptr);  // now /b is the least recently used
    cache.Add("/d", Content(1000, 'd'));
    EXPECT_EQ(cache.Find("/b"), nullptr);
    for (const char* name : {"/a", "/c", "/d"}) {
        const auto found = cache.Find(name);
        ASSERT_NE(found, nullptr) << name;
        EXPECT_EQ(*found, Bytes(1000, static_cast<std::uint8_t>(name[1]))) << name;
    }
    EXPECT_LE(cache.HeldBytes(), 3u * 1200);
}

TEST(EntryCache, NeverKeepsLargeEntriesAndNeverReplacesBytes)
{
    TEntryCache cache(1 << 20, 4096);
    cache.Add("/large", Content(4097, 'x'));
    EXPECT_EQ(cache.Find("/large"), nullptr);
    cache.Add("/limit", Content(4096, 'y'));
    EXPECT_NE(cache.Find("/limit"), nullptr);

    const auto first = Content(10, '1');
    cache.Add("/same", first);
    cache.Add("/same", Content(10, '2'));  // a second request that extracted it too
    EXPECT_EQ(cache.Find("/same"), first);
    EXPECT_EQ(cache.Find("/SAME"), nullptr) << "names are kept exactly as found";

    // A handed-out entry stays whole while it is sent, even once the cache lets it go.
    TEntryCache small(2000, 2000);
    small.Add("/p", Content(1500, 'p'));
    const auto sending = small.Find("/p");
    small.Add("/q", Content(1500, 'q'));
    EXPECT_EQ(small.Find("/p"), nullptr);
    EXPECT_EQ(*sending, Bytes(1500, 'p'));
}

TEST(EntryCache, ManyNamesOfTinyEntriesStayWithinTheBudget)
{
    TEntryCache cache(64 * 1024, 4096);
    std::string name(1000, 'n');
    for (int i = 0; i < 10000; ++i) {
        name.replace(0, 6, std::to_string(100000 + i));
        cache.Add(name, Content(0, 0));
    }
    EXPECT_LE(cache.HeldBytes(), 64u * 1024);
    EXPECT_GT(cache.HeldBytes(), 32u * 1024);
}

TEST(EntryCache, OneExtractionOfAnEntryAtATimeWhateverTheRequests)
{
    TEntryCache cache(1 << 20, 0);  // keeps nothing: only the sharing of extractions is left
    std::atomic<int> running{0}, mostAtOnce{0}, calls{0};
    auto extract = [&](std::size_t) -> std::shared_ptr<const Bytes> {
        const int now = ++running;
        for (int seen = mostAtOnce; now > seen && !mostAtOnce.compare_exchange_weak(seen, now);) {
        }
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a large entry inflating
        --running;
        return Content(3000, static_cast<std::uint8_t>(calls.load()));
    };
    std::vector<std::shared_ptr<const Bytes>> got(16);
    std::vector<std::thread> requests;
    for (std::size_t i = 0; i < got.size(); ++i)
        requests.emplace_back([&, i] { got[i] = cache.Get("/large.bin", extract); });
    for (auto& request : requests)
        request.join();
    EXPECT_EQ(mostAtOnce, 1);
    for (const auto& content : got) {
        ASSERT_NE(content, nullptr);
        EXPECT_EQ(content->size(), 3000u);
        EXPECT_EQ(content->front(), content->back());  // one extraction's bytes, whole
    }
    EXPECT_LE(calls, 16);
    // Nothing kept: the next request extracts again.
    const int before = calls;
    cache.Get("/large.bin", extract);
    EXPECT_EQ(calls, before + 1);
}

TEST(EntryCache, ALargeEntryIsExtractedAgainIntoABufferOfItsSize)
{
    TEntryCache cache(1 << 20, 4096);
    std::vector<std::size_t> hints;
    auto extract = [&](std::size_t hint) {
        hints.push_back(hint);
        return Content(5000, 'L');
    };
    cache.Get("/large.bin", extract);
    cache.Get("/large.bin", extract);
    cache.Get("/LARGE.bin", extract);
    EXPECT_EQ(hints, (std::vector<std::size_t>{0, 5000, 0}));
}

TEST(EntryCache, MissingEntriesAndFailuresAreNotKept)
{
    TEntryCache cache(1 << 20, 4096);
    int calls = 0;
    EXPECT_EQ(cache.Get("/none", [&](std::size_t) { ++calls; return std::shared_ptr<const Bytes>(); }), nullptr);
    EXPECT_EQ(cache.Get("/none", [&](std::size_t) { ++calls; return std::shared_ptr<const Bytes>(); }), nullptr);
    EXPECT_EQ(calls, 2);

    EXPECT_THROW(cache.Get("/a", [](std::size_t) -> std::shared_ptr<const Bytes> { throw std::bad_alloc(); }), std::bad_alloc);
    const auto content = cache.Get("/a", [](std::size_t) { return Content(5, 'a'); });
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(cache.Get("/a", [](std::size_t) -> std::shared_ptr<const Bytes> { throw std::logic_error("kept, not extracted"); }),
              content);
}

}  // namespace
}  // namespace folianto
