#include "app/engine/AutoCaptureEngine.h"

#include "app/HandlerBoundary.h"
#include "app/MainMenuActions.h"
#include "app/alarms/AlarmHooks.h"
#include "app/engine/EngineHost.h"
#include "app/engine/EngineIntervals.h"
#include "app/engine/EngineInternals.h"
#include "app/engine/ManualCommands.h"
#include "app/engine/MenuSwitch.h"
#include "capture/widgets/VideoCap.h"
#include "common/EventLog.h"
#include "imaging/FileNaming.h"
#include "imaging/MotionDetection.h"
#include "imaging/SoundPlayer.h"
#include "settings/ActiveOptions.h"

#include <QApplication>

namespace {
void Log(const QString& msg, bool toFile, const QString& sender) { ProgramLog().WriteLog(msg, toFile, sender); }
} // namespace

AutoCaptureEngine::AutoCaptureEngine(TVideoCap& video, MainMenuActions& menus, EngineHost& host, QObject* parent)
    : QObject(parent), video_(video), host_(host), mode_(menus, host, video),
      commands_(std::make_unique<ManualCommands>(video, menus, mode_, *this)), frame_(std::make_unique<FrameState>()),
      alarmHooks_(std::make_unique<AlarmHooks>())
{
    Timer1.setInterval(5000);
    Fuse.setInterval(1000);
    Rearm.setInterval(1000);
    Rearm.setSingleShot(true);
    TrayIconBlink.setInterval(100);
    Reconnect.setInterval(ReconnectIntervalMs);
    // Each tick runs inside the handler boundary, named as the log names it.
    struct TimerHandler {
        QTimer* timer;
        const char* name;
        void (AutoCaptureEngine::*handler)();
    };
    const TimerHandler handlers[] = {
        {&Timer1, "Timer1Timer", &AutoCaptureEngine::Timer1Timer},
        {&Fuse, "FuseTimer", &AutoCaptureEngine::FuseTimer},
        {&Rearm, "RearmTimer", &AutoCaptureEngine::RearmTimer},
        {&TrayIconBlink, "TrayIconBlinkTimer", &AutoCaptureEngine::TrayIconBlinkTimer},
        {&Reconnect, "ReconnectTimer", &AutoCaptureEngine::ReconnectTimer},
    };
    for (const TimerHandler& t : handlers)
        ConnectHandler(t.timer, &QTimer::timeout, this, QStringLiteral("TForm1.") + t.name,
                       [this, handler = t.handler] { (this->*handler)(); });
}

AutoCaptureEngine::~AutoCaptureEngine() = default;

const QTimer& AutoCaptureEngine::Timer(TimerId which) const
{
    const QTimer* const timers[] = {&Timer1, &Fuse, &Rearm, &TrayIconBlink, &Reconnect};
    return *timers[static_cast<int>(which)];
}

void AutoCaptureEngine::SetTimedInterval(int ms) { Timer1.setInterval(TimedTriggerIntervalMs(ms)); }
void AutoCaptureEngine::SetRearmInterval(int ms) { Rearm.setInterval(RearmDelayMs(ms)); }
void AutoCaptureEngine::SetFuseSeconds(int seconds) { fuseSeconds_ = FuseLengthSeconds(seconds); }

