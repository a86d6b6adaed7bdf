#include "app/clips/ClipFiles.h"

#include "common/Clock.h"
#include "imaging/FileNaming.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tarvo {

namespace {
// Names tried before a clip is given up: a thousand numbers, or a thousand seconds.
constexpr int NameTries = 1000;

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
} // namespace

ClipName NewClipName(const OptionsValues& options)
{
    ClipName name{MakeFileName(FileKind::VideoFile, options), ProgramClock().now().toLocalTime()};
    if (name.base.isEmpty())
        name.base = TimedFileName(name.moment);
    return name;
}

QString ClipTempPath(const OptionsValues& options, const ClipName& name)
{
    return options.VideoDir.str() + QLatin1Char('.') + name.base + QStringLiteral(".avi.part");
}

QString MoveToFinalName(const QString& temp, const OptionsValues& options, ClipName name, QString* error)
{
    const QByteArray from = QFile::encodeName(temp);
    for (int attempt = 0; attempt < NameTries; ++attempt) {
        const QString target = options.VideoDir.str() + name.base + QStringLiteral(".avi");
        if (RenameNoReplace(from, QFile::encodeName(target)))
            return target;
        if (errno != EEXIST)
            break;
        if (IsTimedFileName(name.base)) {
            name.moment = name.moment.addSecs(1);
            name.base = TimedFileName(name.moment);
        } else {
            name.base = MakeFileName(FileKind::VideoFile, options);
        }
    }
    if (error)
        *error = errno == EEXIST ? QStringLiteral("no free name") : QString::fromLocal8Bit(std::strerror(errno));
    return QString();
}

} // namespace tarvo
