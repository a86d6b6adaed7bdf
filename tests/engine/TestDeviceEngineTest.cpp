// The engine on the real GStreamer test device: its moving ball raises motion alarms whose
// pictures land on disk, the timed trigger saves a picture per tick, and stopping joins the real
// streaming thread.
#include "EngineFixture.h"

#include "capture/CaptureDevices.h"
#include "capture/GstCaptureBackend.h"
#include "imaging/FileNaming.h"
#include "imaging/MotionDetection.h"
#include "settings/PerUserStore.h"
#include "support/FixedClock.h"
#include "support/VideoProbe.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <atomic>
#include <chrono>
#include <functional>

namespace tarvo {

namespace {

class TestDeviceEngineTest : public EngineSurroundings {
protected:
    TestDeviceEngineTest()
    {
        options.CapPic = true;
        options.CaptionLocal = true;
        options.LPicNaming = NamingIncrementing;
        options.RearmEnabled = true;

        engine = std::make_unique<AutoCaptureEngine>(cap, host, settings, sound, counters, program.dir());
        cap.SetOnVideoStream([this](CaptureDevice& s, const FrameBuffer& h) { engine->ProcessFrame(s, h); });
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
    }
    QStringList Pictures() const { return QDir(options.PictureDir.str()).entryList(QDir::Files); }

