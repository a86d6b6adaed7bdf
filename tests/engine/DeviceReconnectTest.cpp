// A camera lost during a run: auto-capturing waits for it, reconnects and resumes with its trigger;
// outside auto-capturing and after the user's own stop nothing is retried.
#include "EngineFixture.h"

#include "app/engine/EngineIntervals.h"

namespace tarvo {

namespace {

using DeviceReconnectTest = EngineTest;

const QString lostLine = "Camera lost; trying to reconnect every 5 seconds";
const QString retryLine = "Camera still not available; trying again";
const QString resumedLine = "Camera back; autocapturing resumed";

TEST_F(DeviceReconnectTest, MotionRunWaitsForTheCameraAndResumesWithAFreshReference)
{
    StartWith(TriggerMotion);
    DeliverMovingSamples(3);
    ASSERT_EQ(Count("Motion Detection started"), 1);

    video->SimulateDeviceLost();
    RunPosted();
    EXPECT_EQ(Count("Video capture stopped: device lost"), 1);
    EXPECT_EQ(Count(lostLine), 1);
    EXPECT_TRUE(engine->Reconnecting());
    EXPECT_TRUE(engine->AutoCapturing()) << "the run is only waiting";
    EXPECT_TRUE(host.menus.autoCapturing.checked);
    EXPECT_TRUE(engine->Timer(AutoCaptureEngine::TimerId::Reconnect).isActive());
    EXPECT_EQ(engine->Timer(AutoCaptureEngine::TimerId::Reconnect).interval(), ReconnectIntervalMs);
    EXPECT_FALSE(engine->MotionDetecting());
    EXPECT_EQ(host.iconImages.back(), IconAutoOff);

    // A frame still in flight from the dead stream is not handled.
    log.clear();
    DeliverMovingSamples(2);
    EXPECT_TRUE(log.lines().empty());

    // The camera stays away for a while: one line for the first try and one a minute later.
    backend.answers.sequence = false;
    for (int i = 0; i < ReconnectTriesPerReport + 1; ++i)
        engine->TryReconnect();
    EXPECT_EQ(Count(retryLine), 2);
    EXPECT_TRUE(engine->Reconnecting());

    backend.answers.sequence = true;
    backend.take();
    engine->TryReconnect();
    EXPECT_TRUE(backend.take().contains("SequenceNoFile"));
    EXPECT_EQ(Count(resumedLine), 1);
    EXPECT_FALSE(engine->Reconnecting());
    EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Reconnect).isActive());
    EXPECT_TRUE(engine->AutoCapturing());
    EXPECT_TRUE(video->SequenceRunning());
    EXPECT_TRUE(engine->MotionDetecting());
    EXPECT_EQ(host.iconImages.back(), IconAutoOn);

    // Detection starts over: the first frame after the gap is a new reference, not an alarm.
    log.clear();
    DeliverMovingSamples(2);
    EXPECT_EQ(Count("Motion Detection starting... "), 1);
    EXPECT_EQ(Count("Motion Detection started"), 1);
}

TEST_F(DeviceReconnectTest, TimedTriggerPausesWhileTheCameraIsAway)
{
    StartWith(TriggerTimed);
    ASSERT_TRUE(engine->Timer(AutoCaptureEngine::TimerId::Timed).isActive());
    video->SimulateDeviceLost();
    RunPosted();
    EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Timed).isActive());
    engine->TryReconnect();
    EXPECT_TRUE(engine->Timer(AutoCaptureEngine::TimerId::Timed).isActive());
    EXPECT_FALSE(engine->MotionDetecting());
    EXPECT_EQ(Count(resumedLine), 1);
}

TEST_F(DeviceReconnectTest, EveryWayOfStoppingEndsTheWaiting)
{
    const std::function<void()> stops[] = {
        [this] { engine->ToggleAutoCapturing(); },
        [this] { engine->ToggleAutoCapturingFromTray(); },
        [this] { engine->StopAutoCap(); },
    };
    for (const auto& stop : stops) {
        StartWith(TriggerMotion);
        video->SimulateDeviceLost();
        RunPosted();
        ASSERT_TRUE(engine->Reconnecting());
        stop();
        EXPECT_FALSE(engine->AutoCapturing());
        EXPECT_FALSE(engine->Reconnecting());
        EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Reconnect).isActive());
        EXPECT_FALSE(host.menus.autoCapturing.checked);
        EXPECT_TRUE(host.menus.settings);
        EXPECT_EQ(Count("Autocapturing off"), 1);

        // A tick already queued does not start the stream again.
        backend.take();
        engine->TryReconnect();
        EXPECT_FALSE(backend.take().contains("SequenceNoFile"));
        EXPECT_FALSE(video->SequenceRunning());
    }
}

TEST_F(DeviceReconnectTest, OutsideAutoCapturingALossIsOnlyLogged)
{
    ASSERT_TRUE(video->StartSequence()); // a stream the engine did not start
    video->SimulateDeviceLost();
    RunPosted();
    EXPECT_EQ(log.messages(), QStringList{"Video capture stopped: device lost"});
    EXPECT_FALSE(engine->Reconnecting());
    EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Reconnect).isActive());
}

TEST_F(DeviceReconnectTest, EscapeInTheVideoWindowEndsAutoCapturingInsteadOfReconnecting)
{
    StartWith(TriggerMotion);
    video->AbortSequenceByKey(); // what the video's view does on the key
    RunPosted();
    EXPECT_FALSE(video->SequenceRunning());
    EXPECT_FALSE(engine->AutoCapturing());
    EXPECT_FALSE(engine->Reconnecting());
    EXPECT_EQ(Count("Autocapturing off"), 1);
    EXPECT_EQ(Count(lostLine), 0);

    // The key press is over: a later loss is a loss again.
    StartWith(TriggerMotion);
    video->SimulateDeviceLost();
    RunPosted();
    EXPECT_TRUE(engine->Reconnecting());
}

} // namespace

} // namespace tarvo
