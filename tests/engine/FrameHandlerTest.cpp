// The frame handler on the streaming thread: sampling, the motion alarm and its order, arming,
// the actions of a capture request and the failures of converting a frame.
#include "EngineFixture.h"

#include "app/alarms/AlarmHooks.h"
#include "common/Clock.h"
#include "support/FixedClock.h"
#include "common/EventLog.h"
#include "imaging/MotionDetection.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <limits>

namespace tarvo {

namespace {

using FrameHandlerTest = EngineTest;

TEST_F(FrameHandlerTest, SamplesOnlyFramesMoreThan200msAfterTheLastSample)
{
    StartWith(TriggerMotion);
    struct Case {
        std::uint32_t time;
        int samplesAfter;
    };
    // 200 ms after the last sample is not enough; 201 ms is. Frames 150 ms apart: every second one.
    const Case cases[] = {{201, 1}, {401, 1}, {402, 2}, {552, 2}, {702, 3}, {852, 3}, {1002, 4}};
    for (const Case& c : cases) {
        Deliver(c.time, 0);
        EXPECT_EQ(engine->MotionSamples(), c.samplesAfter) << "frame at " << c.time << " ms";
    }
}

TEST_F(FrameHandlerTest, AFrameTimeBelowTheLastSampleIsSampledAtOnce)
{
    StartWith(TriggerMotion);
    Deliver(4000000000u, 0);
    EXPECT_EQ(engine->MotionSamples(), 1);
    engine->StopAutoCap();
    StartWith(TriggerMotion); // a new stream starts again near 0 ms
    Deliver(40, 0);
    EXPECT_EQ(engine->MotionSamples(), 1);
}

TEST_F(FrameHandlerTest, AnnouncesTheStartAndComparesFromTheSixthSampleOn)
{
    StartWith(TriggerMotion);
    DeliverMovingSamples(1);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].msg, "Motion Detection starting... ");
    EXPECT_FALSE(log.lines()[0].toFile);
    EXPECT_EQ(host.panelWidths, std::vector<int>{IndicatorPanelWidth});
    DeliverMovingSamples(1);
    EXPECT_EQ(log.lines().back().msg, "Motion Detection started");
    EXPECT_TRUE(log.lines().back().toFile);

    DeliverMovingSamples(3); // samples 3 to 5 move but are not compared
    EXPECT_EQ(Count("Motion detected"), 0);
    EXPECT_EQ(host.indicatorImages, (std::vector<int>{IndicatorIdle, IndicatorIdle}));
    DeliverMovingSamples(1);
    EXPECT_EQ(Count("Motion detected"), 1);
    EXPECT_EQ(host.indicatorImages.back(), IndicatorMotion);
}

TEST_F(FrameHandlerTest, TheIndicatorPanelStaysHiddenWhileTheWindowIsHidden)
{
    host.visible = false;
    StartWith(TriggerMotion);
    DeliverMovingSamples(2);
    EXPECT_TRUE(host.panelWidths.empty());
    EXPECT_EQ(host.indicatorImages, std::vector<int>{IndicatorIdle});
}

TEST_F(FrameHandlerTest, AStillSceneNeverRaisesTheAlarm)
{
    StartWith(TriggerMotion);
    DeliverStillSamples(20);
    EXPECT_EQ(Count("Motion detected"), 0);
    EXPECT_EQ(host.indicatorImages.back(), IndicatorIdle);
}

TEST_F(FrameHandlerTest, TheAlarmLogsPlaysRaisesThePopupAndDisarmsInThatOrder)
{
    options.PlaySound = true;
    options.SoundFile = "alarm-test.wav";
    options.ShowPopup = true;
    options.RearmEnabled = true;
    StartWith(TriggerMotion);
    DeliverStillSamples(5);
    EXPECT_TRUE(sound.played().isEmpty());
    DeliverMovingSamples(1);

    EXPECT_EQ(Count("Motion detected"), 1);
    EXPECT_EQ(sound.played(), QStringList{program.dir() + "alarm-test.wav"});
    EXPECT_EQ(host.popups, QStringList{"Motion Detected"});
    EXPECT_FALSE(engine->Armed());
    EXPECT_TRUE(engine->Timer(AutoCaptureEngine::TimerId::Rearm).isActive());
    EXPECT_FALSE(engine->CaptureRequested()); // served and cleared by the same call
}

TEST_F(FrameHandlerTest, MotionWhileDisarmedOnlyMovesTheIndicator)
{
    options.PlaySound = true;
    options.ShowPopup = true;
    options.CapPic = true;
    options.RearmEnabled = true;
    StartAndMove();
    ASSERT_EQ(Count("Motion detected"), 1);
    const auto pictures = QDir(options.PictureDir.str()).entryList(QDir::Files).size();

    host.indicatorImages.clear();
    DeliverStillSamples(1);
    DeliverMovingSamples(3);
    EXPECT_EQ(Count("Motion detected"), 1);
    EXPECT_EQ(sound.played().size(), 1);
    EXPECT_EQ(host.popups.size(), 1);
    EXPECT_EQ(QDir(options.PictureDir.str()).entryList(QDir::Files).size(), pictures);
    // drawn on each change only
    EXPECT_EQ(host.indicatorImages, (std::vector<int>{IndicatorIdle, IndicatorMotion}));

    engine->EndRearmDelay();
    EXPECT_TRUE(engine->Armed());
    EXPECT_EQ(log.lines().back().msg, "Re-armed");
    EXPECT_TRUE(log.lines().back().toFile);
    DeliverMovingSamples(1);
    EXPECT_EQ(Count("Motion detected"), 2);
}

