#include "capture/GstCaptureSession.h"

#include "capture/BmpFile.h"
#include "capture/GstCaptureBackend.h"
#include "common/EventLog.h"
#include "common/SafeFileWrite.h"
#include "common/ThreadHandOver.h"

#include <QCoreApplication>
#include <QFile>
#include <gst/app/gstappsink.h>
#include <gst/video/colorbalance.h>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tarvo {

namespace {

constexpr auto ConnectTimeout = std::chrono::seconds(5);
constexpr auto GrabTimeout = std::chrono::seconds(3);
constexpr auto EosTimeout = std::chrono::seconds(10);
// A teardown (lost device, disconnect, exit) waits less: the device may be gone for good.
constexpr auto TeardownEosTimeout = std::chrono::seconds(3);
constexpr int ErrorIdDeviceLost = 1;
constexpr int StatusIdStarted = 1;
constexpr int StatusIdEnded = 2;

std::int64_t NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The capture file for writing from its start, as a recording's sink writes it: never through a
// symbolic link, and only a regular file (a FIFO planted under its name is refused, not waited on).
UniqueFd OpenCaptureFile(const QString& name)
{
    UniqueFd fd = OpenRegularFile(name, O_WRONLY | O_CREAT, 0666);
    if (!fd.Valid() || ::ftruncate(fd.Get(), 0) != 0)
        return {};
    return fd;
}

FrameFormat FormatFromCaps(GstCaps* caps)
{
    FrameFormat f;
    if (!caps || gst_caps_get_size(caps) == 0)
        return f;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int w = 0, h = 0;
    gst_structure_get_int(s, "width", &w);
    gst_structure_get_int(s, "height", &h);
    f.header.width = w;
    f.header.height = h;
    const QString media = gst_structure_get_name(s);
    const QString format = gst_structure_get_string(s, "format");
    const std::uint32_t pixels = std::uint32_t(w) * std::uint32_t(h);
    if (media == "image/jpeg") {
        f.header.compression = FOURCC_MJPG;
        f.header.bitCount = 24;
        f.header.imageSize = pixels * 3;
    } else if (format == "YUY2") {
        f.header.compression = FOURCC_YUY2;
        f.header.bitCount = 16;
    } else if (format == "I420") {
        f.header.compression = FOURCC_I420;
        f.header.bitCount = 12;
    }
    if (f.header.imageSize == 0)
        f.header.imageSize = std::uint32_t(FrameDecoder::ExpectedSize(f));
    return f;
}

// Streaming thread: the frame about to pass `pad` is replaced by end-of-stream.
GstPadProbeReturn EndStreamAtNextFrame(GstPad* pad, GstPadProbeInfo* info, gpointer)
{
    gst_pad_remove_probe(pad, GST_PAD_PROBE_INFO_ID(info));
    gst_pad_push_event(pad, gst_event_new_eos());
    return GST_PAD_PROBE_DROP;
}

} // namespace

GstCaptureSession::GstCaptureSession(GstCaptureBackend& backend) : backend_(backend)
{
    limitTimer_.setSingleShot(true);
    QObject::connect(&limitTimer_, &QTimer::timeout, &guard_, [this] {
        // The time limit ends the sequence as the platform would: orderly, by itself.
        if (capturing_) {
            endedInOrder_ = Stop();
            ReportStopped({});
        }
    });
}

GstCaptureSession::~GstCaptureSession()
{
    EndStreaming();
    EndPipeline();
}

// ---- callbacks ----

void GstCaptureSession::SetCallbackStatus(TextCallback cb) { ReplaceCallback(statusCallback_, std::move(cb)); }

void GstCaptureSession::SetCallbackFrame(VideoCallback cb)
{
    feedOn_ = bool(cb);
    ReplaceCallback(frameCallback_, std::move(cb));
}

void GstCaptureSession::SetCallbackError(TextCallback cb) { ReplaceCallback(errorCallback_, std::move(cb)); }

void GstCaptureSession::SetCallbackVideoStream(VideoCallback cb) { ReplaceCallback(videoCallback_, std::move(cb)); }

