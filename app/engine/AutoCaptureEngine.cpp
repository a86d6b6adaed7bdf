#include "app/engine/AutoCaptureEngine.h"

#include "app/HandlerBoundary.h"
#include "app/MainMenuActions.h"
#include "app/alarms/AlarmHooks.h"
#include "app/engine/EngineHost.h"
#include "app/engine/EngineIntervals.h"
#include "app/engine/EngineInternals.h"
#include "app/engine/MenuSwitch.h"
#include "capture/VideoCap.h"
#include "common/EventLog.h"
#include "imaging/MotionDetection.h"
#include "imaging/SoundPlayer.h"
#include "settings/ActiveOptions.h"

#include <QApplication>

namespace {
void Log(const QString& msg, bool toFile, const QString& sender) { ProgramLog().WriteLog(msg, toFile, sender); }
} // namespace

AutoCaptureEngine::AutoCaptureEngine(TVideoCap& video, MainMenuActions& menus, EngineHost& host, QObject* parent)
    : QObject(parent), video_(video), menus_(menus), host_(host), frame_(std::make_unique<FrameState>()),
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

void AutoCaptureEngine::SetTimedInterval(int ms) { Timer1.setInterval(TimedTriggerIntervalMs(ms)); }
void AutoCaptureEngine::SetRearmInterval(int ms) { Rearm.setInterval(RearmDelayMs(ms)); }
void AutoCaptureEngine::SetFuseSeconds(int seconds) { fuseSeconds_ = FuseLengthSeconds(seconds); }

bool AutoCaptureEngine::AutoCapturing() const { return running_.load() || reconnecting_; }

bool AutoCaptureEngine::SettingsLocked() const { return AutoCapturing() || Fuse.isActive() || recording_.load(); }

void AutoCaptureEngine::UpdateSettingsLock() { host_.SetActivationEnabled(!SettingsLocked()); }

void AutoCaptureEngine::StopForExit()
{
    exiting_ = true;
    if (recording_.load())
        CaptureVideo1Click();
    Fuse.stop();
    if (AutoCapturing())
        StopAutoCap();
    UpdateSettingsLock();
}

void AutoCaptureEngine::Startautocapturing1Click()
{
    if (!video_.DriverOpen()) {
        Log("Driver not loaded", false, "TForm1.Startautocapturing1Click");
    } else if (AutoCapturing()) {
        StopAutoCap();
    } else if (ActiveOptions.FuseEnabled && ActiveOptions.Trigger == TriggerMotion) {
        if (Fuse.isActive()) {
            Fuse.stop();
            StopAutoCap();
        } else {
            Log("Burning fuse... " + QString::number(fuseSeconds_), false, "TForm1.Startautocapturing1Click");
            fuseCountdown_ = fuseSeconds_;
            if (fuseCountdown_ <= 0)
                StartAutoCap();
            else
                Fuse.start();
        }
    } else {
        StartAutoCap();
    }
    // A checkable item flips its own mark when clicked; the marks always show the real state.
    SetAutoCapChecks(AutoCapturing());
    UpdateSettingsLock();
}

void AutoCaptureEngine::Autocapturing1Click()
{
    if (video_.DriverOpen())
        Startautocapturing1Click();
    else {
        Log("Driver not loaded", false, "TForm1.Autocapturing1Click");
        SetAutoCapChecks(AutoCapturing());
    }
}

void AutoCaptureEngine::FuseTimer()
{
    --fuseCountdown_;
    Log("Burning fuse... " + QString::number(fuseCountdown_), false, "TForm1.FuseTimer");
    if (fuseCountdown_ <= 0) {
        Fuse.stop();
        StartAutoCap();
    }
}

