#include "app/engine/EngineMode.h"

#include "app/MainMenuActions.h"
#include "app/engine/EngineHost.h"
#include "app/engine/MenuSwitch.h"
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

void EngineMode::Apply()
{
    const Enablement e = EnablementFor(State(), Recording());
    EnableItem(menus_.preview, e.preview);
    // Only a connected driver is asked for its dialogs: asking an unconnected one would try to
    // connect it here, on the GUI thread, and a camera that is not there would fail the command
    // that changed the mode.
    const bool dialogs = e.driverDialogs && video_.DriverOpen();
    EnableItem(menus_.driverDisplay, dialogs && video_.HasDisplayDialog());
    EnableItem(menus_.driverFormat, dialogs && video_.HasFormatDialog());
    EnableItem(menus_.driverSource, dialogs && video_.HasSourceDialog());
    EnableItem(menus_.captureVideo, e.captureVideo);
    EnableItem(menus_.captureNow, e.captureNow);
    for (QAction* item : {menus_.setup, menus_.profiles, menus_.trayProfiles})
        EnableItem(item, e.settings);
    for (QAction* item : {menus_.autoCapturing, menus_.trayAutoCapturing}) {
        EnableItem(item, e.autoCapturing);
        // A checkable item flips its own mark when clicked; the marks always show the real state.
        CheckItem(item, AutoCapturing());
    }
    CheckItem(menus_.captureVideo, Recording());
    host_.SetActivationEnabled(e.activation);
}

} // namespace tarvo