void GstCaptureSession::SetCallbackWaveStream(WaveCallback cb) { ReplaceCallback(waveCallback_, std::move(cb)); }

void GstCaptureSession::SetStoppedHandler(StoppedHandler handler) { stoppedHandler_ = std::move(handler); }

// ---- the pipeline ----

bool GstCaptureSession::StartPipeline(const std::optional<RecordingPlan>& recording)
{
    StopPipeline();
    if (!device_)
        return false;
    UniqueFd file;
    if (recording) {
        file = OpenCaptureFile(captureFile_);
        if (!file.Valid())
            return false;
    }
    std::optional<QSize> fileJpegSize;
    if (PlaysFile())
        fileJpegSize = JpegAviFrameSize(device_->path);
    const QString description = PipelineDescription(*device_, settings_, recording, fileJpegSize);
    GError* rawError = nullptr;
    GstElement* made = gst_parse_launch(description.toUtf8().constData(), &rawError);
    GErrorPtr error(rawError);
    if (!made) {
        ProgramLog().WriteLog("Capture pipeline not available: " + QString::fromUtf8(error ? error->message : ""),
                              true, CaptureLogSender);
        return false;
    }
    pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(made)));
    ++generation_;
    {
        std::lock_guard lock(frameMutex_);
        eos_ = false;
    }

    GstElementPtr src(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "src"));
    source_ = src.get(); // the pipeline keeps it alive
    if (device_->kind == DeviceEntry::Kind::V4l2)
        g_object_set(source_, "device", device_->path.toUtf8().constData(), nullptr);
    else if (!device_->path.isEmpty())
        g_object_set(source_, "location", device_->path.toUtf8().constData(), nullptr);
    if (recording) {
        GstElementPtr sink(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "sink"));
        captureFd_ = std::move(file);
        g_object_set(sink.get(), "fd", captureFd_.Get(), nullptr);
    }
    GstElementPtr frames(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "frames"));
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &GstCaptureSession::OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(frames.get()), &callbacks, this, nullptr);

    GstBusPtr bus(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus.get(), &GstCaptureSession::OnBusMessage, this, nullptr);

    std::uint64_t framesBefore;
    {
        std::lock_guard lock(frameMutex_);
        framesBefore = frameCount_;
    }
    HandOverRelease(this); // to the pipeline's threads, pooled ones that ran earlier pipelines included
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ||
        gst_element_get_state(pipeline_.get(), nullptr, nullptr, GST_SECOND * 5) == GST_STATE_CHANGE_FAILURE ||
        !WaitForFrame(framesBefore, ConnectTimeout)) {
        StopPipeline();
        return false;
    }
    // A played file loops by segments. Without a flush: a flush would reset a recording's muxer
    // after it began its file.
    if (PlaysFile())
        gst_element_seek_simple(pipeline_.get(), GST_FORMAT_TIME, GST_SEEK_FLAG_SEGMENT, 0);
    ApplyColourBalance();
    return true;
}

bool GstCaptureSession::PlaysFile() const
{
    return device_ && device_->kind == DeviceEntry::Kind::TestPattern && !device_->path.isEmpty();
}

void GstCaptureSession::StopPipeline()
{
    if (!pipeline_)
        return;
    ++generation_; // messages still on their way to the GUI thread are dropped
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL); // joins the streaming threads
    HandOverAcquire(this);
    GstBusPtr bus(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    source_ = nullptr;
    pipeline_.reset();
    captureFd_.Reset();
}

bool GstCaptureSession::WaitForFrame(std::uint64_t after, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(frameMutex_);
    return frameCv_.wait_for(lock, timeout, [&] { return frameCount_ > after || eos_; }) && frameCount_ > after;
}

GstFlowReturn GstCaptureSession::OnNewSample(GstAppSink* sink, gpointer self)
{
    const HandOverScope streaming(self);
    GstSamplePtr sample(gst_app_sink_pull_sample(sink));
    if (sample)
        static_cast<GstCaptureSession*>(self)->DeliverFrame(sample.get());
    return GST_FLOW_OK;
}

