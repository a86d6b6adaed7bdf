#pragma once
// Writes one motion clip: JPEG pictures with their capture times into an MJPEG AVI file through
// GStreamer (appsrc, videorate, avimux, filesink). The pictures come at the camera's uneven pace;
// videorate repeats or drops them to the clip's constant rate, so the file plays at real speed.
//
// One thread only (the clip writer's). Writing waits while GStreamer still holds more than a few
// megabytes, so a slow disk holds the caller, never memory; an error of the pipeline (a full
// disk) ends every wait at once.
#include "capture/GstPointers.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <cstdint>

class ClipWriter {
public:
    ClipWriter() = default;
    ClipWriter(const ClipWriter&) = delete;
    ClipWriter& operator=(const ClipWriter&) = delete;
    // An unfinished file is abandoned: the pipeline stops and the file is removed.
    ~ClipWriter();

    // Starts writing path. False when the pipeline cannot be made or started (Error says why).
    bool Open(const QString& path, QSize size, int fps);
    // One picture, sinceStartMs after the clip's first. False once the file cannot be written.
    bool Write(const QByteArray& jpeg, std::uint32_t sinceStartMs);
    // Ends the stream and waits until the muxer has finished the file. False on a write error or
    // when the file was not finished in time; the file is then removed.
    bool Finish();

    QString Error() const { return error_; }
    QString Path() const { return path_; }

private:
    // Takes an error message off the bus, waiting up to wait for one; true when there was one.
    bool TakeError(GstClockTime wait);
    void Abandon();

    GstPipelinePtr pipeline_;
    GstElementPtr source_;
    GstBusPtr bus_;
    QString path_;
    QString error_;
    std::uint64_t lastPts_ = 0;
    bool wrote_ = false;
};
