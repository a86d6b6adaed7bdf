#include "common/SafeFileWrite.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tarvo {

namespace {


// The temporary name: hidden, in the target's folder (so the rename stays on one file system),
// after the target's name, cut so that it stays a valid name for a long target.
QByteArray TemporaryPattern(const QByteArray& target)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = target.left(slash + 1);
    return folder + '.' + target.mid(slash + 1).left(200) + ".XXXXXX";
}

} // namespace

// The mode a file made with 0666 gets under this process's umask. The umask is read from the
// kernel's report rather than set and reset, which would race with files other threads create.
mode_t NewFileMode()
{
    static const mode_t mode = [] {
        mode_t mask = 077; // the safe guess when the report cannot be read
        if (FILE* status = std::fopen("/proc/self/status", "re")) {
            char line[256];
            while (std::fgets(line, sizeof line, status)) {
                unsigned value = 0;
                if (std::sscanf(line, "Umask: %o", &value) == 1) {
                    mask = static_cast<mode_t>(value);
                    break;
                }
            }
            std::fclose(status);
        }
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

bool WriteAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO; // a write that stops short without an error: a full device may do that
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

bool WriteFileReplacing(const QString& fileName, const QByteArray& bytes, QString* error)
{
    const QByteArray target = QFile::encodeName(fileName);
    QByteArray temp = TemporaryPattern(target);
    // mkostemp creates with O_CREAT|O_EXCL and mode 0600: a name someone planted meanwhile fails
    // the creation instead of being opened.
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC | O_NOFOLLOW));
    int failure = fd.Valid() ? 0 : errno;
    if (failure == 0) {
        // The file it replaces says who may read the new one; only a regular file counts.
        struct stat old {};
        const mode_t mode = ::lstat(target.constData(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 0777)
                                                                                           : NewFileMode();
        if (!WriteAll(fd.Get(), bytes) || ::fchmod(fd.Get(), mode) != 0 || ::fdatasync(fd.Get()) != 0)
            failure = errno;
        if (!fd.Reset() && failure == 0)
            failure = errno;
        // rename replaces a link or FIFO under the target's name itself, never what it points to.
        if (failure == 0 && ::rename(temp.constData(), target.constData()) != 0)
            failure = errno;
        if (failure != 0)
            ::unlink(temp.constData());
    }
    if (failure != 0 && error)
        *error = QString::fromStdString(std::generic_category().message(failure));
    return failure == 0;
}

UniqueFd OpenRegularFile(const QString& fileName, int flags, mode_t mode, struct stat* info)
{
    // O_NONBLOCK: opening a FIFO would otherwise wait for the other end.
    UniqueFd fd(::open(QFile::encodeName(fileName).constData(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, mode));
    struct stat st {};
    if (fd.Valid() && (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))) {
        fd.Reset();
        errno = EINVAL;
    }
    if (fd.Valid() && info)
        *info = st;
    return fd;
}

} // namespace tarvo
