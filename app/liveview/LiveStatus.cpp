#include "app/liveview/LiveStatus.h"

#include "common/Clock.h"
#include "common/SafeFileWrite.h"
#include "common/UniqueFd.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvo {

namespace {
// The newest part of an alarms file is read; a file that grew past this was not written by Tarvo.
constexpr qint64 MaxReadBytes = 1024 * 1024;

// A line of the alarms file: the time as ms since the epoch, a tab, the picture's bare name.
QByteArray AlarmLine(const QDateTime& time, const QString& file)
{
    return QByteArray::number(time.toMSecsSinceEpoch()) + '\t' + file.toUtf8() + '\n';
}

QJsonValue Ms(const QDateTime& t) { return t.isValid() ? QJsonValue(double(t.toMSecsSinceEpoch())) : QJsonValue(); }


QString BareName(const QString& path) { return path.mid(path.lastIndexOf('/') + 1); }
} // namespace

LiveStatus::LiveStatus() : thread_([this] { Run(); }) {}

LiveStatus::~LiveStatus()
{
    {
        std::lock_guard lock(jobsMutex_);
        quit_ = true;
    }
    jobsChanged_.notify_all();
    thread_.join();
}

void LiveStatus::Post(std::function<void()> job)
{
    {
        std::lock_guard lock(jobsMutex_);
        jobs_.push_back(std::move(job));
    }
    jobsChanged_.notify_all();
}

void LiveStatus::Run()
{
    std::unique_lock lock(jobsMutex_);
    for (;;) {
        jobsChanged_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
        // At the end the alarms handed over are still written; only a listing is cut short.
        if (jobs_.empty())
            return;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        job();
        lock.lock();
        running_ = false;
        jobsChanged_.notify_all();
    }
}

void LiveStatus::Flush()
{
    std::unique_lock lock(jobsMutex_);
    jobsChanged_.wait(lock, [this] { return jobs_.empty() && !running_; });
}

bool LiveStatus::Keep(Alarms& alarms, Alarm alarm)
{
    if (!alarms.empty()) {
        const qint64 since = alarms.back().time.msecsTo(alarm.time);
        if (since >= 0 && since < AlarmSpacingMs)
            return false;
    }
    const QDateTime now = alarm.time;
    alarms.push_back(std::move(alarm));
    while (alarms.size() > MaxAlarms || alarms.front().time.msecsTo(now) > StripMs)
        alarms.pop_front();
    return true;
}

void LiveStatus::Configure(const OptionsValues& options)
{
    const QString alarmsFile = options.LogfileDir.str() + QStringLiteral("LiveViewAlarms.txt");
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        alarmsFile_ = alarmsFile;
        alarms_.clear();
        generation = ++configured_;
    }
    Post([this, options, alarmsFile, generation] {
        auto files = std::make_shared<const OwnFiles>(options);
        LoadAlarms(alarmsFile);
        ListFolders(files);
        std::lock_guard lock(mutex_);
        files_ = std::move(files);
        // Alarms noted since the activation come after the ones read.
        Alarms alarms = written_;
        for (Alarm& a : alarms_)
            Keep(alarms, std::move(a));
        alarms_ = std::move(alarms);
        if (!alarms_.empty())
            lastMotion_ = std::max(lastMotion_, alarms_.back().time);
        loaded_ = generation;
        loadedChanged_.notify_all();
    });
}

void LiveStatus::LoadAlarms(const QString& file)
{
    written_.clear();
    fileLines_ = 0;
    const UniqueFd fd = OpenRegularFile(file, O_RDONLY);
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0)
        return;
    const qint64 from = std::max<qint64>(0, st.st_size - MaxReadBytes);
    QByteArray text(st.st_size - from, Qt::Uninitialized);
    const ssize_t n = ::pread(fd.Get(), text.data(), std::size_t(text.size()), from);
    text.truncate(std::max<ssize_t>(n, 0));
    const QList<QByteArray> lines = text.split('\n');
    // A damaged line is skipped, and so is a line cut by where the reading began.
    for (qsizetype i = from > 0 ? 1 : 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype tab = line.indexOf('\t');
        bool ok = false;
        const qint64 ms = line.left(tab).toLongLong(&ok);
        if (ok && tab > 0)
            Keep(written_, {QDateTime::fromMSecsSinceEpoch(ms), QString::fromUtf8(line.mid(tab + 1))});
        fileLines_ += !line.isEmpty();
    }
    const QDateTime now = ProgramClock().now();
    while (!written_.empty() && written_.front().time.msecsTo(now) > StripMs)
        written_.pop_front();
}

