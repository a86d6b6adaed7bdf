// A camera lost while auto-capturing: the engine stops handling frames, tries every few seconds to
// start the stream again, and resumes with the same trigger once the device answers. The user's
// own stop (the menu, the tray, Escape, the program's exit) ends the waiting as well.
#include "app/engine/AutoCaptureEngine.h"

#include "app/engine/EngineHost.h"
#include "app/engine/EngineIntervals.h"
#include "app/engine/EngineInternals.h"
#include "app/engine/ManualCommands.h"
#include "capture/CaptureDevice.h"
#include "common/EventLog.h"

namespace tarvo {

namespace {
void Log(const QString& msg, const QString& sender) { ProgramLog().WriteLog(msg, true, sender); }
} // namespace

void AutoCaptureEngine::CaptureStatusChanged()
{
    // A recording whose stream ended by itself (the camera is gone): the capture component has
    // finished the file with what was recorded so far.
    if (commands_->EndRecordingIfStreamEnded())
        return;
    if (State() != EngineState::Running || stopPosted_.load() || video_.SequenceRunning())
        return;
    if (escapePressed_)
        StopAutoCap();
    else
        DeviceLost();
}

void AutoCaptureEngine::CaptureDeviceFailed()
{
    if (State() == EngineState::Running)
        AbortFtpTransfer();
}

void AutoCaptureEngine::DeviceLost()
{
    // The stream has ended, so no frame is being handled and none will come until it restarts.
    mode_.SetState(EngineState::Reconnecting);
    frame_->clips.Stop();
    timedTimer_.stop();
    rearmTimer_.stop();
    armed_ = true;
    mdActive_ = false;
    captureRequest_ = false;
    blinkTimer_.stop();
    blinkStep_ = 0;
    host_.SetIndicatorPanelWidth(0);
    host_.SetIconImage(IconAutoOff);
    // The stream has ended, so the cut of its upload is over; the resumed run uploads again.
    ClearFtpAbort();

    failedReconnects_ = 0;
    reconnectTimer_.start();
    Log(QString("Camera lost; trying to reconnect every %1 seconds").arg(ReconnectIntervalMs / 1000),
        "TForm1.DeviceLost");
}

void AutoCaptureEngine::TryReconnect()
{
    if (!Reconnecting()) {
        reconnectTimer_.stop();
        return;
    }
    video_.SetCapToFile(false);
    if (video_.DriverOpen() && video_.StartSequence()) {
        reconnectTimer_.stop();
        BeginStreamRun();
        host_.SetIconImage(IconAutoOn);
        Log("Camera back; autocapturing resumed", "TForm1.ReconnectTimer");
        return;
    }
    if (failedReconnects_++ % ReconnectTriesPerReport == 0)
        Log("Camera still not available; trying again", "TForm1.ReconnectTimer");
}

void AutoCaptureEngine::WatchEscape()
{
    // The device tells of the key before it ends the stream on it.
    connect(&video_, &CaptureDevice::escapePressed, this, &AutoCaptureEngine::EscapePressed, Qt::UniqueConnection);
}

void AutoCaptureEngine::EscapePressed()
{
    escapePressed_ = true;
    // The device ends the stream on this key press and waits for the frame handler first; an
    // upload in progress must not hold it.
    if (State() == EngineState::Running)
        AbortFtpTransfer();
    // Only the handling of this key press counts as the user's stop; a run that goes on anyway
    // uploads again.
    QMetaObject::invokeMethod(this, [this] {
        escapePressed_ = false;
        if (State() == EngineState::Running)
            ClearFtpAbort();
    }, Qt::QueuedConnection);
}

} // namespace tarvo
