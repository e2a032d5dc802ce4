#include "EntryStreams.h"

#include "Book.h"
#include "Utils.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace folianto {

namespace {

// Room of the buffer a piece at a time, each piece handed to the readers once inflated.
// Large pieces, because zlib copies the last 32 KiB it wrote into its window after each
// call; a megabyte takes 2 ms to inflate, not long for the first bytes to wait.
class TBufferTarget : public TInflateTarget {
public:
    explicit TBufferTarget(TGrowingBuffer& buffer) : buffer_(buffer) {}

    std::span<std::uint8_t> Room() override
    {
        const std::span<std::uint8_t> unfilled = buffer_.Unfilled();
        beyond_ = unfilled.empty();
        // A full buffer still takes a byte, to learn whether the stream ends there.
        if (beyond_)
            return {&spare_, 1};
        return unfilled.first(std::min(unfilled.size(), PieceSize));
    }
    void Filled(std::size_t count) override
    {
        if (beyond_) {
            if (count > 0)
                throw std::length_error("the entry is larger than its remembered size");
            return;
        }
        buffer_.Filled(count);
    }
    void Ended() override { ended = true; }

    bool ended = false;

private:
    static constexpr std::size_t PieceSize = 1 << 20;
    TGrowingBuffer& buffer_;
    bool beyond_ = false;
    std::uint8_t spare_ = 0;
};

}  // namespace

bool InflateEntryInto(const TBook& book, const std::string& name, TGrowingBuffer& buffer)
{
    TBufferTarget target(buffer);
    return book.ExtractEntry(name, target) && target.ended && buffer.Unfilled().empty();
}

TEntryStreams::~TEntryStreams() { Close(); }

std::shared_ptr<TGrowingBuffer> TEntryStreams::Get(const std::string& name, std::size_t size, TFill fill)
{
    std::vector<std::thread> ended;
    std::shared_ptr<TGrowingBuffer> buffer;
    {
        std::lock_guard guard(lock_);
        if (closed_)
            return nullptr;
        for (auto it = producers_.begin(); it != producers_.end();) {
            if (it->Done) {
                ended.push_back(std::move(it->Thread));
                it = producers_.erase(it);
            } else {
                ++it;
            }
        }
        if (const auto found = buffers_.find(name); found != buffers_.end())
            buffer = found->second.lock();
        if (!buffer || buffer->Failed()) {
            buffer.reset();
            std::erase_if(buffers_, [](const auto& item) { return item.second.expired(); });
            try {
                auto fresh = std::make_shared<TGrowingBuffer>(size);
                TProducer& producer = producers_.emplace_back();
                producer.Buffer = fresh;
                try {
                    producer.Thread = std::thread([this, &producer, fill = std::move(fill)] { Produce(producer, fill); });
                } catch (const std::system_error&) {
                    producers_.pop_back();
                    throw;
                }
                buffers_[name] = fresh;
                buffer = std::move(fresh);
            } catch (const std::exception&) {
                // No memory or no thread: the caller answers without streaming.
            }
        }
    }
    // A finished producer has left the lock for good; joining only waits for its return.
    for (auto& thread : ended)
        thread.join();
    return buffer;
}

void TEntryStreams::Produce(TProducer& producer, const TFill& fill)
{
    std::shared_ptr<TGrowingBuffer> buffer;
    {
        std::lock_guard guard(lock_);
        buffer = producer.Buffer;
    }
    bool whole = false;
    try {
        whole = fill(*buffer);
    } catch (...) {
    }
    if (whole)
        buffer->Complete();
    else
        buffer->Fail();
    std::lock_guard guard(lock_);
    // The buffer lives on for as long as answers still send it, and no longer.
    producer.Buffer.reset();
    producer.Done = true;
}

void TEntryStreams::Close()
{
    std::vector<std::thread> running;
    {
        std::lock_guard guard(lock_);
        closed_ = true;
        buffers_.clear();
        for (auto& producer : producers_) {
            if (producer.Buffer)
                producer.Buffer->Fail();
            running.push_back(std::move(producer.Thread));
        }
    }
    // Each stops at its next piece: filling a failed buffer throws.
    for (auto& thread : running)
        thread.join();
    std::lock_guard guard(lock_);
    producers_.clear();
}

void TEntryStreams::Open()
{
    std::lock_guard guard(lock_);
    closed_ = false;
}

std::size_t TEntryStreams::ProducerCount()
{
    std::lock_guard guard(lock_);
    return static_cast<std::size_t>(std::count_if(producers_.begin(), producers_.end(), [](const TProducer& p) { return !p.Done; }));
}

}  // namespace folianto
