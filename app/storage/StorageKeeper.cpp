#include "app/storage/StorageKeeper.h"

#include "app/core/Housekeeping.h"
#include "common/Clock.h"
#include "common/EventLog.h"
#include "imaging/FileNaming.h"
#include "app/storage/OwnFiles.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <tuple>
#include <vector>

namespace tarvo {

namespace {
constexpr int HourMs = 60 * 60 * 1000;
constexpr qint64 Megabyte = 1024 * 1024;

// Oldest first; the path orders files of the same moment, so every round sees the same order.
template <class Entry> bool Older(const Entry& a, const Entry& b)
{
    return std::tie(a.modified, a.path) < std::tie(b.modified, b.path);
}
} // namespace

StorageKeeper::StorageKeeper() { Hourly.setInterval(HourMs); }

void StorageKeeper::Configure(const OptionsValues& options, const StorageOptions& limits)
{
    options_ = options;
    limits_ = limits;
    if (limits_.Limited())
        Hourly.start();
    else
        Hourly.stop();
    Keep();
}

void StorageKeeper::Keep()
{
    files_.clear();
    total_ = 0;
    if (!limits_.Limited())
        return;
    const OwnFiles layout(options_);
    for (const QString& dir : layout.Dirs()) {
        QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
        while (it.hasNext()) {
            const QFileInfo info = it.nextFileInfo();
            if (layout.IsOwn(dir, info.fileName()))
                files_.push_back({dir + '/' + info.fileName(), info.size(), info.lastModified()});
        }
    }
    std::sort(files_.begin(), files_.end(), Older<Entry>);
    for (const Entry& e : files_)
        total_ += e.size;
    Trim();
}

void StorageKeeper::NoteNewFile(const QString& path)
{
    if (!limits_.Limited())
        return;
    const QFileInfo info(path);
    const QString dir = CanonicalDir(info.absolutePath());
    if (dir.isEmpty() || !OwnFiles(options_).IsOwn(dir, info.fileName()))
        return;
    const QString key = dir + '/' + info.fileName();
    // A name used again (a fixed name, a wrapped counter, two pictures in one second) replaces
    // the file counted under it.
    const auto known = std::find_if(files_.rbegin(), files_.rend(), [&key](const Entry& e) { return e.path == key; });
    if (known != files_.rend()) {
        total_ -= known->size;
        files_.erase(std::next(known).base());
    }
    if (!info.exists() || info.isSymLink())
        return;
    Insert({key, info.size(), info.lastModified()});
    Trim();
}

void StorageKeeper::Insert(Entry entry)
{
    total_ += entry.size;
    const auto at = std::upper_bound(files_.begin(), files_.end(), entry, Older<Entry>);
    files_.insert(at, std::move(entry));
}

void StorageKeeper::Trim()
{
    const qint64 limitBytes = qint64{limits_.MaxMegabytes} * Megabyte;
    const QDateTime cutoff = limits_.MaxDays > 0 ? ProgramClock().now().addDays(-limits_.MaxDays) : QDateTime();
    int removed = 0;
    qint64 freed = 0;
    while (files_.size() > 1) {
        const bool tooMuch = limitBytes > 0 && total_ > limitBytes;
        const bool tooOld = cutoff.isValid() && files_.front().modified < cutoff;
        if (!tooMuch && !tooOld)
            break;
        const Entry oldest = std::move(files_.front());
        files_.pop_front();
        total_ -= oldest.size;
        // Looked at again just before it goes: a file written anew since it was counted is new.
        const QFileInfo now(oldest.path);
        if (!now.exists())
            continue;
        if (now.lastModified() != oldest.modified || now.size() != oldest.size) {
            Insert({oldest.path, now.size(), now.lastModified()});
            continue;
        }
        // One that cannot be removed stays out of the count until the next full round.
        if (QFile::remove(oldest.path)) {
            ++removed;
            freed += oldest.size;
            if (Removed)
                Removed(oldest.path);
        }
    }
    if (removed > 0)
        ProgramLog().WriteLog((removed == 1 ? QStringLiteral("Removed %1 old picture or clip (%2 MB)")
                                            : QStringLiteral("Removed %1 old pictures and clips (%2 MB)"))
                                  .arg(removed)
                                  .arg(double(freed) / Megabyte, 0, 'f', 1),
                              true, QStringLiteral("TForm1.KeepStorage"));
}

} // namespace tarvo
