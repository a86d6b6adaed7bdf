// The files themselves: baseline JPEG at the set quality, and bitmaps other decoders read.
#include "ImagingTestHelpers.h"
#include "imaging/BmpWriter.h"
#include "imaging/JpegWriter.h"
#include "support/TestSupport.h"

#include <QImageReader>
#include <QtEndian>
#include <gtest/gtest.h>

namespace tarvo {

TEST(JpegWriter, WritesBaselineAtTheSetQuality)
{
    const QImage pattern = TestPattern(160, 120);
    JpegWriter writer;
    EXPECT_EQ(writer.Quality(), 90);
    struct Case {
        int set, effective;
    };
    int previousSize = 0;
    for (const Case c : {Case{-5, 1}, Case{10, 10}, Case{50, 50}, Case{90, 90}, Case{100, 100}, Case{250, 100}}) {
        writer.SetQuality(c.set);
        EXPECT_EQ(writer.Quality(), c.effective);
        QString error;
        const QByteArray bytes = writer.Compress(pattern, &error);
        ASSERT_FALSE(bytes.isEmpty()) << error.toStdString();
        const JpegFacts facts = InspectJpeg(bytes);
        EXPECT_TRUE(facts.decoded) << c.set;
        EXPECT_TRUE(facts.baseline) << c.set;
        EXPECT_EQ(facts.width, 160);
        EXPECT_EQ(facts.height, 120);
        EXPECT_EQ(facts.lumaDcStep, ExpectedLumaDcStep(c.effective)) << c.set;
        EXPECT_GE(bytes.size(), previousSize) << "higher quality, larger file, at " << c.set;
        previousSize = int(bytes.size());
    }
}

TEST(JpegWriter, KeepsThePictureAcrossFormatsAndSizes)
{
    JpegWriter writer;
    const QImage pattern = TestPattern(33, 17);
    for (QImage::Format f : {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGB888,
                             QImage::Format_Grayscale8, QImage::Format_Indexed8}) {
        const QImage input = pattern.convertToFormat(f);
        const QImage back = QImage::fromData(writer.Compress(input), "JPG").convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(back.size(), QSize(33, 17)) << f;
        const QImage expected = input.convertToFormat(QImage::Format_RGB32);
        long long error = 0;
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 33; ++x)
                error += std::abs(qRed(back.pixel(x, y)) - qRed(expected.pixel(x, y)))
                       + std::abs(qBlue(back.pixel(x, y)) - qBlue(expected.pixel(x, y)));
        EXPECT_LT(error / (33 * 17 * 2), 30) << "red and blue stay in place for format " << f;
    }
    EXPECT_FALSE(writer.Compress(TestPattern(1, 1)).isEmpty());
}

TEST(JpegWriter, ReportsFailuresWithoutLeavingFiles)
{
    ScratchProgram program;
    JpegWriter writer;
    QString error;
    EXPECT_FALSE(writer.WriteFile(QImage(), program.dir() + "empty.jpg", &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(writer.WriteFile(TestPattern(8, 8), program.dir() + "no/such/folder/x.jpg", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(program.dir() + "empty.jpg"));

    ASSERT_TRUE(writer.WriteFile(TestPattern(8, 8), program.dir() + "ok.jpg", &error));
    EXPECT_TRUE(InspectJpeg(ReadFileBytes(program.dir() + "ok.jpg")).decoded);
}

TEST(BmpWriter, WritesAnUncompressedBitmapThatDecodersRead)
{
    ScratchProgram program;
    for (QSize size : {QSize(1, 1), QSize(7, 3), QSize(64, 48)}) { // 7 * 3 bytes: rows need padding
        const QImage pattern = TestPattern(size.width(), size.height());
        const QByteArray bmp = EncodeBmp(pattern);
        ASSERT_GE(bmp.size(), 54);
        const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bmp.constData() + at); };
        const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bmp.constData() + at); };
        EXPECT_EQ(bmp.left(2), "BM");
        EXPECT_EQ(u32(2), quint32(bmp.size()));
        EXPECT_EQ(u32(10), 54u);
        EXPECT_EQ(u32(14), 40u);
        EXPECT_EQ(qint32(u32(18)), size.width());
        EXPECT_EQ(qint32(u32(22)), size.height());
        EXPECT_EQ(u16(28), 24);
        EXPECT_EQ(u32(30), 0u); // BI_RGB: no compression
        EXPECT_EQ(bmp.size(), 54 + ((size.width() * 3 + 3) / 4 * 4) * size.height());

        const QImage back = QImage::fromData(bmp, "BMP").convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(back, pattern) << size.width() << "x" << size.height();

        const QString file = program.dir() + "pattern.bmp";
        WriteFileBytes(file, bmp);
        if (const std::optional<bool> accepted = CjpegAccepts(file)) {
            EXPECT_TRUE(*accepted) << "cjpeg rejects the bitmap";
        }
    }
    EXPECT_TRUE(EncodeBmp(QImage()).isEmpty());
}

} // namespace tarvo
