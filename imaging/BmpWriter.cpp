#include "imaging/BmpWriter.h"

#include <QtEndian>

namespace tarvo {

namespace {
constexpr int FileHeaderSize = 14;
constexpr int InfoHeaderSize = 40;
constexpr int PixelsPerMetre = 3780; // 96 dpi

template <typename T>
void Put(char* at, T value)
{
    qToLittleEndian(value, at);
}
} // namespace

QByteArray EncodeBmp(const QImage& image)
{
    if (image.isNull())
        return {};
    const QImage rgb = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width();
    const int height = rgb.height();
    const qint64 rowBytes = (qint64(width) * 3 + 3) & ~qint64(3); // rows are padded to 4 bytes
    const qint64 pixelBytes = rowBytes * height;
    const qint64 fileSize = FileHeaderSize + InfoHeaderSize + pixelBytes;
    if (fileSize > 0x7FFFFFFF)
        return {};

    QByteArray out(int(fileSize), '\0');
    char* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    Put<quint32>(p + 2, quint32(fileSize));
    Put<quint32>(p + 10, FileHeaderSize + InfoHeaderSize); // offset of the pixels

    char* info = p + FileHeaderSize;
    Put<quint32>(info + 0, InfoHeaderSize);
    Put<qint32>(info + 4, width);
    Put<qint32>(info + 8, height); // positive: bottom-up rows
    Put<quint16>(info + 12, 1);    // planes
    Put<quint16>(info + 14, 24);   // bits per pixel
    Put<quint32>(info + 16, 0);    // BI_RGB, uncompressed
    Put<quint32>(info + 20, quint32(pixelBytes));
    Put<qint32>(info + 24, PixelsPerMetre);
    Put<qint32>(info + 28, PixelsPerMetre);
    // colours used and important colours stay 0

    char* pixels = info + InfoHeaderSize;
    for (int y = 0; y < height; ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(height - 1 - y));
        auto* dst = reinterpret_cast<unsigned char*>(pixels + rowBytes * y);
        for (int x = 0; x < width; ++x) {
            dst[3 * x + 0] = static_cast<unsigned char>(qBlue(src[x]));
            dst[3 * x + 1] = static_cast<unsigned char>(qGreen(src[x]));
            dst[3 * x + 2] = static_cast<unsigned char>(qRed(src[x]));
        }
    }
    return out;
}

} // namespace tarvo