void AutoCaptureEngine::StopForExit()
{
    exiting_ = true;
    if (Recording())
        commands_->CaptureVideo1Click();
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

void AutoCaptureEngine::Startautocapturing1Click()
{
    if (!video_.DriverOpen()) {
        Log("Driver not loaded", false, "TForm1.Startautocapturing1Click");
    } else if (AutoCapturing()) {
        StopAutoCap();
    } else if (ActiveOptions.FuseEnabled && ActiveOptions.Trigger == TriggerMotion) {
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

void AutoCaptureEngine::Autocapturing1Click()
{
    if (video_.DriverOpen())
        Startautocapturing1Click();
    else {
        Log("Driver not loaded", false, "TForm1.Autocapturing1Click");
        mode_.Apply();
    }
}

void AutoCaptureEngine::FuseTimer()
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
    Fuse.start();
    mode_.SetState(EngineState::FuseBurning);
}

void AutoCaptureEngine::PutOutFuse()
{
    Fuse.stop();
    mode_.SetState(EngineState::Idle);
}

void AutoCaptureEngine::StartAutoCap()
{
    const OptionsValues& options = ActiveOptions;

    video_.SetCapToFile(false);
    if (!video_.StartSequence()) {
        Log("Error: Could not initialize video stream!", true, "TForm1.StartAutoCap");
        return;
    }
    ConfigureFtpClient(options);
    BeginStreamRun();

    Log("Autocapturing on", true, "TForm1.StartAutoCap");
    host_.SetIconImage(IconAutoOn);
}

void AutoCaptureEngine::BeginStreamRun()
{
    const OptionsValues& options = ActiveOptions;
    ++run_;
    stopPosted_ = false;
    FrameState& f = *frame_;
    f.format = FrameFormat{};
    try {
        video_.ReadVideoFormat(f.format);
    } catch (const ENotOpen&) {
        // The driver went away between the start and now; the frames then cannot be decoded,
        // and each conversion reports it.
    }
    f.decoder = std::make_unique<FrameDecoder>();

    f.run = std::make_unique<const RunSnapshot>(RunSnapshot{
        options, ActiveExtras.Alarms,
        MakeMotionSetup(f.format.width(), f.format.height(), options, MotionThreshold())});
    const ClipOptions& clips = ActiveExtras.Clips;
    f.clips.Start(clips, options, f.format, [this](const QString& file) { emit fileSaved(file); },
                  clips.Enabled && clips.Audio && options.Trigger == TriggerMotion ? ClipRecorder::SoundSourceFor(video_.DriverName()) : QString());
    f.alarmTime = QDateTime();
    f.lightChangeLogged = QDateTime();
    captureRequest_ = false;
    if (options.Trigger == TriggerTimed)
        Timer1.start();
    if (options.Trigger == TriggerMotion) {
        mdFrameCount_ = 0;
        mdActive_ = true;
    }
    WatchEscape();
    mode_.SetState(EngineState::Running);
}

void AutoCaptureEngine::StopAutoCap()
{
    // Cut an upload of the frame thread short so that stopping the stream does not wait for it.
    AbortFtpTransfer();
    mode_.SetState(EngineState::Idle);
    Reconnect.stop();
    qApp->removeEventFilter(this);
    video_.StopSequence();
    frame_->clips.Stop();

    Timer1.stop();
    mdActive_ = false;
    Rearm.stop();
    armed_ = true;
    blinkStep_ = 0;
    TrayIconBlink.stop();
    host_.SetIndicatorPanelWidth(0);

    frame_->decoder.reset();
    // The stream has stopped, so no name is drawn on the frame thread any more.
    StoreFileCounters();

    Log("Autocapturing off", true, "TForm1.StopAutoCap");
    host_.SetIconImage(IconAutoOff);

    EndFtpSession(ActiveOptions);
}

void AutoCaptureEngine::AutoStartAfterDriverLoad(bool firstDriverLoad)
{
    if (host_.StartedInTray() && ActiveOptions.AutoCapAtStart && firstDriverLoad && video_.DriverOpen())
        StartAutoCap();
}

void AutoCaptureEngine::Timer1Timer() { captureRequest_ = true; }

void AutoCaptureEngine::RearmTimer()
{
    Log("Re-armed", true, "TForm1.RearmTimer");
    Rearm.stop();
    armed_ = true;
}

void AutoCaptureEngine::FlashIcon()
{
    if (!TrayIconBlink.isActive())
        TrayIconBlink.start();
}

void AutoCaptureEngine::TrayIconBlinkTimer()
{
    const auto normalIcon = [this] { return video_.SequenceRunning() ? IconAutoOn : IconAutoOff; };
    switch (blinkStep_) {
    case 0:
        if (ActiveOptions.ClickSound)
            PlayWave("click.wav");
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
        TrayIconBlink.stop();
        return;
    }
    ++blinkStep_;
}