// Streaming thread.
void GstCaptureSession::DeliverFrame(GstSample* sample)
{
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    {
        std::lock_guard lock(frameMutex_);
        if (caps && (!latestCaps_ || !gst_caps_is_equal(caps, latestCaps_.get()))) {
            latestCaps_.reset(gst_caps_ref(caps));
            format_ = FormatFromCaps(caps);
        }
        latest_.reset(buffer ? gst_buffer_ref(buffer) : nullptr);
        ++frameCount_;
    }
    frameCv_.notify_all();

    const std::int64_t now = NowUs();
    const bool streaming = streaming_.load();
    // A frame callback gets every frame of the running camera, previewed or not: its taker decides
    // what it needs (the live view copies one only while someone watches).
    if (streaming || previewOn_.load() || feedOn_.load()) {
        // Frames faster than the requested rate are skipped (a quarter period of jitter allowed).
        const std::int64_t sinceLast = now - lastDeliveredUs_.load();
        const bool due = !streaming || sinceLast >= frameIntervalUs_.load() * 3 / 4;
        GstMapInfo map;
        if (due && buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            FrameBuffer header;
            header.data = map.data;
            header.capacity = header.bytesUsed = std::uint32_t(map.size);
            {
                std::lock_guard lock(callbackMutex_);
                // Checked under the lock: after Stop() no frame of the old sequence gets through.
                if (streaming && streaming_.load() && videoCallback_) {
                    lastDeliveredUs_ = now;
                    ++sequenceFrames_;
                    header.capturedMs = std::uint32_t((now - sequenceStartUs_.load()) / 1000);
                    videoCallback_(header);
                }
                // Also during a sequence: a recording hands its frames to nobody else.
                if (frameCallback_)
                    frameCallback_(header);
            }
            gst_buffer_unmap(buffer, &map);
        }
    }

    if (previewOn_.load() && now - lastPresentUs_.load() >= std::int64_t(previewIntervalMs_.load()) * 1000 &&
        !presentPending_.exchange(true)) {
        lastPresentUs_ = now;
        PostQueued(&guard_, [this] {
            if (presentHandler_)
                presentHandler_();
            else
                presentPending_ = false;
        });
    }
}

GstBusSyncReply GstCaptureSession::OnBusMessage(GstBus*, GstMessage* message, gpointer selfPointer)
{
    auto* self = static_cast<GstCaptureSession*>(selfPointer);
    const HandOverScope streaming(self);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS: {
        std::lock_guard lock(self->frameMutex_);
        self->eos_ = true;
    }
        self->frameCv_.notify_all();
        [[fallthrough]];
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_SEGMENT_DONE: {
        std::shared_ptr<GstMessage> held(gst_message_ref(message), [](GstMessage* m) { gst_message_unref(m); });
        const unsigned generation = self->generation_.load();
        PostQueued(&self->guard_, [self, held, generation] { self->HandleBusMessage(held.get(), generation); });
        break;
    }
    default:
        break;
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void GstCaptureSession::HandleBusMessage(GstMessage* message, unsigned generation)
{
    if (generation != generation_ || !pipeline_)
        return;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_SEGMENT_DONE:
        // The looped test file: start it again without a flush, so time keeps running.
        gst_element_seek_simple(pipeline_.get(), GST_FORMAT_TIME, GST_SEEK_FLAG_SEGMENT, 0);
        break;
    case GST_MESSAGE_ERROR: {
        GError* raw = nullptr;
        gst_message_parse_error(message, &raw, nullptr);
        GErrorPtr error(raw);
        Fail(QString::fromUtf8(error ? error->message : "unknown error"));
        break;
    }
    case GST_MESSAGE_EOS:
        if (!recording_ || capturing_)
            Fail("the device ended its stream");
        break;
    default:
        break;
    }
}

void GstCaptureSession::Fail(const QString& error)
{
    limitTimer_.stop();
    // First, so that the owner can cut short what a frame callback in progress waits for: ending
    // the stream waits for that callback. The error callback is set and called on this (the GUI)
    // thread only, so the frame lock is not needed for it.
    if (errorCallback_)
        errorCallback_(ErrorIdDeviceLost, error);
    EndStreaming();
    EndPipeline();
    capturing_ = false;
    recording_ = false;
    ReportStopped(error);
}

