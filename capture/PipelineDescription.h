#pragma once
// The GStreamer pipelines of the capture back-end, as launch descriptions. Every pipeline has
// the source "src" (its device or file is set on the element, never written into the text),
// the tee "t" and the frame sink "frames"; a recording adds the muxer "mux", the file sink
// "sink" and, with sound, the sound source "sound". Frames reach "frames" in a format the frame
// decoder reads: YUY2, I420 or JPEG.
#include "capture/CaptureDevices.h"

#include <QSize>
#include <QString>
#include <optional>

namespace tarvo {

struct RecordingPlan {
    int maxFps = 30;          // the requested capture rate
    bool audio = false;
    bool microphone = false;  // the default microphone, else the test tone
    int sampleRate = 8000;
    int channels = 1;
    int bitsPerSample = 8;    // 8: U8, 16: S16LE
};

// The launch description of the recording's sound source: the default microphone, else the test tone.
QString SoundSource(bool microphone);
// The default microphone, unless the system has none (autoaudiosrc then falls back to a silent
// test source, which is not worth recording).
bool MicrophoneAvailable();

// fileJpegSize: the size of the JPEG frames in the test device's file, when it is an AVI of them.
// Played in an MJPG mode of that size, the file's frames go out as they are, like a camera's.
QString PipelineDescription(const DeviceEntry& device, const DeviceSettings& settings,
                            const std::optional<RecordingPlan>& recording,
                            const std::optional<QSize>& fileJpegSize = std::nullopt);

// The frame size of an AVI file whose video stream is JPEG pictures (MJPG); none for any other
// file, or one that cannot be read.
std::optional<QSize> JpegAviFrameSize(const QString& path);

// The mode a device is run in: the chosen one, or for the test device its default.
std::optional<CaptureMode> EffectiveMode(const DeviceEntry& device, const DeviceSettings& settings);

} // namespace tarvo
