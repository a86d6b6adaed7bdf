#include "app/MainWindow.h"

#include "FakeTrayHost.h"
#include "RecordingCaptureBackend.h"
#include "app/engine/AutoCaptureEngine.h"
#include "capture/CaptureDevice.h"
#include "capture/widgets/VideoView.h"
#include "imaging/FileNaming.h"
#include "settings/PerUserStore.h"
#include "settings/Profiles.h"
#include "settings/widgets/ProfileSelectWindow.h"
#include "settings/widgets/SetupDialog.h"
#include "support/ControlNames.h"
#include "support/TestSupport.h"
#include "ui/widgets/PopupManager.h"
#include "ui/widgets/PopupWarning.h"
#include "ui/widgets/TrayIcon.h"
#include "ui/widgets/AboutWindow.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTextDocument>
#include <QWindow>
#include <QDesktopServices>
#include <QUrl>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <gtest/gtest.h>

namespace tarvo {

namespace {
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The recording back-end as a 320x240 camera offering its source and format dialogs.
        camera.answers.drivers = {{0, "Test camera"}};
        camera.answers.status.imageWidth = 320;
        camera.answers.status.imageHeight = 240;
        camera.answers.caps.hasSourceDialog = 1;
        camera.answers.caps.hasFormatDialog = 1;
        qputenv("XDG_CONFIG_HOME", (program.dir() + "xdg").toUtf8());
        // The version check must never leave this machine: a closed local port.
        qputenv("TARVO_UPDATE_HOST", QByteArray("127.0.0.1:") + QByteArray::number(ClosedTcpPort()));
    }
    void TearDown() override { stop(); }

    // capture: nullptr for the program's own capture service (the GStreamer test device).
    MainWindow& start(const QStringList& arguments = {}, CaptureBackend* capture = nullptr)
    {
        stop();
        station = std::make_unique<Station>(Station::Setup{program.dir(), capture, !arguments.isEmpty() && arguments.first() == "-m",
                                                           &program.passwords(), &program.store()});
        form = std::make_unique<MainWindow>(*station, MainWindow::Setup{arguments, std::make_unique<FakeTrayHost>(tray)});
        form->CreateWindows();
        form->InitMainWindow();
        return *form;
    }
    void stop()
    {
        if (station)
            station->PrepareExit();
        form.reset();
        station.reset();
    }
    // A stored profile the next start loads as current.
    void storeProfile(const QString& name, const std::function<void(OptionsValues&)>& change)
    {
        QDir().mkpath(program.dir() + "Profiles");
        OptionsValues o = DefaultOptions(program.dir());
        change(o);
        SaveProfile(program.dir(), o, name, program.passwords());
        program.store().WriteString("CurrentProfile", name);
    }
    QString logText() const { return QString::fromUtf8(ReadFileBytes(program.dir() + "Log/Log.txt")); }
    bool logHas(const QString& text) const { return logText().contains(text); }

    ScratchProgram program;
    std::shared_ptr<FakeTrayState> tray = std::make_shared<FakeTrayState>();
    RecordingCaptureBackend camera; // for start(arguments, &camera); outlives the window
    std::unique_ptr<Station> station;
    std::unique_ptr<MainWindow> form;
};

TEST_F(StartupTest, FirstStartCreatesTheDefaultProfileAndTheSecondCountsOn)
{
    MainWindow& f = start();
    const QString profile = program.dir() + "Profiles/Default.pfl";
    ASSERT_TRUE(QFile::exists(profile));
    EXPECT_EQ(QFileInfo(profile).size(), 5532);
    EXPECT_EQ(ReadFileBytes(profile).mid(0, 1 + program.dir().toUtf8().size() + 4),
              char(program.dir().toUtf8().size() + 4) + program.dir().toUtf8() + "Log/");
    EXPECT_EQ(program.store().ReadString("CurrentProfile", {}), "Default");
    EXPECT_EQ(program.store().ReadInteger("LoadCount", -1), 1);
    EXPECT_EQ(f.StartCount(), 1);
    EXPECT_EQ(f.Profile().text(), "Default");
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(tray->shown);
    EXPECT_TRUE(f.AboutBox()->isVisible()) << "the first start introduces the program";
    EXPECT_TRUE(f.StartupCheck().isActive());
    EXPECT_EQ(f.StartupCheck().interval(), 10000);

    const QString log = logText();
    EXPECT_TRUE(log.startsWith("\r\n" + QString(38, '-') + "\r\n"));
    EXPECT_TRUE(log.contains(": Program Start\r\n"));
    EXPECT_FALSE(log.contains("DebugLog enabled"));
    EXPECT_TRUE(log.contains(": Loaded profile: Default\r\n"));

    MainWindow& second = start();
    EXPECT_EQ(program.store().ReadInteger("LoadCount", -1), 2);
    EXPECT_FALSE(second.AboutBox()->isVisible());
    EXPECT_FALSE(second.StartupCheck().isActive());
}

