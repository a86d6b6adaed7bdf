#include "app/engine/AutoCaptureEngine.h"

#include "app/core/HandlerBoundary.h"
#include "app/alarms/AlarmHooks.h"
#include "app/engine/EngineHost.h"
#include "app/engine/EngineIntervals.h"
#include "app/engine/EngineInternals.h"
#include "app/engine/ManualCommands.h"
#include "capture/CaptureDevice.h"
#include "common/EventLog.h"
#include "imaging/FileNaming.h"
#include "imaging/MotionDetection.h"
#include "sound/SoundPlayer.h"
#include "net/FtpClient.h"
#include "net/NetworkTask.h"
#include "settings/ActiveSettings.h"

namespace tarvo {

namespace {
void Log(const QString& msg, bool toFile, const QString& sender) { ProgramLog().WriteLog(msg, toFile, sender); }
} // namespace

AutoCaptureEngine::AutoCaptureEngine(CaptureDevice& video, EngineHost& host, const ActiveSettings& settings,
                                     SoundPlayer& sound, FileCounters& counters,
                                     const QString& programDir, QObject* parent)
    : QObject(parent), video_(video), host_(host), settings_(settings), sound_(sound),
      counters_(counters), programDir_(programDir),
      mode_(host, video), commands_(std::make_unique<ManualCommands>(video, mode_, *this)),
      frame_(std::make_unique<FrameState>()), alarmHooks_(std::make_unique<AlarmHooks>()),
      ftp_(std::make_unique<FtpClient>())
{
    timedTimer_.setInterval(5000);
    fuseTimer_.setInterval(1000);
    rearmTimer_.setInterval(1000);
    rearmTimer_.setSingleShot(true);
    blinkTimer_.setInterval(100);
    reconnectTimer_.setInterval(ReconnectIntervalMs);
    // Each tick runs inside the handler boundary, named as the log names it.
    struct TimerHandler {
        QTimer* timer;
        const char* name;
        void (AutoCaptureEngine::*handler)();
    };
    const TimerHandler handlers[] = {
        {&timedTimer_, "Timer1Timer", &AutoCaptureEngine::TimedTrigger},
        {&fuseTimer_, "FuseTimer", &AutoCaptureEngine::CountDownFuse},
        {&rearmTimer_, "RearmTimer", &AutoCaptureEngine::EndRearmDelay},
        {&blinkTimer_, "TrayIconBlinkTimer", &AutoCaptureEngine::BlinkTrayIcon},
        {&reconnectTimer_, "ReconnectTimer", &AutoCaptureEngine::TryReconnect},
    };
    for (const TimerHandler& t : handlers)
        ConnectHandler(t.timer, &QTimer::timeout, this, QStringLiteral("TForm1.") + t.name,
                       [this, handler = t.handler] { (this->*handler)(); });
    mode_.Apply();
}

AutoCaptureEngine::~AutoCaptureEngine() = default;

const QTimer& AutoCaptureEngine::Timer(TimerId which) const
{
    const QTimer* const timers[] = {&timedTimer_, &fuseTimer_, &rearmTimer_, &blinkTimer_, &reconnectTimer_};
    return *timers[static_cast<int>(which)];
}

void AutoCaptureEngine::SetTimedInterval(int ms) { timedTimer_.setInterval(TimedTriggerIntervalMs(ms)); }
void AutoCaptureEngine::SetRearmInterval(int ms) { rearmTimer_.setInterval(RearmDelayMs(ms)); }
void AutoCaptureEngine::SetFuseSeconds(int seconds) { fuseSeconds_ = FuseLengthSeconds(seconds); }

void AutoCaptureEngine::StopForExit()
{
    exiting_ = true;
    if (Recording())
        commands_->ToggleVideoRecording();
    if (FuseBurning())
        PutOutFuse();
    if (AutoCapturing())
        StopAutoCap();
}

void AutoCaptureEngine::RequestCapture(bool arm)
{
    if (arm)
        armed_ = true;
    captureRequest_ = true;
}

void AutoCaptureEngine::ToggleAutoCapturing()
{
    if (!video_.DriverOpen()) {
        Log("Driver not loaded", false, "TForm1.Startautocapturing1Click");
    } else if (AutoCapturing()) {
        StopAutoCap();
    } else if (settings_.options.FuseEnabled && settings_.options.Trigger == TriggerMotion) {
        if (FuseBurning()) {
            PutOutFuse();
            StopAutoCap();
        } else {
            Log("Burning fuse... " + QString::number(fuseSeconds_), false, "TForm1.Startautocapturing1Click");
            if (fuseSeconds_ <= 0)
                StartAutoCap();
            else
                LightFuse();
        }
    } else {
        StartAutoCap();
    }
    // A checkable item flips its own mark when clicked.
    mode_.Apply();
}

void AutoCaptureEngine::ToggleAutoCapturingFromTray()
{
    if (video_.DriverOpen())
        ToggleAutoCapturing();
    else {
        Log("Driver not loaded", false, "TForm1.Autocapturing1Click");
        mode_.Apply();
    }
}

void AutoCaptureEngine::CountDownFuse()
{
    --fuseCountdown_;
    Log("Burning fuse... " + QString::number(fuseCountdown_), false, "TForm1.FuseTimer");
    if (fuseCountdown_ <= 0) {
        PutOutFuse();
        StartAutoCap();
    }
}

void AutoCaptureEngine::LightFuse()
{
    fuseCountdown_ = fuseSeconds_;
    fuseTimer_.start();
    mode_.SetState(EngineState::FuseBurning);
}

void AutoCaptureEngine::PutOutFuse()
{
    fuseTimer_.stop();
    mode_.SetState(EngineState::Idle);
}

void AutoCaptureEngine::StartAutoCap()
{
    const OptionsValues& options = settings_.options;

    video_.SetCapToFile(false);
    if (!video_.StartSequence()) {
        Log("Error: Could not initialize video stream!", true, "TForm1.StartAutoCap");
        return;
    }
    // The new run's pictures replace an offline picture still on its way.
    CancelFtpSessionEnd();
    ConfigureFtpClient(options);
    BeginStreamRun();

    Log("Autocapturing on", true, "TForm1.StartAutoCap");
    host_.SetIconImage(IconAutoOn);
}

void AutoCaptureEngine::BeginStreamRun()
{
    const OptionsValues& options = settings_.options;
    ++run_;
    stopPosted_ = false;
    FrameState& f = *frame_;
    f.format = FrameFormat{};
    try {
        video_.ReadVideoFormat(f.format);
    } catch (const DriverNotOpenError&) {
        // The driver went away between the start and now; the frames then cannot be decoded,
        // and each conversion reports it.
    }
    f.decoder = std::make_unique<FrameDecoder>();

    f.run = std::make_unique<const RunSnapshot>(RunSnapshot{
        options, settings_.extras.Alarms,
        MakeMotionSetup(f.format.width(), f.format.height(), options, motionThreshold_)});
    const ClipOptions& clips = settings_.extras.Clips;
    f.clips.Start(clips, options, f.format, jpeg_, counters_, [this](const QString& file) { AnnounceSaved(file); },
                  clips.Enabled && clips.Audio && options.Trigger == TriggerMotion ? ClipRecorder::SoundSourceFor(video_.DriverName()) : QString());
    f.alarmTime = QDateTime();
    f.lightChangeLogged = QDateTime();
    captureRequest_ = false;
    if (options.Trigger == TriggerTimed)
        timedTimer_.start();
    if (options.Trigger == TriggerMotion) {
        motionSamples_ = 0;
        mdActive_ = true;
    }
    WatchEscape();
    mode_.SetState(EngineState::Running);
}

void AutoCaptureEngine::AnnounceSaved(const QString& path)
{
    PostQueued(this, [this, path] { emit fileSaved(path); });
}

void AutoCaptureEngine::StopAutoCap()
{
    // Cut an upload of the frame thread short so that stopping the stream does not wait for it.
    AbortFtpTransfer();
    mode_.SetState(EngineState::Idle);
    reconnectTimer_.stop();
    disconnect(&video_, &CaptureDevice::escapePressed, this, &AutoCaptureEngine::EscapePressed);
    video_.StopSequence();
    frame_->clips.Stop();

    timedTimer_.stop();
    mdActive_ = false;
    rearmTimer_.stop();
    armed_ = true;
    blinkStep_ = 0;
    blinkTimer_.stop();
    host_.SetIndicatorPanelWidth(0);

    frame_->decoder.reset();
    // The stream has stopped, so no name is drawn on the frame thread any more.
    counters_.StoreAll();

    Log("Autocapturing off", true, "TForm1.StopAutoCap");
    host_.SetIconImage(IconAutoOff);

    EndFtpSession(settings_.options);
}

void AutoCaptureEngine::AutoStartAfterDriverLoad(bool firstDriverLoad)
{
    if (host_.StartedInTray() && settings_.options.AutoCapAtStart && firstDriverLoad && video_.DriverOpen())
        StartAutoCap();
}

void AutoCaptureEngine::TimedTrigger() { captureRequest_ = true; }

void AutoCaptureEngine::EndRearmDelay()
{
    Log("Re-armed", true, "TForm1.RearmTimer");
    rearmTimer_.stop();
    armed_ = true;
}

void AutoCaptureEngine::FlashIcon()
{
    if (!blinkTimer_.isActive())
        blinkTimer_.start();
}

void AutoCaptureEngine::BlinkTrayIcon()
{
    const auto normalIcon = [this] { return video_.SequenceRunning() ? IconAutoOn : IconAutoOff; };
    switch (blinkStep_) {
    case 0:
        if (settings_.options.ClickSound)
            PlayWave(sound_, programDir_, "click.wav");
        host_.SetIconImage(IconFlash);
        break;
    case 1:
        host_.SetIconImage(normalIcon());
        break;
    case 2:
        host_.SetIconImage(IconFlash);
        break;
    default:
        host_.SetIconImage(normalIcon());
        blinkStep_ = 0;
        blinkTimer_.stop();
        return;
    }
    ++blinkStep_;
}

} // namespace tarvo