// The device hears of it from the event loop, never from inside one of its own requests; also
// when this session is gone by then (the handler checks that its device still is there).
void GstCaptureSession::ReportStopped(const QString& error)
{
    if (!stoppedHandler_)
        return;
    PostQueued(QCoreApplication::instance(), [handler = stoppedHandler_, error] { handler(error); });
}

void GstCaptureSession::PresentNow()
{
    presentPending_ = true;
    if (presentHandler_)
        presentHandler_();
    else
        presentPending_ = false;
}

void GstCaptureSession::ApplyColourBalance()
{
    if (!source_ || !GST_IS_COLOR_BALANCE(source_))
        return;
    GstColorBalance* balance = GST_COLOR_BALANCE(source_);
    for (const QString& entry : settings_.colourBalance) {
        const QString label = entry.section('=', 0, 0);
        const int value = entry.section('=', 1).toInt();
        for (const GList* l = gst_color_balance_list_channels(balance); l; l = l->next) {
            auto* channel = GST_COLOR_BALANCE_CHANNEL(l->data);
            if (label == channel->label)
                gst_color_balance_set_value(balance, channel, std::clamp(value, channel->min_value, channel->max_value));
        }
    }
}

// ---- connection, caps, status ----

bool GstCaptureSession::DriverConnect(int index)
{
    device_ = backend_.Device(index);
    if (!device_)
        return false;
    settings_ = DeviceSettings::Load(*device_, backend_.Store());
    return StartPipeline(std::nullopt);
}

void GstCaptureSession::DriverDisconnect()
{
    limitTimer_.stop();
    EndStreaming();
    EndPipeline();
    capturing_ = false;
    recording_ = false;
    device_.reset();
}

bool GstCaptureSession::DriverGetCaps(DriverCapabilities& caps)
{
    if (!device_)
        return false;
    caps = DriverCapabilities{};
    caps.hasOverlay = 0;
    caps.hasSourceDialog = 1;
    caps.hasFormatDialog = 1;
    caps.hasDisplayDialog = 0;
    caps.initialized = pipeline_ ? 1 : 0;
    return true;
}

bool GstCaptureSession::GetStatus(CaptureStatus& status)
{
    status = CaptureStatus{};
    {
        std::lock_guard lock(frameMutex_);
        status.imageWidth = std::uint32_t(format_.width());
        status.imageHeight = std::uint32_t(format_.height());
    }
    status.previewing = preview_ ? 1 : 0;
    status.scaling = scale_ ? 1 : 0;
    status.hasAudio = 1;
    status.captureFileExists = !captureFile_.isEmpty() && QFile::exists(captureFile_);
    status.capturing = capturing_ ? 1 : 0;
    if (capturing_) {
        status.framesCaptured = sequenceFrames_.load();
        status.elapsedMs = std::uint32_t((NowUs() - sequenceStartUs_.load()) / 1000);
    }
    return device_.has_value();
}

// ---- preview ----

void GstCaptureSession::SetScale(bool scale) { scale_ = scale; }

void GstCaptureSession::SetPreviewRate(int milliseconds) { previewIntervalMs_ = std::max(1, milliseconds); }

void GstCaptureSession::SetPreview(bool on)
{
    preview_ = on;
    previewOn_ = on;
    if (on)
        PresentNow();
}

void GstCaptureSession::SetOverlay(bool) {}

bool GstCaptureSession::DecodeLatest(QImage& out, QSize bound)
{
    GstBufferPtr buffer;
    FrameFormat format;
    if (!SnapshotLatest(buffer, format))
        return false;
    GstMapInfo map;
    if (!gst_buffer_map(buffer.get(), &map, GST_MAP_READ))
        return false;
    const bool ok = guiDecoder_.DrawForView(format, map.data, map.size, bound, out);
    gst_buffer_unmap(buffer.get(), &map);
    return ok;
}

