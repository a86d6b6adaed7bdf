#pragma once
// Reads the frames of a clip Tarvo wrote (an AVI of JPEG frames) for the live view, which plays it
// in a browser as a stream of those frames. The file may have been changed or replaced by anyone:
// a link is not followed, only a regular file is read, every offset and size is checked against
// the file, and the counts are bounded. A frame is read when it is asked for.
//
// Threads: one reader belongs to one connection thread.
#include "common/UniqueFd.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace tarvo {

class ClipReader {
public:
    static constexpr std::size_t MaxFrames = 100000;        // over an hour at 25 frames a second
    static constexpr std::uint32_t MaxFrameBytes = 16 << 20; // a 4K JPEG fits many times
    static constexpr std::uint32_t MaxIndexBytes = 16 * MaxFrames;
    static constexpr std::int64_t DefaultFrameUs = 100000;

    // False when the file is no AVI with video frames (or a link, a FIFO, anything else).
    bool Open(const QString& path);
    std::size_t Frames() const { return frames_.size(); }
    // The time from one frame to the next, as the file's header says (bounded to sane values).
    std::int64_t FrameUs() const { return frameUs_; }
    // Frame i's bytes when they are a whole JPEG; false for a damaged or foreign frame.
    bool ReadFrame(std::size_t i, QByteArray& jpeg) const;

private:
    struct Entry {
        std::int64_t offset; // of the chunk's header
        std::uint32_t size;
    };
    bool Read(std::int64_t offset, void* into, std::size_t bytes) const;
    // The video chunks listed in the index chunk at `at`, relative to the movie list or absolute.
    void ReadIndex(std::int64_t at, std::uint32_t size, std::int64_t movie);
    // Without an index: the video chunks one after the other in the movie list.
    void WalkMovie(std::int64_t from, std::int64_t end);
    bool VideoChunk(std::uint32_t id, std::uint32_t size) const;

    UniqueFd fd_;
    std::int64_t fileSize_ = 0;
    std::int64_t frameUs_ = DefaultFrameUs;
    std::vector<Entry> frames_;
};

} // namespace tarvo
