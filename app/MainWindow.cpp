#include "app/MainWindow.h"

#include "app/core/HandlerBoundary.h"
#include "app/core/Housekeeping.h"
#include "app/MainMenus.h"
#include "app/SceneChangeMeter.h"
#include "app/core/StartCount.h"
#include "app/alarms/AlarmHooks.h"
#include "app/alarms/DesktopNotifier.h"
#include "app/engine/AutoCaptureEngine.h"
#include "app/engine/ManualCommands.h"
#include "app/liveview/LiveView.h"
#include "capture/CaptureDevice.h"
#include "capture/widgets/CaptureDialogs.h"
#include "capture/widgets/VideoView.h"
#include "common/Clock.h"
#include "settings/widgets/DialogMessages.h"
#include "settings/widgets/PlainText.h"
#include "imaging/MotionDetection.h"
#include "imaging/widgets/CaptionAndAreaWindow.h"
#include "publish/widgets/FtpTestWindow.h"
#include "settings/PerUserStore.h"
#include "settings/ProgramDir.h"
#include "settings/widgets/ProfileSelectWindow.h"
#include "settings/widgets/MoreSettingsPage.h"
#include "settings/widgets/ProxyWindow.h"
#include "settings/widgets/SetupDialog.h"
#include "ui/widgets/QtTrayIconHost.h"
#include "ui/widgets/TrayIcon.h"
#include "ui/widgets/PopupWarning.h"
#include "ui/widgets/PopupManager.h"
#include "ui/widgets/WarningBar.h"
#include "ui/widgets/AboutWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QUrl>
#include <algorithm>
#include <limits>
#include <utility>

namespace tarvo {

namespace {
constexpr int statusBarHeight = 20;
const QString senderPrefix = QStringLiteral("TForm1.");
} // namespace

MainWindow::MainWindow(Station& station, Setup setup) : station_(station), arguments_(std::move(setup.arguments))
{
    messages_ = setup.messages;
    if (!messages_) {
        messageBoxes_ = std::make_unique<DialogMessages>();
        messages_ = messageBoxes_.get();
    }
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle("Tarvo");
    setWindowIcon(QIcon(":/icons/tarvo.png"));
    resize(328, 314);
    setMinimumSize(180, 180);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    stateIcons_ = {QIcon(":/icons/icon-auto-on.png"), QIcon(":/icons/icon-auto-off.png"), QIcon(":/icons/icon-flash.png")};
    indicatorImages_ = {QPixmap(":/icons/indicator-idle.png"), QPixmap(":/icons/indicator-motion.png")};

    menus_ = BuildMainMenu(*menuBar());
    trayMenu_ = std::make_unique<QMenu>();
    BuildTrayMenu(*trayMenu_, menus_);
    desktop_ = DesktopAbilities::Probe(QSystemTrayIcon::isSystemTrayAvailable());

    view_ = new VideoView(station_.Device(), this);
    setCentralWidget(view_);
    QPalette black = view_->palette();
    black.setColor(QPalette::Window, Qt::black);
    view_->setPalette(black);
    view_->setAutoFillBackground(true);
    BuildStatusBar();

    popups_ = std::make_unique<PopupManager>();
    popups_->SetShowWithoutFocus(!desktop_.honoursPositions);
    warningBar_ = new WarningBar(view_);
    // The motion warning's notification gets the alarm's picture once it is saved.
    connect(&Engine().Alarms(), &AlarmHooks::raised, this, [this](const QDateTime&, const QString& picture) {
        if (std::exchange(warningAwaitsPicture_, false) && !picture.isEmpty())
            Engine().Alarms().Notifier().Notify(QStringLiteral("Tarvo"), MotionWarning, picture, MotionWarning);
    });
    trayIcon_ = std::make_unique<TrayIcon>(setup.trayHost ? std::move(setup.trayHost) : std::make_unique<QtTrayIconHost>());
    trayIcon_->SetIcon(windowIcon());
    trayIcon_->SetTip("Tarvo");
    trayIcon_->SetRightMenu(trayMenu_.get());
    const auto captureFromTray = [this] {
        RunHandler(senderPrefix + "TolmarTrayIcon1MouseLBtnDblClk", [this] { Engine().Commands().CaptureNow(); });
    };
    trayIcon_->OnMouseLBtnDblClk = [captureFromTray](TrayIcon&) { captureFromTray(); };
    // A tray without double-clicks offers the double-click's picture in its menu instead.
    if (desktop_.notificationArea && !desktop_.trayDoubleClick) {
        auto* captureNow = new QAction(QStringLiteral("Capture &now"), trayMenu_.get());
        trayMenu_->insertAction(menus_.trayOpen, captureNow);
        connect(captureNow, &QAction::triggered, this, captureFromTray);
    }
    if (!desktop_.reportsMinimising)
        trayIcon_->OnMouseLBtnUp = [this](TrayIcon&) { RunHandler(senderPrefix + "TolmarTrayIcon1MouseLBtnUp", [this] { ToggleFromTray(); }); };

    startupChk_.setInterval(10000);
    startupChk_.setSingleShot(true);
    ConnectHandler(&startupChk_, &QTimer::timeout, this, senderPrefix + "StartupChkTimer", [this] { StartupUpdateCheck(); });

    ConnectMenus();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            RunHandler(senderPrefix + "ApplicationEvents1Deactivate", [this] { RememberViewerFolders(); });
    });
    station_.SetFrontEnd(this);
    // The menus as the engine's table has them now, before the window is first shown.
    Engine().RefreshMenus();
}

