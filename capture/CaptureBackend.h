#pragma once
// The capture service the capture component talks to. A CaptureBackend lists the drivers and
// creates capture windows; a CaptureWindow answers the capture requests sent to one window.
// The component's rules (clamps, request order) live in TVideoCap; a back-end only answers.
// Every request is made on the GUI thread; callbacks come as each method says.
#include "capture/CaptureTypes.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

namespace tarvo {

class CaptureWindow {
public:
    // Called on the streaming thread; the header and its data are valid only during the call.
    using VideoCallback = std::function<void(const FrameBuffer& header)>;
    using WaveCallback = std::function<void(const SoundBuffer& header)>;
    // Called on any thread the back-end reports from.
    using TextCallback = std::function<void(int id, const QString& text)>;
    // Called on the GUI thread when the back-end ended a sequence or lost the device by itself
    // (time limit, device unplugged, pipeline error). error is empty for an orderly end.
    using StoppedHandler = std::function<void(const QString& error)>;

    // Destroying the object destroys the capture window.
    virtual ~CaptureWindow() = default;

    // Window-system requests.
    virtual void SetMouseForwarding(bool forward) = 0; // mouse on the video goes to the parent
    virtual void Move(int x, int y, int width, int height) = 0;

    // Callback registration; an empty function removes the callback.
    virtual void SetCallbackStatus(TextCallback cb) = 0;
    virtual void SetCallbackFrame(VideoCallback cb) = 0;
    virtual void SetCallbackError(TextCallback cb) = 0;
    virtual void SetCallbackVideoStream(VideoCallback cb) = 0;
    virtual void SetCallbackWaveStream(WaveCallback cb) = 0;

    virtual bool DriverConnect(int index) = 0;
    virtual void DriverDisconnect() = 0;
    virtual bool DriverGetCaps(DriverCapabilities& caps) = 0;
    virtual bool GetStatus(CaptureStatus& status) = 0;

    virtual void SetScale(bool scale) = 0;
    virtual void SetPreviewRate(int milliseconds) = 0;
    virtual void SetPreview(bool on) = 0;
    virtual void SetOverlay(bool on) = 0;

    virtual bool DlgVideoFormat() = 0;
    virtual bool DlgVideoSource() = 0;
    virtual bool DlgVideoDisplay() = 0;
    virtual bool DlgVideoCompression() = 0;

    virtual bool GrabFrame() = 0;
    virtual bool FileSaveDib(const QString& fileName) = 0;
    virtual void FileSetCaptureFile(const QString& fileName) = 0;
    virtual bool FileAllocate(std::uint32_t bytes) = 0;
    virtual bool GetVideoFormat(FrameFormat& format) = 0;

    virtual bool GetSequenceSetup(SequenceSettings& parms) = 0;
    virtual bool SetSequenceSetup(const SequenceSettings& parms) = 0;
    virtual bool GetAudioFormat(SoundFormat& format) = 0;
    virtual bool SetAudioFormat(const SoundFormat& format) = 0;

    virtual bool Sequence() = 0;       // record to the capture file
    virtual bool SequenceNoFile() = 0; // frames reach only the callbacks
    virtual bool Stop() = 0;

    // Not capture requests: how the back-end reports an end it caused itself, and a way for
    // tests and end-to-end runs to make the device fail as an unplugged camera would.
    virtual void SetStoppedHandler(StoppedHandler handler) = 0;
    virtual void SimulateDeviceLost() = 0;
};

class CaptureBackend {
public:
    virtual ~CaptureBackend() = default;

    // Driver slot 0..9: true and name/version filled when a driver occupies the slot.
    virtual bool GetDriverDescription(int index, QString& name, QString& version) = 0;

    // A child window of parent at 0,0 with the given size; nullptr when none can be made.
    virtual std::unique_ptr<CaptureWindow> CreateCaptureWindow(const QString& windowName, QWidget* parent,
                                                               int width, int height) = 0;
};

// The program's capture service: the GStreamer back-end, made on first use. Tests may replace it.
CaptureBackend& ProgramCaptureBackend();
void SetProgramCaptureBackend(CaptureBackend* backend); // nullptr: back to the GStreamer one

} // namespace tarvo
