// The engine on the real GStreamer test device: its moving ball raises motion alarms whose
// pictures land on disk, the timed trigger saves a picture per tick, and stopping joins the real
// streaming thread.
#include "EngineFixture.h"

#include "capture/CaptureDevices.h"
#include "imaging/FileNaming.h"
#include "imaging/MotionDetection.h"
#include "settings/ActiveOptions.h"

#include <QDir>
#include <QImage>

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
        engine->CaptureVideo1Click();
        ASSERT_EQ(log.messages().filter("Could not record video: " + folder).size(), 1)
            << log.messages().join("\n").toStdString();
        engine->CaptureVideo1Click();
        EXPECT_EQ(log.messages().back(), "Error") << folder.toStdString();
        EXPECT_TRUE(log.messages().filter("Recorded video: ").isEmpty()) << log.messages().join("\n").toStdString();
        EXPECT_FALSE(menus.actions.captureVideo->isChecked());
    }
    // The device records again once the folder is there.
    ActiveOptions.VideoDir = program.dir();
    engine->CaptureVideo1Click();
    ASSERT_EQ(log.messages().back(), "Recording...");
    engine->CaptureVideo1Click();
    EXPECT_TRUE(log.messages().back().startsWith("Recorded video: " + program.dir()));
}

} // namespace
