#include "app/liveview/LiveStatus.h"

#include "common/Clock.h"
#include "common/SafeFileWrite.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <vector>

namespace tarvo {

namespace {
// A line of the alarms file: the time as ms since the epoch, a tab, the picture's bare name.
QByteArray AlarmLine(const QDateTime& time, const QString& file)
{
    return QByteArray::number(time.toMSecsSinceEpoch()) + '\t' + file.toUtf8() + '\n';
}

QJsonValue Ms(const QDateTime& t) { return t.isValid() ? QJsonValue(double(t.toMSecsSinceEpoch())) : QJsonValue(); }
} // namespace

void LiveStatus::Configure(const OptionsValues& options)
{
    auto files = std::make_shared<const OwnFiles>(options);
    const QString alarmsFile = options.LogfileDir.str() + QStringLiteral("LiveViewAlarms.txt");
    std::deque<Alarm> alarms;
    QFile in(alarmsFile);
    if (in.open(QIODevice::ReadOnly)) {
        // A damaged line is skipped; the file is small and rewritten at the next alarm.
        for (const QByteArray& line : in.readAll().split('\n')) {
            const qsizetype tab = line.indexOf('\t');
            bool ok = false;
            const qint64 ms = line.left(tab).toLongLong(&ok);
            if (ok && tab > 0)
                alarms.push_back({QDateTime::fromMSecsSinceEpoch(ms), QString::fromUtf8(line.mid(tab + 1))});
        }
    }
    std::lock_guard lock(mutex_);
    files_ = std::move(files);
    alarmsFile_ = alarmsFile;
    alarms_ = std::move(alarms);
    DropOld(ProgramClock().now());
    if (!alarms_.empty())
        lastMotion_ = std::max(lastMotion_, alarms_.back().time);
}

void LiveStatus::NoteAutoCapturing(bool on)
{
    std::lock_guard lock(mutex_);
    autoCapturing_ = on;
}

void LiveStatus::NoteMotion(const QDateTime& when)
{
    std::lock_guard lock(mutex_);
    lastMotion_ = when;
}

void LiveStatus::NoteAlarm(const QDateTime& when, const QString& pictureFile)
{
    std::lock_guard lock(mutex_);
    lastMotion_ = std::max(lastMotion_, when);
    alarms_.push_back({when, pictureFile.isEmpty() ? QString() : QFileInfo(pictureFile).fileName()});
    DropOld(when);
    SaveAlarms();
}

void LiveStatus::DropOld(const QDateTime& now)
{
    while (!alarms_.empty() && alarms_.front().time.msecsTo(now) > StripMs)
        alarms_.pop_front();
}

void LiveStatus::SaveAlarms() const
{
    QByteArray text;
    for (const Alarm& a : alarms_)
        text += AlarmLine(a.time, a.file);
    // The strip is a convenience: a folder that cannot be written loses it at the next restart only.
    WriteFileReplacing(alarmsFile_, text);
}

QString LiveStatus::AlarmsFile() const
{
    std::lock_guard lock(mutex_);
    return alarmsFile_;
}

QByteArray LiveStatus::Json() const
{
    const QDateTime now = ProgramClock().now();
    std::shared_ptr<const OwnFiles> files;
    QJsonObject o;
    {
        std::lock_guard lock(mutex_);
        files = files_;
        o["autoCapturing"] = autoCapturing_;
        o["lastMotion"] = Ms(lastMotion_);
        QJsonArray alarms;
        for (const Alarm& a : alarms_) {
            if (a.time.msecsTo(now) <= StripMs)
                alarms.append(QJsonObject{{"time", Ms(a.time)}, {"file", a.file}});
        }
        o["alarms"] = alarms;
    }
    o["now"] = Ms(now);
    struct Entry {
        QDateTime modified;
        QString name;
    };
    std::vector<Entry> entries;
    if (files) {
        for (const QString& dir : files->Dirs()) {
            QDirIterator it(dir, QDir::Files | QDir::NoSymLinks);
            while (it.hasNext()) {
                const QFileInfo info = it.nextFileInfo();
                if (files->IsOwn(dir, info.fileName()))
                    entries.push_back({info.lastModified(), info.fileName()});
            }
        }
    }
    const auto shown = std::min<std::size_t>(entries.size(), RecentCount);
    std::partial_sort(entries.begin(), entries.begin() + shown, entries.end(),
                      [](const Entry& a, const Entry& b) { return a.modified > b.modified; });
    QJsonArray recent;
    for (std::size_t i = 0; i < shown; ++i)
        recent.append(QJsonObject{{"name", entries[i].name}, {"video", OwnFiles::IsVideo(entries[i].name)}, {"time", Ms(entries[i].modified)}});
    o["recent"] = recent;
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QString LiveStatus::FindFile(const QString& name) const
{
    std::shared_ptr<const OwnFiles> files;
    {
        std::lock_guard lock(mutex_);
        files = files_;
    }
    return files ? files->Find(name) : QString();
}

} // namespace tarvo
