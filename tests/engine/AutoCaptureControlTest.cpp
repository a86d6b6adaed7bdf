// Switching auto-capturing on and off: the fuse, the menu and icon states, the stream and the
// timers, the start from "-m", and the picture flash.
#include "EngineFixture.h"

#include "publish/Website.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <functional>

namespace tarvo {

namespace {

using AutoCaptureControlTest = EngineTest;

// Each mode entered as a user enters it, against what the menus the window is handed allow in it
// (the settings items and both toggles go together), and which items carry their check marks. The
// driver offers its source and display dialogs, not its format dialog.
TEST_F(AutoCaptureControlTest, EachModeEnablesExactlyItsItems)
{
    struct Mode {
        const char* name;
        std::function<void()> enter;
        EngineState state;
        bool recording;
        // preview, source, display, format, video, now, settings, auto, the settings dialogs' "OK"
        const char* enabled;
        const char* checked; // auto, video
    };
    const Mode modes[] = {
        {"idle after a run", [this] { StartWith(TriggerTimed); engine->StopAutoCap(); }, EngineState::Idle, false,
         "xxx.x.xxx", ".."},
        {"fuse burning",
         [this] {
             options.Trigger = TriggerMotion;
             options.FuseEnabled = true;
             engine->SetFuseSeconds(5);
             engine->ToggleAutoCapturing();
         },
         EngineState::FuseBurning, false, "xxx.x.xx.", ".."},
        {"running", [this] { StartWith(TriggerMotion); }, EngineState::Running, false, ".....x.x.", "x."},
        {"reconnecting",
         [this] {
             StartWith(TriggerMotion);
             video->SimulateDeviceLost();
             RunPosted();
         },
         EngineState::Reconnecting, false, ".....x.x.", "x."},
        {"recording", [this] { engine->Commands().ToggleVideoRecording(); }, EngineState::Idle, true, "....x....",
         ".x"},
    };
    const auto flags = [](std::initializer_list<bool> values) {
        std::string s;
        for (bool v : values)
            s += v ? 'x' : '.';
        return s;
    };
    for (const Mode& mode : modes) {
        options.FuseEnabled = false;
        mode.enter();
        EXPECT_EQ(engine->State(), mode.state) << mode.name;
        EXPECT_EQ(engine->Recording(), mode.recording) << mode.name;
        const MenuState& m = host.menus;
        EXPECT_EQ(flags({m.preview.enabled, m.driverSource.enabled, m.driverDisplay.enabled, m.driverFormat.enabled,
                         m.captureVideo.enabled, m.captureNow, m.settings, m.autoCapturing.enabled, m.activation}),
                  mode.enabled)
            << mode.name;
        EXPECT_EQ(flags({m.autoCapturing.checked, m.captureVideo.checked}), mode.checked) << mode.name;
        if (engine->Recording())
            engine->Commands().ToggleVideoRecording();
        else if (mode.state != EngineState::Idle)
            engine->ToggleAutoCapturing();
        ASSERT_EQ(engine->State(), EngineState::Idle) << mode.name;
    }
}

TEST_F(AutoCaptureControlTest, StartingAndStoppingSetEveryMenuAndIcon)
{
    options.Trigger = TriggerMotion;
    const auto toggleAndExpect = [this](bool on) {
        engine->ToggleAutoCapturing();
        EXPECT_EQ(engine->AutoCapturing(), on);
        EXPECT_EQ(video->SequenceRunning(), on);
        EXPECT_EQ(engine->MotionDetecting(), on);
        EXPECT_EQ(engine->State(), on ? EngineState::Running : EngineState::Idle);
        EXPECT_EQ(host.iconImages.back(), on ? IconAutoOn : IconAutoOff);
        EXPECT_EQ(log.lines().back().msg, on ? "Autocapturing on" : "Autocapturing off");
    };
    toggleAndExpect(true);
    EXPECT_TRUE(log.lines().back().toFile);
    toggleAndExpect(false);
    EXPECT_EQ(host.panelWidths.back(), 0);
}

TEST_F(AutoCaptureControlTest, AStreamThatCannotStartChangesNothing)
{
    backend.answers.sequence = false;
    engine->ToggleAutoCapturing();
    EXPECT_FALSE(engine->AutoCapturing());
    EXPECT_EQ(log.messages(), QStringList{"Error: Could not initialize video stream!"});
    EXPECT_TRUE(log.lines()[0].toFile);
    EXPECT_EQ(engine->State(), EngineState::Idle);
    EXPECT_TRUE(host.menus.settings);
    EXPECT_FALSE(host.menus.autoCapturing.checked);
    EXPECT_TRUE(host.iconImages.empty());
}

TEST_F(AutoCaptureControlTest, WithoutADriverBothTogglesOnlySayDriverNotLoaded)
{
    NoCameraConnects();
    host.menus.autoCapturing.checked = true; // as a click on a checkable item leaves it
    engine->ToggleAutoCapturing();
    engine->ToggleAutoCapturingFromTray();
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0].sender, "TForm1.Startautocapturing1Click");
    EXPECT_EQ(log.lines()[1].sender, "TForm1.Autocapturing1Click");
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.msg, "Driver not loaded");
        EXPECT_FALSE(line.toFile);
    }
    EXPECT_FALSE(engine->AutoCapturing());
    EXPECT_FALSE(host.menus.autoCapturing.checked);
    EXPECT_FALSE(backend.take().join(' ').contains("DriverConnect")) << "the toggles tried to connect the camera";
}

