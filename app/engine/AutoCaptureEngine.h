#pragma once
// The auto-capture engine of the main window: switching auto-capturing on and off (fuse, re-arm
// delay, timed trigger, icon flash, a lost camera), and the per-frame handler that samples
// frames, raises motion alarms and runs the configured actions. The manual commands are a class
// of their own that the engine owns; both change the menus only through the engine's mode.
//
// Threads: the object lives on the GUI thread, and every method except ProcessFrame (and
// what it calls) runs there. ProcessFrame runs on the capture back-end's streaming thread,
// one frame after the other. It reads the run's frozen snapshot, its own frame state and the
// atomic flags below, and nothing the GUI thread may change meanwhile; everything it does to a
// window, timer or icon is posted to the GUI thread, and it never waits for it. docs/threads.md
// has the whole picture.
#include "app/engine/EngineMode.h"
#include "imaging/JpegWriter.h"
#include "imaging/MotionDetection.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>

class QImage;

namespace tarvo {

class ActiveSettings;
class AlarmHooks;
class FtpClient;
class SoundPlayer;
class NetworkTask;
class CaptureDevice;
struct FrameBuffer;
class EngineHost;
class FileCounters;
class ManualCommands;
struct OptionsValues;

class AutoCaptureEngine : public QObject {
    Q_OBJECT
public:
    // Hands the window the menus of the idle mode at once. The alarm and click sounds play through
    // sound; the names of new pictures and
    // videos are drawn from counters; relative sound names and the website's upload picture are
    // taken from the program folder programDir.
    AutoCaptureEngine(CaptureDevice& video, EngineHost& host, const ActiveSettings& settings, SoundPlayer& sound,
                      FileCounters& counters, const QString& programDir, QObject* parent = nullptr);
    ~AutoCaptureEngine() override;

    // Values kept outside the settings record, pushed by profile activation.
    void SetTimedInterval(int ms);  // timed trigger: TimedMin * 60000 + TimedSec * 1000
    void SetRearmInterval(int ms);  // re-arm delay: RearmMin * 60000 + RearmSec * 1000
    void SetFuseSeconds(int seconds); // FuseMin * 60 + FuseSec
    // Largest colour difference that counts as no motion; a run uses the value in force at its start.
    void SetMotionThreshold(std::int32_t threshold) { motionThreshold_ = threshold; }
    // Of every JPEG the engine writes: pictures, website pictures, clip frames.
    void SetJpegQuality(int quality) { jpeg_.SetQuality(quality); }
    const JpegWriter& Jpeg() const { return jpeg_; }
    FileCounters& Counters() { return counters_; }

    // The auto-capturing toggles.
    void ToggleAutoCapturing();         // "&Auto capturing", Ctrl+A
    void ToggleAutoCapturingFromTray(); // tray "Auto-capturing"

    // Preview, picture, video, "Capture &now" and the driver's dialogs.
    ManualCommands& Commands() { return *commands_; }
    // The settings in force; a run reads the snapshot it took at its start instead.
    const ActiveSettings& Settings() const { return settings_; }
    // The client for the website uploads of the runs.
    FtpClient& Ftp() { return *ftp_; }
    // A picture of the running stream: taken by the frame handler at its next frame; arm also
    // ends a re-arm delay.
    void RequestCapture(bool arm);
    // The tray icon's picture flash; enabling it while it runs does not restart it.
    void FlashIcon();

    // The window connected a driver or started or stopped the live view: the menus follow what
    // the driver offers and whether the live view runs.
    void RefreshMenus() { mode_.Apply(); }
    void SetLiveViewRunning(bool running) { mode_.SetLiveViewRunning(running); }

    void StartAutoCap();
    void StopAutoCap();
    // The last part of connecting a driver: with "-m", AutoCapAtStart, the first driver load and a
    // connected driver, auto-capturing starts by itself.
    void AutoStartAfterDriverLoad(bool firstDriverLoad);
    EngineState State() const { return mode_.State(); }
    // Auto-capturing runs (the tray item carries its check mark), or waits for its lost camera;
    // PrepareExit asks this.
    bool AutoCapturing() const { return mode_.AutoCapturing(); }
    // Auto-capturing lost its camera and tries to reconnect it.
    bool Reconnecting() const { return State() == EngineState::Reconnecting; }
    // A manual recording runs.
    bool Recording() const { return mode_.Recording(); }
    // No settings may be activated: auto-capturing runs, burns its fuse or reconnects, or a
    // recording runs.
    bool SettingsLocked() const { return mode_.SettingsLocked(); }

    // Exit: a recording ends through its normal stop (its file finished and logged), then
    // auto-capturing and its fuse stop; the offline picture gets only a few seconds.
    void StopForExit();

    // The capture component's OnStatus. A stream that ended by itself while auto-capturing means
    // the camera is gone: the engine keeps trying to reconnect and resumes with the same trigger.
    // An Escape in the video's window ends auto-capturing instead.
    void CaptureStatusChanged();
    // The capture component reports a failure of the device before it ends the stream: an upload
    // of the frame thread is cut short, so ending the stream does not wait for the server.
    void CaptureDeviceFailed();

    // Timer handlers (public so the window and tests can drive them).
    void TimedTrigger();
    void CountDownFuse();
    void EndRearmDelay();
    void BlinkTrayIcon();
    void TryReconnect();

