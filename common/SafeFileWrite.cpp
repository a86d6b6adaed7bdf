#include "common/SafeFileWrite.h"

#include <QSaveFile>

namespace tarvo {

bool WriteFileReplacing(const QString& fileName, const QByteArray& bytes, QString* error)
{
    // QSaveFile writes a temporary file beside the target and renames it over the target on
    // commit; on any failure it removes the temporary file and the target stays untouched.
    QSaveFile file(fileName);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok)
        ok = file.write(bytes) == bytes.size();
    if (ok)
        ok = file.commit();
    if (!ok) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
    }
    return ok;
}

} // namespace tarvo