TEST_F(AutoCaptureControlTest, TheFuseCountsDownOnTheStatusBarOnlyAndThenStarts)
{
    options.Trigger = TriggerMotion;
    options.FuseEnabled = true;
    engine->SetFuseSeconds(3);
    engine->ToggleAutoCapturing();
    EXPECT_TRUE(engine->Timer(AutoCaptureEngine::TimerId::Fuse).isActive());
    EXPECT_EQ(engine->Timer(AutoCaptureEngine::TimerId::Fuse).interval(), 1000);
    EXPECT_FALSE(engine->AutoCapturing());
    EXPECT_FALSE(host.menus.autoCapturing.checked);
    for (int i = 0; i < 3; ++i)
        engine->CountDownFuse();
    EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Fuse).isActive());
    EXPECT_TRUE(engine->AutoCapturing());
    EXPECT_EQ(log.messages(), QStringList({"Burning fuse... 3", "Burning fuse... 2", "Burning fuse... 1",
                                           "Burning fuse... 0", "Autocapturing on"}));
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(log.lines()[i].toFile);
}

TEST_F(AutoCaptureControlTest, ClickingDuringTheCountdownCancelsIt)
{
    options.Trigger = TriggerMotion;
    options.FuseEnabled = true;
    engine->SetFuseSeconds(5);
    engine->ToggleAutoCapturing();
    engine->CountDownFuse();
    engine->ToggleAutoCapturing();
    EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Fuse).isActive());
    EXPECT_FALSE(engine->AutoCapturing());
    EXPECT_EQ(log.messages().back(), "Autocapturing off");
    EXPECT_FALSE(host.menus.autoCapturing.checked);
}

TEST_F(AutoCaptureControlTest, TheFuseNeverDelaysTheTimedTriggerAndAZeroFuseStartsAtOnce)
{
    struct Case {
        int trigger;
        int fuseSeconds;
    };
    for (const Case c : {Case{TriggerTimed, 5}, Case{TriggerMotion, 0}}) {
        options.Trigger = c.trigger;
        options.FuseEnabled = true;
        engine->SetFuseSeconds(c.fuseSeconds);
        engine->ToggleAutoCapturing();
        EXPECT_TRUE(engine->AutoCapturing()) << c.trigger << "/" << c.fuseSeconds;
        EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Fuse).isActive());
        engine->ToggleAutoCapturing();
    }
}