MainWindow::~MainWindow()
{
    // The station goes on reporting after the window; the view of the device goes before the device.
    station_.SetFrontEnd(nullptr);
    delete view_;
    view_ = nullptr;
    ftpTestDialog_.reset();
    profilesWindow_.reset();
    exampleWindow_.reset();
    aboutBox_.reset();
    setupWindow_.reset();
    proxyWindow_.reset();
}

void MainWindow::BuildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setFixedHeight(statusBarHeight);
    bar->setSizeGripEnabled(true);
    indicatorPanel_ = new QLabel(bar);
    indicatorPanel_->setFixedWidth(0);
    indicatorPanel_->setContentsMargins(1, 2, 0, 0);
    indicatorPanel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    textPanel_ = new QLabel(bar);
    // Log lines carry server replies and file names: never markup that Qt would lay out or load.
    textPanel_->setTextFormat(Qt::PlainText);
    textPanel_->setMinimumWidth(0);
    bar->addWidget(indicatorPanel_);
    bar->addWidget(textPanel_, 1);
}

void MainWindow::ConnectMenus()
{
    MainMenuActions& m = menus_;
    AutoCaptureEngine* e = &Engine();
    ManualCommands* c = &e->Commands();
    // Each command runs inside the handler boundary: a camera that refuses a dialog, say, is
    // reported under the handler's name and the program goes on.
    const auto on = [this](QAction* item, const char* handler, auto command) {
        ConnectHandler(item, &QAction::triggered, this, senderPrefix + handler, std::move(command));
    };
    on(m.exit, "Exit1Click", [this] { ExitProgram(); });
    on(m.trayClose, "Exit2Click", [this] { ExitProgram(); });
    on(m.trayOpen, "Open1Click", [this] { RestoreFromTray(); });
    on(m.browse, "Log1Click", [this] { BrowsePictures(); });
    on(m.liveView, "LiveView1Click", [this] { QDesktopServices::openUrl(QUrl(station_.Live().Url())); });
    on(m.about, "About1Click", [this] { OpenAbout(); });
    on(m.setup, "Setup1Click", [this] { OpenSetup(); });
    on(m.profiles, "Profiles1Click", [this] { OpenProfiles(); });
    on(m.trayProfiles, "Profiles2Click", [this] { OpenProfiles(); });
    on(m.preview, "Preview1Click", [c] { c->TogglePreview(); });
    on(m.capturePicture, "Capturepicture1Click", [c] { c->CapturePicture(); });
    on(m.captureVideo, "CaptureVideo1Click", [c] { c->ToggleVideoRecording(); });
    on(m.autoCapturing, "Startautocapturing1Click", [e] { e->ToggleAutoCapturing(); });
    on(m.trayAutoCapturing, "Autocapturing1Click", [e] { e->ToggleAutoCapturingFromTray(); });
    on(m.captureNow, "TolmarTrayIcon1MouseLBtnDblClk", [c] { c->CaptureNow(); });
    on(m.driverSource, "Source1Click", [this] { ShowDriverDialog(&CaptureDevice::ShowSourceDialog); });
    on(m.driverDisplay, "Display1Click", [this] { ShowDriverDialog(&CaptureDevice::ShowDisplayDialog); });
    on(m.driverFormat, "Format1Click", [this] { ShowDriverDialog(&CaptureDevice::ShowFormatDialog); });
}

