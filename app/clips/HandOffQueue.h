#pragma once
// Hands items from a thread that must never wait (the frame thread) to a worker thread. Items
// that carry bytes are refused once the queue holds maxItems of them or maxBytes in all; items of
// no bytes (events that must not get lost) are always taken.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace tarvo {

template <class T> class HandOffQueue {
public:
    HandOffQueue(std::size_t maxItems, std::size_t maxBytes) : maxItems_(maxItems), maxBytes_(maxBytes) {}

    // Producer: whether an item of this many bytes would be taken now. Only the consumer removes
    // items, so a yes stays a yes for the producer's next TryPush.
    bool HasRoom(std::size_t bytes) const
    {
        std::lock_guard lock(mutex_);
        return RoomFor(bytes);
    }
    // Producer: never waits. False when the item was refused (queue full or closed).
    bool TryPush(T item, std::size_t bytes)
    {
        {
            std::lock_guard lock(mutex_);
            if (closed_ || !RoomFor(bytes))
                return false;
            items_.push_back({std::move(item), bytes});
            bytes_ += bytes;
            if (bytes > 0)
                ++sized_;
        }
        ready_.notify_one();
        return true;
    }
    // Consumer: the oldest item, waiting for one when wait is true; nothing once the queue is
    // closed and empty (or, without waiting, while it is empty).
    std::optional<T> Pop(bool wait = true)
    {
        std::unique_lock lock(mutex_);
        if (wait)
            ready_.wait(lock, [this] { return closed_ || !items_.empty(); });
        if (items_.empty())
            return std::nullopt;
        Entry entry = std::move(items_.front());
        items_.pop_front();
        bytes_ -= entry.bytes;
        if (entry.bytes > 0)
            --sized_;
        return std::move(entry.item);
    }
    // No more items are taken; Pop hands out what is left, then nothing.
    void Close()
    {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }
    // Opens the queue again, empty.
    void Reopen()
    {
        std::lock_guard lock(mutex_);
        items_.clear();
        bytes_ = 0;
        sized_ = 0;
        closed_ = false;
    }

private:
    struct Entry {
        T item;
        std::size_t bytes;
    };
    bool RoomFor(std::size_t bytes) const { return bytes == 0 || (sized_ < maxItems_ && bytes_ + bytes <= maxBytes_); }

    const std::size_t maxItems_;
    const std::size_t maxBytes_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Entry> items_;
    std::size_t bytes_ = 0;
    std::size_t sized_ = 0;
    bool closed_ = false;
};

} // namespace tarvo
