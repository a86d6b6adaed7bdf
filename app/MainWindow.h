#pragma once
// The main window (form TForm1): the live picture, the menus and tray menu, the status bar, start-up,
// the deferred driver connection, hiding to and restoring from the notification area, and the
// orderly shutdown. It wires the program's parts together; the work itself is done by them.
#include "app/core/Activation.h"
#include "app/core/LogWriter.h"
#include "app/MainMenuActions.h"
#include "app/core/StatusSink.h"
#include "app/engine/EngineHost.h"
#include "settings/ProfileBox.h"
#include "settings/Profiles.h"
#include "ui/TrayIconHost.h"

#include <QIcon>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <array>
#include <memory>
#include <vector>

class QLabel;
class QMenu;

namespace tarvo {

class AutoCaptureEngine;
class CaptureBackend;
class PopupManager;
class SetupDialog;
class AboutWindow;
class CaptionAndAreaWindow;
class FtpTestWindow;
class ProfileSelectWindow;
class ProxyWindow;
class TrayIcon;
class CaptureDevice;
class DriverDialogs;
class VideoView;
class SceneChangeMeter;
class StorageKeeper;
class LiveView;
class LiveFrameHub;
class ProfilePasswords;
class SecretStore;
class SoundPlayer;
class SignalWatcher;
class TerminationSignals;

class MainWindow final : public QMainWindow, public StatusSink, public EngineHost, public ActivationTargets {
    Q_OBJECT
public:
    struct Setup {
        QStringList arguments;                  // the command line without the program name
        std::unique_ptr<TrayIconHost> trayHost; // nullptr: the desktop's notification area
        CaptureBackend* captureBackend = nullptr; // nullptr: GStreamer's, made by the window
        ProfilePasswords* passwords = nullptr;    // nullptr: the window's own, in the desktop's secret store
    };
    explicit MainWindow(Setup setup);
    ~MainWindow() override;

    // The other windows, created in the program's order once the main window exists.
    void CreateWindows();
    // Registry values, current profile, start count, command line, window or tray, version check.
    void InitMainWindow();

    void ShowMainWindow();
    // Hides the window to the notification area; where there is none, minimises it instead.
    void HideToTray();
    // Stores the preview state, ends a recording through its normal stop, then stops
    // auto-capturing.
    void PrepareExit();

    // What the menus, the timers and the capture component ask of the window.
    // Connects the configured capture driver; on the first load also restores the preview.
    void ConnectDriver();
    // The version check a while after start-up.
    void StartupUpdateCheck();
    // The capture component's status changed: the engine hears of it and the window fits the video.
    void FollowCaptureStatus();
    void ExitProgram(); // also "Close" of the tray menu and SIGTERM/SIGINT
    void RestoreFromTray();
    // Opens the picture viewer, or the picture folder where no viewer is installed.
    void BrowsePictures();
    void OpenAbout();
    void OpenSetup();
    void OpenProfiles();
    // The viewer reads the folders from the store: kept current whenever the program loses focus.
    void RememberViewerFolders();
    void CheckLogSize();

    // Parts, for the program's own wiring and for tests.
    CaptureDevice& Video() { return *video_; }
    VideoView& View() { return *view_; }
    LogWriter& Log() { return logWriter_; }
    MainMenuActions& Menus() { return menus_; }
    AutoCaptureEngine& Engine() { return *engine_; }
    StorageKeeper& Storage() { return *storage_; }
    PopupManager& Popups() { return *popups_; }
    TrayIcon& Tray() { return *trayIcon_; }
    ProfileBox& Profile() { return profileBox_; }
    QMenu& TrayMenu() { return *trayMenu_; }
    QString StatusText() const;
    int IndicatorWidth() const;
    SetupDialog* SetupWindow() const { return setupWindow_.get(); }
    AboutWindow* AboutBox() const { return aboutBox_.get(); }
    CaptionAndAreaWindow* ExampleWindow() const { return exampleWindow_.get(); }
    FtpTestWindow* FtpTestDialog() const { return ftpTestDialog_.get(); }
    ProfileSelectWindow* ProfilesWindow() const { return profilesWindow_.get(); }
    ProxyWindow* ProxySettingsWindow() const { return proxyWindow_.get(); }