TEST_F(StartupTest, CurrentProfileWhoseFileIsGoneRecreatesDefaultAndRestartsTheCount)
{
    storeProfile("Default", [](OptionsValues& o) { o.PicQual = 12; });
    program.store().WriteString("CurrentProfile", "Gone");
    program.store().WriteInteger("LoadCount", 7);
    MainWindow& f = start();
    EXPECT_EQ(program.store().ReadString("CurrentProfile", {}), "Default");
    EXPECT_EQ(f.StartCount(), 1);
    EXPECT_EQ(LoadProfile(program.dir(), "Default", program.passwords()).PicQual, DefaultOptions(program.dir()).PicQual) << "Default is replaced by factory settings";
}

TEST_F(StartupTest, DamagedCurrentProfileRunsOnDefaultsAndSaysSo)
{
    start();
    stop();
    WriteFileBytes(program.dir() + "Profiles/Short.pfl", QByteArray(100, 'x'));
    program.store().WriteString("CurrentProfile", "Short");
    MainWindow& f = start();
    EXPECT_TRUE(logHas("Profile Short could not be loaded."));
    EXPECT_EQ(QFileInfo(program.dir() + "Profiles/Short.pfl").size(), 100);
    EXPECT_EQ(f.Profile().text(), "Short");
    EXPECT_EQ(f.Settings().options.PicQual, DefaultOptions(program.dir()).PicQual);
}

TEST_F(StartupTest, NonNumericStoredValuesReadAsTheirDefaults)
{
    start();
    stop();
    program.store().WriteString("LoadCount", "many");
    program.store().WriteString("LPicCount", "x7");
    program.store().WriteString("VidCount", "");
    MainWindow& f = start();
    EXPECT_EQ(f.StartCount(), 1);
    EXPECT_EQ(station->Counters().Value(FileKind::LocalPicture), 0);
    EXPECT_EQ(station->Counters().Value(FileKind::VideoFile), 0);
}

TEST_F(StartupTest, VersionCheckEveryTenthStartOnlyWhenAsked)
{
    for (const bool asked : {true, false}) {
        storeProfile("Default", [&](OptionsValues& o) { o.AutoUpdCheck = asked; });
        program.store().WriteInteger("LoadCount", 9);
        MainWindow& f = start();
        EXPECT_EQ(f.StartCount(), 10);
        EXPECT_EQ(f.StartupCheck().isActive(), asked);
        EXPECT_FALSE(f.AboutBox()->isVisible());
    }
}

TEST_F(StartupTest, OnlyTheFirstArgumentCounts)
{
    struct Case {
        QStringList args;
        bool visible;
        bool debug;
    };
    const Case cases[] = {
        {{}, true, false},
        {{"-d"}, true, true},
        {{"-m"}, false, false},
        {{"-d", "-m"}, true, true},
        {{"-m", "-d"}, false, false},
        {{"-D"}, true, false},
        {{"x", "-m"}, true, false},
    };
    for (const Case& c : cases) {
        MainWindow& f = start(c.args);
        const std::string name = c.args.join(' ').toStdString();
        EXPECT_EQ(f.isVisible(), c.visible) << name;
        EXPECT_EQ(tray->shown, !c.visible) << name << ": the icon shows exactly while the window is hidden";
        EXPECT_EQ(f.Log().DebugLog(), c.debug) << name;
        EXPECT_EQ(f.StartedInTray(), !c.visible) << name;
    }
}

