#pragma once
// What the desktop the program runs on can do, decided in one place from the platform's name and
// what is present, so that windows ask here instead of guessing from their own state: a Wayland
// compositor never reports a minimised window and ignores positions, raising and focus requests.
#include <QString>

namespace tarvo {

// What is present, as found at start-up.
struct DesktopFacts {
    QString platform;             // Qt's platform name: "xcb", "wayland", ...
    bool trayAvailable = false;   // a notification area takes icons
    bool trayWatcher = false;     // the tray is a StatusNotifierItem host, which has no double-click
    bool notificationService = false; // desktop notifications have a receiver on the session bus
};

struct DesktopAbilities {
    bool reportsMinimising = true; // a minimised window learns that it was minimised
    bool honoursPositions = true;  // move(), raise() and activateWindow() take effect
    bool notificationArea = false;
    bool trayDoubleClick = true;   // a double-click on the tray icon reaches the program
    bool notificationService = false;

    static DesktopAbilities From(const DesktopFacts& facts);
    // The running desktop's; trayAvailable is asked of the widgets by the caller.
    static DesktopAbilities Probe(bool trayAvailable);
};

} // namespace tarvo
