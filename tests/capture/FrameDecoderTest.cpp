// FrameDecoder: every format the back-end delivers, and every way a frame can be damaged.
#include "capture/FrameDecoder.h"
#include "support/FrameFormatOf.h"

#include <QBuffer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace tarvo {

namespace {

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
            const auto f = FrameFormatOf(BI_RGB, 7, bottomUp ? 5 : -5, bits);
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
    ASSERT_TRUE(decoder.Draw(FrameFormatOf(FOURCC_YUY2, 6, 3), data.data(), data.size(), out));
    ASSERT_EQ(out.size(), QSize(6, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_TRUE(Near(out.pixel(x, y), (x < 2 ? Red : x < 4 ? Blue : White).rgb)) << x << "," << y;
    EXPECT_FALSE(decoder.Draw(FrameFormatOf(FOURCC_YUY2, 6, 3), data.data(), data.size() - 4, out));
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
        ASSERT_TRUE(decoder.Draw(FrameFormatOf(fourcc, w, h), data.data(), data.size(), out));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                EXPECT_TRUE(Near(out.pixel(x, y), y < 2 ? Red.rgb : Blue.rgb)) << x << "," << y;
    }
    EXPECT_FALSE(decoder.Draw(FrameFormatOf(FOURCC_I420, w, h), data.data(), data.size() - 1, out));
}

// The scalar conversion the decoder used before its SIMD one: BT.601 limited range, 8-bit fixed point.
QRgb ReferenceYuv(int y, int u, int v)
{
    const auto clip = [](int x) { return std::clamp(x, 0, 255); };
    const int c = (y - 16) * 298 + 128, d = u - 128, e = v - 128;
    return qRgb(clip((c + 409 * e) >> 8), clip((c - 100 * d - 208 * e) >> 8), clip((c + 516 * d) >> 8));
}

TEST(FrameDecoder, YuvFramesMatchTheBt601LimitedRangeConversion)
{
    // Odd sizes with padded rows; every byte pseudo-random, so every corner of the matrix is met.
    const int w = 37, h = 19;
    std::vector<std::uint8_t> data(1 << 14);
    std::uint32_t seed = 12345;
    for (auto& b : data)
        b = std::uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    struct Case {
        std::uint32_t fourcc;
        std::function<QRgb(int, int)> expected;
    };
    const std::size_t yuy2Stride = (w * 2 + 3) & ~3, yStride = (w + 3) & ~3, cStride = ((w + 1) / 2 + 3) & ~3;
    const std::uint8_t* uPlane = data.data() + yStride * ((h + 1) & ~1);
    const std::uint8_t* vPlane = uPlane + cStride * ((h + 1) / 2);
    const std::vector<Case> cases{
        {FOURCC_YUY2, [&](int x, int y) {
             const std::uint8_t* pair = &data[yuy2Stride * y + (x / 2) * 4];
             return ReferenceYuv(pair[(x % 2) * 2], pair[1], pair[3]);
         }},
        {FOURCC_I420, [&](int x, int y) {
             return ReferenceYuv(data[yStride * y + x], uPlane[cStride * (y / 2) + x / 2], vPlane[cStride * (y / 2) + x / 2]);
         }},
    };
    FrameDecoder decoder;
    QImage out;
    for (const auto& c : cases) {
        ASSERT_TRUE(decoder.Draw(FrameFormatOf(c.fourcc, w, h), data.data(), data.size(), out));
        int off = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                off += !Near(out.pixel(x, y), c.expected(x, y), 3);
        EXPECT_EQ(off, 0) << "pixels more than 3 levels off, fourcc " << c.fourcc;
        EXPECT_EQ(qAlpha(out.pixel(w - 1, h - 1)), 255);
    }
}

TEST(FrameDecoder, MjpegFramesAndTheirDamage)
{
    const QImage img = Pattern(64, 48);
    const QByteArray jpeg = Jpeg(img);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(jpeg.constData());
    FrameDecoder decoder;
    QImage out;
    for (int round = 0; round < 2; ++round) { // the decoder is reused across frames
        ASSERT_TRUE(decoder.Draw(FrameFormatOf(FOURCC_MJPG, 64, 48), bytes, std::size_t(jpeg.size()), out));
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
        EXPECT_FALSE(decoder.Draw(FrameFormatOf(FOURCC_MJPG, d.w, d.h), reinterpret_cast<const std::uint8_t*>(d.data.constData()),
                                  std::size_t(d.data.size()), out))
            << d.what;
    }
    // A damaged frame leaves the decoder fit for the next one.
    EXPECT_TRUE(decoder.Draw(FrameFormatOf(FOURCC_MJPG, 64, 48), bytes, std::size_t(jpeg.size()), out));
}

TEST(FrameDecoder, StrayBytesBetweenMarkersLoseNothing)
{
    // Cheap cameras put bytes between a segment and the next marker; the picture is complete.
    const QImage img = Pattern(64, 48);
    const QByteArray jpeg = Jpeg(img);
    const auto draw = [](const QByteArray& bytes, QImage& out) {
        FrameDecoder decoder;
        return decoder.Draw(FrameFormatOf(FOURCC_MJPG, 64, 48), reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                            std::size_t(bytes.size()), out);
    };
    QImage clean;
    ASSERT_TRUE(draw(jpeg, clean));
    const int scan = jpeg.indexOf("\xFF\xDA");
    ASSERT_GT(scan, 0);
    for (int at : {scan, int(jpeg.size()) - 2}) { // before the scan, and before the end marker
        QByteArray junk = jpeg;
        junk.insert(at, QByteArray("\x00\x12junk", 6));
        QImage out;
        EXPECT_TRUE(draw(junk, out)) << "junk at " << at;
        EXPECT_EQ(out, clean) << "junk at " << at;
    }
    // Losing the end marker alone, or the end of the scan, is a truncated frame.
    QImage out;
    EXPECT_FALSE(draw(jpeg.left(jpeg.size() - 2), out)) << "no end marker";
    EXPECT_FALSE(draw(jpeg.left(jpeg.size() - 40), out)) << "scan cut short";
}

TEST(FrameDecoder, ViewsGetTheFrameScaledOnceToFillThem)
{
    struct Scale {
        QSize frame, bound;
        int denominator;
    };
    for (const auto& c : {Scale{{1920, 1080}, {960, 540}, 2}, Scale{{1920, 1080}, {961, 540}, 1},
                          Scale{{1920, 1080}, {480, 270}, 4}, Scale{{1920, 1080}, {100, 50}, 8},
                          Scale{{1920, 1080}, {1920, 1080}, 1}, Scale{{641, 481}, {321, 241}, 2}})
        EXPECT_EQ(FrameDecoder::JpegScaleDenominator(c.frame, c.bound), c.denominator)
            << c.bound.width() << "x" << c.bound.height();

    const QImage img = Pattern(64, 48);
    const QByteArray jpeg = Jpeg(img);
    std::vector<std::uint8_t> yuy2(64 * 48 * 2);
    for (std::size_t i = 0; i < yuy2.size(); i += 4)
        std::copy_n(std::begin({White.y, White.u, White.y, White.v}), 4, &yuy2[i]);
    const std::vector<std::uint8_t> white(4 * 20 * 4, 0xFF);
    struct Case {
        const char* what;
        FrameFormat format;
        const std::uint8_t* data;
        std::size_t size;
        QSize bound, expected;
    };
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(jpeg.constData());
    const std::vector<Case> cases{
        {"JPEG at a quarter", FrameFormatOf(FOURCC_MJPG, 64, 48), bytes, std::size_t(jpeg.size()), {16, 12}, {16, 12}},
        {"JPEG between sizes: the next larger fraction", FrameFormatOf(FOURCC_MJPG, 64, 48), bytes, std::size_t(jpeg.size()),
         {30, 20}, {32, 24}},
        {"JPEG view as large as the frame", FrameFormatOf(FOURCC_MJPG, 64, 48), bytes, std::size_t(jpeg.size()), {64, 48},
         {64, 48}},
        {"raw frame to the view's size", FrameFormatOf(FOURCC_YUY2, 64, 48), yuy2.data(), yuy2.size(), {30, 20}, {30, 20}},
        {"raw frame by uneven factors", FrameFormatOf(BI_RGB, 4, 20, 32), white.data(), white.size(), {1, 2}, {1, 2}},
    };
    FrameDecoder decoder;
    for (const auto& c : cases) {
        QImage out;
        ASSERT_TRUE(decoder.DrawForView(c.format, c.data, c.size, c.bound, out)) << c.what;
        EXPECT_EQ(out.size(), c.expected) << c.what;
        // The scaled picture shows the frame.
        QImage expected(out.size(), QImage::Format_RGB32);
        if (c.format.header.compression == FOURCC_MJPG)
            expected = img.scaled(out.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        else
            expected.fill(White.rgb);
        int off = 0;
        for (int y = 0; y < out.height(); y += 3)
            for (int x = 0; x < out.width(); x += 3)
                off += !Near(out.pixel(x, y), expected.pixel(x, y), 40);
        EXPECT_EQ(off, 0) << c.what;
    }
    QImage out;
    EXPECT_FALSE(decoder.DrawForView(FrameFormatOf(FOURCC_MJPG, 64, 48), bytes, std::size_t(jpeg.size()) / 2, {16, 12}, out))
        << "a truncated frame is refused at every scale";
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
    for (const auto& c : {Case{"unknown fourcc", FrameFormatOf(MakeFourCC('N', 'V', '1', '2'), 16, 16), data.data()},
                          Case{"16-bit RGB", FrameFormatOf(BI_RGB, 16, 16, 16), data.data()},
                          Case{"zero width", FrameFormatOf(FOURCC_YUY2, 0, 16), data.data()},
                          Case{"negative width", FrameFormatOf(FOURCC_YUY2, -16, 16), data.data()},
                          Case{"huge", FrameFormatOf(FOURCC_YUY2, 100000, 100000), data.data()},
                          Case{"no data", FrameFormatOf(FOURCC_YUY2, 16, 16), nullptr}})
        EXPECT_FALSE(decoder.Draw(c.format, c.data, data.size(), out)) << c.what;
}

} // namespace

} // namespace tarvo
