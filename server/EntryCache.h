#pragma once
// Inflated entries kept for the next request of the same name: the least recently used
// go first once the cache holds more than its budget, and large entries are never kept,
// so that one of them cannot push out the pages and pictures of a whole chapter. A request
// for an entry that another request is extracting waits for those bytes instead of
// extracting its own copy, so many clients asking for one large entry hold it once.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace folianto {

using Bytes = std::vector<std::uint8_t>;

class TEntryCache {
public:
    TEntryCache(std::size_t budgetBytes, std::size_t largestEntry);

    // Extracts an entry; sizeHint is its size when it was extracted before (too large to
    // keep, its size is remembered), else 0, so that a large entry is inflated into one
    // buffer of the right size instead of one that grows and is copied.
    using TExtract = std::function<std::shared_ptr<const Bytes>(std::size_t sizeHint)>;

    // The content for exactly this name: kept, being extracted for another request, or
    // extracted by extract now (null when extract finds no entry; that is not kept).
    // What extract raises reaches every request waiting for it.
    std::shared_ptr<const Bytes> Get(const std::string& name, const TExtract& extract);

    // The content kept for exactly this name, or null.
    std::shared_ptr<const Bytes> Find(const std::string& name);
    // Keeps a complete entry's content under the name it was found by.
    void Add(const std::string& name, std::shared_ptr<const Bytes> content);

    // The size of an entry of exactly this name that was too large to keep, when it has
    // been extracted before; else 0.
    std::size_t RememberedSize(const std::string& name);
    // Its stored bytes no longer give that size (they could not be read, or changed).
    void ForgetSize(const std::string& name);

    // What the kept entries cost, their names included.
    std::size_t HeldBytes();

private:
    void AddLocked(const std::string& name, std::shared_ptr<const Bytes> content);

    struct TItem {
        std::string Name;
        std::shared_ptr<const Bytes> Content;
    };

    const std::size_t budget_;
    const std::size_t largest_;
    std::mutex lock_;
    std::list<TItem> items_;  // the most recently used first
    std::unordered_map<std::string, std::list<TItem>::iterator> byName_;
    std::size_t held_ = 0;
    std::unordered_map<std::string, std::shared_future<std::shared_ptr<const Bytes>>> extracting_;
    std::unordered_map<std::string, std::size_t> largeSizes_;
};

}  // namespace folianto
