#pragma once
// A video clip of each motion alarm. While auto-capturing with the motion trigger and clips on,
// every frame is kept as a JPEG picture for the last PreSeconds; an armed alarm begins a clip with
// those pictures and goes on with the live ones until PostSeconds after the last motion seen, at
// most MaxSeconds. Motion seen while disarmed lengthens the clip; it never begins another.
//
// Threads: Start and Stop run on the GUI thread while no frame is being handled (before the run
// accepts frames, after its stream has ended). AddFrame and NoteMotion run on the frame thread and
// never wait: they hand a copy of the frame, or the motion, to the clip writer's thread through a
// bounded queue. When that thread falls behind (a disk slower than the camera), frames are
// dropped and the first drop of a clip is logged. The writer thread logs each clip and reports
// its file through the saved callback. Stop waits at most StopLimit for the writer thread to
// finish the clip; then it tells the thread to give the clip up, which it does within one of its
// waits' polls, and joins it.
//
// With sound asked for, the sound source is captured for the whole run; its chunks and the frames
// are stamped on arrival with one steady clock, so the writer thread keeps the sound of the last
// PreSeconds next to the pictures and lays it under each clip from the clip's first picture on.
// A source that cannot start, or fails, leaves the clips silent and is logged once. So does a source
// that falls silent, also while the writer waits for GStreamer: the muxer waits for the sound.
//
// With the caption of local pictures on, every picture of a clip carries it, with the moment the
// picture was taken (the seconds before the alarm show their earlier times). The writer thread
// draws it: into the pixels of a raw frame before it is compressed, into a camera's JPEG picture
// through its blocks under the caption only (StampJpegCaption) as the picture goes into a clip; a
// picture that cannot be stamped goes in as it came. The pictures before the alarm are captioned
// one by one between the frames that keep coming.
#include "app/clips/ClipSound.h"
#include "app/clips/HandOffQueue.h"
#include "app/clips/PreAlarmBuffer.h"
#include "capture/CaptureTypes.h"
#include "capture/FrameDecoder.h"
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"

#include <QDateTime>
#include <QImage>
#include <QLocale>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tarvo {

class FileCounters;
class JpegWriter;

class ClipRecorder {
public:
    struct Limits {
        std::size_t queueFrames = 32;                   // frames waiting for the writer thread
        std::size_t queueBytes = std::size_t(48) << 20; // ... and their bytes
        std::size_t bufferBytes = PreAlarmBuffer::DefaultByteLimit;
    };
    using SavedFn = std::function<void(const QString& file)>;
    static constexpr std::chrono::seconds StopLimit{3};

    ClipRecorder();
    explicit ClipRecorder(Limits limits);
    // Finishes a clip being written, without reporting it.
    ~ClipRecorder();
    ClipRecorder(const ClipRecorder&) = delete;
    ClipRecorder& operator=(const ClipRecorder&) = delete;

    // GUI thread, at the start of a run: takes the run's settings (the clip settings, the video
    // folder and naming, the frame rate) and the stream's format. Removes the temporary files of
    // clips an earlier program left unfinished; does nothing more unless clips are on and the
    // trigger is motion. Frames that are not JPEG already are compressed with jpeg; the clips'
    // names are drawn from counters; both must outlive the run. soundSource: a GStreamer launch description of the sound source (see
    // SoundSourceFor), used when the clip settings ask for sound; empty when there is none.
    void Start(const ClipOptions& clips, const OptionsValues& options, const FrameFormat& format,
               const JpegWriter& jpeg, FileCounters& counters, SavedFn saved, const QString& soundSource = {});
    // GUI thread, once no frame comes any more: the clip being written is finished as a playable
    // file and reported, or, when that takes longer than StopLimit, given up; the writer thread ends.
    void Stop();
    // Clips are being kept for this run.
    bool Active() const { return active_.load(); }

    // The sound source of a run on this capture device: the default microphone of a camera, the
    // test tone of the test device; empty for a camera when the system has no microphone.
    static QString SoundSourceFor(const QString& deviceName);

    // Frame thread: every frame of the run.
    void AddFrame(const FrameBuffer& header);
    // Frame thread: a motion sample that saw motion; armedAlarm when it raised an alarm.
    void NoteMotion(std::uint32_t timeMs, bool armedAlarm);

private:
    struct Item;
    struct Writing;

    // Writer thread.
    void Run();
    void HandleFrame(Item& item);
    void HandleMotion(std::uint32_t timeMs, bool armedAlarm);
    void BeginClip(std::uint32_t alarmMs);
    void WriteToClip(ClipFrame frame);
    void WriteNext();
    void Anchor(std::int64_t clockMs, std::uint32_t timeMs);
    QDateTime MomentOf(std::uint32_t timeMs) const;
    void NoteDrop();
    void TakeSound();
    void CheckSound();
    bool KeepWaiting();
    void WriteSound(const SoundChunk& chunk);
    void EndClip();
    void FailClip();

    const Limits limits_;
    HandOffQueue<Item> queue_;
    std::thread thread_;
    // Read by the frame thread, which must see a stop even from a frame the capture side delivers
    // late; atomic so that it needs no other ordering.
    std::atomic<bool> active_{false};
    std::atomic<bool> dropNoted_{false}; // the last frame was dropped and the writer told so
    std::atomic<bool> abort_{false};     // Stop ran out of time: the writer thread gives up the clip
    std::mutex doneMutex_;
    std::condition_variable doneCv_;
    bool done_ = false; // the writer thread has nothing left to do; under doneMutex_

    // The run's settings; written by Start before the run accepts frames.
    ClipOptions clips_;
    OptionsValues options_{};
    FrameFormat format_;
    const JpegWriter* jpeg_ = nullptr;
    FileCounters* counters_ = nullptr;
    bool compressed_ = false;
    SavedFn saved_;
    QLocale locale_; // the user's regional formats, for the caption
    std::atomic<bool> report_{true}; // cleared when the recorder is destroyed

    // Writer thread only.
    FrameDecoder decoder_; // raw frames become JPEG pictures once, here
    QImage picture_;
    std::unique_ptr<PreAlarmBuffer> buffer_;
    ClipSound sound_; // started and stopped by the GUI thread while the writer thread is not running
    std::deque<SoundChunk> soundBefore_; // the sound of the pictures in buffer_
    std::int64_t lastClockMs_ = 0;       // when the newest frame was taken
    std::uint32_t lastTimeMs_ = 0;       // ... and its capture time
    // The wall-clock moment of one capture time, from which the captions count; set by the run's
    // first frame and again at each clip's start, so that a clock set meanwhile is followed.
    bool anchored_ = false;
    QDateTime anchorMoment_;
    std::uint32_t anchorTimeMs_ = 0;
    std::unique_ptr<Writing> writing_;
    // Pictures of the clip not yet captioned and written: the seconds before the alarm, and what
    // came while those were written. One goes out after each item taken from the queue, so the
    // frame thread's queue is served while they are.
    std::deque<ClipFrame> unwritten_;
};

} // namespace tarvo
