#include "app/core/ProgramFolderLock.h"

#include "common/UniqueFd.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>

namespace tarvo {

ProgramFolderLock::ProgramFolderLock(const QString& folder, Use use)
{
    // The folder itself carries the lock: there is no lock file that could be deleted, replaced or
    // planted while a station runs.
    UniqueFd fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid()) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    const int operation = (use == Use::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int result;
    do
        result = ::flock(fd.Get(), operation);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        inUse_ = errno == EWOULDBLOCK;
        error_ = inUse_ ? FolderInUseMessage(folder) : QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    fd_ = std::move(fd);
}

QString FolderInUseMessage(const QString& folder)
{
    return QStringLiteral("Another Tarvo is using the program folder %1").arg(folder);
}

} // namespace tarvo
