#include "app/MainWindow.h"

#include "app/core/HandlerBoundary.h"
#include "app/core/Housekeeping.h"
#include "app/storage/StorageKeeper.h"
#include "app/MainMenus.h"
#include "app/SceneChangeMeter.h"
#include "app/core/StartCount.h"
#include "app/core/TerminationSignals.h"
#include "app/alarms/AlarmHooks.h"
#include "app/engine/AutoCaptureEngine.h"
#include "app/engine/ManualCommands.h"
#include "app/liveview/LiveFrameHub.h"
#include "app/liveview/LiveView.h"
#include "capture/CaptureDevice.h"
#include "capture/GstCaptureBackend.h"
#include "capture/widgets/CaptureDialogs.h"
#include "capture/widgets/VideoView.h"
#include "common/Clock.h"
#include "settings/widgets/PlainText.h"
#include "imaging/FileNaming.h"
#include "imaging/MotionDetection.h"
#include "imaging/widgets/CaptionAndAreaWindow.h"
#include "publish/widgets/FtpTestWindow.h"
#include "settings/ActiveSettings.h"
#include "settings/PerUserStore.h"
#include "settings/ProgramDir.h"
#include "settings/SecretStore.h"
#include "settings/widgets/ProfileSelectWindow.h"
#include "settings/widgets/MoreSettingsPage.h"
#include "settings/widgets/ProxyWindow.h"
#include "settings/widgets/SetupDialog.h"
#include "sound/SoundPlayer.h"
#include "ui/widgets/QtTrayIconHost.h"
#include "ui/widgets/TrayIcon.h"
#include "ui/widgets/PopupWarning.h"
#include "ui/widgets/PopupManager.h"
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
#include <QUrl>
#include <algorithm>
#include <limits>
#include <utility>

namespace tarvo {

namespace {
constexpr int statusBarHeight = 20;
const QString senderPrefix = QStringLiteral("TForm1.");
} // namespace

MainWindow::MainWindow(Setup setup)
    : arguments_(std::move(setup.arguments)), liveFrames_(std::make_unique<LiveFrameHub>()),
      sound_(std::make_unique<GstSoundPlayer>()), logWriter_(*this)
{
    setObjectName(QStringLiteral("TForm1"));
    SetProgramLog(&logWriter_);
    passwords_ = setup.passwords;
    if (!passwords_) {
        secretStore_ = std::make_unique<KeychainSecretStore>();
        ownPasswords_ = std::make_unique<ProfilePasswords>(*secretStore_);
        passwords_ = ownPasswords_.get();
    }
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

    if (!setup.captureBackend) {
        ownBackend_ = std::make_unique<GstCaptureBackend>(ProgramStore());
        setup.captureBackend = ownBackend_.get();
    }
    captureBackend_ = setup.captureBackend;
    video_ = std::make_unique<CaptureDevice>(*captureBackend_);
    view_ = new VideoView(*video_, this);
    setCentralWidget(view_);
    ConfigureVideo();
    BuildStatusBar();

    popups_ = std::make_unique<PopupManager>();
    trayIcon_ = std::make_unique<TrayIcon>(setup.trayHost ? std::move(setup.trayHost) : std::make_unique<QtTrayIconHost>());
    trayIcon_->SetIcon(windowIcon());
    trayIcon_->SetTip("Tarvo");
    trayIcon_->SetRightMenu(trayMenu_.get());
    engine_ = std::make_unique<AutoCaptureEngine>(*video_, *this, settings_, *liveFrames_, *sound_);
    trayIcon_->OnMouseLBtnDblClk = [this](TrayIcon&) {
        RunHandler(senderPrefix + "TolmarTrayIcon1MouseLBtnDblClk", [this] { engine_->Commands().CaptureNow(); });
    };

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
    liveView_ = std::make_unique<LiveView>(*liveFrames_);
    storage_->Removed = [this](const QString& path) { liveView_->Status().NoteFileRemoved(path); };
    connect(&engine_->Alarms(), &AlarmHooks::raised, this,
            [this](const QDateTime& time, const QString& picture) { liveView_->Status().NoteAlarm(time, picture); });
    startupChk_.setInterval(10000);
    startupChk_.setSingleShot(true);
    ConnectHandler(&startupChk_, &QTimer::timeout, this, senderPrefix + "StartupChkTimer", [this] { StartupUpdateCheck(); });

    ConnectMenus();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            RunHandler(senderPrefix + "ApplicationEvents1Deactivate", [this] { RememberViewerFolders(); });
    });
    terminationSignals_ = std::make_unique<TerminationSignals>([this] { ExitProgram(); });
    // Test hooks for end-to-end runs, with TARVO_TEST_HOOKS=1: SIGUSR1 makes the camera fail as an
    // unplugged one would; SIGUSR2 logs how many motion samples the run has taken, so a test can
    // tell that the program watched the scene, however slowly the machine runs.
    if (qEnvironmentVariable("TARVO_TEST_HOOKS") == "1") {
        testHooks_.push_back(std::make_unique<SignalWatcher>(std::vector<int>{SIGUSR1}, [this] { video_->SimulateDeviceLost(); }));
        testHooks_.push_back(std::make_unique<SignalWatcher>(std::vector<int>{SIGUSR2}, [this] {
            Report("Motion samples: " + QString::number(engine_->MotionSamples()), true, "TestHook");
        }));
    }
}

