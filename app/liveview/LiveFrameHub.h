#pragma once
// The live view's frames: one slot for the newest captured frame and one encoder thread that turns
// it into a JPEG once for every viewer, at most StreamFps times a second, and only while someone
// looks: without a viewer or a picture asked for in the last seconds no frame is copied or encoded.
//
// Threads: Offer runs on the streaming thread and never waits for the encoder or a viewer (it
// copies the frame into the slot under a lock held only for that copy, and only when a frame is
// due). Start, Stop and SetPreviewFormat run on the GUI thread. Fresh, WaitNewer and LastTakenMs run on the
// server's connection threads.
#include "capture/CaptureTypes.h"
#include "imaging/JpegWriter.h"
#include "settings/OptionsValues.h"

#include <QByteArray>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvo {

class LiveFrameHub {
public:
    using Jpeg = std::shared_ptr<const QByteArray>;
    struct Frame {
        Jpeg jpeg;              // null while no frame was encoded since the start
        std::uint64_t seq = 0;  // grows by one with each new JPEG
        std::int64_t takenNs = 0; // steady clock, when the camera's frame was taken for it
        std::int64_t takenMs = 0; // the same moment in ms since the epoch
    };
    // Frames are taken for this long after the last time one was asked for.
    static constexpr std::chrono::seconds IdleAfter{10};

    LiveFrameHub() = default;
    ~LiveFrameHub();
    LiveFrameHub(const LiveFrameHub&) = delete;
    LiveFrameHub& operator=(const LiveFrameHub&) = delete;

    // Starts taking frames: fps per second at most, the website caption drawn in when the settings
    // ask for it, JPEG at their quality. The settings are copied.
    void Start(const OptionsValues& options, int fps);
    // Stops taking frames, wakes every waiting viewer and joins the encoder.
    void Stop();
    bool Running() const { return active_.load(std::memory_order_relaxed); }

    // The format of the frames the capture component shows while auto-capturing is off.
    void SetPreviewFormat(const FrameFormat& format);

    // One call per captured frame: the frame is copied into the slot when one is due.
    void Offer(const FrameBuffer& header, const FrameFormat& format);
    // A frame outside auto-capturing, previewed or not, in the format SetPreviewFormat gave.
    void Offer(const FrameBuffer& header);

    // When the newest frame was taken (ms since the epoch, 0: none yet); asks for no frames.
    std::int64_t LastTakenMs() const;
    // A frame the camera delivered after this call, waiting up to `wait` for it (no viewer may have
    // asked for a while, so the camera's frames first have to be taken again); the latest, maybe
    // old or missing, when none comes in time.
    Frame Fresh(std::chrono::milliseconds wait) const;
    // The newest frame once one newer than `after` is there; the latest (maybe the same) when the
    // time passes or the hub stops first.
    Frame WaitNewer(std::uint64_t after, std::chrono::milliseconds timeout) const;

private:
    // Whether a frame taken now is wanted: someone asked lately, and the stream's beat is due.
    bool Due(std::int64_t now) const;
    void Encode();
    QByteArray EncodeOne(const std::vector<std::uint8_t>& raw, const FrameFormat& format);

    std::atomic<bool> active_{false};
    std::atomic<std::int64_t> intervalNs_{0};
    std::atomic<std::int64_t> nextDueNs_{0}; // frame thread only, besides Start
    mutable std::atomic<std::int64_t> lastDemandNs_{0};

    // The slot, shared by the frame thread and the encoder only: no viewer ever holds this lock.
    std::mutex rawMutex_;
    std::condition_variable rawReady_;
    bool rawStopping_ = false;
    FrameFormat previewFormat_{};
    bool previewFormatKnown_ = false;
    std::vector<std::uint8_t> raw_; // the newest due frame, not yet encoded
    FrameFormat rawFormat_{};
    std::int64_t rawTakenNs_ = 0;
    std::int64_t rawTakenMs_ = 0;
    bool rawPending_ = false;

    // The encoded picture, shared by the encoder and the viewers.
    mutable std::mutex jpegMutex_;
    mutable std::condition_variable jpegReady_;
    bool jpegStopping_ = false;
    Frame latest_;

    // Encoder thread only, set before it starts.
    OptionsValues options_;
    JpegWriter writer_;
    std::thread encoder_;
};

} // namespace tarvo
