#pragma once
// A body whose size is known before its bytes are: one producer fills it from the start
// while any number of connections send what is ready. The last byte goes out only once
// the producer has said the whole is right, so a body found wrong at its very end (a
// checksum) never reaches a client complete; a failed one cuts every answer short.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <stdexcept>

namespace folianto {

// A body that cannot be completed; the answer sending it is cut off.
class EIncompleteBody : public std::runtime_error {
public:
    EIncompleteBody() : std::runtime_error("The body could not be completed") {}
};

class TGrowingBuffer {
public:
    // Not cleared first: the producer overwrites every byte. Throws std::bad_alloc.
    explicit TGrowingBuffer(std::size_t size);
    TGrowingBuffer(const TGrowingBuffer&) = delete;
    TGrowingBuffer& operator=(const TGrowingBuffer&) = delete;

    std::size_t Size() const { return size_; }
    // Bytes below what WaitReady returned are final.
    const std::uint8_t* Data() const { return data_.get(); }

    // The producer's side, for one thread.
    // The bytes not filled yet, from the first of them.
    std::span<std::uint8_t> Unfilled();
    // The next count bytes of Unfilled hold their final values now. Throws EIncompleteBody
    // once the buffer has failed, so that its producer stops.
    void Filled(std::size_t count);
    // Every byte is filled and right; readers may send the last one. A buffer not full
    // fails instead.
    void Complete();
    // The bytes cannot be completed: every reader's wait throws EIncompleteBody. Any
    // thread may fail a buffer (the owner does at Stop); a complete one stays complete.
    void Fail();
    bool Failed();

    // A reader's side: waits until more than sent bytes may be sent and returns how many
    // may, in all (Size once complete). Throws EIncompleteBody when the buffer has failed.
    std::size_t WaitReady(std::size_t sent);

private:
    enum class TState { Filling, Complete, Failed };
    std::size_t SendableLocked() const;

    const std::size_t size_;
    const std::unique_ptr<std::uint8_t[]> data_;
    std::mutex lock_;
    std::condition_variable grown_;
    std::size_t filled_ = 0;  // written by the producer only, under the lock
    TState state_ = TState::Filling;
};

}  // namespace folianto
