// The cache of inflated entries: bounded by bytes, least recently used out first, large
// entries never kept, and every name keeps its own bytes.

#include "EntryCache.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace folianto
