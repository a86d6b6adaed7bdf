#pragma once
// Files in folders the user chose, where anyone who can write there may have put a link or a FIFO
// under the name Tarvo is about to use. A whole file is written to a fresh temporary name in the
// same folder and renamed into place, so a crash or a full disk never leaves a half-written file
// under the final name and nothing planted under that name is ever opened. A file that grows
// (the event log) is opened only when it is a regular file and never through a link.
#include "common/UniqueFd.h"

#include <QByteArray>
#include <QString>
#include <sys/stat.h>
#include <sys/types.h>

namespace tarvo {

// Replaces fileName with bytes. A link, FIFO or file under that name is replaced, never written
// through; the new file keeps the mode of the regular file it replaces, or gets the mode of a
// newly made file. On failure returns false, leaves whatever had that name as it was and, when
// error is given, sets it to the system's text.
bool WriteFileReplacing(const QString& fileName, const QByteArray& bytes, QString* error = nullptr);

// The mode a file made with 0666 gets under this process's umask: what a finished file that was
// written under a private temporary name is given before it takes its final name.
mode_t NewFileMode();

// Writes all of bytes to fd, going on after interruptions and partial writes; a write that stops
// short without an error fails with errno EIO.
bool WriteAll(int fd, const QByteArray& bytes);

// Opens fileName with flags (O_RDONLY, or O_WRONLY|O_APPEND|O_CREAT with the mode of a new file)
// only when it is a regular file: fails (errno ELOOP for a link, EINVAL for anything else that is
// not a regular file) instead of opening a link, a FIFO or a device, and never blocks on a FIFO.
// When info is given, it receives what fstat said of the file opened.
UniqueFd OpenRegularFile(const QString& fileName, int flags, mode_t mode = 0, struct stat* info = nullptr);

} // namespace tarvo