void MainWindow::CreateWindows()
{
    // The setup dialog shows the proxy window's controls, so that window exists first.
    proxyWindow_ = std::make_unique<ProxyWindow>(this);
    setupWindow_ = std::make_unique<SetupDialog>(station_.ProgramFolder(), Profile(), Settings(), station_.Passwords(), station_,
                                                 *proxyWindow_, *messages_, this);
    aboutBox_ = std::make_unique<AboutWindow>(this);

    CaptionAndAreaWindow::Hooks exampleHooks;
    exampleHooks.saveSingleImage = [this] { Video().SaveSingleImage(); };
    exampleHooks.singleImageFile = [this] { return Video().SingleImageFile(); };
    exampleHooks.captionSettings = [this] {
        OptionsValues options = Settings().options;
        setupWindow_->ReadCaptionSettings(options);
        return options;
    };
    exampleHooks.shownArea = [this] { return setupWindow_->ShownArea(); };
    exampleHooks.storeArea = [this](const DetectionArea& area) { setupWindow_->ShowArea(area); };
    // The Setup dialog's own window, so that it stays over the dialog and never under it.
    exampleWindow_ = std::make_unique<CaptionAndAreaWindow>(Settings(), station_.ProgramFolder(), std::move(exampleHooks),
                                                            setupWindow_.get());

    profilesWindow_ = std::make_unique<ProfileSelectWindow>(station_.ProgramFolder(), Profile(), station_.Passwords(),
                                                            station_.Store(), station_, *messages_, this);

    FtpTestWindow::Hooks ftpTestHooks;
    ftpTestHooks.settings = [this] { return setupWindow_->TypedFtpSettings(); };
    ftpTestHooks.localFolder = station_.ProgramFolder();
    ftpTestDialog_ = std::make_unique<FtpTestWindow>(std::move(ftpTestHooks), this);

    WireSetupDialog();
}

