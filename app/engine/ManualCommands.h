#pragma once
// The commands a user gives by hand: preview, one picture, a video recording and "Capture &now".
// They work on the capture device directly while auto-capturing is off
// and hand the work to the frame handler while it runs. GUI thread only.
#include <QString>

namespace tarvo {

class AutoCaptureEngine;
class EngineMode;
class CaptureDevice;

class ManualCommands {
public:
    ManualCommands(CaptureDevice& video, EngineMode& mode, AutoCaptureEngine& engine);

    void TogglePreview();        // "&Preview", Ctrl+P
    void CapturePicture();       // "Capture &picture", Ctrl+I
    void ToggleVideoRecording(); // "Capture &video", Ctrl+R
    void CaptureNow();           // "Capture &now", Ctrl+N, tray double-click

    // The capture component's status changed: a recording whose stream ended by itself (the camera
    // is gone) is finished with what was recorded so far. True when that happened.
    bool EndRecordingIfStreamEnded();

private:
    // The end of a manual recording, stopped here or ended by the device: menus, log line, flags.
    void EndRecording(bool stopped);
    bool SaveStillPicture(const QString& singleFile, QString& target);

    CaptureDevice& video_;
    EngineMode& mode_;
    AutoCaptureEngine& engine_;
    // The "Capture video" command is running (its own status events are not a lost device), and
    // the recording's stream really started (a failed start waits for the second click).
    bool inRecordingCommand_ = false;
    bool recordingStarted_ = false;
};

} // namespace tarvo
