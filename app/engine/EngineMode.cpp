#include "app/engine/EngineMode.h"

#include "app/engine/EngineHost.h"
#include "capture/CaptureDevice.h"

namespace tarvo {

namespace {
// While the fuse burns, the menus stay as when idle; only settings cannot be activated, since the
// run about to start reads them.
constexpr Enablement StateTable[] = {
    //  preview dialogs video  now    settings auto  activation
    {true, true, true, false, true, true, true},       // Idle
    {true, true, true, false, true, true, false},      // FuseBurning
    {false, false, false, true, false, true, false},   // Running
    {false, false, false, true, false, true, false},   // Reconnecting
};
// Both auto-capturing toggles are off during a recording: a recording and auto-capturing must never
// share the stream.
constexpr Enablement RecordingRow = {false, false, true, false, false, false, false};
} // namespace

Enablement EnablementFor(EngineState state, bool recording)
{
    return recording ? RecordingRow : StateTable[static_cast<int>(state)];
}

void EngineMode::SetState(EngineState state)
{
    state_ = state;
    Apply();
}

void EngineMode::SetRecording(bool recording)
{
    recording_ = recording;
    Apply();
}

void EngineMode::SetLiveViewRunning(bool running)
{
    liveViewRunning_ = running;
    Apply();
}

MenuState EngineMode::Menus()
{
    const Enablement e = EnablementFor(State(), Recording());
    MenuState m;
    m.preview = {e.preview, video_.DriverOpen() && video_.VideoPreview()};
    // Only a connected driver is asked for its dialogs: asking an unconnected one would try to
    // connect it here, on the GUI thread, and a camera that is not there would fail the command
    // that changed the mode.
    const bool ask = e.driverDialogs && video_.DriverOpen();
    const auto dialog = [&](bool (CaptureDevice::*offers)(), bool& offered) {
        if (ask)
            offered = (video_.*offers)();
        return DriverDialogItem{offered, ask && offered};
    };
    m.driverDisplay = dialog(&CaptureDevice::HasDisplayDialog, displayOffered_);
    m.driverFormat = dialog(&CaptureDevice::HasFormatDialog, formatOffered_);
    m.driverSource = dialog(&CaptureDevice::HasSourceDialog, sourceOffered_);
    m.captureVideo = {e.captureVideo, Recording()};
    m.captureNow = e.captureNow;
    m.settings = e.settings;
    m.autoCapturing = {e.autoCapturing, AutoCapturing()};
    m.liveView = liveViewRunning_;
    m.activation = e.activation;
    return m;
}

void EngineMode::Apply() { host_.ApplyMenuState(Menus()); }

} // namespace tarvo
