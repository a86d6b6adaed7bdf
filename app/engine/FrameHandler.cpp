// The per-frame handler: motion samples at most every 200 ms of capture time, the motion alarm,
// and the configured actions for a pending capture request. Runs on the streaming thread.
#include "app/engine/AutoCaptureEngine.h"

#include "app/alarms/AlarmHooks.h"
#include "app/engine/EngineHost.h"
#include "app/engine/EngineInternals.h"
#include "capture/CaptureDevice.h"
#include "common/Clock.h"
#include "common/EventLog.h"
#include "imaging/MotionDetection.h"
#include "imaging/PictureSaving.h"
#include "sound/SoundPlayer.h"

#include <utility>

namespace tarvo {

namespace {
// A frame is sampled only when its capture time lies more than this after the last sample's.
constexpr std::uint32_t SampleSpacingMs = 200;
// Samples 1 to 5 only build up the reference; comparing starts with the sixth.
constexpr int SamplesBeforeComparing = 5;
// A flickering lamp must not fill the log: one "Light change ignored" a minute at most.
constexpr qint64 LightChangeLogSpacingMs = 60000;

void Log(const QString& msg, bool toFile, const QString& sender) { ProgramLog().WriteLog(msg, toFile, sender); }
} // namespace

void AutoCaptureEngine::ProcessFrame(CaptureDevice&, const FrameBuffer& header)
{
    // A manual recording owns the frames; before the start is complete and after a posted stop,
    // the frame state is not the handler's to use.
    if (mode_.Recording() || mode_.State() != EngineState::Running || stopPosted_.load())
        return;
    // Every frame, not only the samples: the clip's seconds before an alarm. (The live view takes
    // its frames from the device's frame callback, which a run's frames reach too.)
    frame_->clips.AddFrame(header);

    bool frameBitmapMade = false;
    bool frameUsable = false;
    // Unsigned difference: a new stream's small times after a long earlier run are sampled at once.
    if (mdActive_.load() && std::uint32_t(header.capturedMs - frame_->lastSampleTime) > SampleSpacingMs) {
        if (!TakeMotionSample(header, frameBitmapMade, frameUsable))
            return;
    }
    // The request is taken before the actions run: one that arrives while they run (a timer tick
    // during a long upload) belongs to the next frame instead of being wiped out at the end.
    QString picture;
    if (captureRequest_.exchange(false))
        picture = RunActions(header, frameBitmapMade, frameUsable);
    if (frame_->alarmTime.isValid())
        PostAlarmHooks(picture);
    // The current frame keeps its memory for the next conversion; nothing of this frame outlives the call
    // but those pixels.
}

bool AutoCaptureEngine::TakeMotionSample(const FrameBuffer& header, bool& frameBitmapMade, bool& frameUsable)
{
    FrameState& f = *frame_;
    f.lastSampleTime = header.capturedMs;
    const int sample = ++motionSamples_;

    if (sample == 1) {
        Log("Motion Detection starting... ", false, "TForm1.Video1VideoStream - MD");
        // The indicator is redrawn as "no motion" here, so the state it remembers must say so.
        f.indicatorState = false;
        PostToGui([this] {
            if (host_.MainWindowVisible())
                host_.SetIndicatorPanelWidth(IndicatorPanelWidth);
            host_.DrawMotionIndicator(IndicatorIdle);
        });
    }
    if (sample == 2) {
        Log("Motion Detection started", true, "TForm1.Video1VideoStream - MD");
        PostToGui([this] {
            if (host_.MainWindowVisible())
                host_.DrawMotionIndicator(IndicatorIdle);
        });
    }

    frameBitmapMade = true;
    const Conversion current = ConvertFrame(header, f.current);
    if (current == Conversion::Failed) {
        Log("GetBitmap error", true, "Video1VideoStream - MD");
        frameBitmapMade = false;
        // Nothing can be decoded in this format, so no reference can be built from the frame either.
        Log("MD Error #2", true, "Video1VideoStream");
        stopPosted_ = true;
        PostToGui([this] { StopAutoCap(); });
        return false;
    }
    frameUsable = current == Conversion::Done;

    // A frame the decoder could not read is neither compared (a blank picture against a real one
    // would raise a false alarm) nor taken as the reference.
    if (!frameUsable)
        return true;

    // The new reference shares this one decode; marks drawn into the current frame (by the
    // comparison or the caption) detach it first, so the reference stays a clean copy.
    QImage reference = f.current;
    if (sample > SamplesBeforeComparing) {
        const MotionVerdict verdict = DetectMotion(f.current, f.previous, f.run->motion, f.run->alarms);
        if (verdict == MotionVerdict::LightChange)
            NoteLightChange();
        const bool motion = verdict == MotionVerdict::Motion;
        ShowMotionIndicator(motion);
        const bool alarm = motion && armed_.load();
        if (motion)
            f.clips.NoteMotion(header.capturedMs, alarm);
        if (alarm) {
            const OptionsValues& options = f.run->options;
            Log("Motion detected", true, "TForm1.Video1VideoStream");
            f.alarmTime = ProgramClock().now();
            if (options.PlaySound)
                PlayWave(sound_, programDir_, options.SoundFile.str());
            if (options.ShowPopup)
                PostToGui([this] { host_.RaisePopup(MotionWarning); });
            captureRequest_ = true;
            DisarmAfterTrigger();
        }
    }
    f.spare = std::exchange(f.previous, std::move(reference));
    return true;
}

void AutoCaptureEngine::DisarmAfterTrigger()
{
    if (!frame_->run->options.RearmEnabled)
        return;
    armed_ = false;
    PostToGui([this] { rearmTimer_.start(); });
}

QString AutoCaptureEngine::RunActions(const FrameBuffer& header, bool frameBitmapMade, bool frameUsable)
{
    FrameState& f = *frame_;
    const OptionsValues& options = f.run->options;
    const bool publishing = options.UpPic && (options.WebsiteFTP || options.WebsiteLocal);
    if (!options.CapPic && !publishing)
        return QString();

    PostToGui([this] { FlashIcon(); });
    if (!frameBitmapMade) {
        const Conversion c = ConvertFrame(header, f.current);
        if (c == Conversion::Failed)
            Log("GetBitmap error", true, "Video1VideoStream");
        frameUsable = c == Conversion::Done;
    }
    // No picture is better than a blank one saved and published as if it were the scene; the
    // failure is already in the log.
    if (!frameUsable)
        return QString();

    QString picture;
    if (options.CapPic)
        picture = SavePic(f.current, options, counters_, jpeg_);
    if (!picture.isEmpty())
        AnnounceSaved(picture);
    PublishFrame(f.current, options);
    return picture;
}

void AutoCaptureEngine::PostAlarmHooks(const QString& pictureFile)
{
    FrameState& f = *frame_;
    const QDateTime time = f.alarmTime;
    f.alarmTime = QDateTime();
    const AlarmOptions& alarms = f.run->alarms;
    PostToGui([this, alarms, time, pictureFile] { alarmHooks_->Raise(alarms, time, pictureFile); });
}

AutoCaptureEngine::Conversion AutoCaptureEngine::ConvertFrame(const FrameBuffer& header, QImage& into)
{
    const FrameFormat& format = frame_->format;
    const int width = format.width();
    const int height = format.height();
    if (width <= 0 || height <= 0 || width > FrameDecoder::MaxDimension || height > FrameDecoder::MaxDimension ||
        !header.data || !frame_->decoder) {
        into = QImage();
        return Conversion::Failed;
    }
    // A picture that shares its pixels (the current frame with the reference) is not decoded into,
    // which would copy them first: it takes the buffer the reference gave up at the last sample.
    if (!into.isDetached())
        into = std::exchange(frame_->spare, QImage());
    if (into.width() != width || into.height() != height || into.format() != QImage::Format_RGB32)
        into = QImage(width, height, QImage::Format_RGB32);
    if (into.isNull())
        return Conversion::Failed;
    const std::size_t size = header.bytesUsed ? header.bytesUsed : header.capacity;
    if (!frame_->decoder->Draw(format, header.data, size, into)) {
        Log("DrawDibDraw error - Frame", true, "GetBitmap");
        return Conversion::DrawFailed;
    }
    return Conversion::Done;
}

void AutoCaptureEngine::NoteLightChange()
{
    // This sample becomes the reference like any other, so the new light is the scene from now on.
    FrameState& f = *frame_;
    const QDateTime now = ProgramClock().now();
    if (f.lightChangeLogged.isValid() && f.lightChangeLogged.msecsTo(now) < LightChangeLogSpacingMs)
        return;
    f.lightChangeLogged = now;
    Log("Light change ignored", true, "TForm1.Video1VideoStream");
}

void AutoCaptureEngine::ShowMotionIndicator(bool motion)
{
    FrameState& f = *frame_;
    if (motion == f.indicatorState)
        return;
    f.indicatorState = motion;
    PostToGui([this, motion] { host_.DrawMotionIndicator(motion ? IndicatorMotion : IndicatorIdle); });
}

} // namespace tarvo
