#pragma once

class QAction;

namespace tarvo {

// The main window's menu commands. The window builds and connects them, and sets them as the
// auto-capture engine's menu state says (MainMenus.h).

struct MainMenuActions {
    // Main menu
    QAction* exit = nullptr;            // "&File" / "&Exit"
    QAction* preview = nullptr;         // "&View" / "&Preview", Ctrl+P, checkable
    QAction* browse = nullptr;          // "&View" / "&Browse..."
    QAction* liveView = nullptr;        // "&View" / "&Live view in browser", usable while the live view runs
    QAction* about = nullptr;           // "&View" / "&About..."
    QAction* profiles = nullptr;        // "&Setup" / "&Profiles..."
    QAction* setup = nullptr;           // "&Setup" / "&Setup..."
    QAction* driverSource = nullptr;    // "Driver settings" / "S&ource..."
    QAction* driverDisplay = nullptr;   // "Driver settings" / "&Display..."
    QAction* driverFormat = nullptr;    // "Driver settings" / "&Format..."
    QAction* capturePicture = nullptr;  // "&Capture" / "Capture &picture", Ctrl+I
    QAction* captureVideo = nullptr;    // "&Capture" / "Capture &video", Ctrl+R, checkable
    QAction* autoCapturing = nullptr;   // "&Capture" / "&Auto capturing", Ctrl+A, checkable
    QAction* captureNow = nullptr;      // "&Capture" / "Capture &now", Ctrl+N
    // Tray menu
    QAction* trayOpen = nullptr;          // "Open Tarvo"
    QAction* trayAutoCapturing = nullptr; // "Auto-capturing", checkable
    QAction* trayProfiles = nullptr;      // "Profiles..."
    QAction* trayClose = nullptr;         // "Close"
};

} // namespace tarvo
