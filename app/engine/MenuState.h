#pragma once
// What each item of the main menu and the tray menu that follows the engine's mode shows, and
// whether settings can be activated. The engine works it out from its mode table and hands the
// whole value to the window at every change; the window only applies it.

namespace tarvo {

struct MenuItemState {
    bool enabled = false;
    bool checked = false;
};

// One of the driver's own dialogs: shown while the driver last connected offers it (all are shown
// until a driver has said), usable while that driver is connected and the mode allows it.
struct DriverDialogItem {
    bool shown = true;
    bool enabled = false;
};

struct MenuState {
    MenuItemState preview;          // "&Preview": the mark says whether the preview really is on
    DriverDialogItem driverSource;  // "S&ource..."
    DriverDialogItem driverDisplay; // "&Display..."
    DriverDialogItem driverFormat;  // "&Format..."
    MenuItemState captureVideo;     // "Capture &video": marked while a recording runs
    bool captureNow = false;        // "Capture &now"
    bool settings = false;          // "&Setup...", "&Profiles..." and the tray's "Profiles..."
    MenuItemState autoCapturing;    // "&Auto capturing" and the tray's "Auto-capturing"
    bool liveView = false;          // "&Live view in browser": while the live view runs
    bool activation = false;        // the "OK" of the setup dialog and of the profile window
};

} // namespace tarvo
