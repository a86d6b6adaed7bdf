#include "app/clips/ClipRecorder.h"

#include "app/clips/ClipFiles.h"
#include "app/clips/ClipWriter.h"
#include "common/EventLog.h"
#include "imaging/JpegWriter.h"

#include <QFile>
#include <algorithm>
#include <utility>

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
};

// The clip being written.
struct ClipRecorder::Writing {
    ClipWriter writer;
    ClipName name;
    std::uint32_t firstMs = 0;      // capture time of the clip's first picture
    std::uint32_t lastMotionMs = 0; // the clip goes on PostSeconds after this
    bool dropLogged = false;
};

ClipRecorder::ClipRecorder() : ClipRecorder(Limits{}) {}

ClipRecorder::ClipRecorder(Limits limits) : limits_(limits), queue_(limits.queueFrames, limits.queueBytes) {}

ClipRecorder::~ClipRecorder()
{
    // The callback's owner may be going away already.
    report_ = false;
    Stop();
}

void ClipRecorder::Start(const ClipOptions& clips, const OptionsValues& options, const FrameFormat& format, SavedFn saved)
{
    Stop();
    active_ = clips.Enabled && options.Trigger == TriggerMotion && format.width() > 0 && format.height() > 0;
    if (!active_)
        return;
    clips_ = clips;
    options_ = options;
    format_ = format;
    compressed_ = format.bmiHeader.biCompression == FOURCC_MJPG;
    saved_ = std::move(saved);
    // The clip writer has no sound track; a profile that asks for sound is told once per run.
    if (clips.Audio)
        Log("Motion clips are recorded without sound");
    buffer_ = std::make_unique<PreAlarmBuffer>(std::uint32_t(clips.PreSeconds) * 1000, limits_.bufferBytes);
    dropNoted_ = false;
    queue_.Reopen();
    thread_ = std::thread([this] { Run(); });
}

void ClipRecorder::Stop()
{
    if (!thread_.joinable())
        return;
    queue_.Close();
    thread_.join();
    active_ = false;
    buffer_.reset();
}

void ClipRecorder::AddFrame(const VIDEOHDR& header)
{
    if (!active_ || !header.lpData)
        return;
    const std::size_t size = header.dwBytesUsed ? header.dwBytesUsed : header.dwBufferLength;
    // The frame is copied only when the writer thread will take it: a full queue costs nothing.
    const bool taken = size > 0 && queue_.HasRoom(size) &&
                       queue_.TryPush(Item{Item::Kind::Frame, QByteArray(reinterpret_cast<const char*>(header.lpData), qsizetype(size)),
                                           header.dwTimeCaptured},
                                      size);
    // One note stands for a run of dropped frames, so notes never fill the queue.
    if (!taken && !dropNoted_)
        queue_.TryPush(Item{Item::Kind::Dropped, {}, header.dwTimeCaptured}, 0);
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
    while (std::optional<Item> item = queue_.Pop()) {
        switch (item->kind) {
        case Item::Kind::Frame: HandleFrame(*item); break;
        case Item::Kind::Motion: HandleMotion(item->timeMs, item->armedAlarm); break;
        case Item::Kind::Dropped: NoteDrop(); break;
        }
    }
    // The run is over: what was written so far becomes a playable clip.
    EndClip();
}

void ClipRecorder::HandleFrame(Item& item)
{
    ClipFrame frame{std::move(item.bytes), item.timeMs};
    if (!compressed_) {
        if (!decoder_.Draw(format_, reinterpret_cast<const std::uint8_t*>(frame.jpeg.constData()),
                           std::size_t(frame.jpeg.size()), picture_))
            return;
        frame.jpeg = ProgramJpegWriter().Compress(picture_);
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
            WriteToClip(frame);
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
    writing->name = NewClipName(options_);
    const QString temp = ClipTempPath(options_, writing->name);
    const int fps = std::clamp(int(options_.FrameRate), 1, 60);
    if (!writing->writer.Open(temp, QSize(format_.width(), format_.height()), fps)) {
        LogFailure(options_, writing->writer.Error());
        return;
    }
    std::deque<ClipFrame> before = buffer_->TakeAll();
    writing->firstMs = before.empty() ? alarmMs : before.front().timeMs;
    writing->lastMotionMs = alarmMs;
    writing_ = std::move(writing);
    for (const ClipFrame& frame : before)
        WriteToClip(frame);
}

void ClipRecorder::WriteToClip(const ClipFrame& frame)
{
    if (!writing_)
        return;
    if (!writing_->writer.Write(frame.jpeg, frame.timeMs - writing_->firstMs))
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
    if (!writing_->writer.Finish()) {
        FailClip();
        return;
    }
    const std::unique_ptr<Writing> done = std::move(writing_);
    QString error;
    const QString file = MoveToFinalName(done->writer.Path(), options_, done->name, &error);
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
}
