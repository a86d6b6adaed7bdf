#pragma once
// Writes a whole file through a temporary name in the same folder and renames it into place, so a
// crash or a full disk never leaves a half-written file under the final name.
#include <QByteArray>
#include <QString>

namespace tarvo {

// Replaces fileName with bytes. On failure returns false, leaves any older file of that name as
// it was and, when error is given, sets it to the system's text.
bool WriteFileReplacing(const QString& fileName, const QByteArray& bytes, QString* error = nullptr);

} // namespace tarvo