bool GstCaptureSession::SnapshotLatest(GstBufferPtr& buffer, FrameFormat& format)
{
    std::lock_guard lock(frameMutex_);
    if (!latest_)
        return false;
    buffer.reset(gst_buffer_ref(latest_.get()));
    format = format_;
    return true;
}

// ---- dialogs: the choices apply to the running device at once ----

void GstCaptureSession::RestartAfterSettingsChange()
{
    settings_.Save(*device_, backend_.Store());
    if (pipeline_ && !capturing_)
        StartPipeline(std::nullopt);
}

bool GstCaptureSession::DlgVideoFormat(DriverDialogs& dialogs)
{
    if (!device_ || capturing_)
        return false;
    if (!dialogs.Format(AvailableModes(*device_), settings_))
        return false;
    RestartAfterSettingsChange();
    return true;
}

bool GstCaptureSession::DlgVideoSource(DriverDialogs& dialogs)
{
    if (!device_)
        return false;
    const QString pattern = settings_.pattern;
    if (!dialogs.Source(*device_, settings_, source_))
        return false;
    if (settings_.pattern != pattern)
        RestartAfterSettingsChange();
    else
        settings_.Save(*device_, backend_.Store());
    return true;
}

bool GstCaptureSession::DlgVideoDisplay(DriverDialogs&) { return false; }

bool GstCaptureSession::DlgVideoCompression(DriverDialogs& dialogs)
{
    if (!device_ || !dialogs.Compression(settings_))
        return false;
    settings_.Save(*device_, backend_.Store());
    return true;
}

// ---- frames and files ----

bool GstCaptureSession::GrabFrame()
{
    if (!pipeline_)
        return false;
    std::uint64_t before;
    {
        std::lock_guard lock(frameMutex_);
        before = frameCount_;
    }
    if (!WaitForFrame(before, GrabTimeout))
        return false;
    PresentNow();
    return true;
}

bool GstCaptureSession::FileSaveDib(const QString& fileName)
{
    QImage picture;
    return DecodeLatest(picture, QSize()) && WriteBmpFile(fileName, picture);
}

void GstCaptureSession::FileSetCaptureFile(const QString& fileName) { captureFile_ = fileName; }

bool GstCaptureSession::FileAllocate(std::uint32_t bytes)
{
    QFile file(captureFile_);
    return !captureFile_.isEmpty() && file.open(QIODevice::ReadWrite) && file.resize(qint64(bytes));
}

bool GstCaptureSession::GetVideoFormat(FrameFormat& format)
{
    std::lock_guard lock(frameMutex_);
    format = format_;
    return latest_ != nullptr;
}

bool GstCaptureSession::GetSequenceSetup(SequenceSettings& parms)
{
    parms = parms_;
    return true;
}

bool GstCaptureSession::SetSequenceSetup(const SequenceSettings& parms)
{
    parms_ = parms;
    return true;
}

bool GstCaptureSession::GetAudioFormat(SoundFormat& format)
{
    format = wave_;
    return true;
}

bool GstCaptureSession::SetAudioFormat(const SoundFormat& format)
{
    if (format.channels < 1 || format.channels > 2 ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16) || format.samplesPerSec == 0)
        return false;
    wave_ = format;
    return true;
}

// ---- sequences ----

std::optional<RecordingPlan> GstCaptureSession::RecordingFromSetup()
{
    RecordingPlan plan;
    plan.maxFps = parms_.usPerFrame ? int((1000000 + parms_.usPerFrame / 2) / parms_.usPerFrame) : 30;
    plan.audio = parms_.captureSound != 0;
    plan.microphone = device_->kind == DeviceEntry::Kind::V4l2;
    if (plan.audio && plan.microphone && !MicrophoneAvailable()) {
        ProgramLog().WriteLog("No microphone found: recording without sound", true, CaptureLogSender);
        plan.audio = false;
    }
    plan.sampleRate = int(wave_.samplesPerSec);
    plan.channels = wave_.channels;
    plan.bitsPerSample = wave_.bitsPerSample;
    return plan;
}

