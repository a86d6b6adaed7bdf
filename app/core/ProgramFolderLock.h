#pragma once
// One program folder, one station: the desktop program and the headless station share profiles,
// counters, the log and the picture names of a program folder, so two stations on one folder would
// overwrite each other's files. Several desktop windows may share a folder as they always could;
// a headless station needs it to itself. The lock is an advisory lock on the folder, released by
// the system when the process ends, however it ends.
#include "common/UniqueFd.h"

#include <QString>

namespace tarvo {

class ProgramFolderLock {
public:
    enum class Use { Shared, Exclusive }; // the desktop program shares; the station excludes

    // Takes the lock on folder without waiting. Held() says whether it was taken.
    ProgramFolderLock(const QString& folder, Use use);

    bool Held() const { return fd_.Valid(); }
    // Not taken because another station holds the folder (rather than, say, an unwritable folder).
    bool InUse() const { return inUse_; }
    // Why the lock was not taken, for the message of a refused start.
    QString Error() const { return error_; }

private:
    UniqueFd fd_;
    QString error_;
    bool inUse_ = false;
};

// The message of a start refused because another station uses the folder.
QString FolderInUseMessage(const QString& folder);

} // namespace tarvo