TEST_F(FrameHandlerTest, WithoutReArmingEveryMovingSampleTriggersAgain)
{
    StartAndMove(4);
    EXPECT_EQ(Count("Motion detected"), 4);
    EXPECT_TRUE(engine->Armed());
    EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Rearm).isActive());
}

TEST_F(FrameHandlerTest, AZeroReArmDelayReArmsOncePerTriggerWithoutLosingIt)
{
    options.RearmEnabled = true;
    engine->SetRearmInterval(0);
    StartAndMove();
    ASSERT_TRUE(WaitFor([&] { return engine->Armed(); }));
    EXPECT_EQ(Count("Re-armed"), 1);
    EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Rearm).isActive());
    DeliverMovingSamples(1);
    ASSERT_TRUE(WaitFor([&] { return Count("Re-armed") == 2; }));
    EXPECT_EQ(Count("Motion detected"), 2);
}

TEST_F(FrameHandlerTest, ATriggerWithoutPictureOrWebsiteActionsNeitherConvertsNorFlashes)
{
    options.PlaySound = true;
    options.UpPic = true; // but neither website kind
    options.WebsiteFTP = false;
    options.WebsiteLocal = false;
    StartAndMove();
    EXPECT_EQ(Count("Motion detected"), 1);
    EXPECT_EQ(sound.played().size(), 1);
    EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Blink).isActive());
    EXPECT_TRUE(QDir(options.PictureDir.str()).entryList(QDir::Files).isEmpty());
}

