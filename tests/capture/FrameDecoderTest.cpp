// FrameDecoder: every format the back-end delivers, and every way a frame can be damaged.
#include "capture/FrameDecoder.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <vector>

namespace {

FrameFormat Format(std::uint32_t compression, int w, int h, int bits = 0)
{
    FrameFormat f;
    f.bmiHeader.biCompression = compression;
    f.bmiHeader.biWidth = w;
    f.bmiHeader.biHeight = h;
    f.bmiHeader.biBitCount = std::uint16_t(bits);
    return f;
}

// Red, green, blue and white in BT.601 limited range.
struct Yuv {
    std::uint8_t y, u, v;
    QRgb rgb;
};
constexpr Yuv Red{81, 90, 240, 0xFFFF0000};
constexpr Yuv Blue{41, 240, 110, 0xFF0000FF};
constexpr Yuv White{235, 128, 128, 0xFFFFFFFF};

bool Near(QRgb a, QRgb b, int tolerance = 4)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QImage Pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) % 256));
    return img;
}

std::vector<std::uint8_t> AsDib(const QImage& img, int bytesPerPixel, bool bottomUp)
{
    const int stride = (img.width() * bytesPerPixel + 3) & ~3;
    std::vector<std::uint8_t> out(std::size_t(stride) * img.height(), 0);
    for (int y = 0; y < img.height(); ++y) {
        std::uint8_t* row = &out[std::size_t(stride) * (bottomUp ? img.height() - 1 - y : y)];
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            row[x * bytesPerPixel] = std::uint8_t(qBlue(p));
            row[x * bytesPerPixel + 1] = std::uint8_t(qGreen(p));
            row[x * bytesPerPixel + 2] = std::uint8_t(qRed(p));
        }
    }
    return out;
}

QByteArray Jpeg(const QImage& img, int quality = 95)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPEG", quality);
    return bytes;
}

TEST(FrameDecoder, RgbDibsInEveryRowOrder)
{
    // 7 pixels wide: 21 bytes per row, padded to 24.
    const QImage img = Pattern(7, 5);
    FrameDecoder decoder;
    QImage out;
    for (int bits : {24, 32})
        for (bool bottomUp : {true, false}) {
            const auto data = AsDib(img, bits / 8, bottomUp);
            const auto f = Format(BI_RGB, 7, bottomUp ? 5 : -5, bits);
            ASSERT_TRUE(decoder.Draw(f, data.data(), data.size(), out)) << bits << bottomUp;
            EXPECT_EQ(out.format(), QImage::Format_RGB32);
            EXPECT_EQ(out, img) << bits << " bottom-up " << bottomUp;
            EXPECT_FALSE(decoder.Draw(f, data.data(), data.size() - 1, out)) << "one byte short";
        }
}

