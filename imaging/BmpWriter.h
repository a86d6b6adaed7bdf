#pragma once
// Uncompressed Windows bitmap files (24 bits per pixel, bottom-up rows), as standard viewers read.
#include <QByteArray>
#include <QImage>

namespace tarvo {

// The whole file; empty for a null image.
QByteArray EncodeBmp(const QImage& image);

} // namespace tarvo
