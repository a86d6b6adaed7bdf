#include "capture/BmpFile.h"

#include "capture/CaptureTypes.h"

#include <QSaveFile>
#include <QtEndian>
#include <cstring>
#include <vector>

bool WriteBmpFile(const QString& fileName, const QImage& image)
{
    if (image.isNull())
        return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int w = rgb.width(), h = rgb.height();
    const std::uint32_t stride = (std::uint32_t(w) * 3 + 3) & ~3u;
    const std::uint32_t pixelBytes = stride * std::uint32_t(h);
    constexpr std::uint32_t headersSize = 14 + sizeof(BITMAPINFOHEADER);

    // The file is little-endian, as is every machine this runs on; the header is written as is.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    std::vector<std::uint8_t> bytes(headersSize + pixelBytes, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    qToLittleEndian<std::uint32_t>(headersSize + pixelBytes, &bytes[2]);
    qToLittleEndian<std::uint32_t>(headersSize, &bytes[10]);
    BITMAPINFOHEADER info;
    info.biWidth = w;
    info.biHeight = h;
    info.biBitCount = 24;
    info.biSizeImage = pixelBytes;
    std::memcpy(&bytes[14], &info, sizeof info);
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(h - 1 - y));
        std::uint8_t* dst = &bytes[headersSize + stride * std::uint32_t(y)];
        for (int x = 0; x < w; ++x) {
            *dst++ = std::uint8_t(qBlue(src[x]));
            *dst++ = std::uint8_t(qGreen(src[x]));
            *dst++ = std::uint8_t(qRed(src[x]));
        }
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