void LiveStatus::AppendAlarm(const QString& file, const Alarm& alarm)
{
    written_.push_back(alarm);
    while (written_.size() > MaxAlarms || written_.front().time.msecsTo(alarm.time) > StripMs)
        written_.pop_front();
    // The strip is a convenience: a folder that cannot be written loses it at the next restart only.
    const UniqueFd fd = OpenRegularFile(file, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (!fd.Valid() || !WriteAll(fd.Get(), AlarmLine(alarm.time, alarm.file)))
        return;
    if (++fileLines_ <= qsizetype(2 * MaxAlarms))
        return;
    // Grown to twice what is kept: written afresh under a new name that then replaces it.
    QByteArray text;
    for (const Alarm& a : written_)
        text += AlarmLine(a.time, a.file);
    if (WriteFileReplacing(file, text))
        fileLines_ = qsizetype(written_.size());
}

void LiveStatus::ListFolders(const std::shared_ptr<const OwnFiles>& files)
{
    std::set<std::pair<qint64, QString>> recent;
    QHash<QString, qint64> times;
    for (const QString& dir : files->Dirs()) {
        QDirIterator it(dir, QDir::Files | QDir::NoSymLinks);
        while (it.hasNext()) {
            const QFileInfo info = it.nextFileInfo();
            if (!files->IsOwn(dir, info.fileName()))
                continue;
            const QString path = dir + '/' + info.fileName();
            const qint64 ms = info.lastModified().toMSecsSinceEpoch();
            recent.emplace(ms, path);
            times.insert(path, ms);
            if (quit_)
                return;
        }
    }
    std::lock_guard lock(mutex_);
    recent_ = std::move(recent);
    recentTimes_ = std::move(times);
}

void LiveStatus::AddFile(const QString& path)
{
    const QFileInfo info(path);
    const QString dir = CanonicalDir(info.absolutePath());
    if (!files_ || dir.isEmpty() || !files_->IsOwn(dir, info.fileName()) || info.isSymLink() || !info.isFile())
        return;
    const QString key = dir + '/' + info.fileName();
    const qint64 ms = info.lastModified().toMSecsSinceEpoch();
    std::lock_guard lock(mutex_);
    if (const auto known = recentTimes_.constFind(key); known != recentTimes_.cend())
        recent_.erase({*known, key});
    recent_.emplace(ms, key);
    recentTimes_.insert(key, ms);
}

void LiveStatus::NoteFileSaved(const QString& path)
{
    Post([this, path] { AddFile(path); });
}

void LiveStatus::NoteFileRemoved(const QString& path)
{
    Post([this, path] {
        std::lock_guard lock(mutex_);
        if (const auto known = recentTimes_.constFind(path); known != recentTimes_.cend()) {
            recent_.erase({*known, path});
            recentTimes_.erase(known);
        }
    });
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
    Alarm alarm{when, pictureFile.isEmpty() ? QString() : BareName(pictureFile)};
    QString file;
    {
        std::lock_guard lock(mutex_);
        lastMotion_ = std::max(lastMotion_, when);
        if (!Keep(alarms_, alarm))
            return;
        file = alarmsFile_;
    }
    if (!file.isEmpty())
        Post([this, file, alarm] { AppendAlarm(file, alarm); });
}

QString LiveStatus::AlarmsFile() const
{
    std::lock_guard lock(mutex_);
    return alarmsFile_;
}

void LiveStatus::NoteCamera(bool connected)
{
    std::lock_guard lock(mutex_);
    camera_ = connected;
}

QByteArray LiveStatus::Json(const QJsonObject& extra) const
{
    const QDateTime now = ProgramClock().now();
    QJsonObject o = extra;
    std::unique_lock lock(mutex_);
    // Just after an activation the folders and the file are being read: a moment's wait shows them.
    loadedChanged_.wait_for(lock, std::chrono::seconds(2), [this] { return loaded_ == configured_; });
    o["autoCapturing"] = autoCapturing_;
    o["camera"] = camera_;
    o["lastMotion"] = Ms(lastMotion_);
    QJsonArray alarms;
    for (const Alarm& a : alarms_) {
        if (a.time.msecsTo(now) <= StripMs)
            alarms.append(QJsonObject{{"time", Ms(a.time)}, {"file", a.file}});
    }
    o["alarms"] = alarms;
    QJsonArray recent;
    for (auto it = recent_.rbegin(); it != recent_.rend() && recent.size() < RecentCount; ++it) {
        const QString name = BareName(it->second);
        recent.append(QJsonObject{{"name", name}, {"video", OwnFiles::IsVideo(name)},
                                  {"time", Ms(QDateTime::fromMSecsSinceEpoch(it->first))}});
    }
    lock.unlock();
    o["recent"] = recent;
    o["now"] = Ms(now);
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
