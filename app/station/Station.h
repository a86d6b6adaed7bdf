#pragma once
// The station: every running part of Tarvo that needs no window. It owns the per-user store and
// the file-name counters kept there, the event log writer, the capture device, the auto-capture
// engine with its alarm hooks, the storage keeper and the live view, starts them in order and
// tears them down in the reverse order, connects the camera, and is what profile activation drives.
// The desktop program hands it to the main window as its front end; the headless station runs it
// alone.
#include "app/core/Activation.h"
#include "app/core/LogWriter.h"
#include "app/engine/EngineHost.h"
#include "app/liveview/LiveRoutes.h"
#include "app/station/StationFrontEnd.h"
#include "settings/ActiveSettings.h"
#include "settings/ProfileBox.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

namespace tarvo {

class AutoCaptureEngine;
class CaptureBackend;
class CaptureDevice;
class FileCounters;
class LiveFrameHub;
class LiveView;
class PerUserStore;
class ProfilePasswords;
class SecretStore;
class SoundPlayer;
class SignalWatcher;
class StorageKeeper;
class TerminationSignals;

class Station final : public QObject, public EngineHost, public ActivationTargets, private StatusSink {
    Q_OBJECT
public:
    struct Setup {
        QString programDir; // the program folder, ending in '/': profiles, sounds, pictures
        CaptureBackend* captureBackend = nullptr; // nullptr: GStreamer's, made by the station
        // Auto-capturing may start by itself after the first driver load (the profile's
        // AutoCapAtStart): with "-m" on the desktop, always for the headless station.
        bool autoStart = false;
        ProfilePasswords* passwords = nullptr; // nullptr: the station's own, in the desktop's secret store
        PerUserStore* store = nullptr;         // nullptr: the station's own, at PerUserStore::DefaultPath()
    };
    explicit Station(Setup setup, QObject* parent = nullptr);
    ~Station() override;

    // nullptr: headless. The front end must outlive the station or be taken back first.
    void SetFrontEnd(StationFrontEnd* frontEnd);

    // The start-up profile (the stored current one, or a fresh Default), then the file counters
    // and the profile list.
    void Start();
    // The named profile instead, leaving the stored current profile alone. False, with the reason
    // in error, when it does not exist or cannot be read.
    bool StartWithProfile(const QString& name, QString& error);

    // Connects the configured capture driver; on the first load the front end may restore the
    // preview, and auto-capturing may start.
    void ConnectDriver();
    // Ends a recording through its normal stop, then auto-capturing (once).
    void PrepareExit();
    // PrepareExit, then the event loop ends: "&Exit", the tray's "Close", SIGTERM and SIGINT.
    void Exit();

    CaptureDevice& Device() { return *device_; }
    AutoCaptureEngine& Engine() { return *engine_; }
    LogWriter& Log() { return logWriter_; }
    StorageKeeper& Storage() { return *storage_; }
    LiveView& Live() { return *liveView_; }
    ProfileBox& Profile() { return profileBox_; }
    CaptureBackend& Backend() { return *backend_; }
    ProfilePasswords& Passwords() { return *passwords_; }
    FileCounters& Counters() { return *counters_; }
    bool FirstDriverLoadDone() const { return !firstDriverLoad_; }

    // EngineHost
    void SetIndicatorPanelWidth(int width) override;
    void DrawMotionIndicator(int image) override;
    void SetIconImage(int image) override;
    void RaisePopup(const QString& message) override;
    bool MainWindowVisible() const override;
    bool StartedInTray() const override;
    void ApplyMenuState(const MenuState& state) override;

    // ActivationTargets
    ActiveSettings& Settings() override { return settings_; }
    PerUserStore& Store() override { return *store_; }
    QString ProgramFolder() const override { return programDir_; }
    void ApplyStartupShortcut(bool enabled) override;
    void SetTimedTriggerInterval(int ms) override;
    void SetJpegQuality(int quality) override;
    int CaptureDriverIndex() const override;
    void SetCaptureDriverIndex(int index) override;
    bool DriverConnected() const override;
    bool PreviewChecked() const override;
    void RunPreviewCommand() override;
    void EnableDriverTimer() override;
    void SetFrameRates(std::uint16_t frameRate, std::uint16_t previewRate) override;
    void SetMotionThreshold(std::int64_t threshold) override;
    void SetFuseSeconds(int seconds) override;
    void SetRearmInterval(int ms) override;
    void ShowInDialog(const OptionsValues& options) override;
    void ShowExtrasInDialog(const ExtraOptions& extras) override;
    void ApplyStorageLimits(const OptionsValues& options, const StorageOptions& limits) override;
    void ApplyLiveView(const OptionsValues& options, const LiveViewOptions& settings) override;

private:
    void SetStatusText(const QString& text) override;
    void ConfigureDevice();
    // Both starts: defaults in force before a profile is read; afterwards the file counters and
    // the profile list.
    void BeginStart();
    void FinishStart();
    // The device's status changed: the engine hears of it, the live view learns the format.
    void FollowCaptureStatus();
    // Tells the live view the format of the frames shown outside auto-capturing.
    void NoteShownFormat();
    // A control request of the live view's page, done as the menu item does it.
    LiveCommandResult RunLiveCommand(LiveCommand command);
    void Report(const QString& msg, bool toFile, const QString& handler);

    const QString programDir_;
    StationFrontEnd headless_;
    StationFrontEnd* frontEnd_ = &headless_;
    bool autoStart_ = false;
    // The settings in force, read by the engine and the windows; outlives them all.
    ActiveSettings settings_;
    // The frames the live view serves: offered by the engine's runs and by the shown video.
    std::unique_ptr<LiveFrameHub> liveFrames_;
    std::unique_ptr<SoundPlayer> sound_;
    // The passwords profiles keep out of their files, unless the setup hands others in.
    std::unique_ptr<SecretStore> secretStore_;
    std::unique_ptr<ProfilePasswords> ownPasswords_;
    ProfilePasswords* passwords_ = nullptr;
    std::unique_ptr<PerUserStore> ownStore_; // when the setup brought none
    PerUserStore* store_ = nullptr;
    // Outlive the engine, the clip writer and the network task that draw names from them.
    std::unique_ptr<FileCounters> counters_;
    LogWriter logWriter_;
    ProfileBox profileBox_;
    std::unique_ptr<CaptureBackend> ownBackend_; // when the setup brought none
    CaptureBackend* backend_ = nullptr;
    std::unique_ptr<CaptureDevice> device_;
    std::unique_ptr<AutoCaptureEngine> engine_;
    std::unique_ptr<StorageKeeper> storage_;
    std::unique_ptr<LiveView> liveView_;
    std::unique_ptr<TerminationSignals> terminationSignals_;
    std::vector<std::unique_ptr<SignalWatcher>> testHooks_;
    QTimer driverTimer_;
    bool firstDriverLoad_ = true;
    bool exitPrepared_ = false;
};

} // namespace tarvo
