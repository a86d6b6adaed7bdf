// The engine on the real GStreamer test device: its moving ball raises motion alarms whose
// pictures land on disk, the timed trigger saves a picture per tick, and stopping joins the real
// streaming thread.
#include "EngineFixture.h"

#include "capture/CaptureDevices.h"
#include "capture/GstCaptureBackend.h"
#include "imaging/FileNaming.h"
#include "imaging/MotionDetection.h"
#include "settings/ActiveOptions.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <atomic>

namespace {

class TestDeviceEngineTest : public ::testing::Test {
protected:
    TestDeviceEngineTest()
    {
        SetProgramLog(&log);
        SetProgramSoundPlayer(&sound);
        ActiveOptions = DefaultOptions();
        ActiveOptions.PictureDir = program.dir() + "pictures/";
        QDir().mkpath(program.dir() + "pictures");
        ActiveOptions.CapPic = true;
        ActiveOptions.UpPic = false;
        ActiveOptions.CaptionLocal = true;
        ActiveOptions.LPicNaming = NamingIncrementing;
        ActiveOptions.FuseEnabled = false;
        ActiveOptions.RearmEnabled = true;
        ActiveOptions.Password = "secret";
        SetMotionThreshold(ThresholdForSensitivity(ActiveOptions.Sensitivity));
        LoadFileCounters();

        cap.resize(640, 480);
        engine = std::make_unique<AutoCaptureEngine>(cap, menus.actions, host);
        cap.SetOnVideoStream([this](TVideoCap& s, const VIDEOHDR& h) { engine->Video1VideoStream(s, h); });
        engine->SetRearmInterval(1000);
        engine->SetTimedInterval(1000);
        cap.SetDriverName(TestPatternDeviceName);
        cap.SetDriverOpen(true);
    }
    ~TestDeviceEngineTest() override
    {
        if (engine->AutoCapturing())
            engine->StopAutoCap();
        engine.reset();
        SetProgramSoundPlayer(nullptr);
        SetProgramLog(nullptr);
    }
    QStringList Pictures() const { return QDir(ActiveOptions.PictureDir.str()).entryList(QDir::Files); }

    ScratchProgram program;
    RecordingEventLog log;
    RecordingSoundPlayer sound;
    TVideoCap cap;
    TestMenus menus;
    RecordingEngineHost host;
    std::unique_ptr<AutoCaptureEngine> engine;
};

TEST_F(TestDeviceEngineTest, TheMovingBallRaisesAlarmsAndTheirPicturesAreSaved)
{
    ASSERT_TRUE(cap.DriverOpen());
    ActiveOptions.Trigger = TriggerMotion;
    engine->Startautocapturing1Click();
    ASSERT_TRUE(engine->AutoCapturing());
    ASSERT_TRUE(WaitFor([&] { return log.contains("Motion detected"); }, 60000)) << log.messages().join("\n").toStdString();
    ASSERT_TRUE(WaitFor([&] { return log.contains("Re-armed"); }, 30000));
    ASSERT_TRUE(WaitFor([&] { return Pictures().size() >= 1; }, 30000));
    engine->Startautocapturing1Click();
    EXPECT_FALSE(engine->AutoCapturing());
    EXPECT_EQ(log.messages().back(), "Autocapturing off");

    const QStringList messages = log.messages();
    EXPECT_LT(messages.indexOf("Motion Detection started"), messages.indexOf("Motion detected"));
    const QImage picture(ActiveOptions.PictureDir.str() + Pictures().first());
    EXPECT_EQ(picture.size(), QSize(640, 480));
}

TEST_F(TestDeviceEngineTest, TheTimedTriggerSavesAPicturePerTick)
{
    ASSERT_TRUE(cap.DriverOpen());
    ActiveOptions.Trigger = TriggerTimed;
    engine->StartAutoCap();
    ASSERT_TRUE(WaitFor([&] { return Pictures().size() >= 2; }, 60000));
    engine->StopAutoCap();
    EXPECT_EQ(log.messages().filter("Picture saved as: ").size(), Pictures().size());
    EXPECT_FALSE(log.contains("Motion detected"));
}

TEST_F(TestDeviceEngineTest, ARecordingThatCouldNotStartIsNeverReportedAsRecorded)
{
    ASSERT_TRUE(cap.DriverOpen());
    WriteFileBytes(program.dir() + "plain file", "not a folder");
    for (const QString& folder : {program.dir() + "no such folder/", program.dir() + "plain file/"}) {
        ActiveOptions.VideoDir = folder;
        log.clear();
        engine->Commands().CaptureVideo1Click();
        ASSERT_EQ(log.messages().filter("Could not record video: " + folder).size(), 1)
            << log.messages().join("\n").toStdString();
        engine->Commands().CaptureVideo1Click();
        EXPECT_EQ(log.messages().back(), "Error") << folder.toStdString();
        EXPECT_TRUE(log.messages().filter("Recorded video: ").isEmpty()) << log.messages().join("\n").toStdString();
        EXPECT_FALSE(menus.actions.captureVideo->isChecked());
    }
    // The device records again once the folder is there.
    ActiveOptions.VideoDir = program.dir();
    engine->Commands().CaptureVideo1Click();
    ASSERT_EQ(log.messages().back(), "Recording...");
    engine->Commands().CaptureVideo1Click();
    EXPECT_TRUE(log.messages().back().startsWith("Recorded video: " + program.dir()));
}

// The alarm settings on real frames: the moving ball is a few dozen grid points, a lamp switched on
// or off changes all of them.
class DeviceAlarmSettingsTest : public TestDeviceEngineTest {
protected:
    DeviceAlarmSettingsTest() { ActiveExtras = ExtraOptions{}; }
    ~DeviceAlarmSettingsTest() override { ActiveExtras = ExtraOptions{}; }

