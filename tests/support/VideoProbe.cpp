#include "support/VideoProbe.h"

#include <QProcess>
#include <QStringList>

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
    return probed;
}