MainWindow::~MainWindow()
{
    // The frame thread and every window that reports must be gone before the log writer, and the
    // capture device (which joins the frame thread) before the engine its frames call; the view
    // of the device before the device.
    liveView_->Stop();
    testHooks_.clear();
    delete view_;
    view_ = nullptr;
    video_.reset();
    engine_.reset();
    ftpTestDialog_.reset();
    profilesWindow_.reset();
    exampleWindow_.reset();
    aboutBox_.reset();
    setupWindow_.reset();
    proxyWindow_.reset();
    SetProgramLog(nullptr);
}

void MainWindow::ConfigureVideo()
{
    QPalette black = view_->palette();
    black.setColor(QPalette::Window, Qt::black);
    view_->setPalette(black);
    view_->setAutoFillBackground(true);
    CaptureDevice& v = *video_;
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
    AutoCaptureEngine* e = engine_.get();
    ManualCommands* c = &engine_->Commands();
    // Each command runs inside the handler boundary: a camera that refuses a dialog, say, is
    // reported under the handler's name and the program goes on.
    const auto on = [this](QAction* item, const char* handler, auto command) {
        ConnectHandler(item, &QAction::triggered, this, senderPrefix + handler, std::move(command));
    };
    on(m.exit, "Exit1Click", [this] { ExitProgram(); });
    on(m.trayClose, "Exit2Click", [this] { ExitProgram(); });
    on(m.trayOpen, "Open1Click", [this] { RestoreFromTray(); });
    on(m.browse, "Log1Click", [this] { BrowsePictures(); });
    on(m.liveView, "LiveView1Click", [this] { QDesktopServices::openUrl(QUrl(liveView_->Url())); });
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
    setupWindow_ = std::make_unique<SetupDialog>(profileBox_, settings_, *passwords_, *this, *proxyWindow_, this);
    aboutBox_ = std::make_unique<AboutWindow>(this);

    CaptionAndAreaWindow::Hooks exampleHooks;
    exampleHooks.saveSingleImage = [this] { video_->SaveSingleImage(); };
    exampleHooks.singleImageFile = [this] { return video_->SingleImageFile(); };
    exampleHooks.captionSettings = [this] {
        OptionsValues options = settings_.options;
        setupWindow_->ReadCaptionSettings(options);
        return options;
    };
    exampleHooks.shownArea = [this] { return setupWindow_->ShownArea(); };
    exampleHooks.storeArea = [this](const DetectionArea& area) { setupWindow_->ShowArea(area); };
    exampleWindow_ = std::make_unique<CaptionAndAreaWindow>(settings_, std::move(exampleHooks), this);

    profilesWindow_ = std::make_unique<ProfileSelectWindow>(profileBox_, *passwords_, *this, this);

    FtpTestWindow::Hooks ftpTestHooks;
    ftpTestHooks.settings = [this] { return setupWindow_->TypedFtpSettings(); };
    ftpTestHooks.localFolder = ProgramDir();
    ftpTestDialog_ = std::make_unique<FtpTestWindow>(std::move(ftpTestHooks), this);

    WireSetupDialog();
}