TEST_F(AutoCaptureControlTest, StoppingDuringTheReArmDelayStartsTheNextRunArmed)
{
    options.RearmEnabled = true;
    StartAndMove();
    ASSERT_TRUE(engine->Timer(AutoCaptureEngine::TimerId::Rearm).isActive());
    ASSERT_FALSE(engine->Armed());
    engine->StopAutoCap();
    EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Rearm).isActive());
    EXPECT_TRUE(engine->Armed());
}

TEST_F(AutoCaptureControlTest, ZeroIntervalsAreReadAsTheSettingMeansIt)
{
    engine->SetTimedInterval(0);
    EXPECT_EQ(engine->Timer(AutoCaptureEngine::TimerId::Timed).interval(), 1000);
    engine->SetTimedInterval(90000);
    EXPECT_EQ(engine->Timer(AutoCaptureEngine::TimerId::Timed).interval(), 90000);
    engine->SetRearmInterval(-5);
    EXPECT_EQ(engine->Timer(AutoCaptureEngine::TimerId::Rearm).interval(), 0);
    engine->SetFuseSeconds(-1);
    EXPECT_EQ(engine->FuseSeconds(), 0);
}

TEST_F(AutoCaptureControlTest, StartsByItselfOnlyWithMinusMAutoCapAtStartAndTheFirstDriverLoad)
{
    struct Case {
        bool startedInTray, autoCapAtStart, firstLoad, starts;
    };
    const Case cases[] = {{true, true, true, true},
                          {false, true, true, false},
                          {true, false, true, false},
                          {true, true, false, false}};
    for (const Case& c : cases) {
        host.startedInTray = c.startedInTray;
        options.AutoCapAtStart = c.autoCapAtStart;
        engine->AutoStartAfterDriverLoad(c.firstLoad);
        EXPECT_EQ(engine->AutoCapturing(), c.starts);
        if (engine->AutoCapturing())
            engine->StopAutoCap();
    }
}

TEST_F(AutoCaptureControlTest, OnePictureFlashTakesFourTicksWithTheClickFirst)
{
    options.ClickSound = true;
    StartWith(TriggerTimed);
    engine->Commands().CapturePicture(); // during auto-capturing: a request for the frame handler
    EXPECT_TRUE(engine->CaptureRequested());
    EXPECT_TRUE(engine->Timer(AutoCaptureEngine::TimerId::Blink).isActive());
    host.iconImages.clear();
    for (int i = 0; i < 4; ++i)
        engine->BlinkTrayIcon();
    EXPECT_EQ(host.iconImages, (std::vector<int>{IconFlash, IconAutoOn, IconFlash, IconAutoOn}));
    EXPECT_EQ(sound.played(), QStringList{program.dir() + "click.wav"});
    EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Blink).isActive());
    EXPECT_EQ(engine->BlinkStep(), 0);

    engine->StopAutoCap();
    host.iconImages.clear();
    options.ClickSound = false;
    for (int i = 0; i < 4; ++i)
        engine->BlinkTrayIcon();
    EXPECT_EQ(host.iconImages, (std::vector<int>{IconFlash, IconAutoOff, IconFlash, IconAutoOff}));
    EXPECT_EQ(sound.played().size(), 1);
}

TEST_F(AutoCaptureControlTest, StoppingWithTheOfflinePictureAnnouncesItAfterAutocapturingOff)
{
    options.OfflinePic = true;
    options.UpPic = true;
    options.WebsiteLocal = true;
    options.WebsiteFTP = false;
    options.LocalSiteDir = program.dir();
    options.OfflinePicName = program.dir() + "missing-offline.jpg";
    StartWith(TriggerTimed);
    engine->StopAutoCap();
    ASSERT_TRUE(WaitFor([&] { return log.contains("Could not save file: " + program.dir() + "Tarvo.jpg"); }));
    const QStringList messages = log.messages();
    const auto off = messages.indexOf("Autocapturing off");
    ASSERT_GE(off, 0);
    EXPECT_EQ(messages.indexOf("Uploading offline picture"), off + 1);
}