    GstCaptureBackend gstBackend{program.store()};
    CaptureDevice cap{gstBackend};
};

TEST_F(TestDeviceEngineTest, TheMovingBallRaisesAlarmsAndTheirPicturesAreSaved)
{
    ASSERT_TRUE(cap.DriverOpen());
    options.Trigger = TriggerMotion;
    engine->ToggleAutoCapturing();
    ASSERT_TRUE(engine->AutoCapturing());
    ASSERT_TRUE(WaitFor([&] { return log.contains("Motion detected"); }, 60000)) << log.messages().join("\n").toStdString();
    ASSERT_TRUE(WaitFor([&] { return log.contains("Re-armed"); }, 30000));
    ASSERT_TRUE(WaitFor([&] { return Pictures().size() >= 1; }, 30000));
    engine->ToggleAutoCapturing();
    EXPECT_FALSE(engine->AutoCapturing());
    EXPECT_EQ(log.messages().back(), "Autocapturing off");

    const QStringList messages = log.messages();
    EXPECT_LT(messages.indexOf("Motion Detection started"), messages.indexOf("Motion detected"));
    const QImage picture(options.PictureDir.str() + Pictures().first());
    EXPECT_EQ(picture.size(), QSize(640, 480));
}

TEST_F(TestDeviceEngineTest, TheTimedTriggerSavesAPicturePerTick)
{
    ASSERT_TRUE(cap.DriverOpen());
    options.Trigger = TriggerTimed;
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
        options.VideoDir = folder;
        log.clear();
        engine->Commands().ToggleVideoRecording();
        ASSERT_EQ(log.messages().filter("Could not record video: " + folder).size(), 1)
            << log.messages().join("\n").toStdString();
        engine->Commands().ToggleVideoRecording();
        EXPECT_EQ(log.messages().back(), "Error") << folder.toStdString();
        EXPECT_TRUE(log.messages().filter("Recorded video: ").isEmpty()) << log.messages().join("\n").toStdString();
        EXPECT_FALSE(host.menus.captureVideo.checked);
    }
    // The device records again once the folder is there.
    options.VideoDir = program.dir();
    engine->Commands().ToggleVideoRecording();
    ASSERT_EQ(log.messages().back(), "Recording...");
    engine->Commands().ToggleVideoRecording();
    EXPECT_TRUE(log.messages().back().startsWith("Recorded video: " + program.dir()));
}

TEST_F(TestDeviceEngineTest, ARecordingTakesTheNextFreeNameOverAClipOfItsSecondAndAPlantedLink)
{
    ASSERT_TRUE(cap.DriverOpen());
    const QDateTime now(QDate(2026, 5, 4), QTime(3, 2, 1));
    FixedClock clock(now);
    SetProgramClock(&clock);
    const auto restore = qScopeGuard([] { SetProgramClock(nullptr); });
    options.VidNaming = NamingTimed;
    const QString dir = options.VideoDir.str();
    const QString clip = dir + TimedFileName(now) + ".avi";
    WriteFileBytes(clip, "a clip of this second");
    const QString target = program.dir() + "target";
    WriteFileBytes(target, "not a recording");
    ASSERT_TRUE(QFile::link(target, dir + TimedFileName(now.addSecs(1)) + ".avi"));

    engine->Commands().ToggleVideoRecording();
    ASSERT_EQ(log.messages().back(), "Recording...");
    const QString recording = dir + TimedFileName(now.addSecs(2)) + ".avi";
    EXPECT_TRUE(WaitFor([&] { return QFileInfo(recording).size() > 10000; }, 30000));
    engine->Commands().ToggleVideoRecording();
    EXPECT_EQ(log.messages().back(), "Recorded video: " + recording);
    EXPECT_TRUE(ProbeVideo(recording).ok);
    EXPECT_EQ(ReadFileBytes(clip), "a clip of this second");
    EXPECT_EQ(ReadFileBytes(target), "not a recording");
}

// The alarm settings on real frames: the moving ball is a few dozen grid points, a lamp switched on
// or off changes all of them.
class DeviceAlarmSettingsTest : public TestDeviceEngineTest {
protected:
    // Runs motion auto-capturing on video until stop() is true, counting the frames handled.
    void RunUntil(CaptureDevice& video, const std::function<bool()>& stop)
    {
        handled = 0;
        AutoCaptureEngine runEngine(video, host, settings, sound, counters, program.dir());
        video.SetOnVideoStream([&](CaptureDevice& s, const FrameBuffer& h) {
            runEngine.ProcessFrame(s, h);
            ++handled;
        });
        options.Trigger = TriggerMotion;
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
    extras.Alarms.MinChangedPoints = 1000; // of 64 x 48 points; the ball covers a few dozen
    // 150 frames are at least 25 samples, every one after the fifth compared: none is an alarm.
    RunUntil(cap, [&] { return handled.load() >= 150; });
    EXPECT_TRUE(log.contains("Motion Detection started"));
    EXPECT_FALSE(log.contains("Motion detected"));

    extras.Alarms.MinChangedPoints = 1;
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
    GstCaptureBackend backend(program.store());
    CaptureDevice lamp(backend);
    lamp.SetDriverName(TestPatternDeviceName);
    lamp.SetDriverOpen(true);
    ASSERT_TRUE(lamp.DriverOpen());

    extras.Alarms.IgnoreLightChange = true;
    // Sixty frames are six seconds of the clip: three switches of the lamp, none an alarm.
    RunUntil(lamp, [&] { return log.contains("Light change ignored") && handled.load() >= 60; });
    EXPECT_TRUE(log.contains("Light change ignored"));
    EXPECT_FALSE(log.contains("Motion detected"));

    extras.Alarms.IgnoreLightChange = false;
    RunUntil(lamp, [&] { return log.contains("Motion detected"); });
}

// Motion clips of real runs, with the test device's sound: the clip holds the seconds around the
// motion at real speed with its sound, and a run that ends in the middle of a clip leaves it playable.
class DeviceClipsTest : public TestDeviceEngineTest {
protected:
    DeviceClipsTest()
    {
        extras.Clips.Enabled = true;
        extras.Clips.PreSeconds = 2;
        extras.Clips.PostSeconds = 2;
        extras.Clips.Audio = true;
        options.CapPic = false; // videos in <program>/videos/ from the surroundings
        options.Trigger = TriggerMotion;
        RecordSavedFiles(*engine, reported);
        cap.SetOnStatus([this](CaptureDevice&) { engine->CaptureStatusChanged(); });
        // The device's threads start after the settings above are made, as in a program that
        // activates a profile before it connects the camera.
        cap.SetDriverOpen(false);
        cap.SetDriverOpen(true);
    }

    QStringList Clips() const { return log.messages().filter("Motion clip saved as: "); }
    QString ClipFile(const QString& line) const { return line.mid(QString("Motion clip saved as: ").size()); }
    // Every file in the video folder, the hidden ones too.
    QStringList VideoFolder() const
    {
        return QDir(options.VideoDir.str()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QStringList reported; // fileSaved
};

TEST_F(DeviceClipsTest, AClipHoldsTheSecondsBeforeTheFirstAlarmAndAfterTheLastMotionAtRealSpeed)
{
    // A still room in which a box moves from 4 s to 5.5 s, played in a loop of 10 s.
    const QString clip = program.dir() + "box.avi";
    ASSERT_EQ(QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i", "color=c=0x404040:s=320x240:r=15:d=10",
                                           "-f", "lavfi", "-i", "color=c=white:s=60x60:r=15:d=10", "-filter_complex",
                                           "[0][1]overlay=x='if(between(t,4,5.5),20+(t-4)*120,20)':y=90", "-c:v", "mjpeg",
                                           "-q:v", "3", clip}),
              0);
    qputenv("TARVO_TEST_SOURCE", QFile::encodeName(clip));
    const auto unset = qScopeGuard([] { qunsetenv("TARVO_TEST_SOURCE"); });
    GstCaptureBackend backend(program.store());
    CaptureDevice room(backend);
    // On the heap, as the program keeps it: ThreadSanitizer keeps what a library wrote to a stack
    // slot in an earlier test, and this engine's frame thread would be checked against it.
    auto roomEnginePtr = std::make_unique<AutoCaptureEngine>(room, host, settings, sound, counters, program.dir());
    AutoCaptureEngine& roomEngine = *roomEnginePtr;
    RecordSavedFiles(roomEngine, reported);
    room.SetOnVideoStream([&](CaptureDevice& s, const FrameBuffer& h) { roomEngine.ProcessFrame(s, h); });
    room.SetDriverName(TestPatternDeviceName);
    room.SetDriverOpen(true);
    ASSERT_TRUE(room.DriverOpen());
    // Every motion sample is an alarm, so the log shows the first and the last motion.
    options.RearmEnabled = false;

