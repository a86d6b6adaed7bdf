#pragma once
// The sound format of a recording, kept by the capture device and written to the capture
// session before a sequence with audio starts.
#include "capture/CaptureTypes.h"

#include <cstdint>

namespace tarvo {

class CaptureSession;

enum class TChannel : std::uint8_t { Stereo, Mono };
enum class TFrequency : std::uint8_t { f8000Hz, f11025Hz, f22050Hz, f44100Hz };
enum class TResolution : std::uint8_t { r8Bit, r16Bit };

class TAudioFormat {
public:
    TChannel Channels = TChannel::Mono;
    TFrequency Frequency = TFrequency::f8000Hz;
    TResolution Resolution = TResolution::r8Bit;

    // Reads the session's current format, replaces rate, channels and sample size (tag and extra
    // size stay as read) and sends it back; the answer is not examined. No session: nothing.
    void ApplyTo(CaptureSession* session) const;

    // The format fields as ApplyTo writes them over `base`.
    SoundFormat ToSoundFormat(SoundFormat base = {}) const;

    // From the settings' CapAudChannels (0 Mono, 1 Stereo), CapAudSampleRate (0..3) and
    // CapAudResolution (0 8-bit, other 16-bit); an out-of-range rate falls back to 8000 Hz.
    static TAudioFormat FromSettings(int channels, int sampleRate, int resolution);

    static std::uint32_t SamplesPerSec(TFrequency f);
};

} // namespace tarvo