void MainWindow::WireSetupDialog()
{
    SetupDialogHooks& h = setupWindow_->hooks;
    h.currentDriverIndex = [this] { return Video().DriverIndex(); };
    h.showCompressionDialog = [this] { RunHandler("TForm3.Button9Click", [this] { ShowDriverDialog(&CaptureDevice::ShowCompressionDialog); }); };
    h.showExampleWindow = [this](bool defineArea) {
        exampleWindow_->DefineAreaMode = defineArea;
        ShowWindowOnTop(*exampleWindow_);
        if (defineArea)
            sceneMeter_->Start();
    };
    h.redrawExampleIfVisible = [this] {
        if (exampleWindow_->isVisible())
            exampleWindow_->DrawCaptionExample();
    };
    h.hideExampleIfVisible = [this] {
        if (exampleWindow_->isVisible())
            exampleWindow_->hide();
    };
    h.showFtpTest = [this] { ShowWindowOnTop(*ftpTestDialog_); };
    h.hideFtpTestIfVisible = [this] {
        if (ftpTestDialog_->isVisible())
            ftpTestDialog_->hide();
    };
    setupWindow_->SetCaptureDrivers(ListCaptureDrivers(station_.Backend()));

    SceneChangeMeter::Hooks meter;
    meter.watching = [this] { return exampleWindow_->isVisible() && exampleWindow_->DefineAreaMode; };
    meter.grab = [this] { return Video().SaveSingleImage() ? QImage(Video().SingleImageFile()) : QImage(); };
    meter.grid = [this](int width, int height) {
        OptionsValues options = Settings().options;
        setupWindow_->ReadShownArea(options);
        return MakeDetectionGrid(width, height, options);
    };
    meter.threshold = [this] { return ThresholdForSensitivity(setupWindow_->ShownSensitivity()); };
    meter.show = [this](int changed, int points, int group) { setupWindow_->ShowSceneChange(changed, points, group); };
    sceneMeter_ = std::make_unique<SceneChangeMeter>(std::move(meter), this);
}

QString MainWindow::FirstArgument() const { return arguments_.isEmpty() ? QString() : arguments_.first(); }

void MainWindow::Report(const QString& msg, bool toFile, const QString& handler) { Log().WriteLog(msg, toFile, senderPrefix + handler); }

void MainWindow::ShowWindowOnTop(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

void MainWindow::InitMainWindow()
{
    station_.Start();
    // Counted after the start-up profile, which resets the count when it makes a fresh Default.
    loadCount_ = CountProgramStart(station_.Store());

    Log().SetDebugLog(FirstArgument() == "-d");
    // A compositor that ignores positions places a window once, as it first shows: there the
    // window waits for the video's size, or a few seconds where no driver comes up.
    if (!desktop_.honoursPositions && !FirstDriverLoadDone()) {
        firstShow_.setSingleShot(true);
        firstShow_.setInterval(5000);
        connect(&firstShow_, &QTimer::timeout, this, &MainWindow::FirstShow);
        firstShow_.start();
    } else {
        FirstShow();
    }

    if (loadCount_ == 1) {
        startupChk_.start();
        aboutBox_->ShowAbout();
    }
    if (loadCount_ % 10 == 0 && Settings().options.AutoUpdCheck)
        startupChk_.start();
    if (Settings().options.WarnLimit)
        CheckLogSize();
}

void MainWindow::StartupUpdateCheck()
{
    startupChk_.stop();
    aboutBox_->CheckForUpdate();
}

void MainWindow::DriverLoaded(const QString& name) { view_->setToolTip(PlainToolTip(name)); }

void MainWindow::FirstShow()
{
    firstShow_.stop();
    if (StartedInTray())
        HideToTray();
    else
        ShowMainWindow();
}

void MainWindow::RestorePreview()
{
    // The first driver load is done and the window fitted to its video: a waiting first show comes
    // after the fit's own events.
    if (firstShow_.isActive())
        QMetaObject::invokeMethod(this, &MainWindow::FirstShow, Qt::QueuedConnection);
    CaptureDevice& v = Video();
    // With no driver selected the stored preview simply stays off.
    if (station_.Store().ReadBool("Preview", false) && v.DriverIndex() >= 0) {
        try {
            v.SetVideoPreview(true);
        } catch (const std::exception& e) {
            Report(QString::fromLocal8Bit(e.what()), true, "DriverTimerTimer");
        }
    }
}

void MainWindow::ShowDriverDialog(bool (CaptureDevice::*show)(DriverDialogs&))
{
    WindowDriverDialogs dialogs(this);
    (Video().*show)(dialogs);
}

void MainWindow::CaptureStatusChanged()
{
    // A minimised window is fitted when it is restored: window managers bring a minimised window
    // back on the screen when its size changes.
    fitPending_ = isMinimized();
    if (!fitPending_)
        FitToVideo();
}

void MainWindow::FitToVideo()
{
    const CaptureDevice& v = Video();
    if (!v.DriverOpen()) {
        setMinimumSize(50, 100);
        return;
    }
    // Frame the video exactly: menu bar above, status bar below. Their heights come from the bars
    // themselves, not from the window's current layout, which a window never shown (a start
    // with "-m") has not had yet.
    const int minWidth = std::max(int(v.ImageWidth()), 180);
    const int minHeight = MenuBarHeight(minWidth) + statusBar()->height() + v.ImageHeight();
    setMinimumSize(minWidth, minHeight);
    resize(minWidth, minHeight);
    // A larger video must not push the window off the screen it started on.
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const QRect frame = frameGeometry();
        const int left = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
        const int top = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
        if (left != frame.left() || top != frame.top())
            move(left, top);
    }
}