    roomEngine.StartAutoCap();
    ASSERT_TRUE(WaitFor([&] { return Clips().size() == 1; }, 90000)) << log.messages().join("\n").toStdString();
    roomEngine.StopAutoCap();

    std::vector<std::chrono::steady_clock::time_point> motion;
    for (const RecordingEventLog::Line& line : log.lines()) {
        if (line.msg.startsWith("Motion clip saved as: "))
            break;
        if (line.msg == "Motion detected")
            motion.push_back(line.at);
    }
    ASSERT_FALSE(motion.empty());
    const double motionSeconds = std::chrono::duration<double>(motion.back() - motion.front()).count();
    const ProbedVideo video = ProbeVideo(ClipFile(Clips().first()));
    ASSERT_TRUE(video.ok);
    EXPECT_NEAR(video.durationSeconds, 2 + motionSeconds + 2, 1.0) << "motion for " << motionSeconds << " s";
    const double step = 1.0 / options.FrameRate;
    for (std::size_t i = 1; i < video.frameTimes.size(); ++i)
        ASSERT_NEAR(video.frameTimes[i] - video.frameTimes[i - 1], step, 0.002) << "frame " << i;
    EXPECT_EQ(video.soundCodec, "pcm_s16le");
    EXPECT_NEAR(video.soundSeconds, video.frameTimes.back() + step, 0.5);
    ASSERT_TRUE(WaitFor([&] { return reported.size() == 1; }));
    EXPECT_EQ(reported.first(), ClipFile(Clips().first()));
    EXPECT_EQ(VideoFolder(), QStringList{QFileInfo(reported.first()).fileName()}) << "no temporary file is left";
}

TEST_F(DeviceClipsTest, ARunEndedDuringAClipLeavesItPlayable)
{
    // The ball never stops, so each clip runs until its run ends.
    struct Case {
        const char* how;
        std::function<void()> end;
    };
    const Case cases[] = {
        {"stop", [&] { engine->ToggleAutoCapturing(); }},
        {"exit", [&] { engine->StopForExit(); }},
        {"lost camera", [&] {
             cap.SimulateDeviceLost();
             EXPECT_TRUE(WaitFor([&] { return engine->Reconnecting(); }, 20000));
         }},
    };
    for (const Case& c : cases) {
        log.clear();
        engine->StartAutoCap();
        ASSERT_TRUE(engine->AutoCapturing()) << c.how;
        // The clip's temporary file grows while the clip is written.
        ASSERT_TRUE(WaitFor([&] {
            const QStringList temp = VideoFolder().filter(".part");
            return !temp.isEmpty() && QFileInfo(options.VideoDir.str() + temp.first()).size() > 100000;
        }, 90000)) << c.how << log.messages().join("\n").toStdString();
        c.end();
        // A lost camera's run waits for it to come back; nothing more is wanted of it here.
        if (engine->AutoCapturing())
            engine->StopAutoCap();
        ASSERT_EQ(Clips().size(), 1) << c.how << log.messages().join("\n").toStdString();
        const ProbedVideo video = ProbeVideo(ClipFile(Clips().first()));
        EXPECT_TRUE(video.ok) << c.how;
        EXPECT_GT(video.durationSeconds, 0.5) << c.how;
        EXPECT_EQ(video.soundCodec, "pcm_s16le") << c.how;
        EXPECT_TRUE(VideoFolder().filter(".part").isEmpty()) << c.how;
    }
    EXPECT_TRUE(WaitFor([&] { return reported.size() == 3; }));
}
} // namespace

} // namespace tarvo
