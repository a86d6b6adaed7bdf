#pragma once
// What the live view's page shows beside the picture: whether auto-capturing runs, when motion was
// last seen, the alarms of the last 24 hours (kept in a small file beside the event log, so the
// strip survives a restart) and Tarvo's newest pictures and clips.
//
// Threads: the Note* methods and Configure run on the GUI thread; Json and FindFile on the server's
// connection threads.
#include "app/storage/OwnFiles.h"
#include "settings/OptionsValues.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <deque>
#include <memory>
#include <mutex>

namespace tarvo {

class LiveStatus {
public:
    static constexpr int RecentCount = 12;
    static constexpr qint64 StripMs = 24LL * 60 * 60 * 1000;

    // The folders and names of the active settings, and the alarms file beside their log
    // (LogfileDir + "LiveViewAlarms.txt"), whose alarms of the last 24 hours are read in.
    void Configure(const OptionsValues& options);

    void NoteAutoCapturing(bool on);
    void NoteMotion(const QDateTime& when);
    // An armed alarm and the picture saved for it (empty when none was); added to the file.
    void NoteAlarm(const QDateTime& when, const QString& pictureFile);

    // {"autoCapturing", "lastMotion", "now", "alarms": [{"time", "file"}], "recent": [{"name",
    // "video", "time"}]}; times in ms since the epoch.
    QByteArray Json() const;
    // The path of one of Tarvo's own pictures or videos by its bare name; empty for anything else.
    QString FindFile(const QString& name) const;

    QString AlarmsFile() const;

private:
    struct Alarm {
        QDateTime time;
        QString file; // bare name, empty when no picture was saved
    };
    void DropOld(const QDateTime& now);
    void SaveAlarms() const;

    mutable std::mutex mutex_;
    std::shared_ptr<const OwnFiles> files_;
    QString alarmsFile_;
    bool autoCapturing_ = false;
    QDateTime lastMotion_;
    std::deque<Alarm> alarms_;
};

} // namespace tarvo
