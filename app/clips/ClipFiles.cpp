#include "app/clips/ClipFiles.h"

#include "app/core/Housekeeping.h"
#include "common/Clock.h"
#include "common/SafeFileWrite.h"
#include "imaging/FileNaming.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvo {

namespace {
// Names tried before a clip is given up: a thousand numbers, or a thousand seconds.
constexpr int NameTries = 1000;

const QString TempSuffix = QStringLiteral(".avi.part");

// rename without replacing: false with errno EEXIST when target exists.
bool RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: a hard link fails on an existing name just the same.
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}

// Why a step failed, from its errno.
QString FailureText(int error)
{
    return error == EEXIST ? QStringLiteral("no free name") : QString::fromLocal8Bit(std::strerror(error));
}

// The scheme's next name after a taken one: the next second for a timed name, the next number
// for an incrementing one (a timed name when the scheme gives none).
void NextName(ClipName& name, const OptionsValues& options, FileCounters& counters)
{
    if (!IsTimedFileName(name.base)) {
        name.base = MakeFileName(FileKind::VideoFile, options, counters);
        if (!name.base.isEmpty())
            return;
    }
    name.moment = name.moment.addSecs(1);
    name.base = TimedFileName(name.moment);
}

// Creates pathOf(name) exclusively with mode (less the umask), never through a link, going on with
// the scheme's next names while the name is taken. *path is the file made, or the first name tried.
template <class PathOf>
UniqueFd CreateFirstFree(const OptionsValues& options, FileCounters& counters, ClipName& name, PathOf pathOf, mode_t mode, QString* path,
                         QString* error)
{
    int failure = EEXIST;
    for (int attempt = 0; attempt < NameTries && failure == EEXIST; ++attempt) {
        const QString candidate = pathOf(name);
        if (attempt == 0)
            *path = candidate;
        UniqueFd fd(::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           mode));
        if (fd.Valid()) {
            *path = candidate;
            return fd;
        }
        failure = errno;
        if (failure == EEXIST)
            NextName(name, options, counters);
    }
    if (error)
        *error = FailureText(failure);
    return {};
}
} // namespace

ClipName NewClipName(const OptionsValues& options, FileCounters& counters)
{
    ClipName name{MakeFileName(FileKind::VideoFile, options, counters), ProgramClock().now().toLocalTime()};
    if (name.base.isEmpty())
        name.base = TimedFileName(name.moment);
    return name;
}

QString ClipTempPath(const OptionsValues& options, const ClipName& name)
{
    return options.VideoDir.str() + QLatin1Char('.') + name.base + TempSuffix;
}

UniqueFd CreateClipTemp(const OptionsValues& options, FileCounters& counters, ClipName& name, QString* path, QString* error)
{
    UniqueFd fd = CreateFirstFree(
        options, counters, name, [&options](const ClipName& n) { return ClipTempPath(options, n); }, 0600, path, error);
    // A new file nobody else has open: the lock is always had.
    if (fd.Valid())
        ::flock(fd.Get(), LOCK_EX | LOCK_NB);
    return fd;
}

bool CreateRecordingFile(const OptionsValues& options, FileCounters& counters, QString* path, QString* error)
{
    ClipName name{MakeFileName(FileKind::VideoFile, options, counters), ProgramClock().now().toLocalTime()};
    return CreateFirstFree(
               options, counters, name, [&options](const ClipName& n) { return options.VideoDir.str() + n.base + QStringLiteral(".avi"); },
               0666, path, error)
        .Valid();
}

QString MoveToFinalName(const QString& temp, const OptionsValues& options, FileCounters& counters, ClipName name,
                        QString* error)
{
    const QByteArray from = QFile::encodeName(temp);
    int failure = EEXIST;
    for (int attempt = 0; attempt < NameTries && failure == EEXIST; ++attempt) {
        const QString target = options.VideoDir.str() + name.base + QStringLiteral(".avi");
        if (RenameNoReplace(from, QFile::encodeName(target)))
            return target;
        failure = errno;
        if (failure == EEXIST)
            NextName(name, options, counters);
    }
    if (error)
        *error = FailureText(failure);
    return QString();
}

int RemoveStaleClipFiles(const OptionsValues& options)
{
    // The temporary names are the folder string + "." + ...: the folder ends at its last '/'.
    const FolderAndPrefix split = SplitFolderString(options.VideoDir.str() + QLatin1Char('.'));
    const QDir dir(split.folder);
    int removed = 0;
    for (const QString& name : dir.entryList({QStringLiteral("*") + TempSuffix}, QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        const qsizetype baseLength = name.size() - split.prefix.size() - TempSuffix.size();
        if (baseLength <= 0 || !name.startsWith(split.prefix) ||
            !IsMadeFileName(FileKind::VideoFile, name.mid(split.prefix.size(), baseLength), options))
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        // A clip being written holds the lock on its file; the name must still be the file opened.
        struct stat opened {};
        struct stat named {};
        const UniqueFd fd = OpenRegularFile(dir.filePath(name), O_RDONLY, 0, &opened);
        if (fd.Valid() && ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0 && ::lstat(path.constData(), &named) == 0 &&
            named.st_ino == opened.st_ino && named.st_dev == opened.st_dev && ::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace tarvo
