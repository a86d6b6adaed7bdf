#pragma once
// What ffprobe, a player's demuxer, reads from a video file.
#include <QString>
#include <vector>

namespace tarvo {

struct ProbedVideo {
    bool ok = false;              // ffprobe read the file and found a video stream
    double durationSeconds = 0;   // the container's duration
    std::vector<double> frameTimes; // presentation time of every video frame, in seconds
    QString soundCodec;           // the sound stream's codec ("pcm_s16le"); empty without one
    double soundSeconds = 0;      // the sound stream's duration
};

ProbedVideo ProbeVideo(const QString& file);

} // namespace tarvo
