#include "app/station/Station.h"

#include "app/alarms/AlarmHooks.h"
#include "app/core/HandlerBoundary.h"
#include "app/core/SignalWatcher.h"
#include "app/core/TerminationSignals.h"
#include "app/engine/AutoCaptureEngine.h"
#include "app/engine/ManualCommands.h"
#include "app/liveview/LiveFrameHub.h"
#include "app/liveview/LiveView.h"
#include "app/storage/StorageKeeper.h"
#include "capture/CaptureDevice.h"
#include "capture/GstCaptureBackend.h"
#include "common/Clock.h"
#include "imaging/FileNaming.h"
#include "settings/SecretStore.h"
#include "settings/PerUserStore.h"
#include "settings/Profiles.h"
#include "sound/SoundPlayer.h"

#include <QCoreApplication>
#include <algorithm>
#include <limits>

namespace tarvo {

namespace {
const QString senderPrefix = QStringLiteral("TForm1.");
} // namespace

Station::Station(Setup setup, QObject* parent)
    : QObject(parent), programDir_(setup.programDir), autoStart_(setup.autoStart),
      liveFrames_(std::make_unique<LiveFrameHub>()), sound_(std::make_unique<GstSoundPlayer>(programDir_)),
      logWriter_(*this)
{
    SetProgramLog(&logWriter_);
    passwords_ = setup.passwords;
    if (!passwords_) {
        secretStore_ = std::make_unique<KeychainSecretStore>();
        ownPasswords_ = std::make_unique<ProfilePasswords>(*secretStore_);
        passwords_ = ownPasswords_.get();
    }
    store_ = setup.store;
    if (!store_) {
        ownStore_ = std::make_unique<PerUserStore>();
        store_ = ownStore_.get();
    }
    counters_ = std::make_unique<FileCounters>(*store_);
    if (!setup.captureBackend) {
        ownBackend_ = std::make_unique<GstCaptureBackend>(*store_);
        setup.captureBackend = ownBackend_.get();
    }
    backend_ = setup.captureBackend;
    device_ = std::make_unique<CaptureDevice>(*backend_);
    engine_ = std::make_unique<AutoCaptureEngine>(*device_, *this, settings_, *sound_, *counters_, programDir_);
    ConfigureDevice();

    driverTimer_.setInterval(1);
    driverTimer_.setSingleShot(true);
    ConnectHandler(&driverTimer_, &QTimer::timeout, this, senderPrefix + "DriverTimerTimer", [this] { ConnectDriver(); });
    storage_ = std::make_unique<StorageKeeper>();
    ConnectHandler(&storage_->Hourly, &QTimer::timeout, this, senderPrefix + "StorageTimer", [this] { storage_->Keep(); });
    // Saved pictures reach the keeper on this thread: the frame thread never reads a folder.
    connect(
        engine_.get(), &AutoCaptureEngine::fileSaved, this,
        [this](const QString& path) {
            RunHandler(senderPrefix + "FileSaved", [&] {
                liveView_->Status().NoteFileSaved(path);
                storage_->NoteNewFile(path);
            });
        },
        Qt::QueuedConnection);
    liveView_ = std::make_unique<LiveView>(*liveFrames_, programDir_);
    liveView_->SetControl([this](LiveCommand command) { return RunLiveCommand(command); });
    storage_->Removed = [this](const QString& path) { liveView_->Status().NoteFileRemoved(path); };
    connect(&engine_->Alarms(), &AlarmHooks::raised, this,
            [this](const QDateTime& time, const QString& picture) { liveView_->Status().NoteAlarm(time, picture); });

    terminationSignals_ = std::make_unique<TerminationSignals>([this] { Exit(); });
    // Test hooks for end-to-end runs, with TARVO_TEST_HOOKS=1: SIGUSR1 makes the camera fail as an
    // unplugged one would; SIGUSR2 logs how many motion samples the run has taken, so a test can
    // tell that the program watched the scene, however slowly the machine runs.
    if (qEnvironmentVariable("TARVO_TEST_HOOKS") == "1") {
        testHooks_.push_back(std::make_unique<SignalWatcher>(std::vector<int>{SIGUSR1}, [this] { device_->SimulateDeviceLost(); }));
        testHooks_.push_back(std::make_unique<SignalWatcher>(std::vector<int>{SIGUSR2}, [this] {
            Report("Motion samples: " + QString::number(engine_->MotionSamples()), true, "TestHook");
        }));
    }
}

Station::~Station()
{
    // The frame thread must be gone before the log writer, and the capture device (which joins the
    // frame thread) before the engine its frames call.
    frontEnd_ = &headless_;
    liveView_->Stop();
    testHooks_.clear();
    terminationSignals_.reset();
    device_.reset();
    engine_.reset();
    storage_.reset();
    liveView_.reset();
    SetProgramLog(nullptr);
}

void Station::SetFrontEnd(StationFrontEnd* frontEnd) { frontEnd_ = frontEnd ? frontEnd : &headless_; }

void Station::ConfigureDevice()
{
    CaptureDevice& v = *device_;
    v.SetPreviewScaleToWindow(true);
    v.SetPreviewScaleProportional(true);
    v.SetPreviewRate(30);
    v.SetMicroSecPerFrame(33333);
    v.SetCapAudio(false);
    v.SetVideoFileName("Video.avi");
    v.SetSingleImageFile("Capture.bmp");
    v.SetCapTimeLimit(0);
    v.SetCapIndexSize(0);
    v.SetCapToFile(false);
    v.CapAudioFormat().Frequency = TFrequency::f44100Hz;
    v.SetBufferFileSize(0);
    v.SetOnStatus([this](CaptureDevice&) { FollowCaptureStatus(); });
    v.SetOnVideoStream([this](CaptureDevice& s, const FrameBuffer& header) { engine_->ProcessFrame(s, header); });
    v.SetOnError([this](CaptureDevice&, int, const QString&) { engine_->CaptureDeviceFailed(); });
}

void Station::BeginStart()
{
    firstDriverLoad_ = true;
    // Messages of the profile loading itself (a damaged profile) follow the default logging rules.
    settings_.Replace(DefaultOptions(programDir_));
}

void Station::FinishStart()
{
    counters_->Load();
    ListProfiles(programDir_, profileBox_);
}

void Station::Start()
{
    BeginStart();
    ActivateStartupProfile(profileBox_, *passwords_, *this);
    FinishStart();
}

bool Station::StartWithProfile(const QString& name, QString& error)
{
    BeginStart();
    // Only a profile of the profile folder: a name is never a path.
    if (name.isEmpty() || name.contains('/') || name.contains(QChar(0)) || !ProfileExists(programDir_, name)) {
        error = QStringLiteral("No profile named %1 in %2").arg(name, ProfileFolder(programDir_));
        return false;
    }
    OptionsValues options;
    try {
        options = LoadProfile(programDir_, name, *passwords_);
    } catch (const SettingsFileError& e) {
        error = QStringLiteral("Profile %1 could not be loaded: %2").arg(name, QString::fromLocal8Bit(e.what()));
        return false;
    }
    profileBox_.setText(name);
    SetActive(options, profileBox_, *this);
    FinishStart();
    return true;
}

void Station::ConnectDriver()
{
    driverTimer_.stop();
    driverTimer_.setInterval(1);
    CaptureDevice& v = *device_;
    if (v.DriverOpen())
        v.SetDriverOpen(false);
    v.SetDriverIndex(settings_.options.DriverIndex);
    if (v.DriverIndex() >= 0) {
        try {
            v.SetDriverOpen(true);
        } catch (const NoDriverError&) {
            Report("No video driver found", true, "DriverTimerTimer");
            return;
        } catch (const std::exception&) {
            Report("Could not load video driver", true, "DriverTimerTimer");
            return;
        }
        Report("Loaded driver: " + v.DriverName(), true, "DriverTimerTimer");
        frontEnd_->DriverLoaded(v.DriverName());
    }
    liveView_->Status().NoteCamera(v.DriverOpen());
    if (firstDriverLoad_)
        frontEnd_->RestorePreview();
    // The menus follow what the driver offers and whether its preview came on.
    engine_->RefreshMenus();
    engine_->AutoStartAfterDriverLoad(firstDriverLoad_);
    firstDriverLoad_ = false;
}

void Station::FollowCaptureStatus()
{
    engine_->CaptureStatusChanged();
    liveView_->Status().NoteCamera(device_->DriverOpen());
    NoteShownFormat();
    frontEnd_->CaptureStatusChanged();
}

void Station::PrepareExit()
{
    if (exitPrepared_)
        return;
    exitPrepared_ = true;
    frontEnd_->PrepareExit();
    engine_->StopForExit();
}

void Station::Exit()
{
    PrepareExit();
    QCoreApplication::quit();
}

void Station::Report(const QString& msg, bool toFile, const QString& handler)
{
    logWriter_.WriteLog(msg, toFile, senderPrefix + handler);
}

void Station::SetStatusText(const QString& text) { frontEnd_->SetStatusText(text); }

// EngineHost

void Station::SetIndicatorPanelWidth(int width) { frontEnd_->SetIndicatorPanelWidth(width); }

void Station::DrawMotionIndicator(int image)
{
    if (image == IndicatorMotion)
        liveView_->Status().NoteMotion(ProgramClock().now());
    frontEnd_->DrawMotionIndicator(image);
}

void Station::SetIconImage(int image)
{
    if (image == IconAutoOn || image == IconAutoOff)
        liveView_->Status().NoteAutoCapturing(image == IconAutoOn);
    frontEnd_->SetIconImage(image);
}

void Station::RaisePopup(const QString& message) { frontEnd_->RaisePopup(message); }

bool Station::MainWindowVisible() const { return frontEnd_->MainWindowVisible(); }

bool Station::StartedInTray() const { return autoStart_; }

void Station::ApplyMenuState(const MenuState& state) { frontEnd_->ApplyMenuState(state); }

// ActivationTargets

void Station::ApplyStartupShortcut(bool enabled) { frontEnd_->ApplyStartupShortcut(enabled); }

void Station::SetTimedTriggerInterval(int ms) { engine_->SetTimedInterval(ms); }

void Station::SetJpegQuality(int quality) { engine_->SetJpegQuality(quality); }

int Station::CaptureDriverIndex() const { return device_->DriverIndex(); }

void Station::SetCaptureDriverIndex(int index) { device_->SetDriverIndex(index); }

bool Station::DriverConnected() const { return device_->DriverOpen(); }

// As the "&Preview" item's mark shows it.
bool Station::PreviewChecked() const { return device_->DriverOpen() && device_->VideoPreview(); }

void Station::RunPreviewCommand() { engine_->Commands().TogglePreview(); }

void Station::EnableDriverTimer() { driverTimer_.start(); }

void Station::SetFrameRates(std::uint16_t frameRate, std::uint16_t previewRate)
{
    device_->SetFrameRate(frameRate);
    device_->SetPreviewRate(previewRate);
}

void Station::SetMotionThreshold(std::int64_t threshold)
{
    constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t highest = std::numeric_limits<std::int32_t>::max();
    engine_->SetMotionThreshold(static_cast<std::int32_t>(std::clamp(threshold, lowest, highest)));
}

void Station::SetFuseSeconds(int seconds) { engine_->SetFuseSeconds(seconds); }

void Station::SetRearmInterval(int ms) { engine_->SetRearmInterval(ms); }

void Station::ShowInDialog(const OptionsValues& options) { frontEnd_->ShowInDialog(options); }

void Station::ShowExtrasInDialog(const ExtraOptions& extras) { frontEnd_->ShowExtrasInDialog(extras); }

void Station::ApplyStorageLimits(const OptionsValues& options, const StorageOptions& limits)
{
    storage_->Configure(options, limits);
}

void Station::ApplyLiveView(const OptionsValues& options, const LiveViewOptions& settings)
{
    liveView_->Apply(options, settings);
    const bool running = liveView_->Running();
    engine_->SetLiveViewRunning(running);
    // Every frame of the camera, during a run too, reaches the live view, only while it runs.
    if (running != device_->OnFrameCallbackSet())
        device_->SetOnFrameCallback(running ? TVideoStream([this](CaptureDevice&, const FrameBuffer& header) { liveFrames_->Offer(header); })
                                            : TVideoStream());
    NoteShownFormat();
}

LiveCommandResult Station::RunLiveCommand(LiveCommand command)
{
    AutoCaptureEngine& e = *engine_;
    const auto on = [&e] { return e.AutoCapturing() || e.FuseBurning(); };
    if (!device_->DriverOpen()) {
        // The menu item's own answer, logged as it logs it.
        if (command == LiveCommand::Picture)
            e.Commands().CapturePicture();
        else
            e.ToggleAutoCapturing();
        return {false, QStringLiteral("Driver not loaded")};
    }
    const Enablement allowed = EnablementFor(e.State(), e.Recording());
    if (command == LiveCommand::Picture) {
        if (e.Recording())
            return {false, QStringLiteral("A recording runs")};
        e.Commands().CaptureNow();
        return {true, QStringLiteral("Picture taken")};
    }
    // As the menu's item, which a recording disables along with the settings.
    if (!allowed.autoCapturing)
        return {false, QStringLiteral("Auto-capturing cannot be switched while a recording runs")};
    if ((command == LiveCommand::AutoCapturingOn) != on())
        e.ToggleAutoCapturing();
    if (e.FuseBurning())
        return {command == LiveCommand::AutoCapturingOn, QStringLiteral("The fuse burns: auto-capturing starts in %1 s").arg(e.FuseCountdown())};
    if ((command == LiveCommand::AutoCapturingOn) != on())
        return {false, QStringLiteral("Auto-capturing could not be switched; the log says why")};
    return {true, on() ? QStringLiteral("Auto-capturing on") : QStringLiteral("Auto-capturing off")};
}

void Station::NoteShownFormat()
{
    if (!liveView_->Running() || !device_->DriverOpen())
        return;
    FrameFormat format{};
    try {
        if (device_->ReadVideoFormat(format))
            liveFrames_->SetPreviewFormat(format);
    } catch (const DriverNotOpenError&) {
        // Connecting again reports the format then.
    }
}

} // namespace tarvo