TEST_F(StartupTest, WithoutNotificationAreaTheWindowStaysMinimisedInTheTaskBar)
{
    storeProfile("Default", [](OptionsValues& o) {
        o.AutoCapAtStart = true;
        o.Trigger = TriggerTimed;
    });
    tray->acceptIcon = false;
    MainWindow& f = start({"-m"}, &camera);
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(f.isMinimized());
    EXPECT_FALSE(tray->shown);
    ASSERT_TRUE(WaitFor([&] { return f.FirstDriverLoadDone(); }));
    EXPECT_TRUE(f.Engine().AutoCapturing()) << "auto-capturing starts as the profile says";

    // Every later minimise keeps the window in the task bar; the reason is logged once.
    f.ShowMainWindow();
    EXPECT_FALSE(f.isMinimized());
    f.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(f.isMinimized());
    EXPECT_EQ(logText().count("No notification area: "), 1) << logText().toStdString();

    // A notification area that comes up later (a panel started after Tarvo) takes the window.
    tray->acceptIcon = true;
    f.ShowMainWindow();
    f.showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !f.isVisible(); }));
    EXPECT_TRUE(tray->shown);
}

TEST_F(StartupTest, AfterAHiddenStartTheOpenedWindowFramesTheVideo)
{
    for (const bool notificationArea : {true, false}) {
        tray->acceptIcon = notificationArea;
        MainWindow& f = start({"-m"}, &camera);
        ASSERT_TRUE(WaitFor([&] { return f.FirstDriverLoadDone(); }));
        ASSERT_TRUE(f.Video().DriverOpen());
        // Every status change fits the window again, before it was ever laid out.
        for (int i = 0; i < 3; ++i)
            f.Video().RefreshStatus(true);
        f.Menus().trayOpen->trigger();
        ASSERT_TRUE(WaitFor([&] { return f.View().size() == QSize(320, 240); }))
            << "tray " << notificationArea << ": video " << f.View().width() << "x" << f.View().height();
        const QSize framed(320, f.menuBar()->height() + 240 + f.statusBar()->height());
        EXPECT_EQ(f.size(), framed) << "tray " << notificationArea;
        EXPECT_EQ(f.minimumSize(), framed) << "tray " << notificationArea << ": no larger than the video needs";
    }
}

TEST_F(StartupTest, ACameraThatRefusesToConnectIsReportedByEveryDialogThatNeedsIt)
{
    MainWindow& f = start({"-d"}, &camera);
    ASSERT_TRUE(WaitFor([&] { return f.FirstDriverLoadDone(); }));
    // The camera went away (busy, unplugged) while the menus still offer its dialogs.
    camera.answers.connect = false;
    f.Video().SetDriverOpen(false);
    struct Case {
        const char* handler;
        std::function<void()> click;
    };
    const Case cases[] = {
        {"TForm1.Source1Click", [&] { f.Menus().driverSource->trigger(); }},
        {"TForm1.Format1Click", [&] { f.Menus().driverFormat->trigger(); }},
        {"TForm3.Button9Click", [&] { f.SetupWindow()->findChild<QPushButton*>(kSetupCompressionButton)->click(); }},
    };
    for (const Case& c : cases) {
        c.click();
        const QString message = QString::fromLatin1(ConnectError().what());
        EXPECT_TRUE(logHas(message + " (Sender : " + c.handler + ")")) << c.handler;
        EXPECT_TRUE(f.StatusText().startsWith(message)) << c.handler;
    }
    EXPECT_FALSE(f.Video().DriverOpen());
    f.Menus().capturePicture->trigger();
    EXPECT_TRUE(logHas("Driver not loaded")) << "the program goes on";
}

TEST_F(StartupTest, MinimisingGoesToTheTrayAndOpenBringsTheWindowBack)
{
    MainWindow& f = start();
    f.showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !f.isVisible(); }));
    EXPECT_TRUE(tray->shown);
    f.Menus().trayOpen->trigger();
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.isMinimized());
    EXPECT_FALSE(tray->shown);
}