void MainWindow::WireSetupDialog()
{
    SetupDialogHooks& h = setupWindow_->hooks;
    h.currentDriverIndex = [this] { return video_->DriverIndex(); };
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
    setupWindow_->SetCaptureDrivers(ListCaptureDrivers(*captureBackend_));

    SceneChangeMeter::Hooks meter;
    meter.watching = [this] { return exampleWindow_->isVisible() && exampleWindow_->DefineAreaMode; };
    meter.grab = [this] { return video_->SaveSingleImage() ? QImage(video_->SingleImageFile()) : QImage(); };
    meter.grid = [this](int width, int height) {
        OptionsValues options = settings_.options;
        setupWindow_->ReadShownArea(options);
        return MakeDetectionGrid(width, height, options);
    };
    meter.threshold = [this] { return ThresholdForSensitivity(setupWindow_->ShownSensitivity()); };
    meter.show = [this](int changed, int points) { setupWindow_->ShowSceneChange(changed, points); };
    sceneMeter_ = std::make_unique<SceneChangeMeter>(std::move(meter), this);
}

QString MainWindow::FirstArgument() const { return arguments_.isEmpty() ? QString() : arguments_.first(); }

void MainWindow::Report(const QString& msg, bool toFile, const QString& handler) { logWriter_.WriteLog(msg, toFile, senderPrefix + handler); }

void MainWindow::ShowWindowOnTop(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

void MainWindow::InitMainWindow()
{
    firstDriverLoad_ = true;
    // Messages of the profile loading itself (a damaged profile) follow the default logging rules.
    settings_.Replace(DefaultOptions());
    ActivateStartupProfile(profileBox_, *passwords_, *this);

    loadCount_ = CountProgramStart(ProgramStore());
    LoadFileCounters();
    ListProfiles(profileBox_);

    logWriter_.SetDebugLog(FirstArgument() == "-d");
    if (StartedInTray())
        HideToTray();
    else
        ShowMainWindow();

    if (loadCount_ == 1) {
        startupChk_.start();
        aboutBox_->ShowAbout();
    }
    if (loadCount_ % 10 == 0 && settings_.options.AutoUpdCheck)
        startupChk_.start();
    if (settings_.options.WarnLimit)
        CheckLogSize();
}

void MainWindow::StartupUpdateCheck()
{
    startupChk_.stop();
    aboutBox_->CheckForUpdate();
}

void MainWindow::ConnectDriver()
{
    driverTimer_.stop();
    driverTimer_.setInterval(1);
    CaptureDevice& v = *video_;
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
        view_->setToolTip(PlainToolTip(v.DriverName()));
    }
    if (firstDriverLoad_) {
        // With no driver selected the stored preview simply stays off.
        if (ProgramStore().ReadBool("Preview", false) && v.DriverIndex() >= 0) {
            try {
                v.SetVideoPreview(true);
            } catch (const std::exception& e) {
                Report(QString::fromLocal8Bit(e.what()), true, "DriverTimerTimer");
            }
        }
    }
    // The menus follow what the driver offers and whether its preview came on.
    engine_->RefreshMenus();
    engine_->AutoStartAfterDriverLoad(firstDriverLoad_);
    firstDriverLoad_ = false;
}

void MainWindow::ShowDriverDialog(bool (CaptureDevice::*show)(DriverDialogs&))
{
    WindowDriverDialogs dialogs(this);
    ((*video_).*show)(dialogs);
}

void MainWindow::FollowCaptureStatus()
{
    engine_->CaptureStatusChanged();
    NoteShownFormat();
    // A minimised window is fitted when it is restored: window managers bring a minimised window
    // back on the screen when its size changes.
    fitPending_ = isMinimized();
    if (!fitPending_)
        FitToVideo();
}

void MainWindow::FitToVideo()
{
    const CaptureDevice& v = *video_;
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
    try {
        trayIcon_->SetVisible(false);
    } catch (const TrayIconError& e) {
        Report(QString::fromLocal8Bit(e.what()), true, "ShowMainWindow");
    }
    if (video_->SequenceRunning() && engine_->MotionDetecting())
        SetIndicatorPanelWidth(IndicatorPanelWidth);
}

void MainWindow::HideToTray()
{
    if (ShowTrayIcon()) {
        hide();
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
            Report("No notification area: Tarvo minimises to the task bar (" + QString::fromUtf8(e.what()) + ")", true,
                   "HideToTray");
        trayRefusalReported_ = true;
        return false;
    }
}

void MainWindow::PrepareExit()
{
    if (exitPrepared_)
        return;
    exitPrepared_ = true;
    ProgramStore().WriteBool("Preview", video_->VideoPreview());
    engine_->StopForExit();
}

