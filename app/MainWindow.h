#pragma once
// The main window (form TForm1): the desktop front end of the station. It shows the live picture,
// the menus and tray menu, the status bar and the other windows, starts the program, hides to and
// restores from the notification area, and keeps its geometry. The running parts are the station's.
#include "app/MainMenuActions.h"
#include "app/station/Station.h"
#include "ui/DesktopAbilities.h"
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

class PopupManager;
class WarningBar;
class SetupDialog;
class DialogMessages;
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

class MainWindow final : public QMainWindow, public StationFrontEnd {
    Q_OBJECT
public:
    struct Setup {
        QStringList arguments;                  // the command line without the program name
        std::unique_ptr<TrayIconHost> trayHost; // nullptr: the desktop's notification area
        DialogMessages* messages = nullptr;     // of the settings windows; nullptr: message boxes
    };
    // The window becomes the station's front end until it is destroyed.
    MainWindow(Station& station, Setup setup);
    ~MainWindow() override;

    // The other windows, created in the program's order once the main window exists.
    void CreateWindows();
    // Registry values, current profile, start count, command line, window or tray, version check.
    void InitMainWindow();

    void ShowMainWindow();
    // Hides the window to the notification area; where there is none, minimises it instead, and
    // where minimising is not reported either, leaves it open.
    void HideToTray();
    // The station's orderly end: the preview state is kept, a recording ends through its normal
    // stop, then auto-capturing stops.
    void PrepareExit() override;

    // What the menus and the timers ask of the window.
    // The version check a while after start-up.
    void StartupUpdateCheck();
    void ExitProgram(); // also "Close" of the tray menu
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
    CaptureDevice& Video() { return station_.Device(); }
    VideoView& View() { return *view_; }
    LogWriter& Log() { return station_.Log(); }
    MainMenuActions& Menus() { return menus_; }
    AutoCaptureEngine& Engine() { return station_.Engine(); }
    PopupManager& Popups() { return *popups_; }
    TrayIcon& Tray() { return *trayIcon_; }
    ProfileBox& Profile() { return station_.Profile(); }
    ActiveSettings& Settings() { return station_.Settings(); }
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
    bool FirstDriverLoadDone() const { return station_.FirstDriverLoadDone(); }
    // The version check a while after start-up, to look at.
    const QTimer& StartupCheck() const { return startupChk_; }

    // The program was started with "-m" as its first argument.
    bool StartedInTray() const;

    // StationFrontEnd
    void SetStatusText(const QString& text) override;
    void SetIndicatorPanelWidth(int width) override;
    void DrawMotionIndicator(int image) override;
    void SetIconImage(int image) override;
    void RaisePopup(const QString& message) override;
    bool MainWindowVisible() const override;
    void ApplyMenuState(const MenuState& state) override;
    void ApplyStartupShortcut(bool enabled) override;
    void ShowInDialog(const OptionsValues& options) override;
    void ShowExtrasInDialog(const ExtraOptions& extras) override;
    void DriverLoaded(const QString& name) override;
    void RestorePreview() override;
    // The device's status changed: the window fits the video.
    void CaptureStatusChanged() override;

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
    // Fits the window to the video when the device's status changes.
    void FitToVideo();
    int MenuBarHeight(int windowWidth) const;
    bool ShowTrayIcon();
    // Shows the window, or hides it to the tray for "-m", once at start.
    void FirstShow();
    // A click on the tray icon, where minimising is not reported: shows or hides the window.
    void ToggleFromTray();
    QString FirstArgument() const;
    void Report(const QString& msg, bool toFile, const QString& handler);
    static void ShowWindowOnTop(QWidget& window);

    Station& station_;
    QStringList arguments_;
    std::unique_ptr<DialogMessages> messageBoxes_; // when the setup brought no messages
    DialogMessages* messages_ = nullptr;
    MainMenuActions menus_;
    std::unique_ptr<QMenu> trayMenu_;
    VideoView* view_ = nullptr; // owned as the central widget
    QLabel* indicatorPanel_ = nullptr;
    QLabel* textPanel_ = nullptr;
    std::array<QIcon, 3> stateIcons_;
    std::array<QPixmap, 2> indicatorImages_;
    std::unique_ptr<PopupManager> popups_;
    WarningBar* warningBar_ = nullptr; // in the window, where a warning window would take the focus
    bool warningAwaitsPicture_ = false; // the motion warning went out as a notification without its picture
    std::unique_ptr<TrayIcon> trayIcon_;
    std::unique_ptr<ProxyWindow> proxyWindow_;
    std::unique_ptr<SetupDialog> setupWindow_;
    std::unique_ptr<AboutWindow> aboutBox_;
    std::unique_ptr<CaptionAndAreaWindow> exampleWindow_;
    std::unique_ptr<ProfileSelectWindow> profilesWindow_;
    std::unique_ptr<FtpTestWindow> ftpTestDialog_;
    std::unique_ptr<SceneChangeMeter> sceneMeter_;
    QTimer startupChk_;
    QTimer firstShow_; // runs while the first show waits for the video's size
    int loadCount_ = 0;
    bool trayRefusalReported_ = false;
    DesktopAbilities desktop_;
    bool fitPending_ = false; // a status change came while the window was minimised
};

} // namespace tarvo
