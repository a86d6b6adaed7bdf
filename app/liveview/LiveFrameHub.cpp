#include "app/liveview/LiveFrameHub.h"

#include "capture/FrameDecoder.h"
#include "imaging/Caption.h"

#include <QImage>
#include <exception>

namespace tarvo {

namespace {
std::int64_t SteadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::size_t FrameBytes(const FrameBuffer& header) { return header.bytesUsed ? header.bytesUsed : header.capacity; }
} // namespace

LiveFrameHub::~LiveFrameHub() { Stop(); }

void LiveFrameHub::Start(const OptionsValues& options, int fps)
{
    Stop();
    options_ = options;
    writer_.SetQuality(options.PicQual);
    {
        std::lock_guard lock(rawMutex_);
        rawStopping_ = false;
        rawPending_ = false;
    }
    {
        std::lock_guard lock(jpegMutex_);
        jpegStopping_ = false;
        latest_ = Frame{};
    }
    intervalNs_ = 1000000000LL / std::max(fps, 1);
    nextDueNs_ = 0;
    lastDemandNs_ = 0;
    encoder_ = std::thread([this] { Encode(); });
    active_ = true;
}

void LiveFrameHub::Stop()
{
    active_ = false;
    {
        std::lock_guard lock(rawMutex_);
        rawStopping_ = true;
    }
    {
        std::lock_guard lock(jpegMutex_);
        jpegStopping_ = true;
    }
    rawReady_.notify_all();
    jpegReady_.notify_all();
    if (encoder_.joinable())
        encoder_.join();
}

void LiveFrameHub::SetPreviewFormat(const FrameFormat& format)
{
    std::lock_guard lock(rawMutex_);
    previewFormat_ = format;
    previewFormatKnown_ = format.width() > 0 && format.height() > 0;
}

void LiveFrameHub::Offer(const FrameBuffer& header, const FrameFormat& format)
{
    if (!active_.load(std::memory_order_relaxed) || !header.data)
        return;
    // Frames are taken on a fixed beat, so a camera's rate that is no multiple of the stream's still
    // gives the stream's rate on average; after a pause the beat starts again.
    const std::int64_t now = SteadyNs();
    const std::int64_t due = nextDueNs_.load(std::memory_order_relaxed);
    if (!Due(now))
        return;
    {
        // The encoder holds the lock only to swap buffers; if it does right now, the next frame
        // is taken instead of waiting.
        std::unique_lock lock(rawMutex_, std::try_to_lock);
        if (!lock.owns_lock())
            return;
        raw_.assign(header.data, header.data + FrameBytes(header));
        rawFormat_ = format;
        rawTakenNs_ = now;
        rawTakenMs_ = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
        rawPending_ = true;
    }
    const std::int64_t interval = intervalNs_.load(std::memory_order_relaxed);
    nextDueNs_.store(now - due < interval ? due + interval : now + interval, std::memory_order_relaxed);
    rawReady_.notify_one();
}

bool LiveFrameHub::Due(std::int64_t now) const
{
    return now >= nextDueNs_.load(std::memory_order_relaxed) &&
           now - lastDemandNs_.load(std::memory_order_relaxed) <= std::chrono::nanoseconds(IdleAfter).count();
}

void LiveFrameHub::Offer(const FrameBuffer& header)
{
    // Every frame of the running camera comes here: nothing is done unless one is wanted now.
    if (!active_.load(std::memory_order_relaxed) || !Due(SteadyNs()))
        return;
    FrameFormat format;
    {
        std::unique_lock lock(rawMutex_, std::try_to_lock);
        if (!lock.owns_lock() || !previewFormatKnown_)
            return;
        format = previewFormat_;
    }
    Offer(header, format);
}

std::int64_t LiveFrameHub::LastTakenMs() const
{
    std::lock_guard lock(jpegMutex_);
    return latest_.takenMs;
}

LiveFrameHub::Frame LiveFrameHub::Fresh(std::chrono::milliseconds wait) const
{
    const std::int64_t now = SteadyNs();
    lastDemandNs_.store(now, std::memory_order_relaxed);
    std::unique_lock lock(jpegMutex_);
    jpegReady_.wait_for(lock, wait, [&] { return jpegStopping_ || (latest_.jpeg && latest_.takenNs >= now); });
    return latest_;
}

LiveFrameHub::Frame LiveFrameHub::WaitNewer(std::uint64_t after, std::chrono::milliseconds timeout) const
{
    lastDemandNs_.store(SteadyNs(), std::memory_order_relaxed);
    std::unique_lock lock(jpegMutex_);
    jpegReady_.wait_for(lock, timeout, [&] { return jpegStopping_ || latest_.seq > after; });
    return latest_;
}

void LiveFrameHub::Encode()
{
    FrameDecoder decoder;
    std::vector<std::uint8_t> raw;
    FrameFormat format{};
    std::int64_t takenNs = 0, takenMs = 0;
    for (;;) {
        {
            std::unique_lock lock(rawMutex_);
            rawReady_.wait(lock, [this] { return rawStopping_ || rawPending_; });
            if (rawStopping_)
                return;
            raw.swap(raw_);
            format = rawFormat_;
            takenNs = rawTakenNs_;
            takenMs = rawTakenMs_;
            rawPending_ = false;
        }
        QByteArray jpeg;
        // An MJPEG camera's picture is a JPEG already: it goes out as it came when nothing is drawn in.
        if (format.header.compression == FOURCC_MJPG && !options_.CaptionWebsite) {
            jpeg = QByteArray(reinterpret_cast<const char*>(raw.data()), qsizetype(raw.size()));
        } else {
            QImage picture;
            if (!decoder.Draw(format, raw.data(), raw.size(), picture))
                continue; // a damaged frame is skipped; the next one follows soon
            try {
                if (options_.CaptionWebsite)
                    DrawCaption(picture, options_);
            } catch (const std::exception&) {
                // A caption that cannot be drawn leaves the picture as it is.
            }
            jpeg = writer_.Compress(picture);
        }
        if (jpeg.isEmpty())
            continue;
        {
            std::lock_guard lock(jpegMutex_);
            latest_.jpeg = std::make_shared<const QByteArray>(std::move(jpeg));
            ++latest_.seq;
            latest_.takenNs = takenNs;
            latest_.takenMs = takenMs;
        }
        jpegReady_.notify_all();
    }
}

} // namespace tarvo