TEST(FrameDecoder, Yuy2SharesChromaBetweenPixelPairs)
{
    // 6x3: a red pair, a blue pair, a white pair on every row (12 bytes per row, no padding).
    std::vector<std::uint8_t> data;
    for (int y = 0; y < 3; ++y)
        for (const Yuv& c : {Red, Blue, White})
            data.insert(data.end(), {c.y, c.u, c.y, c.v});
    FrameDecoder decoder;
    QImage out;
    ASSERT_TRUE(decoder.Draw(Format(FOURCC_YUY2, 6, 3), data.data(), data.size(), out));
    ASSERT_EQ(out.size(), QSize(6, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_TRUE(Near(out.pixel(x, y), (x < 2 ? Red : x < 4 ? Blue : White).rgb)) << x << "," << y;
    EXPECT_FALSE(decoder.Draw(Format(FOURCC_YUY2, 6, 3), data.data(), data.size() - 4, out));
}

TEST(FrameDecoder, I420PlanesWithOddSizes)
{
    // 5x3: luma rows of 8 (padded) and 4 of them (even), chroma 3x2 with rows of 4; top chroma
    // row red, bottom blue.
    const int w = 5, h = 3, yStride = 8, yRows = 4, cStride = 4;
    std::vector<std::uint8_t> data(std::size_t(yStride * yRows + 2 * cStride * 2), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            data[std::size_t(y * yStride + x)] = y < 2 ? Red.y : Blue.y;
    std::uint8_t* u = &data[std::size_t(yStride * yRows)];
    std::uint8_t* v = u + cStride * 2;
    for (int x = 0; x < 3; ++x) {
        u[x] = Red.u, v[x] = Red.v;
        u[cStride + x] = Blue.u, v[cStride + x] = Blue.v;
    }
    FrameDecoder decoder;
    QImage out;
    for (std::uint32_t fourcc : {FOURCC_I420, FOURCC_IYUV}) {
        ASSERT_TRUE(decoder.Draw(Format(fourcc, w, h), data.data(), data.size(), out));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                EXPECT_TRUE(Near(out.pixel(x, y), y < 2 ? Red.rgb : Blue.rgb)) << x << "," << y;
    }
    EXPECT_FALSE(decoder.Draw(Format(FOURCC_I420, w, h), data.data(), data.size() - 1, out));
}

TEST(FrameDecoder, MjpegFramesAndTheirDamage)
{
    const QImage img = Pattern(64, 48);
    const QByteArray jpeg = Jpeg(img);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(jpeg.constData());
    FrameDecoder decoder;
    QImage out;
    for (int round = 0; round < 2; ++round) { // the decoder is reused across frames
        ASSERT_TRUE(decoder.Draw(Format(FOURCC_MJPG, 64, 48), bytes, std::size_t(jpeg.size()), out));
        int off = 0;
        for (int y = 0; y < 48; y += 7)
            for (int x = 0; x < 64; x += 7)
                off += !Near(out.pixel(x, y), img.pixel(x, y), 24);
        EXPECT_EQ(off, 0);
    }

    struct Damage {
        const char* what;
        QByteArray data;
        int w, h;
    };
    QByteArray garbage = jpeg;
    for (int i = jpeg.size() / 2; i < jpeg.size() - 2; ++i)
        garbage[i] = char(0xFF);
    const std::vector<Damage> damaged{
        {"truncated to half", jpeg.left(jpeg.size() / 2), 64, 48},
        {"only the header", jpeg.left(200), 64, 48},
        {"entropy data overwritten", garbage, 64, 48},
        {"not a JPEG", QByteArray(500, 'x'), 64, 48},
        {"other size than the format", jpeg, 32, 48},
        {"empty", QByteArray(), 64, 48},
    };
    for (const auto& d : damaged) {
        EXPECT_FALSE(decoder.Draw(Format(FOURCC_MJPG, d.w, d.h), reinterpret_cast<const std::uint8_t*>(d.data.constData()),
                                  std::size_t(d.data.size()), out))
            << d.what;
    }
    // A damaged frame leaves the decoder fit for the next one.
    EXPECT_TRUE(decoder.Draw(Format(FOURCC_MJPG, 64, 48), bytes, std::size_t(jpeg.size()), out));
}

TEST(FrameDecoder, ImplausibleFormatsAreRefused)
{
    std::vector<std::uint8_t> data(1 << 16, 0x80);
    FrameDecoder decoder;
    QImage out;
    struct Case {
        const char* what;
        FrameFormat format;
        const std::uint8_t* data;
    };
    for (const auto& c : {Case{"unknown fourcc", Format(MakeFourCC('N', 'V', '1', '2'), 16, 16), data.data()},
                          Case{"16-bit RGB", Format(BI_RGB, 16, 16, 16), data.data()},
                          Case{"zero width", Format(FOURCC_YUY2, 0, 16), data.data()},
                          Case{"negative width", Format(FOURCC_YUY2, -16, 16), data.data()},
                          Case{"huge", Format(FOURCC_YUY2, 100000, 100000), data.data()},
                          Case{"no data", Format(FOURCC_YUY2, 16, 16), nullptr}})
        EXPECT_FALSE(decoder.Draw(c.format, c.data, data.size(), out)) << c.what;
}

} // namespace
