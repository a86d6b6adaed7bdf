#include "capture/AudioFormat.h"

#include "capture/CaptureBackend.h"

namespace tarvo {

std::uint32_t TAudioFormat::SamplesPerSec(TFrequency f)
{
    switch (f) {
    case TFrequency::f8000Hz: return 8000;
    case TFrequency::f11025Hz: return 11025;
    case TFrequency::f22050Hz: return 22050;
    case TFrequency::f44100Hz: return 44100;
    }
    return 8000;
}

SoundFormat TAudioFormat::ToSoundFormat(SoundFormat base) const
{
    base.samplesPerSec = SamplesPerSec(Frequency);
    base.channels = Channels == TChannel::Mono ? 1 : 2;
    base.bitsPerSample = Resolution == TResolution::r8Bit ? 8 : 16;
    base.blockAlign = std::uint16_t(base.channels * base.bitsPerSample / 8);
    base.bytesPerSec = base.samplesPerSec * base.blockAlign;
    return base;
}

void TAudioFormat::ApplyTo(CaptureSession* session) const
{
    if (!session)
        return;
    SoundFormat format;
    session->GetAudioFormat(format);
    session->SetAudioFormat(ToSoundFormat(format));
}

TAudioFormat TAudioFormat::FromSettings(int channels, int sampleRate, int resolution)
{
    TAudioFormat f;
    f.Channels = channels == 1 ? TChannel::Stereo : TChannel::Mono;
    f.Frequency = sampleRate >= 0 && sampleRate <= 3 ? TFrequency(sampleRate) : TFrequency::f8000Hz;
    f.Resolution = resolution == 0 ? TResolution::r8Bit : TResolution::r16Bit;
    return f;
}

} // namespace tarvo
