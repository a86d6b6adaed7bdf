#include "support/VideoProbe.h"

#include <QProcess>
#include <QStringList>
#include <algorithm>

namespace tarvo {

namespace {
QString Ffprobe(const QStringList& args)
{
    QProcess probe;
    probe.start("ffprobe", QStringList{"-v", "error"} + args);
    if (!probe.waitForFinished(60000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return QString();
    return QString::fromUtf8(probe.readAllStandardOutput());
}
} // namespace

ProbedVideo ProbeVideo(const QString& file)
{
    ProbedVideo probed;
    const QString duration = Ffprobe({"-show_entries", "format=duration", "-of", "default=nw=1:nk=1", file}).trimmed();
    const QString times = Ffprobe({"-select_streams", "v:0", "-show_entries", "frame=pts_time", "-of", "csv=p=0", file});
    bool ok = false;
    probed.durationSeconds = duration.toDouble(&ok);
    for (const QString& line : times.split('\n', Qt::SkipEmptyParts))
        probed.frameTimes.push_back(line.trimmed().toDouble());
    probed.ok = ok && !probed.frameTimes.empty();
    // AVI keeps no duration of a sound stream: its packets' end is where the sound ends.
    probed.soundCodec = Ffprobe({"-select_streams", "a:0", "-show_entries", "stream=codec_name", "-of",
                                 "default=nw=1:nk=1", file})
                            .trimmed();
    const QString packets = Ffprobe({"-select_streams", "a:0", "-show_entries", "packet=pts_time,duration_time", "-of",
                                     "csv=p=0", file});
    for (const QString& line : packets.split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(',');
        if (fields.size() == 2)
            probed.soundSeconds = std::max(probed.soundSeconds, fields[0].toDouble() + fields[1].toDouble());
    }
    return probed;
}

} // namespace tarvo
