#include "capture/PipelineDescription.h"

#include "gst/GstPointers.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace tarvo {

namespace {

QString RawCaps(const QString& format, const CaptureMode& m)
{
    return QString("video/x-raw,format=%1,width=%2,height=%3,framerate=%4/1").arg(format).arg(m.width).arg(m.height).arg(m.fps);
}

QString ModeCaps(const CaptureMode& m)
{
    if (m.format == "MJPG")
        return QString("image/jpeg,width=%1,height=%2,framerate=%3/1").arg(m.width).arg(m.height).arg(m.fps);
    return RawCaps(m.format, m);
}

// A raw picture in the mode's size and rate, turned into the mode's format.
QString ToMode(const CaptureMode& m, int quality)
{
    if (m.format == "MJPG")
        return RawCaps("I420", m) + QString(" ! jpegenc quality=%1 ! image/jpeg").arg(quality);
    return RawCaps(m.format, m);
}

QString Source(const DeviceEntry& device, const DeviceSettings& settings, const std::optional<QSize>& fileJpegSize)
{
    const auto mode = EffectiveMode(device, settings);
    if (device.kind == DeviceEntry::Kind::V4l2) {
        if (mode)
            return "v4l2src name=src ! " + ModeCaps(*mode);
        // Let the camera choose among what the decoder reads.
        return "v4l2src name=src ! capsfilter caps=\"video/x-raw,format=(string){YUY2,I420};image/jpeg\"";
    }
    // The file's JPEG frames, paced by their timestamps, as an MJPEG camera delivers them: nothing
    // is decoded or encoded, so the device costs what a camera costs.
    if (!device.path.isEmpty() && mode->format == "MJPG" && fileJpegSize == QSize(mode->width, mode->height))
        return "filesrc name=src ! avidemux ! image/jpeg ! identity sync=true";
    if (!device.path.isEmpty())
        return "filesrc name=src ! decodebin ! videoconvert ! videoscale ! videorate ! " + ToMode(*mode, 85) +
               " ! identity sync=true";
    return QString("videotestsrc name=src is-live=true pattern=%1 ! ").arg(settings.pattern) + ToMode(*mode, 85);
}

QString RecordedVideo(const std::optional<CaptureMode>& mode, const DeviceSettings& settings)
{
    const bool jpegSource = mode && mode->format == "MJPG";
    if (settings.compressMjpeg)
        return jpegSource ? QString() : QString(" ! jpegenc quality=%1").arg(settings.mjpegQuality);
    return jpegSource ? " ! jpegdec ! videoconvert ! video/x-raw,format=I420" : QString();
}

} // namespace

std::optional<CaptureMode> EffectiveMode(const DeviceEntry& device, const DeviceSettings& settings)
{
    if (settings.modeChosen || device.kind == DeviceEntry::Kind::TestPattern)
        return settings.mode;
    return std::nullopt;
}

QString PipelineDescription(const DeviceEntry& device, const DeviceSettings& settings,
                            const std::optional<RecordingPlan>& recording, const std::optional<QSize>& fileJpegSize)
{
    QString d = Source(device, settings, fileJpegSize) +
                " ! tee name=t"
                " t. ! queue leaky=downstream max-size-buffers=2 max-size-bytes=0 max-size-time=0"
                " ! appsink name=frames sync=false max-buffers=1 drop=true";
    if (!recording)
        return d;
    d += QString(" t. ! queue max-size-buffers=0 max-size-bytes=0 max-size-time=3000000000"
                 " ! videorate drop-only=true max-rate=%1")
             .arg(std::max(1, recording->maxFps)) +
         RecordedVideo(EffectiveMode(device, settings), settings) + " ! mux.";
    if (recording->audio) {
        d += " " + SoundSource(recording->microphone) + " name=sound";
        d += QString(" ! audioconvert ! audioresample ! audio/x-raw,format=%1,rate=%2,channels=%3,layout=interleaved"
                     " ! queue ! mux.")
                 .arg(recording->bitsPerSample == 8 ? "U8" : "S16LE")
                 .arg(recording->sampleRate)
                 .arg(recording->channels);
    }
    // The capture session opens the file itself and hands its descriptor to the sink.
    d += " avimux name=mux ! fdsink name=sink";
    return d;
}

bool MicrophoneAvailable()
{
    GstElement* made = gst_element_factory_make("autoaudiosrc", nullptr);
    if (!made)
        return false;
    GstElementPtr src(GST_ELEMENT(gst_object_ref_sink(made)));
    if (gst_element_set_state(src.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(src.get(), GST_STATE_NULL);
        return false;
    }
    bool real = false;
    GstIterator* it = gst_bin_iterate_elements(GST_BIN(src.get()));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GstElement* child = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(child);
        if (factory && QString(GST_OBJECT_NAME(factory)) != "audiotestsrc")
            real = true;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    gst_element_set_state(src.get(), GST_STATE_NULL);
    return real;
}

QString SoundSource(bool microphone)
{
    return microphone ? QStringLiteral("autoaudiosrc") : QStringLiteral("audiotestsrc is-live=true wave=sine freq=440 volume=0.3");
}

namespace {

std::uint32_t Le32(const char* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return qFromLittleEndian(v);
}

// Walks the chunks of [begin, end) and the lists inside them, up to the frame data: the video
// stream's header ("strh" of type "vids") is followed by its format, a BitmapHeader.
std::optional<QSize> FindVideoFormat(const QByteArray& data, std::size_t begin, std::size_t end, bool& video)
{
    std::size_t at = begin;
    while (at + 8 <= end) {
        const char* chunk = data.constData() + at;
        const std::size_t size = Le32(chunk + 4);
        const std::size_t body = at + 8;
        if (size > end - body)
            return std::nullopt; // the header goes on beyond what was read
        if (std::memcmp(chunk, "LIST", 4) == 0 && size >= 4) {
            if (std::memcmp(chunk + 8, "movi", 4) == 0)
                return std::nullopt;
            if (auto found = FindVideoFormat(data, body + 4, body + size, video))
                return found;
        } else if (std::memcmp(chunk, "strh", 4) == 0 && size >= 4) {
            video = std::memcmp(chunk + 8, "vids", 4) == 0;
        } else if (std::memcmp(chunk, "strf", 4) == 0 && video && size >= 20) {
            const char* bih = chunk + 8;
            const auto width = std::int32_t(Le32(bih + 4));
            const auto height = std::int32_t(Le32(bih + 8));
            const QByteArray fourcc = QByteArray(bih + 16, 4).toUpper();
            if (fourcc != "MJPG" || width <= 0 || height == 0)
                return std::nullopt;
            return QSize(width, std::abs(height));
        }
        at = body + size + (size & 1); // chunks are padded to even sizes
    }
    return std::nullopt;
}

} // namespace

std::optional<QSize> JpegAviFrameSize(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The stream headers come first and are small; the frames follow in "movi".
    const QByteArray head = file.read(64 * 1024);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "AVI ")
        return std::nullopt;
    bool video = false;
    return FindVideoFormat(head, 12, std::size_t(head.size()), video);
}

} // namespace tarvo
