#pragma once
// The sound of motion clips. While a run keeps clips with sound, a capture pipeline of the sound
// source hands 16-bit mono PCM chunks, each stamped on arrival with the steady clock the clip
// recorder stamps its frames with, to a bounded store the clip writer's thread takes them from.
// GStreamer's thread never waits for the writer: chunks beyond the bound are dropped and noted.
#include "gst/GstPointers.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace tarvo {

struct SoundChunk {
    QByteArray pcm;           // S16LE mono samples at ClipSound::Rate
    std::int64_t startMs = 0; // steady clock time of its first sample
};

// Milliseconds of the steady clock that frames and sound chunks are stamped with.
std::int64_t SteadyMs();

class ClipSound {
public:
    static constexpr int Rate = 22050;
    static constexpr int BytesPerSample = 2;
    // Four seconds: the writer thread takes the chunks at every frame, unless the disk holds it.
    static constexpr std::size_t DefaultByteLimit = std::size_t(Rate) * BytesPerSample * 4;

    explicit ClipSound(std::size_t byteLimit = DefaultByteLimit) : byteLimit_(byteLimit) {}
    ~ClipSound() { Stop(); }
    ClipSound(const ClipSound&) = delete;
    ClipSound& operator=(const ClipSound&) = delete;

    // Starts capturing from source, a GStreamer launch description of a sound source. False when
    // it cannot start; Error() says why.
    bool Start(const QString& source);
    void Stop();
    bool Running() const { return pipeline_ != nullptr; }
    QString Error() const { return error_; }

    // Writer thread: the chunks that came since the last call, oldest first; *dropped tells
    // whether any were dropped meanwhile.
    std::deque<SoundChunk> Take(bool* dropped);
    // Writer thread: why the source stopped during the run; empty while it runs. A source that
    // has sent nothing for SilenceLimitMs has stopped too: the muxer waits for sound, so a clip
    // would wait for it as well.
    QString Failure();
    static constexpr std::int64_t SilenceLimitMs = 2000;

private:
    void Add(SoundChunk chunk);

    const std::size_t byteLimit_;
    GstPipelinePtr pipeline_;
    GstBusPtr bus_;
    QString error_;
    std::mutex mutex_;
    std::deque<SoundChunk> chunks_;
    std::size_t bytes_ = 0;
    bool dropped_ = false;
    std::int64_t lastArrivalMs_ = 0; // of a chunk, kept or dropped
};

} // namespace tarvo
