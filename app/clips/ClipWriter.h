#pragma once
// Writes one motion clip: JPEG pictures with their capture times into an MJPEG AVI file through
// GStreamer (appsrc, videorate, avimux, fdsink), with a PCM sound track when asked for. The pictures come at the camera's uneven pace;
// videorate repeats or drops them to the clip's constant rate, so the file plays at real speed.
// The muxer takes a picture only once it has the sound up to the picture's time: the caller hands
// both over in the order they were taken.
//
// One thread only (the clip writer's). Writing waits while GStreamer still holds more than a few
// megabytes, so a slow disk holds the caller, never memory. Every wait has a limit: an error of
// the pipeline (a full disk) ends it at once, a pipeline that takes nothing for StallLimit ends
// it, and so does the caller's wait hook; the clip then fails and its file is removed.
#include "gst/GstPointers.h"
#include "common/UniqueFd.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>

namespace tarvo {

class ClipWriter {
public:
    ClipWriter() = default;
    ClipWriter(const ClipWriter&) = delete;
    ClipWriter& operator=(const ClipWriter&) = delete;
    // An unfinished file is abandoned: the pipeline stops and the file is removed.
    ~ClipWriter();

    // A wait that makes no progress for this long fails the clip.
    static constexpr std::chrono::seconds StallLimit{10};
    // Called on the writer's thread every few milliseconds while a Write or Finish waits for
    // GStreamer; false gives up the wait, and the clip fails. It may call EndSound.
    using WaitHook = std::function<bool()>;
    void SetWaitHook(WaitHook hook) { waitHook_ = std::move(hook); }

    // Starts writing into file, which was created as path and is closed once the clip is finished
    // or abandoned; soundRate > 0 adds a track of S16LE mono sound at that rate. False when the
    // pipeline cannot be made or started (Error says why); the file is removed then.
    bool Open(UniqueFd file, const QString& path, QSize size, int fps, int soundRate = 0);
    // One picture, sinceStartMs after the clip's first. False once the file cannot be written.
    bool Write(const QByteArray& jpeg, std::uint32_t sinceStartMs);
    // The same for a picture in two pieces: the first `kept` bytes of head, then rest.
    bool Write(const QByteArray& head, qsizetype kept, const QByteArray& rest, std::uint32_t sinceStartMs);
    // Sound samples following those written before; the track begins with the first picture.
    // False once the file cannot be written.
    bool WriteSound(const QByteArray& pcm);
    // No more sound comes (its source failed): the pictures go on alone.
    void EndSound();
    bool HasSound() const { return sound_ != nullptr; }
    std::uint64_t SoundSamples() const { return soundSamples_; }
    // Ends the stream and waits until the muxer has finished the file. False on a write error or
    // when the file was not finished in time; the file is then removed.
    bool Finish();

    QString Error() const { return error_; }
    QString Path() const { return path_; }

private:
    // Takes an error message off the bus, waiting up to wait for one; true when there was one.
    bool TakeError(GstClockTime wait);
    // Waits until GStreamer holds no more than a few megabytes of pictures; false (the clip
    // abandoned) when it cannot go on.
    bool WaitForRoom();
    // The wait hook's answer; on a no, the clip is given up.
    bool KeepWaiting();
    void Abandon();

    WaitHook waitHook_;
    UniqueFd file_;
    GstPipelinePtr pipeline_;
    GstElementPtr source_;
    GstElementPtr sound_;
    GstBusPtr bus_;
    QString path_;
    QString error_;
    std::uint64_t lastPts_ = 0;
    bool wrote_ = false;
    int soundRate_ = 0;
    std::uint64_t soundSamples_ = 0;
};

// A pipeline made from a launch description, owned by the caller; none when it cannot be made
// (*error says why).
GstElement* LaunchPipeline(const QByteArray& description, QString* error);
// The message of an error taken off a pipeline's bus.
QString BusErrorText(GstMessage* message);

} // namespace tarvo
