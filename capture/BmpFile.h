#pragma once
// Writes a picture as an uncompressed 24-bit bottom-up BMP. The file appears complete or not at
// all (written under a temporary name and renamed).
#include <QImage>
#include <QString>

namespace tarvo {

bool WriteBmpFile(const QString& fileName, const QImage& image);

} // namespace tarvo
