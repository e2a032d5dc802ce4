#include "GrowingBuffer.h"

#include <algorithm>

namespace folianto {

TGrowingBuffer::TGrowingBuffer(std::size_t size)
    : size_(size), data_(std::make_unique_for_overwrite<std::uint8_t[]>(size))
{
}

std::span<std::uint8_t> TGrowingBuffer::Unfilled()
{
    // Only the producer changes filled_, so it reads it without the lock.
    return {data_.get() + filled_, size_ - filled_};
}

void TGrowingBuffer::Filled(std::size_t count)
{
    {
        std::lock_guard guard(lock_);
        if (state_ == TState::Failed)
            throw EIncompleteBody();
        if (count > size_ - filled_)
            throw std::logic_error("filled beyond the end of a growing buffer");
        filled_ += count;
    }
    if (count > 0)
        grown_.notify_all();
}

void TGrowingBuffer::Complete()
{
    {
        std::lock_guard guard(lock_);
        if (state_ != TState::Filling)
            return;
        state_ = filled_ == size_ ? TState::Complete : TState::Failed;
    }
    grown_.notify_all();
}

void TGrowingBuffer::Fail()
{
    {
        std::lock_guard guard(lock_);
        if (state_ != TState::Filling)
            return;
        state_ = TState::Failed;
    }
    grown_.notify_all();
}

bool TGrowingBuffer::Failed()
{
    std::lock_guard guard(lock_);
    return state_ == TState::Failed;
}

std::size_t TGrowingBuffer::SendableLocked() const
{
    if (state_ == TState::Complete)
        return size_;
    return size_ == 0 ? 0 : std::min(filled_, size_ - 1);
}

std::size_t TGrowingBuffer::WaitReady(std::size_t sent)
{
    std::unique_lock lock(lock_);
    grown_.wait(lock, [&] { return state_ != TState::Filling || SendableLocked() > sent; });
    if (state_ == TState::Failed)
        throw EIncompleteBody();
    return SendableLocked();
}

}  // namespace folianto