int MainWindow::MenuBarHeight(int windowWidth) const
{
    // As the window's layout sizes it: a narrow window wraps the menus onto more rows.
    const QMenuBar* bar = menuBar();
    const int height = bar->heightForWidth(windowWidth);
    return height >= 0 ? height : bar->sizeHint().height();
}

void MainWindow::ShowMainWindow()
{
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    // Where minimising is not reported the icon is the way to hide the window: it stays.
    try {
        if (desktop_.reportsMinimising)
            trayIcon_->SetVisible(false);
        else if (desktop_.notificationArea)
            trayIcon_->SetVisible(true);
    } catch (const TrayIconError& e) {
        Report(QString::fromLocal8Bit(e.what()), true, "ShowMainWindow");
    }
    if (Video().SequenceRunning() && Engine().MotionDetecting())
        SetIndicatorPanelWidth(IndicatorPanelWidth);
}

void MainWindow::HideToTray()
{
    if (ShowTrayIcon()) {
        hide();
        return;
    }
    // Neither hidden nor minimised could the window be found again: it stays open.
    if (!desktop_.reportsMinimising) {
        if (!isVisible())
            ShowMainWindow();
        return;
    }
    // Without a notification area a hidden window could not be brought back: it stays minimised
    // in the task bar instead. A window never shown yet gets its native window first, so that the
    // minimised state reaches the window manager with the first map ("-m").
    if (isVisible() && isMinimized())
        return;
    winId();
    showMinimized();
}

bool MainWindow::ShowTrayIcon()
{
    try {
        trayIcon_->SetVisible(true);
        return true;
    } catch (const TrayIconError& e) {
        // Said once: the desktop is asked again at every minimise, as a panel may come up later.
        if (!trayRefusalReported_)
            Report(QString(desktop_.reportsMinimising ? "No notification area: Tarvo minimises to the task bar ("
                                                      : "No notification area: Tarvo stays open, as this desktop cannot minimise it (") +
                       QString::fromUtf8(e.what()) + ")",
                   true, "HideToTray");
        trayRefusalReported_ = true;
        return false;
    }
}

void MainWindow::ToggleFromTray()
{
    if (isVisible())
        hide();
    else
        ShowMainWindow();
}

void MainWindow::PrepareExit()
{
    station_.Store().WriteBool("Preview", Video().VideoPreview());
}

void MainWindow::ExitProgram() { station_.Exit(); }

void MainWindow::closeEvent(QCloseEvent* event)
{
    station_.PrepareExit();
    event->accept();
    QCoreApplication::quit();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    // Both once the state change has been handled, so the window manager is not confused.
    if (isMinimized())
        QMetaObject::invokeMethod(this, &MainWindow::HideToTray, Qt::QueuedConnection);
    else if (std::exchange(fitPending_, false))
        QMetaObject::invokeMethod(this, &MainWindow::FitToVideo, Qt::QueuedConnection);
}