TEST_F(FrameHandlerTest, ATriggerWithSavePictureFlashesAndSavesTheFrame)
{
    options.CapPic = true;
    options.CaptionLocal = false;
    StartAndMove();
    EXPECT_TRUE(engine->Timer(AutoCaptureEngine::TimerId::Blink).isActive());
    const QStringList files = QDir(options.PictureDir.str()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const QStringList messages = log.messages();
    const auto alarm = messages.indexOf("Motion detected");
    const auto saved = messages.indexOf("Picture saved as: " + options.PictureDir.str() + files[0]);
    ASSERT_GE(alarm, 0);
    EXPECT_GT(saved, alarm);
    EXPECT_EQ(savedFiles, QStringList{options.PictureDir.str() + files[0]});
    const QImage picture(options.PictureDir.str() + files[0]);
    ASSERT_EQ(picture.size(), QSize(FrameWidth, FrameHeight));
    EXPECT_EQ(qBlue(picture.pixel(20, 15)), 255) << "the frame of the trigger is saved, not the reference";
}

TEST_F(FrameHandlerTest, TheTimedTriggerSavesTheNextFrameAfterEachTick)
{
    options.CapPic = true;
    options.LPicNaming = NamingIncrementing;
    StartWith(TriggerTimed);
    EXPECT_TRUE(engine->Timer(AutoCaptureEngine::TimerId::Timed).isActive());
    EXPECT_EQ(engine->Timer(AutoCaptureEngine::TimerId::Timed).interval(), 5000);
    Deliver(100, 0);
    EXPECT_EQ(Count("Motion Detection starting... "), 0) << "no sampling with the timed trigger";
    EXPECT_TRUE(QDir(options.PictureDir.str()).entryList(QDir::Files).isEmpty());

    for (int tick = 0; tick < 3; ++tick) {
        engine->TimedTrigger();
        Deliver(200 + tick * 40, 0);
        Deliver(220 + tick * 40, 0); // the request is served once
    }
    EXPECT_EQ(QDir(options.PictureDir.str()).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(Count("Motion detected"), 0);
    EXPECT_TRUE(sound.played().isEmpty());
    EXPECT_TRUE(host.popups.isEmpty());
}

TEST_F(FrameHandlerTest, ARequestArrivingWhileTheActionsRunIsServedByTheNextFrame)
{
    // The timer ticks while the frame thread is still saving: the log line of the save is the
    // moment at which the tick lands.
    class TickWhileSaving final : public EventLog {
    public:
        TickWhileSaving(EventLog& next, AutoCaptureEngine& engine) : next_(next), engine_(engine) {}
        void WriteLog(const QString& msg, bool toFile, const QString& sender) override
        {
            if (msg.startsWith("Picture saved as: ") && !ticked_.exchange(true))
                engine_.TimedTrigger();
            next_.WriteLog(msg, toFile, sender);
        }

    private:
        EventLog& next_;
        AutoCaptureEngine& engine_;
        std::atomic<bool> ticked_{false};
    } tickWhileSaving(log, *engine);

    options.CapPic = true;
    options.LPicNaming = NamingIncrementing;
    StartWith(TriggerTimed);
    SetProgramLog(&tickWhileSaving);
    engine->TimedTrigger();
    Deliver(100, 0);
    EXPECT_TRUE(engine->CaptureRequested()) << "the tick during the save is kept";
    Deliver(140, 0);
    Deliver(180, 0);
    SetProgramLog(&log);
    EXPECT_EQ(QDir(options.PictureDir.str()).entryList(QDir::Files).size(), 2);
    EXPECT_FALSE(engine->CaptureRequested());
}

TEST_F(FrameHandlerTest, AFrameThatCannotBeDecodedIsNeitherComparedNorSaved)
{
    options.CapPic = true;
    StartWith(TriggerMotion);
    DeliverStillSamples(5);
    nextTime += 250;
    Deliver(nextTime, 255, 100); // a short frame
    EXPECT_EQ(Count("DrawDibDraw error - Frame"), 1);
    EXPECT_EQ(Count("Motion detected"), 0);

    engine->TimedTrigger(); // a request served on a broken frame: skipped, nothing blank is saved
    Deliver(nextTime + 10, 255, 100);
    EXPECT_EQ(Count("DrawDibDraw error - Frame"), 2);
    EXPECT_TRUE(QDir(options.PictureDir.str()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(Count("Picture saved as: "), 0);

    DeliverStillSamples(1); // the reference was kept: the next good frame compares with it
    EXPECT_EQ(Count("Motion detected"), 0);
    DeliverMovingSamples(1);
    EXPECT_EQ(Count("Motion detected"), 1);
}

TEST_F(FrameHandlerTest, AFormatWithoutPicturesEndsAutoCapturingWithMdError2)
{
    backend.answers.videoFormat.header.width = 0;
    StartWith(TriggerMotion);
    DeliverMovingSamples(1);
    EXPECT_EQ(Count("GetBitmap error"), 1);
    EXPECT_EQ(Count("MD Error #2"), 1);
    ASSERT_TRUE(WaitFor([&] { return !engine->AutoCapturing(); }));
    EXPECT_EQ(Count("Autocapturing off"), 1);
    DeliverMovingSamples(1);
    EXPECT_EQ(Count("GetBitmap error"), 1) << "no frame is handled after the stop";
}

} // namespace

namespace {
class AlarmSettingsTest : public EngineTest {};

TEST_F(AlarmSettingsTest, ALightChangeIsLoggedOnceAMinuteAndRaisesNoAlarm)
{
    FixedClock clock(QDateTime(QDate(2026, 12, 8), QTime(12, 0)));
    SetProgramClock(&clock);
    extras.Alarms.IgnoreLightChange = true; // every grid point of these frames changes
    StartAndMove(3);
    EXPECT_EQ(Count("Light change ignored"), 1);
    EXPECT_EQ(Count("Motion detected"), 0);
    EXPECT_EQ(host.indicatorImages.back(), IndicatorIdle);
    clock.advanceMs(60000);
    DeliverMovingSamples(1);
    EXPECT_EQ(Count("Light change ignored"), 2);

    // Switched off, the same frames are an alarm, as they always were.
    engine->StopAutoCap();
    extras.Alarms.IgnoreLightChange = false;
    StartAndMove();
    EXPECT_EQ(Count("Motion detected"), 1);
    SetProgramClock(nullptr);
}

TEST_F(AlarmSettingsTest, ARunKeepsTheSettingsItStartedWithAndItsAlarmCommandGetsThePicture)
{
    const QString out = program.dir() + "hook-args.txt";
    const QString script = program.dir() + "hook.sh";
    WriteFileBytes(script, ("#!/bin/sh\necho \"$1|$2\" > \"" + out + "\"\n").toUtf8());
    QFile(script).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    options.CapPic = true;
    options.LPicNaming = NamingFixed;
    options.LPicFixed = "at start";
    extras.Alarms.Command = "\"" + script + "\" %f %t";
    StartWith(TriggerMotion);
    // Settings activated while the run is on: no picture, another name, a threshold no change can
    // pass, no command. The run goes on with those it started with.
    OptionsValues later = options;
    later.CapPic = false;
    later.LPicFixed = "activated later";
    settings.Replace(later);
    engine->SetMotionThreshold(std::numeric_limits<std::int32_t>::max());
    extras.Alarms.Command.clear();
    DeliverStillSamples(5);
    DeliverMovingSamples(1);
    ASSERT_TRUE(WaitFor([&] { return !ReadFileBytes(out).isEmpty() && !engine->Alarms().Command().Running(); }));
    const QStringList files = QDir(options.PictureDir.str()).entryList(QDir::Files);
    ASSERT_EQ(files, QStringList{"at start.jpg"});
    const QList<QByteArray> args = ReadFileBytes(out).trimmed().split('|');
    ASSERT_EQ(args.size(), 2);
    EXPECT_EQ(args[0], (options.PictureDir.str() + files[0]).toUtf8());
    EXPECT_TRUE(QDateTime::fromString(QString::fromUtf8(args[1]), Qt::ISODate).isValid()) << args[1].toStdString();
}
} // namespace

} // namespace tarvo
