#include "app/clips/ClipWriter.h"

#include "common/SafeFileWrite.h"
#include "common/ThreadHandOver.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <gst/app/gstappsrc.h>
#include <sys/stat.h>
#include <utility>

namespace tarvo {

namespace {
// GStreamer may hold this much of the clip before Write waits for the disk.
constexpr guint64 PendingBytesLimit = 8u << 20;
// How often a waiting Write looks at the bus for an error.
constexpr GstClockTime PendingPoll = 20 * GST_MSECOND;
// The muxer rewrites the file's header and index at the end; a stuck disk ends the wait.
constexpr std::chrono::seconds FinishLimit{30};

// GStreamer's thread frees the picture: what the writer thread did to it is handed over.
void FreeByteArray(gpointer data)
{
    HandOverAcquire(data);
    delete static_cast<QByteArray*>(data);
}

// Memory sharing the first size bytes of bytes; the last owner frees them on whichever thread.
// Everything this thread reads of them is read before they are handed over.
GstMemory* SharedMemory(const QByteArray& bytes, qsizetype size)
{
    auto* owned = new QByteArray(bytes);
    auto* data = const_cast<char*>(owned->constData());
    HandOverRelease(owned);
    return gst_memory_new_wrapped(GST_MEMORY_FLAG_READONLY, data, gsize(size), 0, gsize(size), owned, FreeByteArray);
}
} // namespace

GstElement* LaunchPipeline(const QByteArray& description, QString* error)
{
    GError* raw = nullptr;
    GstElement* pipeline = gst_parse_launch(description.constData(), &raw);
    GErrorPtr parseError(raw);
    if (pipeline && !parseError)
        return pipeline;
    if (pipeline)
        gst_object_unref(pipeline);
    *error = parseError ? QString::fromUtf8(parseError->message) : QStringLiteral("no pipeline");
    return nullptr;
}

QString BusErrorText(GstMessage* message)
{
    GError* raw = nullptr;
    gst_message_parse_error(message, &raw, nullptr);
    GErrorPtr err(raw);
    return err ? QString::fromUtf8(err->message) : QStringLiteral("unknown error");
}

ClipWriter::~ClipWriter() { Abandon(); }

bool ClipWriter::Open(UniqueFd file, const QString& path, QSize size, int fps, int soundRate)
{
    path_ = path;
    file_ = std::move(file);
    QString text = QStringLiteral("appsrc name=src format=time ! videorate ! image/jpeg,framerate=%1/1 ! mux.").arg(fps);
    if (soundRate > 0)
        text += QStringLiteral(" appsrc name=sound format=time ! mux.");
    // The file was made by the caller, never through a link: GStreamer writes to it as it is.
    text += QStringLiteral(" avimux name=mux ! fdsink sync=false fd=%1").arg(file_.Get());
    GstElement* pipeline = LaunchPipeline(text.toUtf8(), &error_);
    if (!pipeline) {
        Abandon();
        return false;
    }
    pipeline_.reset(pipeline);
    source_.reset(gst_bin_get_by_name(GST_BIN(pipeline), "src"));
    GstCapsPtr caps(gst_caps_new_simple("image/jpeg", "width", G_TYPE_INT, size.width(), "height", G_TYPE_INT,
                                        size.height(), "framerate", GST_TYPE_FRACTION, 0, 1, nullptr));
    gst_app_src_set_caps(GST_APP_SRC(source_.get()), caps.get());
    soundRate_ = soundRate;
    if (soundRate > 0) {
        sound_.reset(gst_bin_get_by_name(GST_BIN(pipeline), "sound"));
        GstCapsPtr pcm(gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate", G_TYPE_INT, soundRate,
                                           "channels", G_TYPE_INT, 1, "layout", G_TYPE_STRING, "interleaved", nullptr));
        gst_app_src_set_caps(GST_APP_SRC(sound_.get()), pcm.get());
    }
    bus_.reset(gst_element_get_bus(pipeline));
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        if (!TakeError(0))
            error_ = QStringLiteral("the clip's pipeline did not start");
        Abandon();
        return false;
    }
    return true;
}

bool ClipWriter::Write(const QByteArray& jpeg, std::uint32_t sinceStartMs)
{
    return Write(jpeg, jpeg.size(), {}, sinceStartMs);
}

