#pragma once
// Base names of new local pictures, website pictures and videos: a time stamp, a prefix with a
// running number 000..999, or a fixed name, as the active settings choose for each kind.
#include "settings/OptionsValues.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <atomic>

namespace tarvo {

class PerUserStore;

enum class FileKind { LocalPicture, WebsitePicture, VideoFile };

// The file-name counters: each holds the next number of its kind, kept in the per-user values
// "LPicCount", "WPicCount" and "VidCount" (default 0) so that numbering continues after a restart.
// Names are drawn on the GUI thread (manual pictures, recordings), the frame thread (triggers) and
// the clip writer: each draw reads, wraps and advances its counter in one step. The store is
// written on the GUI thread only, where the rest of it is written too; a draw on another thread
// has the GUI thread store the counter as it is then, so the newest number always wins. Made on
// the GUI thread.
class FileCounters final : public QObject {
public:
    explicit FileCounters(PerUserStore& store);
    FileCounters(const FileCounters&) = delete;
    FileCounters& operator=(const FileCounters&) = delete;

    // Reads every counter from the store.
    void Load();
    // Writes every counter to the store. GUI thread, once no other thread draws names: a draw's
    // own store write may still be queued then (the program is ending, say).
    void StoreAll();
    int Value(FileKind kind) const;
    void Set(FileKind kind, int value); // in memory only
    // The number for a new name, 000..999, wrapping after 999; advances the counter and stores it.
    int Draw(FileKind kind);

private:
    std::atomic<int>& CounterOf(FileKind kind) { return counters_[static_cast<int>(kind)]; }
    void StoreCounter(FileKind kind);

    PerUserStore& store_;
    std::atomic<int> counters_[3] = {0, 0, 0};
};

// Base name without folder and extension; empty for a scheme outside 1..3 (and 3 for videos).
// The incrementing scheme draws its number from counters.
QString MakeFileName(FileKind kind, const OptionsValues& options, FileCounters& counters);

// Whether base (without folder and extension) is a name MakeFileName gives the kind under any of
// its schemes with these settings' prefix and fixed name, so Tarvo can tell its own files from
// others in a folder. An empty name is never taken as one.
bool IsMadeFileName(FileKind kind, const QString& base, const OptionsValues& options);
// The names of each scheme: a time stamp that TimedFileName can give, the prefix followed by
// exactly three digits, the fixed name itself.
bool IsTimedFileName(const QString& base);
bool IsIncrementingFileName(const QString& base, const QString& prefix);
bool IsFixedFileName(const QString& base, const QString& fixed);

// The longest history of website pictures. A profile read from a file is not range-checked; a
// damaged history length must not keep the frame thread renaming for hours.
inline constexpr int MaxHistory = 1000;
// Whether base (without folder and ".jpg") names a picture of the local website folder: the
// current picture under any naming scheme, or a history copy of the fixed name, whatever history
// length is set now.
bool IsWebsiteFileName(const QString& base, const OptionsValues& options);

// "MM-dd  HH.mm.ss" (two blanks) of ProgramClock()'s local time, or of the given moment.
QString TimedFileName();
QString TimedFileName(const QDateTime& moment);

// n in decimal with leading zeros up to width digits: ZeroPad(7, 3) is "007".
QString ZeroPad(int n, int width);
// n with a leading "0" when it is 0..9.
QString TwoDigits(int n);

const char* CounterValueName(FileKind kind);

} // namespace tarvo
