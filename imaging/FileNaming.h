#pragma once
// Base names of new local pictures, website pictures and videos: a time stamp, a prefix with a
// running number 000..999, or a fixed name, as the active settings choose for each kind.
#include "settings/OptionsValues.h"

#include <QDateTime>
#include <QString>

namespace tarvo {

enum class FileKind { LocalPicture, WebsitePicture, VideoFile };

// Base name without folder and extension; empty for a scheme outside 1..3 (and 3 for videos).
// The incrementing scheme advances the kind's counter and stores it in ProgramStore(), on the GUI
// thread (posted there when drawn on another thread).
QString MakeFileName(FileKind kind, const OptionsValues& options);

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

// The file-name counters: each holds the next number to use. Loaded at start-up from the
// per-user values "LPicCount", "WPicCount" and "VidCount" (default 0).
void LoadFileCounters();
// Writes every counter to the store. GUI thread, once no other thread draws names: a draw's own
// store write may still be queued then (the program is ending, say).
void StoreFileCounters();
int FileCounter(FileKind kind);
void SetFileCounter(FileKind kind, int value); // in memory only
const char* CounterValueName(FileKind kind);

} // namespace tarvo
