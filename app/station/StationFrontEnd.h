#pragma once
// What the station shows through a desktop front end, if it has one: the main window implements it.
// Every method has the headless meaning as its default, so the station runs the same without a
// window. GUI thread only.
#include "app/core/StatusSink.h"

#include <QString>

namespace tarvo {

struct ExtraOptions;
struct MenuState;
struct OptionsValues;

class StationFrontEnd : public StatusSink {
public:
    void SetStatusText(const QString&) override {}

    // The engine's effects on a window (see EngineHost).
    virtual void SetIndicatorPanelWidth(int) {}
    virtual void DrawMotionIndicator(int) {}
    virtual void SetIconImage(int) {}
    virtual void RaisePopup(const QString&) {}
    virtual bool MainWindowVisible() const { return false; }
    virtual void ApplyMenuState(const MenuState&) {}

    // Activation's steps that belong to the desktop: the start-at-login entry and the dialogs
    // that show the active settings.
    virtual void ApplyStartupShortcut(bool) {}
    virtual void ShowInDialog(const OptionsValues&) {}
    virtual void ShowExtrasInDialog(const ExtraOptions&) {}

    // A driver was connected (name) and, at the first connection of the run, the remembered
    // preview may come back.
    virtual void DriverLoaded(const QString&) {}
    virtual void RestorePreview() {}
    // The capture device's status changed after the engine heard of it: the window fits the video.
    virtual void CaptureStatusChanged() {}
    // The program is about to end: what the front end keeps for the next start.
    virtual void PrepareExit() {}
};

} // namespace tarvo
