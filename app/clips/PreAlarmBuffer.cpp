#include "app/clips/PreAlarmBuffer.h"

#include <utility>

namespace tarvo {

PreAlarmBuffer::PreAlarmBuffer(std::uint32_t spanMs, std::size_t byteLimit) : spanMs_(spanMs), byteLimit_(byteLimit) {}

void PreAlarmBuffer::Push(ClipFrame frame)
{
    if (spanMs_ == 0)
        return;
    bytes_ += std::size_t(frame.jpeg.size());
    frames_.push_back(std::move(frame));
    const std::uint32_t newest = frames_.back().timeMs;
    // Unsigned difference: capture times only grow within a stream.
    while (!frames_.empty() && (bytes_ > byteLimit_ || std::uint32_t(newest - frames_.front().timeMs) > spanMs_)) {
        bytes_ -= std::size_t(frames_.front().jpeg.size());
        frames_.pop_front();
    }
}

std::deque<ClipFrame> PreAlarmBuffer::TakeAll()
{
    bytes_ = 0;
    return std::exchange(frames_, {});
}

} // namespace tarvo