void AutoCaptureEngine::StartAutoCap()
{
    const OptionsValues& options = ActiveOptions;

    video_.SetCapToFile(false);
    if (!video_.StartSequence()) {
        Log("Error: Could not initialize video stream!", true, "TForm1.StartAutoCap");
        return;
    }
    EnableItem(menus_.captureNow, true);
    for (QAction* item : {menus_.preview, menus_.driverSource, menus_.driverDisplay, menus_.driverFormat,
                          menus_.captureVideo, menus_.setup, menus_.profiles, menus_.trayProfiles})
        EnableItem(item, false);

    ConfigureFtpClient(options);
    BeginStreamRun(options);
    UpdateSettingsLock();

    Log("Autocapturing on", true, "TForm1.StartAutoCap");
    host_.SetIconImage(IconAutoOn);
    SetAutoCapChecks(true);
}

void AutoCaptureEngine::BeginStreamRun(const OptionsValues& options)
{
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

    f.alarms = ActiveExtras.Alarms;
    const ClipOptions& clips = ActiveExtras.Clips;
    f.clips.Start(clips, options, f.format, [this](const QString& file) { emit fileSaved(file); },
                  clips.Enabled && clips.Audio ? ClipRecorder::SoundSourceFor(video_.DriverName()) : QString());
    f.alarmTime = QDateTime();
    f.lightChangeLogged = QDateTime();
    CaptureRequest = false;
    if (options.Trigger == TriggerTimed)
        Timer1.start();
    if (options.Trigger == TriggerMotion) {
        f.mdFrameCount = 0;
        EnableItem(menus_.captureVideo, false);
        MDActive = true;
        PrepareDetectionGrid(f.format.width(), f.format.height(), options);
    }
    WatchEscape();
    running_ = true;
}

void AutoCaptureEngine::StopAutoCap()
{
    // Cut an upload of the frame thread short so that stopping the stream does not wait for it.
    AbortFtpTransfer();
    running_ = false;
    reconnecting_ = false;
    Reconnect.stop();
    qApp->removeEventFilter(this);
    video_.StopSequence();
    frame_->clips.Stop();

    EnableItem(menus_.captureNow, false);
    Timer1.stop();
    MDActive = false;
    Rearm.stop();
    Armed = true;
    blinkStep_ = 0;
    TrayIconBlink.stop();
    host_.SetIndicatorPanelWidth(0);

    ApplyIdleMenus();
    EnableItem(menus_.captureVideo, true);
    UpdateSettingsLock();

    frame_->decoder.reset();

    Log("Autocapturing off", true, "TForm1.StopAutoCap");
    host_.SetIconImage(IconAutoOff);
    SetAutoCapChecks(false);

    EndFtpSession(ActiveOptions);
}

void AutoCaptureEngine::AutoStartAfterDriverLoad(bool firstDriverLoad)
{
    if (host_.StartedInTray() && ActiveOptions.AutoCapAtStart && firstDriverLoad && video_.DriverOpen())
        StartAutoCap();
}

void AutoCaptureEngine::ApplyIdleMenus()
{
    for (QAction* item : {menus_.preview, menus_.setup, menus_.profiles, menus_.trayProfiles})
        EnableItem(item, true);
    EnableDriverDialogs();
}

void AutoCaptureEngine::EnableDriverDialogs()
{
    EnableItem(menus_.driverDisplay, video_.HasDisplayDialog());
    EnableItem(menus_.driverFormat, video_.HasFormatDialog());
    EnableItem(menus_.driverSource, video_.HasSourceDialog());
}

void AutoCaptureEngine::SetAutoCapChecks(bool checked)
{
    CheckItem(menus_.trayAutoCapturing, checked);
    CheckItem(menus_.autoCapturing, checked);
}

void AutoCaptureEngine::Timer1Timer() { CaptureRequest = true; }

void AutoCaptureEngine::DisarmAfterTrigger()
{
    if (!ActiveOptions.RearmEnabled)
        return;
    Armed = false;
    PostToGui([this] { Rearm.start(); });
}

void AutoCaptureEngine::RearmTimer()
{
    Log("Re-armed", true, "TForm1.RearmTimer");
    Rearm.stop();
    Armed = true;
}

void AutoCaptureEngine::StartBlink()
{
    // Enabling the flash while it runs does not restart it.
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
