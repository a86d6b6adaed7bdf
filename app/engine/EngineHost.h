#pragma once
// What the auto-capture engine does to the main window. The main window implements it; tests use a
// recording one. Every method is called on the GUI thread only: the engine posts its frame-thread
// effects to the GUI thread before they reach the host.
#include <QString>

namespace tarvo {

struct MenuState;

class EngineHost {
public:
    virtual ~EngineHost() = default;

    // Status-bar panel 0, the motion indicator cell: 17 pixels wide while motion detection runs
    // and the window is visible, 0 otherwise.
    virtual void SetIndicatorPanelWidth(int width) = 0;
    // Draws image 0 (watching, no motion) or 1 (motion) of the status images at (1, 2) of the bar.
    virtual void DrawMotionIndicator(int image) = 0;

    // Shows image 0 (auto-capturing on), 1 (off) or 2 (flash) on the application and the tray icon.
    virtual void SetIconImage(int image) = 0;

    // Queues the message for the popup warnings; their timer shows it on the GUI thread.
    virtual void RaisePopup(const QString& message) = 0;

    virtual bool MainWindowVisible() const = 0;

    // The program was started with "-m" as its first argument.
    virtual bool StartedInTray() const = 0;

    // Sets the menu items, the tray menu items and every way to activate settings (the setup
    // dialog's and the profile window's "OK") as the engine's mode table says. Called at the
    // engine's start and after every change of its mode, the driver, the preview or the live view.
    virtual void ApplyMenuState(const MenuState& menus) = 0;
};

// The warning a motion alarm raises; its picture follows with the alarm hooks.
inline const QString MotionWarning = QStringLiteral("Motion Detected");

// Icon images of the application and tray icon.
enum EngineIcon : int { IconAutoOn = 0, IconAutoOff = 1, IconFlash = 2 };

// Images of the status-bar motion indicator and its panel width while shown.
enum IndicatorImage : int { IndicatorIdle = 0, IndicatorMotion = 1 };
inline constexpr int IndicatorPanelWidth = 17;

} // namespace tarvo
