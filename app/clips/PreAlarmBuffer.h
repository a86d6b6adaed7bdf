#pragma once
// The last seconds of the stream as JPEG pictures, so that a clip can begin before its alarm.
// Bounded by time and by bytes: the oldest pictures go first, so memory stays flat whatever the
// camera delivers. One thread only (the clip writer's).
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace tarvo {

struct ClipFrame {
    QByteArray jpeg;          // one JPEG picture of the stream's size
    std::uint32_t timeMs = 0; // capture time: ms since the stream started
    std::int64_t clockMs = 0; // when the clip recorder took it, on the clock its sound is stamped with
};

class PreAlarmBuffer {
public:
    static constexpr std::size_t DefaultByteLimit = std::size_t(64) << 20;

    // spanMs 0 keeps nothing.
    explicit PreAlarmBuffer(std::uint32_t spanMs, std::size_t byteLimit = DefaultByteLimit);

    // Adds the newest picture, then drops the oldest while the pictures span more than spanMs or
    // hold more than byteLimit bytes.
    void Push(ClipFrame frame);
    // Every picture held, oldest first; the buffer is empty afterwards.
    std::deque<ClipFrame> TakeAll();

    std::size_t Bytes() const { return bytes_; }
    std::size_t Frames() const { return frames_.size(); }

private:
    std::uint32_t spanMs_;
    std::size_t byteLimit_;
    std::size_t bytes_ = 0;
    std::deque<ClipFrame> frames_;
};

} // namespace tarvo