    // The per-frame event of the capture component. Streaming thread.
    void ProcessFrame(CaptureDevice& sender, const FrameBuffer& header);

    // Flags shared with the frame handler.
    bool CaptureRequested() const { return captureRequest_.load(); }
    bool Armed() const { return armed_.load(); }
    bool MotionDetecting() const { return mdActive_.load(); }

    // Motion samples taken since the motion trigger started. Any thread.
    int MotionSamples() const { return motionSamples_.load(); }

    // The notification and the user's command of each armed alarm.
    AlarmHooks& Alarms() { return *alarmHooks_; }

    int FuseSeconds() const { return fuseSeconds_; }
    int FuseCountdown() const { return fuseCountdown_; }
    int BlinkStep() const { return blinkStep_; }
    bool FuseBurning() const { return State() == EngineState::FuseBurning; }

    // The engine's timers, to look at; only the engine starts and stops them.
    enum class TimerId { Timed, Fuse, Rearm, Blink, Reconnect };
    const QTimer& Timer(TimerId which) const;

signals:
    // A picture or video was written into the picture or video folder. Emitted on the GUI thread,
    // also for the files of the frame thread and the clip writer.
    void fileSaved(const QString& path);

private:
    struct FrameState;
    enum class Conversion { Done, DrawFailed, Failed };

    // Idle to FuseBurning and back.
    void LightFuse();
    void PutOutFuse();
    // The part of starting that is done again when a lost camera is back: a fresh snapshot and
    // frame state, the trigger, then frames are accepted.
    void BeginStreamRun();
    void DeviceLost();
    // Escape presses in the video's window, noted ahead of the device's own Escape handling.
    void WatchEscape();
    void EscapePressed();
    void ConfigureFtpClient(const OptionsValues& options);
    void AbortFtpTransfer();
    void ClearFtpAbort();
    // The FTP end of StopAutoCap: the offline picture, then the connection is closed; on the
    // network worker, except at exit.
    void EndFtpSession(const OptionsValues& options);
    // A start takes the FTP client back: the end of the previous session is cut short.
    void CancelFtpSessionEnd();
    // The website picture of one capture: the local folder, then the FTP server. Frame thread.
    void PublishFrame(QImage& frame, const OptionsValues& options);
    // After each armed motion trigger. Frame thread.
    void DisarmAfterTrigger();
    void ShowMotionIndicator(bool motion);
    // A sample that changed at most points at once, taken as a change of light.
    void NoteLightChange();
    // "Frame to bitmap": Failed when no bitmap could be made, DrawFailed when the decoder refused
    // the frame's bytes (logged; the bitmap is then blank or partial).
    Conversion ConvertFrame(const FrameBuffer& header, QImage& into);
    // One motion sample; false when the call must end here ("MD Error #2").
    bool TakeMotionSample(const FrameBuffer& header, bool& frameBitmapMade, bool& frameUsable);
    // The configured actions; returns the name of the picture saved, empty when none was.
    QString RunActions(const FrameBuffer& header, bool frameBitmapMade, bool frameUsable);
    // Hands an alarm of this call, with the picture saved for it, to the alarm hooks.
    void PostAlarmHooks(const QString& pictureFile);
    // Posts fn to the GUI thread; it runs only if the auto-capturing run that posted it is still on.
    template <class Fn> void PostToGui(Fn fn);
    // Any thread: fileSaved, from the GUI thread. Also after the run that saved the file ended:
    // the file is there all the same (a clip is finished after the stop).
    void AnnounceSaved(const QString& path);

    // The engine's timers; single-shot where a tick switches them off.
    QTimer timedTimer_;
    QTimer fuseTimer_;
    QTimer rearmTimer_;
    QTimer blinkTimer_;
    QTimer reconnectTimer_;

    CaptureDevice& video_;
    EngineHost& host_;
    const ActiveSettings& settings_;
    SoundPlayer& sound_;
    JpegWriter jpeg_;
    FileCounters& counters_;
    // Where the alarm and click sounds and the website's upload picture are found.
    const QString programDir_;
    EngineMode mode_;
    std::unique_ptr<ManualCommands> commands_;
    std::unique_ptr<FrameState> frame_;
    std::unique_ptr<AlarmHooks> alarmHooks_;
    std::unique_ptr<FtpClient> ftp_;
    // Ends an FTP session after a stop: the offline picture and the closing of the connection.
    std::unique_ptr<NetworkTask> ftpSessionEnd_;

    // Flags shared with the frame handler.
    std::atomic<bool> captureRequest_{false};
    std::atomic<bool> armed_{true};
    std::atomic<bool> mdActive_{false};
    // Written by the frame handler only.
    std::atomic<int> motionSamples_{0};

    int fuseSeconds_ = 0;
    std::int32_t motionThreshold_ = ThresholdForSensitivity(51);
    int fuseCountdown_ = 0;
    int blinkStep_ = 0;
    // Counts auto-capturing runs, so effects posted by one run's frames are dropped once it ended.
    std::atomic<std::uint32_t> run_{0};
    // Set after "MD Error #2" until the posted stop has run, so no further frame is processed.
    std::atomic<bool> stopPosted_{false};
    // The program is ending: the offline picture gets a short time limit of its own.
    bool exiting_ = false;
    int failedReconnects_ = 0;
    // An Escape for the video's window is being handled right now.
    bool escapePressed_ = false;
};

} // namespace tarvo
