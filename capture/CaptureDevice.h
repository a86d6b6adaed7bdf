#pragma once
// The capture device: connects the selected driver, streams frames to OnVideoStream, records AVI
// files, saves still pictures and runs the driver's dialogs. It shows nothing itself: while
// previewing it tells whoever shows its frames (frameReady) and hands them the latest one. Every
// property and operation is called on the GUI thread; OnVideoStream, OnFrameCallback and
// OnAudioStream run on the streaming thread, one frame strictly after the other.
#include "capture/AudioFormat.h"
#include "capture/CaptureBackend.h"
#include "capture/CaptureTypes.h"

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace tarvo {

class CaptureDevice;

using TCapStatusProc = std::function<void(CaptureDevice& Sender)>;
using TCapStatusCallback = std::function<void(CaptureDevice& Sender, int nID, const QString& status)>;
using TVideoStream = std::function<void(CaptureDevice& sender, const FrameBuffer& frame)>;
using TAudioStream = std::function<void(CaptureDevice& sender, const SoundBuffer& sound)>;
using TError = std::function<void(CaptureDevice& sender, int nID, const QString& errorstr)>;

// The device's failures: a type each, so a caller catches exactly the one it handles, each with
// its fixed message.
template <std::size_t N> struct FailureText {
    constexpr FailureText(const char (&text)[N]) { std::copy_n(text, N, chars); }
    char chars[N];
};
template <FailureText Text> class CaptureError : public std::runtime_error {
public:
    CaptureError() : std::runtime_error(Text.chars) {}
};
using NoDriverError = CaptureError<"No capture driver selected">;
using NoCaptureWindowError = CaptureError<"Can not create capture window">;
using ConnectError = CaptureError<"Can not connect capture driver with capture window">;
using NoOverlayError = CaptureError<"Driver has no overlay mode">;
using DriverNotOpenError = CaptureError<"Driver not Open">;
using BufferFileError = CaptureError<"Could not create tmp file">;

constexpr int MaxCaptureDrivers = 10;

// "name version" of each driver from slot 0 up to the first empty slot (at most ten), so the
// list position is the driver index.
QStringList ListCaptureDrivers(CaptureBackend& backend);

class CaptureDevice : public QObject {
    Q_OBJECT
public:
    explicit CaptureDevice(CaptureBackend& backend, QObject* parent = nullptr);
    ~CaptureDevice() override;

    bool DriverOpen() const { return session_ != nullptr; }
    void SetDriverOpen(bool open); // connecting raises NoDriverError, NoCaptureWindowError,
                                   // ConnectError or BufferFileError
    int DriverIndex() const { return driverIndex_; }
    void SetDriverIndex(int index);
    QString DriverName() const { return driverName_; }
    void SetDriverName(const QString& name);

    bool VideoOverlay() const;
    void SetVideoOverlay(bool on); // raises NoOverlayError without overlay
    bool VideoPreview() const;
    void SetVideoPreview(bool on);
    bool PreviewScaleToWindow() const { return scaleToWindow_; }
    void SetPreviewScaleToWindow(bool scale);
    bool PreviewScaleProportional() const { return scaleProportional_; }
    void SetPreviewScaleProportional(bool proportional);
    std::uint16_t PreviewRate() const { return previewRate_; }
    void SetPreviewRate(int rate); // 1..30
    std::uint32_t MicroSecPerFrame() const { return microSecPerFrame_; }
    void SetMicroSecPerFrame(std::uint32_t us); // at least 33333
    std::uint16_t FrameRate() const;
    void SetFrameRate(int fps); // 0 ignored; not held to the 30 fps floor

    bool CapAudio() const { return capAudio_; }
    void SetCapAudio(bool on) { capAudio_ = on; }
    QString VideoFileName() const { return videoFileName_; }
    void SetVideoFileName(const QString& name) { videoFileName_ = name; }
    QString SingleImageFile() const { return singleImageFile_; }
    void SetSingleImageFile(const QString& name) { singleImageFile_ = name; }
    std::uint16_t CapTimeLimit() const { return capTimeLimit_; }
    void SetCapTimeLimit(std::uint16_t seconds) { capTimeLimit_ = seconds; }
    std::uint32_t CapIndexSize() const { return capIndexSize_; }
    void SetCapIndexSize(std::uint32_t entries); // 0, or 1800..324000
    bool CapToFile() const { return capToFile_; }
    void SetCapToFile(bool toFile) { capToFile_ = toFile; }
    TAudioFormat& CapAudioFormat() { return audioFormat_; }
    const TAudioFormat& CapAudioFormat() const { return audioFormat_; }
    std::uint16_t BufferFileSize() const { return bufferFileSize_; }
    void SetBufferFileSize(std::uint16_t megabytes);

    // Events. OnStatus runs on the GUI thread; the stream events on the streaming thread.
    void SetOnStatus(TCapStatusProc handler) { onStatus_ = std::move(handler); }
    void SetOnStatusCallback(TCapStatusCallback handler);
    void SetOnVideoStream(TVideoStream handler);
    void SetOnFrameCallback(TVideoStream handler);
    bool OnFrameCallbackSet() const { return bool(onFrameCallback_); }
    void SetOnAudioStream(TAudioStream handler);
    void SetOnError(TError handler);

    // The driver's dialogs, shown by `dialogs`; connects for the time of the dialog if need be.
    bool ShowSourceDialog(DriverDialogs& dialogs);
    bool ShowFormatDialog(DriverDialogs& dialogs);
    bool ShowDisplayDialog(DriverDialogs& dialogs);
    bool ShowCompressionDialog(DriverDialogs& dialogs);
    bool HasOverlay();
    bool HasSourceDialog();
    bool HasFormatDialog();
    bool HasDisplayDialog();

    std::uint16_t ImageWidth() const;
    std::uint16_t ImageHeight() const;
    bool RefreshStatus(bool fireEvent);
    bool GrabOneFrame();
    bool SaveSingleImage();                // false also for a name over 259 characters
    bool ReadVideoFormat(FrameFormat& buf); // raises DriverNotOpenError (buffer zeroed) when not connected
    bool StartSequence();                  // false also for a VideoFileName over 259 characters
    bool StopSequence();
    bool SequenceRunning();

    // Where in an area of the given size the picture goes: at the top left in the frame's size,
    // or stretched to the area, or as large as fits with the frame's proportions, as the preview
    // scale settings say.
    QRect PictureRect(QSize area) const;
    // For whoever shows the frames: the latest frame as a picture (see CaptureSession), and that
    // the one announced by frameReady has been taken.
    bool DecodeLatest(QImage& out, QSize bound = QSize());
    void PresentTaken();
    // The Escape key was pressed in the window that shows this device: a running sequence ends.
    // escapePressed is emitted first.
    void AbortSequenceByKey();

    // Makes the device fail as an unplugged camera would; the running sequence ends, OnStatus
    // fires and the failure is logged. Connecting again works.
    void SimulateDeviceLost();

signals:
    // A newer frame is there to show (previewing, at the preview rate, one until PresentTaken).
    void frameReady();
    // What is shown changed: connection, preview, scaling or the frame's format.
    void pictureChanged();
    // The Escape key in the window that shows this device, before it ends a running sequence.
    void escapePressed();

private:
    bool OpenDriver();
    void CloseDriver();
    void ReleaseDriverBuffers();
    bool ReadDriverCaps();
    bool ShowDriverDialog(bool (CaptureSession::*request)(DriverDialogs&), DriverDialogs& dialogs, bool refresh);
    void ApplyBufferFile(bool enable);
    void RegisterCallbacks();
    // Stores the handler in slot and hands the open session its own copy, bound to this device;
    // an empty handler clears the session's.
    template <class Handler, class Callback>
    void InstallHandler(Handler& slot, Handler handler, void (CaptureSession::*setter)(Callback));
    void SendPreviewRate();
    void OnPlatformStopped(const QString& error);
    void OnFrameToShow();

    CaptureBackend& backend_;
    int driverIndex_ = -1;
    QString driverName_;
    std::unique_ptr<CaptureSession> session_;
    std::optional<DriverCapabilities> caps_;
    std::optional<CaptureStatus> status_;
    bool scaleToWindow_ = false;
    bool scaleProportional_ = false;
    std::uint16_t previewRate_ = 30;
    std::uint32_t microSecPerFrame_ = 66667;
    QString videoFileName_ = "Video.avi";
    QString bufferFileName_;
    std::uint16_t bufferFileSize_ = 0;
    QString singleImageFile_ = "Capture.bmp";
    bool capAudio_ = false;
    std::uint16_t capTimeLimit_ = 0;
    std::uint32_t capIndexSize_ = 0;
    bool capToFile_ = true;
    bool escapeAborts_ = false;
    TAudioFormat audioFormat_;

    TCapStatusProc onStatus_;
    TCapStatusCallback onStatusCallback_;
    TVideoStream onVideoStream_;
    TVideoStream onFrameCallback_;
    TAudioStream onAudioStream_;
    TError onError_;
};

} // namespace tarvo