void MainWindow::RememberViewerFolders() { StoreViewerFolders(station_.Store(), Settings().options); }

void MainWindow::RestoreFromTray() { ShowMainWindow(); }

void MainWindow::OpenAbout() { aboutBox_->ShowAbout(); }

void MainWindow::OpenSetup() { ShowWindowOnTop(*setupWindow_); }

void MainWindow::OpenProfiles() { ShowWindowOnTop(*profilesWindow_); }

void MainWindow::BrowsePictures()
{
    StoreViewerFolders(station_.Store(), Settings().options);
    const QString viewer = station_.ProgramFolder() + "viewer";
    const QFileInfo info(viewer);
    if (info.isFile() && info.isExecutable() && QProcess::startDetached(viewer, {}))
        return;
    // No viewer installed: the desktop's file manager shows the pictures instead.
    const QString pictures = Settings().options.PictureDir.str();
    QDesktopServices::openUrl(QUrl::fromLocalFile(pictures));
    Log().ShowStatusText("No picture viewer found; opening the picture folder " + pictures);
}

void MainWindow::CheckLogSize()
{
    const QString warning = LogSizeWarning(MeasureLogFolders(Settings().options.PictureDir.str(), Settings().options.VideoDir.str()), Settings().options.Limit);
    if (!warning.isEmpty())
        RaisePopup(warning);
}

QString MainWindow::StatusText() const { return textPanel_->text(); }

int MainWindow::IndicatorWidth() const { return indicatorPanel_->width(); }

// StatusSink

void MainWindow::SetStatusText(const QString& text) { textPanel_->setText(text); }

// EngineHost

void MainWindow::SetIndicatorPanelWidth(int width) { indicatorPanel_->setFixedWidth(width); }

void MainWindow::DrawMotionIndicator(int image)
{
    if (image >= 0 && image < int(indicatorImages_.size()))
        indicatorPanel_->setPixmap(indicatorImages_[image]);
}

void MainWindow::SetIconImage(int image)
{
    if (image < 0 || image >= int(stateIcons_.size()))
        return;
    setWindowIcon(stateIcons_[image]);
    // A tray that refuses the new picture must not stop the engine's step that asked for it.
    RunHandler(senderPrefix + "SetIconImage", [&] { trayIcon_->SetIcon(stateIcons_[image]); });
}

void MainWindow::RaisePopup(const QString& message)
{
    if (desktop_.honoursPositions) {
        popups_->Raise(message);
        return;
    }
    // A compositor focuses every new window: the warning goes to the notification service where
    // there is one, otherwise into the main window, and the window is marked for the user's
    // attention instead of taking the focus. A warning repeated replaces its notification.
    QApplication::alert(this);
    if (desktop_.notificationService) {
        warningAwaitsPicture_ = message == MotionWarning;
        Engine().Alarms().Notifier().Notify(QStringLiteral("Tarvo"), message, QString(), message);
    } else {
        warningBar_->Show(message);
    }
}

bool MainWindow::MainWindowVisible() const { return isVisible(); }

bool MainWindow::StartedInTray() const { return FirstArgument() == "-m"; }

void MainWindow::ApplyMenuState(const MenuState& state)
{
    ApplyToMenus(menus_, state);
    // The other windows come later than the engine's first menus; they start with "OK" usable.
    if (setupWindow_)
        setupWindow_->SetOkEnabled(state.activation);
    if (profilesWindow_)
        profilesWindow_->SetOkEnabled(state.activation);
}

void MainWindow::ApplyStartupShortcut(bool enabled) { StartMenu(enabled, Log()); }

void MainWindow::ShowInDialog(const OptionsValues& options)
{
    if (setupWindow_)
        setupWindow_->ShowInDialog(options);
}

void MainWindow::ShowExtrasInDialog(const ExtraOptions& extras)
{
    if (setupWindow_)
        setupWindow_->ShowExtrasInDialog(extras);
}

} // namespace tarvo
