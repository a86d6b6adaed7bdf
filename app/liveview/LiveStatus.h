#pragma once
// What the live view's page shows beside the picture: whether auto-capturing runs, when motion was
// last seen, the alarms of the last 24 hours (kept in a small file beside the event log, so the
// strip survives a restart) and Tarvo's newest pictures and clips.
//
// The strip keeps at most one alarm every ten seconds (the page groups close ones into one mark),
// so with an alarm at every motion sample the file and the page's state stay small. The folders are listed once per
// activation and then kept up to date from the files Tarvo saves and the storage keeper removes.
//
// Threads: the Note* methods and Configure run on the GUI thread and never touch the disk: the
// status thread, owned here, reads and appends the alarms file, lists the folders and looks at each
// saved file, in the order the GUI thread handed the work over. Json and FindFile run on the
// server's connection threads.
#include "app/storage/OwnFiles.h"
#include "settings/OptionsValues.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace tarvo {

class LiveStatus {
public:
    static constexpr int RecentCount = 12;
    static constexpr qint64 StripMs = 24LL * 60 * 60 * 1000;
    // An alarm this soon after the last one kept is the same event to whoever looks at the strip.
    static constexpr qint64 AlarmSpacingMs = 10 * 1000;
    // Also when the clock jumps or alarms never stop: the newest ones, some hours of them at least.
    static constexpr std::size_t MaxAlarms = 1500;

    LiveStatus();
    ~LiveStatus();
    LiveStatus(const LiveStatus&) = delete;
    LiveStatus& operator=(const LiveStatus&) = delete;

    // The folders and names of the active settings, and the alarms file beside their log
    // (LogfileDir + "LiveViewAlarms.txt"), whose alarms of the last 24 hours are read in.
    void Configure(const OptionsValues& options);

    void NoteAutoCapturing(bool on);
    // Whether the camera's driver is connected.
    void NoteCamera(bool connected);
    void NoteMotion(const QDateTime& when);
    // An armed alarm and the picture saved for it (empty when none was); added to the file.
    void NoteAlarm(const QDateTime& when, const QString& pictureFile);
    // A picture or video Tarvo has written, or one the storage keeper removed.
    void NoteFileSaved(const QString& path);
    void NoteFileRemoved(const QString& path);
    // Waits until the status thread has done all the work handed over so far.
    void Flush();

    // {"autoCapturing", "camera", "lastMotion", "now", "alarms": [{"time", "file"}], "recent":
    // [{"name", "video", "time"}]} and the fields of extra; times in ms since the epoch.
    QByteArray Json(const QJsonObject& extra = {}) const;
    // The path of one of Tarvo's own pictures or videos by its bare name; empty for anything else.
    QString FindFile(const QString& name) const;

    QString AlarmsFile() const;

private:
    struct Alarm {
        QDateTime time;
        QString file; // bare name, empty when no picture was saved
    };
    using Alarms = std::deque<Alarm>;
    // Adds the alarm unless it falls within the spacing of the last one; drops what is past the day
    // or over the count. False when it was not added.
    static bool Keep(Alarms& alarms, Alarm alarm);

    // Runs job on the status thread after the work handed over before.
    void Post(std::function<void()> job);
    void Run();
    // On the status thread.
    void LoadAlarms(const QString& file);
    void AppendAlarm(const QString& file, const Alarm& alarm);
    void ListFolders(const std::shared_ptr<const OwnFiles>& files);
    void AddFile(const QString& path);

    mutable std::mutex mutex_;
    // Json waits for the reading an activation started (the status thread sets loaded_).
    mutable std::condition_variable loadedChanged_;
    std::uint64_t configured_ = 0;
    std::uint64_t loaded_ = 0;
    std::shared_ptr<const OwnFiles> files_; // set on the status thread
    QString alarmsFile_;
    bool autoCapturing_ = false;
    bool camera_ = false;
    QDateTime lastMotion_;
    Alarms alarms_;
    // Own files, newest last: (last written in ms since the epoch, path), and each path's time.
    std::set<std::pair<qint64, QString>> recent_;
    QHash<QString, qint64> recentTimes_;

    // The status thread's queue, and what it alone touches: the alarms as the file holds them.
    std::mutex jobsMutex_;
    std::condition_variable jobsChanged_;
    std::deque<std::function<void()>> jobs_;
    bool running_ = false; // a job is being done
    std::atomic<bool> quit_{false};
    Alarms written_;
    qsizetype fileLines_ = 0;
    std::thread thread_;
};

} // namespace tarvo
