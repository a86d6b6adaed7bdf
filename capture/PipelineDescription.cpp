#include "capture/PipelineDescription.h"

#include <algorithm>

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

QString Source(const CaptureDevice& device, const DeviceSettings& settings)
{
    const auto mode = EffectiveMode(device, settings);
    if (device.kind == CaptureDevice::Kind::V4l2) {
        if (mode)
            return "v4l2src name=src ! " + ModeCaps(*mode);
        // Let the camera choose among what the decoder reads.
        return "v4l2src name=src ! capsfilter caps=\"video/x-raw,format=(string){YUY2,I420};image/jpeg\"";
    }
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

std::optional<CaptureMode> EffectiveMode(const CaptureDevice& device, const DeviceSettings& settings)
{
    if (settings.modeChosen || device.kind == CaptureDevice::Kind::TestPattern)
        return settings.mode;
    return std::nullopt;
}

QString PipelineDescription(const CaptureDevice& device, const DeviceSettings& settings,
                            const std::optional<RecordingPlan>& recording)
{
    QString d = Source(device, settings) +
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
        d += recording->microphone ? " autoaudiosrc" : " audiotestsrc is-live=true wave=sine freq=440 volume=0.3";
        d += QString(" ! audioconvert ! audioresample ! audio/x-raw,format=%1,rate=%2,channels=%3,layout=interleaved"
                     " ! queue ! mux.")
                 .arg(recording->bitsPerSample == 8 ? "U8" : "S16LE")
                 .arg(recording->sampleRate)
                 .arg(recording->channels);
    }
    d += " avimux name=mux ! filesink name=sink";
    return d;
}
