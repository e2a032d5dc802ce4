#pragma once
// Entries too large to keep, sent while they are inflated. The answer's header carries the
// size remembered from an earlier extraction at once; a thread of its own inflates the
// entry into one buffer of that size, and every request for the entry sends from that
// buffer what is ready, for as long as any of them is still sending it. So one client's
// answer overlaps inflating with sending, and many clients of one large entry hold and
// inflate it once.

#include "GrowingBuffer.h"

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

namespace folianto {

class TBook;

// Inflates the named entry into buffer, each piece ready for the readers as soon as it
// is inflated; true when the buffer then holds exactly the whole entry and its check
// matched. False when the entry is missing, cannot be read or inflated, inflates to
// another size than the buffer's, or the buffer failed meanwhile.
bool InflateEntryInto(const TBook& book, const std::string& name, TGrowingBuffer& buffer);

class TEntryStreams {
public:
    // Fills the buffer from the start; true when it holds the whole entry, checked.
    using TFill = std::function<bool(TGrowingBuffer&)>;

    TEntryStreams() = default;
    ~TEntryStreams();
    TEntryStreams(const TEntryStreams&) = delete;
    TEntryStreams& operator=(const TEntryStreams&) = delete;

    // The buffer of exactly this name that is being filled or sent, or a new one of size
    // bytes that fill fills on a thread of its own, completed when fill returns true and
    // failed otherwise. Null when closed, or when no memory or thread is to be had.
    std::shared_ptr<TGrowingBuffer> Get(const std::string& name, std::size_t size, TFill fill);

    // Fails every buffer still being filled, so that its answers are cut off and its
    // producer stops, waits for every producer thread, and gives no buffer until Open.
    void Close();
    void Open();

    // Producer threads alive.
    std::size_t ProducerCount();

private:
    struct TProducer {
        std::shared_ptr<TGrowingBuffer> Buffer;  // until filled
        std::thread Thread;
        bool Done = false;  // has left for good: only its joining is left
    };
    void Produce(TProducer& producer, const TFill& fill);

    std::mutex lock_;
    bool closed_ = false;
    std::unordered_map<std::string, std::weak_ptr<TGrowingBuffer>> buffers_;
    std::list<TProducer> producers_;
};

}  // namespace folianto