bool ClipWriter::Write(const QByteArray& head, qsizetype kept, const QByteArray& rest, std::uint32_t sinceStartMs)
{
    if (!pipeline_ || !WaitForRoom())
        return false;
    if (TakeError(0)) {
        Abandon();
        return false;
    }
    // The buffer shares the picture's bytes, in one or two pieces.
    GstBuffer* buffer = gst_buffer_new();
    if (kept > 0)
        gst_buffer_append_memory(buffer, SharedMemory(head, kept));
    if (!rest.isEmpty())
        gst_buffer_append_memory(buffer, SharedMemory(rest, rest.size()));
    // Times must rise for the muxer; two pictures of one millisecond are kept a nanosecond apart.
    std::uint64_t pts = std::uint64_t(sinceStartMs) * GST_MSECOND;
    if (wrote_ && pts <= lastPts_)
        pts = lastPts_ + 1;
    lastPts_ = pts;
    wrote_ = true;
    GST_BUFFER_PTS(buffer) = pts;
    if (gst_app_src_push_buffer(GST_APP_SRC(source_.get()), buffer) != GST_FLOW_OK) {
        if (!TakeError(0))
            error_ = QStringLiteral("the clip's pipeline refused a picture");
        Abandon();
        return false;
    }
    return true;
}

bool ClipWriter::WaitForRoom()
{
    auto* appsrc = GST_APP_SRC(source_.get());
    guint64 lowest = gst_app_src_get_current_level_bytes(appsrc);
    auto deadline = std::chrono::steady_clock::now() + StallLimit;
    for (guint64 level = lowest; level > PendingBytesLimit; level = gst_app_src_get_current_level_bytes(appsrc)) {
        if (TakeError(PendingPoll)) {
            Abandon();
            return false;
        }
        if (!KeepWaiting())
            return false;
        // A slow disk still takes something now and then; one that takes nothing holds the clip.
        const auto now = std::chrono::steady_clock::now();
        if (level < lowest) {
            lowest = level;
            deadline = now + StallLimit;
        } else if (now >= deadline) {
            error_ = QStringLiteral("the clip's pipeline took nothing for %1 s").arg(StallLimit.count());
            Abandon();
            return false;
        }
    }
    return true;
}

bool ClipWriter::KeepWaiting()
{
    if (!waitHook_ || waitHook_())
        return true;
    error_ = QStringLiteral("the clip was not finished in time");
    Abandon();
    return false;
}

bool ClipWriter::WriteSound(const QByteArray& pcm)
{
    if (!pipeline_ || !sound_ || pcm.isEmpty())
        return pipeline_ != nullptr;
    const std::uint64_t samples = std::uint64_t(pcm.size()) / 2;
    GstBuffer* buffer = gst_buffer_new_memdup(pcm.constData(), gsize(samples * 2));
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(soundSamples_, GST_SECOND, std::uint64_t(soundRate_));
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(samples, GST_SECOND, std::uint64_t(soundRate_));
    soundSamples_ += samples;
    if (gst_app_src_push_buffer(GST_APP_SRC(sound_.get()), buffer) != GST_FLOW_OK) {
        if (!TakeError(0))
            error_ = QStringLiteral("the clip's pipeline refused its sound");
        Abandon();
        return false;
    }
    return true;
}

void ClipWriter::EndSound()
{
    if (!sound_)
        return;
    gst_app_src_end_of_stream(GST_APP_SRC(sound_.get()));
    sound_.reset();
}

bool ClipWriter::Finish()
{
    if (!pipeline_)
        return false;
    EndSound();
    gst_app_src_end_of_stream(GST_APP_SRC(source_.get()));
    const auto deadline = std::chrono::steady_clock::now() + FinishLimit;
    GstMessagePtr message;
    while (!message && std::chrono::steady_clock::now() < deadline) {
        message.reset(gst_bus_timed_pop_filtered(bus_.get(), PendingPoll, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
        if (!message && !KeepWaiting())
            return false;
    }
    bool finished = false;
    if (!message) {
        error_ = QStringLiteral("the clip was not finished in time");
    } else if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
        error_ = BusErrorText(message.get());
    } else {
        finished = true;
    }
    if (!finished) {
        Abandon();
        return false;
    }
    // Stopping the pipeline lets go of the file; it stays where it is for the caller to rename.
    source_.reset();
    sound_.reset();
    bus_.reset();
    pipeline_.reset();
    // The close reports a write the disk failed late.
    // Private while unfinished; a finished clip may be read like any file the user saves.
    if (::fchmod(file_.Get(), NewFileMode()) != 0 || !file_.Reset()) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(path_);
        return false;
    }
    return true;
}

bool ClipWriter::TakeError(GstClockTime wait)
{
    GstMessagePtr message(gst_bus_timed_pop_filtered(bus_.get(), wait, GST_MESSAGE_ERROR));
    if (!message)
        return false;
    error_ = BusErrorText(message.get());
    return true;
}

void ClipWriter::Abandon()
{
    source_.reset();
    sound_.reset();
    bus_.reset();
    pipeline_.reset();
    if (file_.Valid()) {
        file_.Reset();
        QFile::remove(path_);
    }
}

} // namespace tarvo
