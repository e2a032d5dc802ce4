#include "EntryCache.h"

namespace folianto {

namespace {

// What an item costs besides its content, so that many names of tiny entries (a name
// found in another letter case is another name) stay within the budget too.
std::size_t Cost(const std::string& name, const Bytes& content) { return content.size() + name.size() + 128; }

constexpr std::size_t RememberedSizes = 256;

}  // namespace

TEntryCache::TEntryCache(std::size_t budgetBytes, std::size_t largestEntry)
    : budget_(budgetBytes), largest_(largestEntry)
{
}

std::shared_ptr<const Bytes> TEntryCache::Get(const std::string& name, const TExtract& extract)
{
    std::shared_future<std::shared_ptr<const Bytes>> elsewhere;
    std::promise<std::shared_ptr<const Bytes>> ours;
    std::size_t sizeHint = 0;
    {
        std::lock_guard guard(lock_);
        if (const auto found = byName_.find(name); found != byName_.end()) {
            items_.splice(items_.begin(), items_, found->second);
            return found->second->Content;
        }
        if (const auto under = extracting_.find(name); under != extracting_.end())
            elsewhere = under->second;
        else
            extracting_.emplace(name, ours.get_future().share());
        if (const auto size = largeSizes_.find(name); size != largeSizes_.end())
            sizeHint = size->second;
    }
    if (elsewhere.valid())
        return elsewhere.get();

    std::shared_ptr<const Bytes> content;
    try {
        content = extract(sizeHint);
    } catch (...) {
        {
            std::lock_guard guard(lock_);
            extracting_.erase(name);
        }
        ours.set_exception(std::current_exception());
        throw;
    }
    {
        std::lock_guard guard(lock_);
        extracting_.erase(name);
        if (content && content->size() > largest_) {
            if (largeSizes_.size() >= RememberedSizes)
                largeSizes_.clear();
            largeSizes_[name] = content->size();
        }
        AddLocked(name, content);
    }
    ours.set_value(content);
    return content;
}

std::shared_ptr<const Bytes> TEntryCache::Find(const std::string& name)
{
    std::lock_guard guard(lock_);
    const auto found = byName_.find(name);
    if (found == byName_.end())
        return nullptr;
    items_.splice(items_.begin(), items_, found->second);
    return found->second->Content;
}

void TEntryCache::Add(const std::string& name, std::shared_ptr<const Bytes> content)
{
    std::lock_guard guard(lock_);
    AddLocked(name, std::move(content));
}

void TEntryCache::AddLocked(const std::string& name, std::shared_ptr<const Bytes> content)
{
    if (!content || content->size() > largest_ || Cost(name, *content) > budget_)
        return;
    if (byName_.count(name))
        return;  // another request has just added the same bytes
    items_.push_front({name, std::move(content)});
    byName_.emplace(name, items_.begin());
    held_ += Cost(name, *items_.front().Content);
    while (held_ > budget_) {
        held_ -= Cost(items_.back().Name, *items_.back().Content);
        byName_.erase(items_.back().Name);
        items_.pop_back();
    }
}

std::size_t TEntryCache::RememberedSize(const std::string& name)
{
    std::lock_guard guard(lock_);
    const auto size = largeSizes_.find(name);
    return size == largeSizes_.end() ? 0 : size->second;
}

void TEntryCache::ForgetSize(const std::string& name)
{
    std::lock_guard guard(lock_);
    largeSizes_.erase(name);
}

std::size_t TEntryCache::HeldBytes()
{
    std::lock_guard guard(lock_);
    return held_;
}

}  // namespace folianto
