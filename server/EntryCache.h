#pragma once
// Inflated entries kept for the next request of the same name: the least recently used
// go first once the cache holds more than its budget, and large entries are never kept,
// so that one of them cannot push out the pages and pictures of a whole chapter.

#include <cstddef>
#include <cstdint>
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

    // The content kept for exactly this name, or null.
    std::shared_ptr<const Bytes> Find(const std::string& name);
    // Keeps a complete entry's content under the name it was found by.
    void Add(const std::string& name, std::shared_ptr<const Bytes> content);

    // What the kept entries cost, their names included.
    std::size_t HeldBytes();

private:
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
};

}  // namespace folianto