// After a stop by hand the offline picture goes out on the network worker with the usual limits: a
// server that never answers holds neither the stop nor the next start, which cuts the upload short.
TEST_F(AutoCaptureControlTest, AnOfflinePictureForAServerThatNeverAnswersHoldsNothing)
{
    options.OfflinePic = true;
    options.UpPic = true;
    options.WebsiteFTP = true;
    options.FTPAddress = "127.0.0.1";
    options.Port = SilentTcpPort();
    ASSERT_NE(options.Port, 0);
    FtpTimeouts& limits = engine->Ftp().Timeouts();
    const auto restore = qScopeGuard([&limits, usual = limits] { limits = usual; });
    limits.connect = limits.reply = std::chrono::milliseconds(60000);
    StartWith(TriggerTimed);

    QElapsedTimer held;
    held.start();
    engine->StopAutoCap();
    EXPECT_LT(held.elapsed(), TestTime(std::chrono::milliseconds(10000)).count()) << "the stop waited for the server";
    ASSERT_TRUE(WaitFor([&] { return log.contains("Uploading offline picture"); }));
    held.restart();
    engine->StartAutoCap();
    EXPECT_LT(held.elapsed(), TestTime(std::chrono::milliseconds(10000)).count()) << "the start waited for the server";
    EXPECT_TRUE(log.contains("Error: Not connected. Could not upload picture."));
    EXPECT_TRUE(engine->AutoCapturing());
}

TEST_F(AutoCaptureControlTest, AnEmptyFtpPasswordIsReportedAtEveryStart)
{
    options.Password = "";
    options.Trigger = TriggerTimed;
    for (int run = 0; run < 2; ++run) {
        engine->StartAutoCap();
        engine->StopAutoCap();
    }
    EXPECT_EQ(Count("Password for server not specified"), 2);
}

TEST_F(AutoCaptureControlTest, SettingsCannotBeActivatedWhileAnythingUsesThem)
{
    struct Case {
        const char* name;
        std::function<void()> begin;
        std::function<void()> end;
        const char* endLine;
    };
    const auto click = [this] { engine->ToggleAutoCapturing(); };
    const auto record = [this] { engine->Commands().ToggleVideoRecording(); };
    const Case cases[] = {
        {"timed run", [this, click] { options.Trigger = TriggerTimed; click(); }, click, "Autocapturing off"},
        {"fuse burning",
         [this, click] {
             options.Trigger = TriggerMotion;
             options.FuseEnabled = true;
             engine->SetFuseSeconds(5);
             click();
         },
         click, "Autocapturing off"},
        {"waiting for the lost camera",
         [this] {
             StartWith(TriggerMotion);
             video->SimulateDeviceLost();
             RunPosted();
         },
         click, "Autocapturing off"},
        {"recording", record, record, "Recorded video: "},
        {"recording whose camera is lost", record,
         [this] {
             video->SimulateDeviceLost();
             RunPosted();
         },
         "Recorded video: "},
        {"recording at exit", record, [this] { engine->StopForExit(); }, "Recorded video: "},
        {"run at exit", [this] { StartWith(TriggerMotion); }, [this] { engine->StopForExit(); }, "Autocapturing off"},
    };
    for (const Case& c : cases) {
        options.FuseEnabled = false;
        c.begin();
        EXPECT_TRUE(engine->SettingsLocked()) << c.name;
        EXPECT_FALSE(host.menus.activation) << c.name;
        log.clear();
        c.end();
        EXPECT_FALSE(engine->SettingsLocked()) << c.name;
        EXPECT_TRUE(host.menus.activation) << c.name;
        EXPECT_FALSE(video->SequenceRunning()) << c.name;
        EXPECT_FALSE(engine->Recording()) << c.name;
        EXPECT_FALSE(host.menus.captureVideo.checked) << c.name;
        EXPECT_TRUE(host.menus.settings) << c.name;
        ASSERT_FALSE(log.messages().isEmpty()) << c.name;
        EXPECT_EQ(log.messages().filter(c.endLine).size(), 1) << c.name << ": " << log.messages().join(" | ").toStdString();
    }
}

} // namespace

} // namespace tarvo