TEST_F(StartupTest, LogFolderOverTheLimitRaisesThePopup)
{
    start();
    stop();
    storeProfile("Default", [](OptionsValues& o) {
        o.WarnLimit = true;
        o.Limit = 30;
    });
    QFile big(program.dir() + "Log/big.jpg");
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(31 * 1024 * 1024));
    big.close();
    MainWindow& f = start();
    ASSERT_TRUE(WaitFor([&] { return f.Popups().LatestPopup() != nullptr; }));
    EXPECT_EQ(f.Popups().LatestPopup()->Text(),
              "The size of the files in your log directories is exceding 30 MB. There are 31 MB in 1 files.");
    EXPECT_FALSE(logHas("exceding")) << "the warning is not logged";
}

TEST_F(StartupTest, TheProfilesStorageLimitsAreKeptFromTheStartAndForEachSavedFile)
{
    start();
    stop();
    ExtraOptions extras;
    extras.Storage.MaxDays = 1;
    SaveExtras(program.dir(), extras, "Default");
    const QString folder = program.dir() + "Log/";
    const auto put = [&](const QString& name, int daysAgo) {
        WriteFileBytes(folder + name, "picture");
        QFile file(folder + name);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite) && file.setFileTime(QDateTime::currentDateTime().addDays(-daysAgo), QFileDevice::FileModificationTime));
    };
    put("02-01  10.00.00.jpg", 3);
    put("mine.jpg", 3);
    put("02-03  10.00.00.jpg", 0);
    MainWindow& f = start();
    EXPECT_FALSE(QFile::exists(folder + "02-01  10.00.00.jpg"));
    EXPECT_TRUE(QFile::exists(folder + "mine.jpg"));
    EXPECT_TRUE(logHas("Removed 1 old picture or clip (0.0 MB)"));

    // A file the engine reports reaches the keeper on this thread, with no round of its own.
    put("02-02  10.00.00.jpg", 2);
    put("02-04  10.00.00.jpg", 0);
    emit f.Engine().fileSaved(folder + "02-04  10.00.00.jpg");
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(QFile::exists(folder + "02-02  10.00.00.jpg"));
    emit f.Engine().fileSaved(folder + "02-02  10.00.00.jpg");
    ASSERT_TRUE(WaitFor([&] { return !QFile::exists(folder + "02-02  10.00.00.jpg"); }));
    EXPECT_TRUE(QFile::exists(folder + "02-04  10.00.00.jpg"));
}

// Receives what the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler("file", this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler("file"); }
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