void GstCaptureSession::BeginSequence()
{
    capturing_ = true;
    endedInOrder_ = false;
    sequenceFrames_ = 0;
    const std::int64_t us = std::int64_t(parms_.usPerFrame);
    frameIntervalUs_ = us;
    sequenceStartUs_ = NowUs();
    lastDeliveredUs_ = NowUs() - 10 * us - 1000000;
    streaming_ = true;
    if (parms_.timeLimited && parms_.timeLimitSec > 0)
        limitTimer_.start(int(parms_.timeLimitSec) * 1000);
    std::lock_guard lock(callbackMutex_);
    if (statusCallback_)
        statusCallback_(StatusIdStarted, "Capture started");
}

void GstCaptureSession::EndStreaming()
{
    streaming_ = false;
    // Wait out a frame callback in progress: after this no frame of the sequence is delivered.
    std::lock_guard lock(callbackMutex_);
}

bool GstCaptureSession::SequenceNoFile()
{
    if (!device_ || capturing_)
        return false;
    if (!pipeline_ && !StartPipeline(std::nullopt))
        return false;
    BeginSequence();
    return true;
}

bool GstCaptureSession::Sequence()
{
    if (!device_ || capturing_ || captureFile_.isEmpty())
        return false;
    if (!StartPipeline(RecordingFromSetup())) {
        ProgramLog().WriteLog("Could not start recording to " + captureFile_, true, CaptureLogSender);
        StartPipeline(std::nullopt);
        return false;
    }
    recording_ = true;
    BeginSequence();
    return true;
}

bool GstCaptureSession::FinishFile(std::chrono::milliseconds limit)
{
    if (!recording_ || !pipeline_)
        return true;
    recording_ = false;
    SendEndOfStream();
    bool finished;
    {
        std::unique_lock lock(frameMutex_);
        finished = frameCv_.wait_for(lock, limit, [this] { return eos_; });
    }
    if (!finished)
        ProgramLog().WriteLog("Recording did not finish in time: " + captureFile_, true, CaptureLogSender);
    return finished;
}

void GstCaptureSession::SendEndOfStream()
{
    if (!PlaysFile()) {
        gst_element_send_event(pipeline_.get(), gst_event_new_eos()); // to every source
        return;
    }
    // A played file's demuxer takes an end-of-stream from its file for the end of one round of
    // the loop, and the next round starts: the stream is ended behind it, at the next frame.
    GstElementPtr tee(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "t"));
    GstPadPtr teeInput(gst_element_get_static_pad(tee.get(), "sink"));
    if (GstPadPtr frames{gst_pad_get_peer(teeInput.get())})
        gst_pad_add_probe(frames.get(), GST_PAD_PROBE_TYPE_BUFFER, &EndStreamAtNextFrame, nullptr, nullptr);
    if (GstElementPtr sound{gst_bin_get_by_name(GST_BIN(pipeline_.get()), "sound")})
        gst_element_send_event(sound.get(), gst_event_new_eos());
}

void GstCaptureSession::EndPipeline()
{
    FinishFile(TeardownEosTimeout);
    StopPipeline();
}

bool GstCaptureSession::FinishRecording()
{
    const bool finished = FinishFile(EosTimeout);
    StartPipeline(std::nullopt);
    return finished;
}

bool GstCaptureSession::Stop()
{
    if (!device_)
        return false;
    limitTimer_.stop();
    EndStreaming();
    const bool wasCapturing = capturing_;
    capturing_ = false;
    // Only a sequence that ran ends well: one that never started or failed did not, while one that
    // reached its time limit did, and the user's stop after it still says so.
    bool result = wasCapturing || std::exchange(endedInOrder_, false);
    if (recording_ && pipeline_)
        result = FinishRecording() && result;
    if (wasCapturing) {
        std::lock_guard lock(callbackMutex_);
        if (statusCallback_)
            statusCallback_(StatusIdEnded, "Capture ended");
    }
    return result;
}

void GstCaptureSession::SimulateDeviceLost()
{
    if (!source_)
        return;
    GErrorPtr error(g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "the device was unplugged"));
    gst_element_post_message(source_, gst_message_new_error(GST_OBJECT(source_), error.get(), "simulated"));
}

} // namespace tarvo
