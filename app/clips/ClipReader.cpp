#include "app/clips/ClipReader.h"

#include "common/SafeFileWrite.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvo {

namespace {
constexpr std::uint32_t FourCc(const char (&s)[5])
{
    return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 | std::uint32_t(std::uint8_t(s[2])) << 16 |
           std::uint32_t(std::uint8_t(s[3])) << 24;
}

std::uint32_t Le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }

// Chunks are padded to an even size.
std::int64_t Padded(std::uint32_t size) { return std::int64_t(size) + (size & 1); }

// Top-level and list chunks looked at before giving up on a file that is all small chunks.
constexpr int MaxChunks = 4096;
} // namespace

bool ClipReader::Read(std::int64_t offset, void* into, std::size_t bytes) const
{
    if (offset < 0 || offset > fileSize_ || std::int64_t(bytes) > fileSize_ - offset)
        return false;
    return ::pread(fd_.Get(), into, bytes, offset) == ssize_t(bytes);
}

bool ClipReader::VideoChunk(std::uint32_t id, std::uint32_t size) const
{
    // "00dc" or "00db": stream 0's compressed or plain frames.
    return (id == FourCc("00dc") || id == FourCc("00db")) && size > 0 && size <= MaxFrameBytes;
}

bool ClipReader::Open(const QString& path)
{
    frames_.clear();
    frameUs_ = DefaultFrameUs;
    struct stat st {};
    fd_ = OpenRegularFile(path, O_RDONLY, 0, &st);
    if (!fd_.Valid())
        return false;
    fileSize_ = st.st_size;
    std::uint8_t head[12];
    if (!Read(0, head, sizeof head) || Le32(head) != FourCc("RIFF") || Le32(head + 8) != FourCc("AVI "))
        return false;
    const std::int64_t end = std::min<std::int64_t>(fileSize_, 8 + std::int64_t(Le32(head + 4)));
    std::int64_t movie = -1, movieEnd = -1;
    std::int64_t at = 12;
    for (int n = 0; n < MaxChunks && at + 8 <= end; ++n) {
        std::uint8_t chunk[12];
        if (!Read(at, chunk, 8))
            break;
        const std::uint32_t id = Le32(chunk), size = Le32(chunk + 4);
        const std::int64_t data = at + 8;
        if (id == FourCc("LIST") && size >= 4 && Read(data, chunk + 8, 4)) {
            const std::uint32_t type = Le32(chunk + 8);
            if (type == FourCc("movi")) {
                movie = data;
                movieEnd = std::min(end, data + std::int64_t(size));
            } else if (type == FourCc("hdrl")) {
                // The main header comes first in the header list: its first field is the frame time.
                std::uint8_t avih[12];
                if (Read(data + 4, avih, sizeof avih) && Le32(avih) == FourCc("avih") && Le32(avih + 4) >= 4) {
                    const std::int64_t us = Le32(avih + 8);
                    if (us > 0)
                        frameUs_ = std::clamp<std::int64_t>(us, 1000, 10000000);
                }
            }
        } else if (id == FourCc("idx1") && movie >= 0 && size <= MaxIndexBytes) {
            ReadIndex(data, size, movie);
        }
        at = data + Padded(size);
    }
    if (frames_.empty() && movie >= 0)
        WalkMovie(movie + 4, movieEnd);
    return !frames_.empty();
}

void ClipReader::ReadIndex(std::int64_t at, std::uint32_t size, std::int64_t movie)
{
    std::vector<std::uint8_t> index(size / 16 * 16);
    if (index.empty() || !Read(at, index.data(), index.size()))
        return;
    // Offsets count from the movie list's type, or (some writers) from the file's start: the first
    // video entry tells which, by the chunk it points at.
    std::int64_t base = -1;
    for (std::size_t i = 0; i < index.size() && frames_.size() < MaxFrames; i += 16) {
        const std::uint8_t* e = index.data() + i;
        const std::uint32_t id = Le32(e), size = Le32(e + 12);
        if (!VideoChunk(id, size))
            continue;
        const std::int64_t offset = Le32(e + 8);
        if (base < 0) {
            std::uint8_t header[4];
            base = Read(movie + offset, header, 4) && Le32(header) == id ? movie : 0;
        }
        const std::int64_t chunk = base + offset;
        if (chunk + 8 + std::int64_t(size) <= fileSize_)
            frames_.push_back({chunk, size});
    }
}

void ClipReader::WalkMovie(std::int64_t at, std::int64_t end)
{
    for (std::size_t n = 0; n < 4 * MaxFrames && at + 8 <= end && frames_.size() < MaxFrames; ++n) {
        std::uint8_t chunk[12];
        if (!Read(at, chunk, 8))
            return;
        const std::uint32_t id = Le32(chunk), size = Le32(chunk + 4);
        if (id == FourCc("LIST") && size >= 4) { // a 'rec ' group: its chunks follow its type
            at += 12;
            continue;
        }
        if (VideoChunk(id, size) && at + 8 + std::int64_t(size) <= fileSize_)
            frames_.push_back({at, size});
        at += 8 + Padded(size);
    }
}

bool ClipReader::ReadFrame(std::size_t i, QByteArray& jpeg) const
{
    if (i >= frames_.size())
        return false;
    const Entry& e = frames_[i];
    // The chunk must still be what the index said: the file may have changed since it was opened.
    std::uint8_t header[8];
    if (!Read(e.offset, header, sizeof header) || !VideoChunk(Le32(header), Le32(header + 4)) || Le32(header + 4) != e.size)
        return false;
    jpeg.resize(qsizetype(e.size));
    if (!Read(e.offset + 8, jpeg.data(), e.size))
        return false;
    const auto* p = reinterpret_cast<const std::uint8_t*>(jpeg.constData());
    return e.size >= 4 && p[0] == 0xFF && p[1] == 0xD8;
}

} // namespace tarvo