TEST_F(StartupTest, BrowseHandsTheFoldersToTheViewerOrOpensThePictureFolder)
{
    UrlCatcher desktop;
    MainWindow& f = start();
    f.Menus().browse->trigger();
    EXPECT_EQ(program.store().ReadString("PictureDir", {}), f.Settings().options.PictureDir.str());
    EXPECT_EQ(program.store().ReadString("VideoDir", {}), f.Settings().options.VideoDir.str());
    EXPECT_EQ(program.store().ReadString("LogfileDir", {}), f.Settings().options.LogfileDir.str());
    ASSERT_EQ(desktop.opened.size(), 1);
    EXPECT_EQ(desktop.opened[0], QUrl::fromLocalFile(f.Settings().options.PictureDir.str()));
    EXPECT_TRUE(f.StatusText().startsWith("No picture viewer found")) << f.StatusText().toStdString();

    // An installed viewer is started instead; it finds the folders in the per-user store.
    const QString marker = program.dir() + "viewer-ran";
    WriteFileBytes(program.dir() + "viewer", ("#!/bin/sh\ntouch '" + marker + "'\n").toUtf8());
    QFile::setPermissions(program.dir() + "viewer", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    f.Menus().browse->trigger();
    EXPECT_TRUE(WaitFor([&] { return QFile::exists(marker); }, 30000));
    EXPECT_EQ(desktop.opened.size(), 1);
}

TEST_F(StartupTest, NoDriverSelectedLeavesTheStoredPreviewOff)
{
    storeProfile("Default", [](OptionsValues& o) { o.DriverIndex = -1; });
    program.store().WriteBool("Preview", true);
    MainWindow& f = start({"-d"});
    ASSERT_TRUE(WaitFor([&] { return f.FirstDriverLoadDone(); }));
    EXPECT_FALSE(f.Menus().preview->isChecked());
    EXPECT_FALSE(f.Video().VideoPreview());
    EXPECT_FALSE(logHas("driver found"));
    EXPECT_FALSE(logHas("Could not load video driver"));
    EXPECT_FALSE(f.Menus().driverSource->isEnabled());
}

TEST_F(StartupTest, TestDeviceConnectsRestoresThePreviewAndFramesTheVideo)
{
    program.store().WriteBool("Preview", true);
    MainWindow& f = start();
    ASSERT_TRUE(WaitFor([&] { return f.FirstDriverLoadDone(); }, 30000));
    ASSERT_TRUE(f.Video().DriverOpen()) << logText().toStdString();
    EXPECT_TRUE(logHas(": Loaded driver: " + f.Video().DriverName() + "\r\n"));
    QTextDocument tip;
    tip.setHtml(f.View().toolTip());
    EXPECT_EQ(tip.toPlainText(), f.Video().DriverName());
    EXPECT_TRUE(f.Video().VideoPreview());
    EXPECT_TRUE(f.Menus().preview->isChecked());
    for (QAction* dialog : {f.Menus().driverSource, f.Menus().driverDisplay, f.Menus().driverFormat})
        EXPECT_EQ(dialog->isEnabled(), dialog->isVisible());

    // The window frames the video: menu bar above, status bar below, never narrower than 180.
    const int width = f.Video().ImageWidth();
    const int height = f.Video().ImageHeight();
    ASSERT_GT(width, 0);
    ASSERT_TRUE(WaitFor([&] { return f.View().height() == height; }));
    EXPECT_EQ(f.View().width(), std::max(width, 180));
    EXPECT_EQ(f.statusBar()->height(), 20);
    const QRect screen = f.screen()->availableGeometry();
    if (f.frameGeometry().width() <= screen.width() && f.frameGeometry().height() <= screen.height()) {
        EXPECT_TRUE(screen.contains(f.frameGeometry())) << "the framed window stays on the screen";
    }

    f.ExitProgram();
    EXPECT_TRUE(program.store().ReadBool("Preview", false));
}

TEST_F(StartupTest, ClosingWhileAutoCapturingStopsItAndStoresThePreview)
{
    storeProfile("Default", [](OptionsValues& o) { o.Trigger = TriggerTimed; });
    MainWindow& f = start();
    ASSERT_TRUE(WaitFor([&] { return f.FirstDriverLoadDone(); }, 30000));
    ASSERT_TRUE(f.Video().DriverOpen());
    f.Menus().autoCapturing->trigger();
    ASSERT_TRUE(f.Menus().trayAutoCapturing->isChecked());
    EXPECT_TRUE(logHas("Autocapturing on"));
    f.close();
    EXPECT_TRUE(logHas("Autocapturing off"));
    EXPECT_FALSE(program.store().ReadBool("Preview", true));
}
TEST_F(StartupTest, NoSettingsWindowActivatesAProfileWhileAutoCapturing)
{
    storeProfile("Night", [](OptionsValues& o) { o.CaptionText = "night"; });
    storeProfile("Default", [](OptionsValues& o) { o.Trigger = TriggerTimed; });
    MainWindow& f = start();
    ASSERT_TRUE(WaitFor([&] { return f.FirstDriverLoadDone(); }, 30000));
    // Both windows are open before the run starts, as a user may leave them.
    f.OpenSetup();
    f.OpenProfiles();
    f.ProfilesWindow()->findChild<QComboBox*>("ProfilesBox")->setEditText("Night");
    f.Menus().autoCapturing->trigger();
    ASSERT_TRUE(f.Engine().AutoCapturing());
    EXPECT_FALSE(f.SetupWindow()->findChild<QPushButton*>(kSetupOkButton)->isEnabled());
    EXPECT_FALSE(f.ProfilesWindow()->OkEnabled());
    f.ProfilesWindow()->ActivatePickedProfile();
    f.SetupWindow()->Accept();
    EXPECT_EQ(f.Settings().options.Trigger, TriggerTimed);
    EXPECT_EQ(logText().count("Loaded profile: "), 1);

    f.Menus().autoCapturing->trigger();
    ASSERT_FALSE(f.Engine().AutoCapturing());
    ASSERT_TRUE(f.ProfilesWindow()->OkEnabled());
    f.ProfilesWindow()->ActivatePickedProfile();
    EXPECT_EQ(f.Settings().options.CaptionText.str(), "night");
    EXPECT_TRUE(logHas("Loaded profile: Night"));
}

TEST_F(StartupTest, TextFromOutsideIsShownAsWritten)
{
    MainWindow& f = start();
    const QString reply = "Could not upload Tarvo.jpg. Error: 550 <img src=\"/dev/zero\"> <b>x</b>";
    f.Log().ShowStatusText(reply);
    EXPECT_EQ(f.StatusText(), reply);
    int textPanels = 0;
    for (const QLabel* panel : f.statusBar()->findChildren<QLabel*>())
        if (panel->text() == reply) {
            ++textPanels;
            EXPECT_EQ(panel->textFormat(), Qt::PlainText);
        }
    EXPECT_EQ(textPanels, 1);

    f.RaisePopup("<b>Folder</b> full");
    ASSERT_TRUE(WaitFor([&] { return f.Popups().LatestPopup() != nullptr; }));
    EXPECT_EQ(f.Popups().LatestPopup()->findChild<QLabel*>(kPopupText)->textFormat(), Qt::PlainText);

    // A profile named with the modified mark keeps it in the setup window's title.
    f.Profile().setText("a[*]b");
    f.OpenSetup();
    ASSERT_TRUE(f.SetupWindow()->windowHandle());
    EXPECT_EQ(f.SetupWindow()->windowHandle()->title(), "Setup: a[*]b");
    f.SetupWindow()->hide();
}
// The window's items show what the engine's table says: from the start, once the driver said which
// dialogs it offers (source and format, no display dialog), and when auto-capturing runs.
TEST_F(StartupTest, TheMenuItemsFollowTheEnginesTable)
{
    MainWindow& f = start({}, &camera);
    const MainMenuActions& m = f.Menus();
    // preview, source, display, format, video, now, setup, profiles, tray profiles, auto, tray auto,
    // live view
    const QAction* const items[] = {m.preview, m.driverSource, m.driverDisplay, m.driverFormat,
                                    m.captureVideo, m.captureNow, m.setup, m.profiles,
                                    m.trayProfiles, m.autoCapturing, m.trayAutoCapturing, m.liveView};
    const auto flags = [&](bool (QAction::*get)() const) {
        std::string s;
        for (const QAction* a : items)
            s += (a->*get)() ? 'x' : '.';
        return s;
    };
    ASSERT_FALSE(f.FirstDriverLoadDone());
    EXPECT_EQ(flags(&QAction::isEnabled), "x...x.xxxxx.");
    EXPECT_EQ(flags(&QAction::isVisible), "xxxxxxxxxxxx");

    ASSERT_TRUE(WaitFor([&] { return f.FirstDriverLoadDone(); }));
    EXPECT_EQ(flags(&QAction::isEnabled), "xx.xx.xxxxx.");
    EXPECT_EQ(flags(&QAction::isVisible), "xx.xxxxxxxxx");

    m.autoCapturing->trigger();
    ASSERT_TRUE(f.Engine().AutoCapturing());
    EXPECT_EQ(flags(&QAction::isEnabled), ".....x...xx.");
    EXPECT_EQ(flags(&QAction::isChecked), ".........xx.");
    EXPECT_EQ(flags(&QAction::isVisible), "xx.xxxxxxxxx");
}
} // namespace

// The status bar's indicator shows motion and goes back to watching.
TEST_F(StartupTest, TheMotionIndicatorShowsMotionAndThenWatchingAgain)
{
    MainWindow& f = start();
    auto* panel = f.statusBar()->findChildren<QLabel*>().value(0); // the indicator, made before the text
    ASSERT_NE(panel, nullptr);
    const QImage idle = QPixmap(":/icons/indicator-idle.png").toImage();
    const QImage motion = QPixmap(":/icons/indicator-motion.png").toImage();
    ASSERT_NE(idle, motion);
    f.DrawMotionIndicator(IndicatorMotion);
    EXPECT_EQ(panel->pixmap().toImage(), motion);
    f.DrawMotionIndicator(IndicatorIdle);
    EXPECT_EQ(panel->pixmap().toImage(), idle);
}

#include "StartupTest.moc"

} // namespace tarvo