    // The program starts counted so far, this one included.
    int StartCount() const { return loadCount_; }
    // The first connection of a driver has run, whether or not a driver came up.
    bool FirstDriverLoadDone() const { return !firstDriverLoad_; }
    // The version check a while after start-up, to look at.
    const QTimer& StartupCheck() const { return startupChk_; }

    // StatusSink
    void SetStatusText(const QString& text) override;

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

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildStatusBar();
    void ConfigureVideo();
    void ConnectMenus();
    void WireSetupDialog();
    // One of the device's driver dialogs, over this window.
    void ShowDriverDialog(bool (CaptureDevice::*show)(DriverDialogs&));
    // FollowCaptureStatus's fitting of the window to the video.
    void FitToVideo();
    // Tells the live view the format of the frames shown outside auto-capturing.
    void NoteShownFormat();
    int MenuBarHeight(int windowWidth) const;
    bool ShowTrayIcon();
    QString FirstArgument() const;
    void Report(const QString& msg, bool toFile, const QString& handler);
    static void ShowWindowOnTop(QWidget& window);

    QStringList arguments_;
    // The settings in force, read by the engine and the windows; outlives them all.
    ActiveSettings settings_;
    // The frames the live view serves: offered by the engine's runs and by the shown video.
    std::unique_ptr<LiveFrameHub> liveFrames_;
    std::unique_ptr<SoundPlayer> sound_;
    // The passwords profiles keep out of their files, unless the setup hands others in.
    std::unique_ptr<SecretStore> secretStore_;
    std::unique_ptr<ProfilePasswords> ownPasswords_;
    ProfilePasswords* passwords_ = nullptr;
    LogWriter logWriter_;
    ProfileBox profileBox_;
    MainMenuActions menus_;
    std::unique_ptr<QMenu> trayMenu_;
    std::unique_ptr<CaptureBackend> ownBackend_; // when the setup brought none
    CaptureBackend* captureBackend_ = nullptr;
    std::unique_ptr<CaptureDevice> video_;
    VideoView* view_ = nullptr; // owned as the central widget
    QLabel* indicatorPanel_ = nullptr;
    QLabel* textPanel_ = nullptr;
    std::array<QIcon, 3> stateIcons_;
    std::array<QPixmap, 2> indicatorImages_;
    std::unique_ptr<PopupManager> popups_;
    std::unique_ptr<TrayIcon> trayIcon_;
    std::unique_ptr<AutoCaptureEngine> engine_;
    std::unique_ptr<TerminationSignals> terminationSignals_;
    std::vector<std::unique_ptr<SignalWatcher>> testHooks_;
    std::unique_ptr<ProxyWindow> proxyWindow_;
    std::unique_ptr<SetupDialog> setupWindow_;
    std::unique_ptr<AboutWindow> aboutBox_;
    std::unique_ptr<CaptionAndAreaWindow> exampleWindow_;
    std::unique_ptr<ProfileSelectWindow> profilesWindow_;
    std::unique_ptr<FtpTestWindow> ftpTestDialog_;
    std::unique_ptr<SceneChangeMeter> sceneMeter_;
    std::unique_ptr<StorageKeeper> storage_;
    std::unique_ptr<LiveView> liveView_;
    QTimer driverTimer_;
    QTimer startupChk_;
    int loadCount_ = 0;
    bool firstDriverLoad_ = true;
    bool exitPrepared_ = false;
    bool trayRefusalReported_ = false;
    bool fitPending_ = false; // a status change came while the window was minimised
};

} // namespace tarvo
