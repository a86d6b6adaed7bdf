#pragma once
// The capture service the capture device talks to. A CaptureBackend lists the drivers and
// opens capture sessions; a CaptureSession answers the capture requests of one connection.
// The device's rules (clamps, request order) live in CaptureDevice; a back-end only answers.
// Every request is made on the GUI thread; callbacks come as each method says.
#include "capture/CaptureDevices.h"
#include "capture/CaptureTypes.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

typedef struct _GstElement GstElement;

namespace tarvo {

// The log's sender name for the capture device's lines, whichever part writes them.
inline constexpr char CaptureLogSender[] = "TVideoCap";

// The driver dialogs, shown by the window side. A session asks them to edit its device's settings;
// each answers true when the user confirmed a choice, which the session then stores and applies.
class DriverDialogs {
public:
    virtual ~DriverDialogs() = default;
    // source: the running source element whose picture controls change at once, or nullptr.
    virtual bool Source(const DeviceEntry& device, DeviceSettings& settings, GstElement* source) = 0;
    virtual bool Format(const std::vector<CaptureMode>& modes, DeviceSettings& settings) = 0;
    virtual bool Compression(DeviceSettings& settings) = 0;
};

class CaptureSession {
public:
    // Called on the streaming thread; the header and its data are valid only during the call.
    using VideoCallback = std::function<void(const FrameBuffer& header)>;
    using WaveCallback = std::function<void(const SoundBuffer& header)>;
    // Called on any thread the back-end reports from.
    using TextCallback = std::function<void(int id, const QString& text)>;
    // Called on the GUI thread, from the event loop, when the back-end ended a sequence or lost the device by itself
    // (time limit, device unplugged, pipeline error). error is empty for an orderly end.
    using StoppedHandler = std::function<void(const QString& error)>;

    // Called on the GUI thread from the event loop, at most at the preview rate and one at a time
    // while previewing: a newer frame is there to show. PresentTaken() allows the next one.
    using PresentHandler = std::function<void()>;

    // Destroying the object ends the session.
    virtual ~CaptureSession() = default;

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

    virtual bool DlgVideoFormat(DriverDialogs& dialogs) = 0;
    virtual bool DlgVideoSource(DriverDialogs& dialogs) = 0;
    virtual bool DlgVideoDisplay(DriverDialogs& dialogs) = 0;
    virtual bool DlgVideoCompression(DriverDialogs& dialogs) = 0;

    // The preview's pictures. DecodeLatest: the latest frame as a picture; with a bound smaller
    // than the frame, scaled down at the cheapest stage to about that size.
    virtual void SetPresentHandler(PresentHandler handler) = 0;
    virtual void PresentTaken() = 0;
    virtual bool DecodeLatest(QImage& out, QSize bound) = 0;

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

    // A new, unconnected session; nullptr when none can be made.
    virtual std::unique_ptr<CaptureSession> CreateSession() = 0;
};

} // namespace tarvo