void MainWindow::ExitProgram()
{
    PrepareExit();
    QCoreApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    PrepareExit();
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

void MainWindow::RememberViewerFolders() { StoreViewerFolders(ProgramStore(), settings_.options); }

void MainWindow::RestoreFromTray() { ShowMainWindow(); }

void MainWindow::OpenAbout() { aboutBox_->ShowAbout(); }

void MainWindow::OpenSetup() { ShowWindowOnTop(*setupWindow_); }

void MainWindow::OpenProfiles() { ShowWindowOnTop(*profilesWindow_); }

void MainWindow::BrowsePictures()
{
    StoreViewerFolders(ProgramStore(), settings_.options);
    const QString viewer = ProgramDir() + "viewer";
    const QFileInfo info(viewer);
    if (info.isFile() && info.isExecutable() && QProcess::startDetached(viewer, {}))
        return;
    // No viewer installed: the desktop's file manager shows the pictures instead.
    const QString pictures = settings_.options.PictureDir.str();
    QDesktopServices::openUrl(QUrl::fromLocalFile(pictures));
    logWriter_.ShowStatusText("No picture viewer found; opening the picture folder " + pictures);
}

void MainWindow::CheckLogSize()
{
    const QString warning = LogSizeWarning(MeasureLogFolders(settings_.options.PictureDir.str(), settings_.options.VideoDir.str()), settings_.options.Limit);
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
    if (image == IndicatorMotion)
        liveView_->Status().NoteMotion(ProgramClock().now());
    if (image >= 0 && image < int(indicatorImages_.size()))
        indicatorPanel_->setPixmap(indicatorImages_[image]);
}

void MainWindow::SetIconImage(int image)
{
    if (image < 0 || image >= int(stateIcons_.size()))
        return;
    setWindowIcon(stateIcons_[image]);
    if (image != IconFlash)
        liveView_->Status().NoteAutoCapturing(image == IconAutoOn);
    // A tray that refuses the new picture must not stop the engine's step that asked for it.
    RunHandler(senderPrefix + "SetIconImage", [&] { trayIcon_->SetIcon(stateIcons_[image]); });
}

void MainWindow::RaisePopup(const QString& message) { popups_->Raise(message); }

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

// ActivationTargets

void MainWindow::ApplyStartupShortcut(bool enabled) { StartMenu(enabled, logWriter_); }

void MainWindow::SetTimedTriggerInterval(int ms) { engine_->SetTimedInterval(ms); }

void MainWindow::SetJpegQuality(int quality) { engine_->SetJpegQuality(quality); }

int MainWindow::CaptureDriverIndex() const { return video_->DriverIndex(); }

void MainWindow::SetCaptureDriverIndex(int index) { video_->SetDriverIndex(index); }

bool MainWindow::DriverConnected() const { return video_->DriverOpen(); }

bool MainWindow::PreviewChecked() const { return menus_.preview->isChecked(); }

void MainWindow::RunPreviewCommand() { engine_->Commands().TogglePreview(); }

void MainWindow::EnableDriverTimer() { driverTimer_.start(); }

void MainWindow::SetFrameRates(std::uint16_t frameRate, std::uint16_t previewRate)
{
    video_->SetFrameRate(frameRate);
    video_->SetPreviewRate(previewRate);
}

void MainWindow::SetMotionThreshold(std::int64_t threshold)
{
    constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t highest = std::numeric_limits<std::int32_t>::max();
    engine_->SetMotionThreshold(static_cast<std::int32_t>(std::clamp(threshold, lowest, highest)));
}

void MainWindow::SetFuseSeconds(int seconds) { engine_->SetFuseSeconds(seconds); }

void MainWindow::SetRearmInterval(int ms) { engine_->SetRearmInterval(ms); }

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

void MainWindow::ApplyStorageLimits(const OptionsValues& options, const StorageOptions& limits)
{
    storage_->Configure(options, limits);
}

void MainWindow::ApplyLiveView(const OptionsValues& options, const LiveViewOptions& settings)
{
    liveView_->Apply(options, settings);
    const bool running = liveView_->Running();
    engine_->SetLiveViewRunning(running);
    // Frames shown outside auto-capturing reach the live view only while it runs.
    if (running != video_->OnFrameCallbackSet())
        video_->SetOnFrameCallback(running ? TVideoStream([this](CaptureDevice&, const FrameBuffer& header) { liveFrames_->Offer(header); })
                                            : TVideoStream());
    NoteShownFormat();
}

void MainWindow::NoteShownFormat()
{
    if (!liveView_->Running() || !video_->DriverOpen())
        return;
    FrameFormat format{};
    try {
        if (video_->ReadVideoFormat(format))
            liveFrames_->SetPreviewFormat(format);
    } catch (const DriverNotOpenError&) {
        // Connecting again reports the format then.
    }
}

} // namespace tarvo
