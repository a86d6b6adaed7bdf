#include "capture/BmpFile.h"

#include "imaging/BmpWriter.h"
#include "common/SafeFileWrite.h"

namespace tarvo {

bool WriteBmpFile(const QString& fileName, const QImage& image)
{
    const QByteArray bytes = EncodeBmp(image);
    return !bytes.isEmpty() && WriteFileReplacing(fileName, bytes);
}

} // namespace tarvo