    // Runs motion auto-capturing on video until stop() is true, counting the frames handled.
    void RunUntil(TVideoCap& video, const std::function<bool()>& stop)
    {
        handled = 0;
        AutoCaptureEngine runEngine(video, menus.actions, host);
        video.SetOnVideoStream([&](TVideoCap& s, const VIDEOHDR& h) {
            runEngine.Video1VideoStream(s, h);
            ++handled;
        });
        ActiveOptions.Trigger = TriggerMotion;
        runEngine.StartAutoCap();
        EXPECT_TRUE(runEngine.AutoCapturing());
        EXPECT_TRUE(WaitFor(stop, 60000)) << log.messages().join("\n").toStdString();
        runEngine.StopAutoCap();
        video.SetOnVideoStream(nullptr);
    }

    std::atomic<int> handled{0};
};

TEST_F(DeviceAlarmSettingsTest, TheBallIsTooSmallForAHighPointCount)
{
    ActiveExtras.Alarms.MinChangedPoints = 1000; // of 64 x 48 points; the ball covers a few dozen
    // 150 frames are at least 25 samples, every one after the fifth compared: none is an alarm.
    RunUntil(cap, [&] { return handled.load() >= 150; });
    EXPECT_TRUE(log.contains("Motion Detection started"));
    EXPECT_FALSE(log.contains("Motion detected"));

    ActiveExtras.Alarms.MinChangedPoints = 1;
    RunUntil(cap, [&] { return log.contains("Motion detected"); });
}

TEST_F(DeviceAlarmSettingsTest, ALampSwitchedOnOrOffIsIgnoredOnlyWhenAsked)
{
    // A grey room whose light jumps between dark and bright every second, played in a loop.
    const QString clip = program.dir() + "lamp.avi";
    ASSERT_EQ(QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                           "nullsrc=size=160x120:rate=10:duration=4,"
                                           "geq=lum='if(lt(mod(T,2),1),30,220)':cb=128:cr=128",
                                           "-c:v", "mjpeg", "-q:v", "3", clip}),
              0);
    // The device list is read again now and then, so the clip stays named for the whole test.
    struct SourceScope {
        explicit SourceScope(const QString& file) { qputenv("TARVO_TEST_SOURCE", QFile::encodeName(file)); }
        ~SourceScope() { qunsetenv("TARVO_TEST_SOURCE"); }
    } source(clip);
    GstCaptureBackend backend;
    TVideoCap lamp(nullptr, &backend);
    lamp.SetDriverName(TestPatternDeviceName);
    lamp.SetDriverOpen(true);
    ASSERT_TRUE(lamp.DriverOpen());

    ActiveExtras.Alarms.IgnoreLightChange = true;
    // Sixty frames are six seconds of the clip: three switches of the lamp, none an alarm.
    RunUntil(lamp, [&] { return log.contains("Light change ignored") && handled.load() >= 60; });
    EXPECT_TRUE(log.contains("Light change ignored"));
    EXPECT_FALSE(log.contains("Motion detected"));

    ActiveExtras.Alarms.IgnoreLightChange = false;
    RunUntil(lamp, [&] { return log.contains("Motion detected"); });
}
} // namespace
