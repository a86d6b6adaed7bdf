#include "app/clips/ClipRecorder.h"

#include "app/clips/ClipFiles.h"
#include "app/clips/ClipWriter.h"
#include "capture/CaptureDevices.h"
#include "capture/PipelineDescription.h"
#include "common/Clock.h"
#include "common/EventLog.h"
#include "imaging/Caption.h"
#include "imaging/JpegCaptionStamp.h"
#include "imaging/JpegWriter.h"

#include <QFile>
#include <algorithm>
#include <exception>
#include <utility>

namespace tarvo {

namespace {
const QString Sender = QStringLiteral("ClipRecorder");

void Log(const QString& msg) { ProgramLog().WriteLog(msg, true, Sender); }

void LogFailure(const OptionsValues& options, const QString& why)
{
    Log("Motion clip could not be written to " + options.VideoDir.str() + ": " + why);
}
} // namespace

// What the frame thread hands over, in the order it happened.
struct ClipRecorder::Item {
    enum class Kind { Frame, Motion, Dropped };
    Kind kind = Kind::Frame;
    QByteArray bytes; // a frame's bytes as captured
    std::uint32_t timeMs = 0;
    bool armedAlarm = false;
    std::int64_t clockMs = 0; // when a frame was taken
};

// The clip being written.
struct ClipRecorder::Writing {
    ClipWriter writer;
    ClipName name;
    std::uint32_t firstMs = 0;      // capture time of the clip's first picture
    std::int64_t firstClockMs = 0;  // ... and when it was taken: where the sound track begins
    std::uint32_t lastMotionMs = 0; // the clip goes on PostSeconds after this
    bool dropLogged = false;
    bool soundDropLogged = false;
};

ClipRecorder::ClipRecorder() : ClipRecorder(Limits{}) {}

ClipRecorder::ClipRecorder(Limits limits) : limits_(limits), queue_(limits.queueFrames, limits.queueBytes) {}

ClipRecorder::~ClipRecorder()
{
    // The callback's owner may be going away already.
    report_ = false;
    Stop();
}

QString ClipRecorder::SoundSourceFor(const QString& deviceName)
{
    const bool microphone = deviceName != TestPatternDeviceName;
    return microphone && !MicrophoneAvailable() ? QString() : SoundSource(microphone);
}

void ClipRecorder::Start(const ClipOptions& clips, const OptionsValues& options, const FrameFormat& format,
                         const JpegWriter& jpeg, FileCounters& counters, SavedFn saved, const QString& soundSource)
{
    Stop();
    RemoveStaleClipFiles(options);
    active_ = clips.Enabled && options.Trigger == TriggerMotion && format.width() > 0 && format.height() > 0;
    if (!active_)
        return;
    clips_ = clips;
    options_ = options;
    format_ = format;
    jpeg_ = &jpeg;
    counters_ = &counters;
    compressed_ = format.header.compression == FOURCC_MJPG;
    saved_ = std::move(saved);
    locale_ = QLocale::system();
    anchored_ = false;
    if (clips.Audio) {
        const QString why = soundSource.isEmpty() ? QStringLiteral("no microphone found")
                            : sound_.Start(soundSource) ? QString()
                                                        : sound_.Error();
        if (!why.isEmpty())
            Log("Motion clips are recorded without sound: " + why);
    }
    soundBefore_.clear();
    buffer_ = std::make_unique<PreAlarmBuffer>(std::uint32_t(clips.PreSeconds) * 1000, limits_.bufferBytes);
    dropNoted_ = false;
    queue_.Reopen();
    done_ = false;
    thread_ = std::thread([this] { Run(); });
}

void ClipRecorder::Stop()
{
    if (!thread_.joinable())
        return;
    queue_.Close();
    {
        std::unique_lock lock(doneMutex_);
        if (!doneCv_.wait_for(lock, StopLimit, [this] { return done_; }))
            abort_ = true;
    }
    thread_.join();
    abort_ = false;
    active_ = false;
    buffer_.reset();
    sound_.Stop();
}

void ClipRecorder::AddFrame(const FrameBuffer& header)
{
    if (!active_ || !header.data)
        return;
    const std::size_t size = header.bytesUsed ? header.bytesUsed : header.capacity;
    // The frame is copied only when the writer thread will take it: a full queue costs nothing.
    const bool taken = size > 0 && queue_.HasRoom(size) &&
                       queue_.TryPush(Item{Item::Kind::Frame, QByteArray(reinterpret_cast<const char*>(header.data), qsizetype(size)),
                                           header.capturedMs, false, SteadyMs()},
                                      size);
    // One note stands for a run of dropped frames, so notes never fill the queue.
    if (!taken && !dropNoted_)
        queue_.TryPush(Item{Item::Kind::Dropped, {}, header.capturedMs}, 0);
    dropNoted_ = !taken;
}

void ClipRecorder::NoteMotion(std::uint32_t timeMs, bool armedAlarm)
{
    if (!active_)
        return;
    queue_.TryPush(Item{Item::Kind::Motion, {}, timeMs, armedAlarm}, 0);
    // Drops after an alarm may belong to a new clip: they are noted afresh.
    if (armedAlarm)
        dropNoted_ = false;
}

void ClipRecorder::Run()
{
    while (!abort_) {
        std::optional<Item> item = queue_.Pop(unwritten_.empty());
        if (!item && unwritten_.empty())
            break;
        if (item) {
            switch (item->kind) {
            case Item::Kind::Frame: HandleFrame(*item); break;
            case Item::Kind::Motion: HandleMotion(item->timeMs, item->armedAlarm); break;
            case Item::Kind::Dropped: NoteDrop(); break;
            }
        }
        if (!unwritten_.empty())
            WriteNext();
    }
    // The run is over: what was written so far becomes a playable clip, unless Stop ran out of
    // time, and then the clip fails at once.
    EndClip();
    {
        std::lock_guard lock(doneMutex_);
        done_ = true;
    }
    doneCv_.notify_all();
}

void ClipRecorder::HandleFrame(Item& item)
{
    TakeSound();
    lastClockMs_ = item.clockMs;
    lastTimeMs_ = item.timeMs;
    if (!anchored_)
        Anchor(item.clockMs, item.timeMs);
    ClipFrame frame{std::move(item.bytes), item.timeMs, item.clockMs};
    if (!compressed_) {
        if (!decoder_.Draw(format_, reinterpret_cast<const std::uint8_t*>(frame.jpeg.constData()),
                           std::size_t(frame.jpeg.size()), picture_))
            return;
        if (options_.CaptionLocal) {
            try {
                DrawCaptionAt(picture_, options_, MomentOf(frame.timeMs), locale_);
            } catch (const std::exception&) {
                // A caption that cannot be drawn leaves the picture as it is.
            }
        }
        frame.jpeg = jpeg_->Compress(picture_);
        if (frame.jpeg.isEmpty())
            return;
    }
    if (writing_) {
        // Differences of capture times, which only grow within a stream.
        const auto sinceMotion = std::int64_t(std::int32_t(frame.timeMs - writing_->lastMotionMs));
        const auto length = std::int64_t(frame.timeMs - writing_->firstMs);
        if (sinceMotion > std::int64_t(clips_.PostSeconds) * 1000 || length >= std::int64_t(clips_.MaxSeconds) * 1000) {
            EndClip();
        } else {
            WriteToClip(std::move(frame));
            return;
        }
    }
    buffer_->Push(std::move(frame));
}

void ClipRecorder::HandleMotion(std::uint32_t timeMs, bool armedAlarm)
{
    if (writing_)
        writing_->lastMotionMs = timeMs;
    else if (armedAlarm)
        BeginClip(timeMs);
}

void ClipRecorder::BeginClip(std::uint32_t alarmMs)
{
    auto writing = std::make_unique<Writing>();
    writing->name = NewClipName(options_, *counters_);
    QString temp;
    QString error;
    UniqueFd file = CreateClipTemp(options_, *counters_, writing->name, &temp, &error);
    const int fps = std::clamp(int(options_.FrameRate), 1, 60);
    if (!file.Valid()) {
        LogFailure(options_, error);
        return;
    }
    if (!writing->writer.Open(std::move(file), temp, QSize(format_.width(), format_.height()), fps,
                              sound_.Running() ? ClipSound::Rate : 0)) {
        LogFailure(options_, writing->writer.Error());
        return;
    }
    writing->writer.SetWaitHook([this] { return KeepWaiting(); });
    Anchor(lastClockMs_, lastTimeMs_);
    std::deque<ClipFrame> before = buffer_->TakeAll();
    writing->firstMs = before.empty() ? alarmMs : before.front().timeMs;
    writing->firstClockMs = before.empty() ? lastClockMs_ : before.front().clockMs;
    writing->lastMotionMs = alarmMs;
    writing_ = std::move(writing);
    // The sound goes ahead of its pictures, which the muxer waits for.
    for (const SoundChunk& chunk : std::exchange(soundBefore_, {}))
        WriteSound(chunk);
    for (ClipFrame& frame : before)
        WriteToClip(std::move(frame));
}

void ClipRecorder::CheckSound()
{
    if (!sound_.Running())
        return;
    const QString failure = sound_.Failure();
    if (failure.isEmpty())
        return;
    Log("Motion clips are recorded without sound: " + failure);
    sound_.Stop();
    soundBefore_.clear();
    if (writing_)
        writing_->writer.EndSound();
}

bool ClipRecorder::KeepWaiting()
{
    // A source that fell silent holds the muxer, and with it the wait, until its track ends.
    CheckSound();
    return !abort_;
}

void ClipRecorder::TakeSound()
{
    CheckSound();
    if (!sound_.Running())
        return;
    bool dropped = false;
    std::deque<SoundChunk> chunks = sound_.Take(&dropped);
    if (dropped && writing_ && !writing_->soundDropLogged) {
        writing_->soundDropLogged = true;
        Log("Motion clip drops sound: the disk is slower than the sound source");
    }
    for (SoundChunk& chunk : chunks) {
        if (writing_) {
            WriteSound(chunk);
        } else {
            soundBefore_.push_back(std::move(chunk));
        }
    }
    // A second more than the pictures' span: the clip's first picture decides what is used.
    const std::int64_t keepFrom = lastClockMs_ - std::int64_t(clips_.PreSeconds + 1) * 1000;
    while (!soundBefore_.empty() && soundBefore_.front().startMs < keepFrom)
        soundBefore_.pop_front();
}

void ClipRecorder::WriteSound(const SoundChunk& chunk)
{
    if (!writing_ || !writing_->writer.HasSound())
        return;
    ClipWriter& writer = writing_->writer;
    // Where the chunk belongs in the track against what the track holds: chunks come unevenly, so
    // a tenth of a second either way is written as it comes; a larger gap (dropped sound, or sound
    // that began after the first picture) is filled with silence, an overlap is cut.
    const std::int64_t at = (chunk.startMs - writing_->firstClockMs) * ClipSound::Rate / 1000;
    const auto written = std::int64_t(writer.SoundSamples());
    const std::int64_t slack = ClipSound::Rate / 10;
    QByteArray pcm = chunk.pcm;
    if (at > written + slack)
        pcm.prepend(QByteArray(qsizetype(at - written) * ClipSound::BytesPerSample, '\0'));
    else if (at < written - slack)
        pcm.remove(0, qsizetype(written - at) * ClipSound::BytesPerSample);
    if (!writer.WriteSound(pcm))
        FailClip();
}

void ClipRecorder::Anchor(std::int64_t clockMs, std::uint32_t timeMs)
{
    // The frame was taken when it reached the recorder, not when this thread came to it.
    anchorMoment_ = ProgramClock().now().toLocalTime().addMSecs(clockMs - SteadyMs());
    anchorTimeMs_ = timeMs;
    anchored_ = true;
}

QDateTime ClipRecorder::MomentOf(std::uint32_t timeMs) const
{
    // A difference of capture times, which may lie on either side of the anchor.
    return anchorMoment_.addMSecs(std::int32_t(timeMs - anchorTimeMs_));
}

void ClipRecorder::WriteToClip(ClipFrame frame)
{
    if (writing_)
        unwritten_.push_back(std::move(frame));
}

void ClipRecorder::WriteNext()
{
    const ClipFrame frame = std::move(unwritten_.front());
    unwritten_.pop_front();
    if (!writing_)
        return;
    // Raw frames got their caption when they were compressed. The camera's bytes before the
    // caption's rows go into the clip as they are, uncopied.
    StampedJpeg stamped{frame.jpeg.size(), {}};
    if (compressed_ && options_.CaptionLocal)
        stamped = StampJpegCaptionInParts(frame.jpeg, options_, MomentOf(frame.timeMs), locale_);
    if (stamped.Failed())
        stamped.kept = frame.jpeg.size(); // a damaged picture goes in as it came
    if (!writing_->writer.Write(frame.jpeg, stamped.kept, stamped.rest, frame.timeMs - writing_->firstMs))
        FailClip();
}

void ClipRecorder::NoteDrop()
{
    // Frames missing before an alarm only shorten what the buffer holds.
    if (!writing_ || writing_->dropLogged)
        return;
    writing_->dropLogged = true;
    Log("Motion clip drops frames: the disk is slower than the camera");
}

void ClipRecorder::EndClip()
{
    if (!writing_)
        return;
    while (!unwritten_.empty() && !abort_)
        WriteNext();
    unwritten_.clear();
    TakeSound();
    if (!writing_)
        return; // a picture or the sound could not be written
    if (!writing_->writer.Finish()) {
        FailClip();
        return;
    }
    const std::unique_ptr<Writing> done = std::move(writing_);
    QString error;
    const QString file = MoveToFinalName(done->writer.Path(), options_, *counters_, done->name, &error);
    if (file.isEmpty()) {
        QFile::remove(done->writer.Path());
        LogFailure(options_, error);
        return;
    }
    Log("Motion clip saved as: " + file);
    if (saved_ && report_.load())
        saved_(file);
}

void ClipRecorder::FailClip()
{
    // The writer has removed its file already.
    LogFailure(options_, writing_->writer.Error());
    writing_.reset();
    unwritten_.clear();
}

} // namespace tarvo
