#pragma once
// Keeps the picture and video folders under the profile's storage limits by removing the oldest of
// Tarvo's own pictures and videos: only files whose names the naming schemes give (pictures ending
// in ".jpg" or ".bmp" in the picture folder, videos ending in ".avi" in the video folder), never
// anything else, and never the website folder's current picture or its history. The newest file
// always stays, so a recording being written and the picture just saved are never removed.
//
// GUI thread only. A full round reads the folders; between rounds a running total of the files'
// bytes is kept, so a newly saved file costs one look at that file.
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"

#include <QDateTime>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>

namespace tarvo {

class StorageKeeper {
public:
    StorageKeeper();

    // At each activation: the folders, naming schemes and limits to keep, then a full round.
    void Configure(const OptionsValues& options, const StorageOptions& limits);
    // A full round: counts Tarvo's files in the folders afresh, then removes the oldest while a
    // limit is passed.
    void Keep();
    // A picture or video Tarvo has just written: added to the running total, then the oldest are
    // removed while a limit is passed. No folder is read.
    void NoteNewFile(const QString& path);

    // Bytes and number of Tarvo's files as counted now.
    qint64 TotalBytes() const { return total_; }
    int KnownFiles() const { return int(files_.size()); }

    // Runs Keep once an hour while a limit is set; its owner connects it.
    QTimer Hourly;
    // Told each file removed, by its path (canonical folder + '/' + file name).
    std::function<void(const QString& path)> Removed;

private:
    struct Entry {
        QString path; // canonical folder + '/' + file name
        qint64 size = 0;
        QDateTime modified;
    };
    void Insert(Entry entry);
    // Removes the oldest files while a limit is passed and logs the round.
    void Trim();

    OptionsValues options_;
    StorageOptions limits_;
    std::deque<Entry> files_; // oldest first
    qint64 total_ = 0;
};

} // namespace tarvo
