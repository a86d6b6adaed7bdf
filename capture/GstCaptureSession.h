#pragma once
// One capture session over a GStreamer pipeline. While connected, the device runs into a frame
// sink whose callback (on the streaming thread) keeps the latest frame, hands each frame of a
// running sequence to the video-stream callback without copying, and tells the GUI thread of a
// frame to show at the preview rate. A recording rebuilds the pipeline with an AVI branch. Bus
// messages are forwarded to the GUI thread; the streaming thread never waits for it.
#include "capture/CaptureBackend.h"
#include "capture/CaptureDevices.h"
#include "capture/FrameDecoder.h"
#include "gst/GstPointers.h"
#include "common/UniqueFd.h"
#include "capture/PipelineDescription.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

typedef struct _GstAppSink GstAppSink;

namespace tarvo {

class GstCaptureBackend;

class GstCaptureSession final : public CaptureSession {
public:
    explicit GstCaptureSession(GstCaptureBackend& backend);
    ~GstCaptureSession() override;

    void SetCallbackStatus(TextCallback cb) override;
    void SetCallbackFrame(VideoCallback cb) override;
    void SetCallbackError(TextCallback cb) override;
    void SetCallbackVideoStream(VideoCallback cb) override;
    void SetCallbackWaveStream(WaveCallback cb) override;

    bool DriverConnect(int index) override;
    void DriverDisconnect() override;
    bool DriverGetCaps(DriverCapabilities& caps) override;
    bool GetStatus(CaptureStatus& status) override;

    void SetScale(bool scale) override;
    void SetPreviewRate(int milliseconds) override;
    void SetPreview(bool on) override;
    void SetOverlay(bool on) override;

    bool DlgVideoFormat(DriverDialogs& dialogs) override;
    bool DlgVideoSource(DriverDialogs& dialogs) override;
    bool DlgVideoDisplay(DriverDialogs& dialogs) override;
    bool DlgVideoCompression(DriverDialogs& dialogs) override;

    void SetPresentHandler(PresentHandler handler) override { presentHandler_ = std::move(handler); }
    // GUI thread: the one frame announced has been taken; the next one may be announced.
    void PresentTaken() override { presentPending_ = false; }
    bool DecodeLatest(QImage& out, QSize bound) override;

    bool GrabFrame() override;
    bool FileSaveDib(const QString& fileName) override;
    void FileSetCaptureFile(const QString& fileName) override;
    bool FileAllocate(std::uint32_t bytes) override;
    bool GetVideoFormat(FrameFormat& format) override;

    bool GetSequenceSetup(SequenceSettings& parms) override;
    bool SetSequenceSetup(const SequenceSettings& parms) override;
    bool GetAudioFormat(SoundFormat& format) override;
    bool SetAudioFormat(const SoundFormat& format) override;

    bool Sequence() override;
    bool SequenceNoFile() override;
    bool Stop() override;

    void SetStoppedHandler(StoppedHandler handler) override;
    void SimulateDeviceLost() override;

private:
    using Clock = std::chrono::steady_clock;

    static GstFlowReturn OnNewSample(GstAppSink* sink, gpointer self);
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
    void DeliverFrame(GstSample* sample);
    // Swaps one callback under callbackMutex_, so the old one is not running once this returns.
    template <class Callback> void ReplaceCallback(Callback& slot, Callback cb)
    {
        std::lock_guard lock(callbackMutex_);
        slot = std::move(cb);
    }

    bool StartPipeline(const std::optional<RecordingPlan>& recording);
    void StopPipeline();
    bool WaitForFrame(std::uint64_t after, std::chrono::milliseconds timeout);
    bool SnapshotLatest(GstBufferPtr& buffer, FrameFormat& format);
    void BeginSequence();
    void EndStreaming();
    bool FinishRecording();
    // Ends the recording's file with end-of-stream, waiting at most `limit` for it, so the AVI
    // gets its index whatever tears the pipeline down. True when the file was finished.
    bool FinishFile(std::chrono::milliseconds limit);
    void SendEndOfStream();
    // The test device plays a file in a loop.
    bool PlaysFile() const;
    // Teardown of the pipeline: the recording's file first.
    void EndPipeline();
    void HandleBusMessage(GstMessage* message, unsigned generation);
    void Fail(const QString& error);
    // GUI thread: announces the latest frame now, as a due one would be.
    void PresentNow();
    void ReportStopped(const QString& error);
    void ApplyColourBalance();
    void RestartAfterSettingsChange();
    std::optional<RecordingPlan> RecordingFromSetup();

    GstCaptureBackend& backend_;
    QObject guard_; // context of every queued call into this session
    FrameDecoder guiDecoder_;
    PresentHandler presentHandler_;

    // GUI thread only.
    std::optional<DeviceEntry> device_;
    DeviceSettings settings_;
    GstPipelinePtr pipeline_;
    GstElement* source_ = nullptr; // borrowed from pipeline_
    bool preview_ = false;
    bool scale_ = false;
    bool recording_ = false;
    bool capturing_ = false;
    bool endedInOrder_ = false; // the last sequence reached its time limit; no stop has asked since
    QString captureFile_;
    UniqueFd captureFd_; // the file a recording's pipeline writes; closed after the pipeline
    SequenceSettings parms_;
    SoundFormat wave_;
    QTimer limitTimer_;
    StoppedHandler stoppedHandler_;
    Clock::time_point sequenceStart_;

    // Shared with the streaming thread.
    std::mutex frameMutex_;
    std::condition_variable frameCv_;
    // The latest frame's buffer, not its sample: the frame sink reuses its one sample object and
    // must be able to change it, which a reference kept here would forbid.
    GstBufferPtr latest_;
    GstCapsPtr latestCaps_;
    FrameFormat format_;
    std::uint64_t frameCount_ = 0;
    bool eos_ = false;

    std::mutex callbackMutex_; // held while a callback runs, so Stop() returns after it
    VideoCallback videoCallback_;
    VideoCallback frameCallback_;
    TextCallback errorCallback_;
    TextCallback statusCallback_;
    WaveCallback waveCallback_;

    std::atomic<unsigned> generation_{0}; // tags bus messages; changes with every pipeline
    std::atomic<bool> streaming_{false};
    std::atomic<bool> previewOn_{false};
    std::atomic<bool> feedOn_{false}; // a frame callback is set
    std::atomic<bool> presentPending_{false};
    std::atomic<int> previewIntervalMs_{33};
    std::atomic<std::int64_t> frameIntervalUs_{0};
    std::atomic<std::int64_t> lastPresentUs_{0};
    std::atomic<std::int64_t> lastDeliveredUs_{0};
    std::atomic<std::int64_t> sequenceStartUs_{0};
    std::atomic<std::uint32_t> sequenceFrames_{0};
};

} // namespace tarvo
