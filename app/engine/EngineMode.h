#pragma once
// The engine's mode as one value, and the one table that says what the menus, the tray menu and
// the settings dialogs allow in it. Every change of mode goes through SetState or SetRecording,
// which hand the window the table's answer at once, so the menus can never disagree with the
// engine.
#include "app/engine/MenuState.h"

#include <atomic>

namespace tarvo {

class EngineHost;
class CaptureDevice;

enum class EngineState {
    Idle,         // auto-capturing is off
    FuseBurning,  // the fuse counts down to the start of auto-capturing
    Running,      // auto-capturing is on and the frame handler accepts frames
    Reconnecting, // auto-capturing lost its camera and waits for it
};

// What one mode allows. The driver's dialogs are enabled only where the driver offers them.
struct Enablement {
    bool preview;
    bool driverDialogs;
    bool captureVideo;
    bool captureNow;
    bool settings;      // "&Setup...", "&Profiles..." and the tray's "Profiles..."
    bool autoCapturing; // both auto-capturing toggles
    bool activation;    // the "OK" of the setup dialog and the profile window
};

// A manual recording takes the stream for itself, whatever the state.
Enablement EnablementFor(EngineState state, bool recording);

class EngineMode {
public:
    EngineMode(EngineHost& host, CaptureDevice& video) : host_(host), video_(video) {}

    // Any thread.
    EngineState State() const { return state_.load(); }
    bool Recording() const { return recording_.load(); }
    // Auto-capturing is on or waits for its camera: the toggles carry their check marks.
    bool AutoCapturing() const
    {
        const EngineState s = State();
        return s == EngineState::Running || s == EngineState::Reconnecting;
    }
    bool SettingsLocked() const { return !EnablementFor(State(), Recording()).activation; }

    // GUI thread.
    void SetState(EngineState state);
    void SetRecording(bool recording);
    void SetLiveViewRunning(bool running);
    // Hands the window the menus as the mode, the driver, the preview and the live view are now,
    // also when nothing changed: a checkable item flips its own mark when clicked, and the mark
    // must show the real state again.
    void Apply();

private:
    MenuState Menus();

    EngineHost& host_;
    CaptureDevice& video_;
    bool liveViewRunning_ = false;
    // What the driver last asked offered: its items stay shown or hidden as it said until a
    // driver is asked again.
    bool sourceOffered_ = true;
    bool displayOffered_ = true;
    bool formatOffered_ = true;
    std::atomic<EngineState> state_{EngineState::Idle};
    std::atomic<bool> recording_{false};
};

} // namespace tarvo
