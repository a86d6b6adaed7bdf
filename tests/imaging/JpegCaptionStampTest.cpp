// The caption stamped into a JPEG picture through its blocks: it lands where the caption drawn into
// the pixels lands, the blocks elsewhere keep their coefficients, and a picture that cannot be
// read whole is not stamped.
#include "ImagingTestHelpers.h"
#include "fuzz/captionstamp/StampInput.h"
#include "support/TestSupport.h"
#include "imaging/Caption.h"
#include "imaging/JpegCaptionStamp.h"
#include "imaging/JpegWriter.h"

#include <QDir>
#include <QFile>
#include <QRect>
#include <gtest/gtest.h>

namespace tarvo {

namespace {
const QDateTime Moment(QDate(2026, 12, 6), QTime(15, 7, 9));
const QLocale British(QLocale::English, QLocale::UnitedKingdom);

// Mean difference of the colour channels of a and b inside area.
double MeanDifference(const QImage& a, const QImage& b, const QRect& area)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * area.width() * area.height());
}

// Whether a picture's AC Huffman tables have a code for a run of sixteen zeros.
bool HasLongRunCode(const QByteArray& jpeg)
{
    for (qsizetype at = jpeg.indexOf(QByteArray("\xFF\xC4", 2)); at >= 0; at = jpeg.indexOf(QByteArray("\xFF\xC4", 2), at + 2)) {
        const qsizetype end = at + 2 + (uchar(jpeg[at + 2]) << 8 | uchar(jpeg[at + 3]));
        for (qsizetype table = at + 4; table + 17 <= end;) {
            int count = 0;
            for (int length = 1; length <= 16; ++length)
                count += uchar(jpeg[table + length]);
            if (uchar(jpeg[table]) >> 4 == 1 && jpeg.mid(table + 17, count).contains(char(0xF0)))
                return true;
            table += 17 + count;
        }
    }
    return false;
}

QRect ChangedArea(const QImage& a, const QImage& b)
{
    QRect area;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                area |= QRect(x, y, 1, 1);
    return area;
}

TEST(JpegCaptionStampTest, TheCaptionLandsWhereItIsDrawnAndOnlyTheBlocksUnderItChange)
{
    // The picture the caption goes into; all but the last are put in place, their bytes before
    // the caption's rows unchanged.
    enum Source { Plain, NoTables, Noisy, Restarts, Optimised };
    struct Case {
        const char* what;
        bool top, right, transparent;
        Source source;
        unsigned restartMcus = 0; // with Restarts: MCUs in an interval, 0 for an MCU row
    };
    const Case cases[] = {
        {"bottom centre, no box (the default)", false, false, true, Plain},
        {"top right with a box", true, true, false, Plain},
        {"a camera's frame without Huffman tables, which means the standard ones", true, false, true, NoTables},
        {"tables made for a noisy picture, which lack some of the caption's DC steps", false, false, true, Noisy},
        {"a restart marker after every MCU row", false, false, true, Restarts},
        {"a restart marker after every MCU row, caption at the top", true, true, false, Restarts},
        {"a restart marker after every MCU", false, false, false, Restarts, 1},
        {"restart intervals that end within rows, caption at the top", true, false, false, Restarts, 8},
        {"restart intervals that end within rows, caption at the bottom", false, true, true, Restarts, 8},
        {"two restart intervals, the caption in the first", true, false, true, Restarts, 200},
        {"two restart intervals, the caption in the second", false, false, true, Restarts, 200},
        {"tables made for a smooth picture, which lack the codes of the caption's edges", false, false, true, Optimised},
    };
    // Sizes that are no multiple of the 16-pixel MCU, so the edges are partial MCUs.
    const QByteArray plain = JpegWriter().Compress(TestPattern(330, 250));
    QByteArray noTables = plain; // written with the standard tables
    for (qsizetype at; (at = noTables.indexOf(QByteArray("\xFF\xC4", 2))) >= 0;)
        noTables.remove(at, 2 + (uchar(noTables[at + 2]) << 8 | uchar(noTables[at + 3])));
    // A smooth picture: the tables made for its blocks need no code for a long run of zeros, which
    // the caption's sharp edges do.
    QImage smooth(330, 250, QImage::Format_RGB32);
    for (int y = 0; y < smooth.height(); ++y)
        for (int x = 0; x < smooth.width(); ++x)
            smooth.setPixel(x, y, qRgb(x * 255 / 329, y * 255 / 249, 128));
    const QByteArray optimised = WithOptimisedTables(JpegWriter().Compress(smooth));
    ASSERT_FALSE(HasLongRunCode(optimised));
    QImage grain = TestPattern(330, 250);
    for (int y = 0; y < grain.height(); ++y)
        for (int x = 0; x < grain.width(); ++x) {
            const int n = int((std::uint32_t(x * 7919 + y * 104729) * 2654435761u) >> 27) - 16; // -16..15
            const QRgb p = grain.pixel(x, y);
            grain.setPixel(x, y, qRgb(std::clamp(qRed(p) + n, 0, 255), std::clamp(qGreen(p) + n, 0, 255), std::clamp(qBlue(p) + n, 0, 255)));
        }
    const QByteArray noisy = WithOptimisedTables(JpegWriter().Compress(grain));
    for (const Case& c : cases) {
        const QByteArray original = c.source == Restarts ? WithRestartMarkers(plain, c.restartMcus)
                                  : c.source == Optimised ? optimised : c.source == NoTables ? noTables
                                  : c.source == Noisy ? noisy : plain;
        ASSERT_EQ(original.contains(QByteArray("\xFF\xDD", 2)), c.source == Restarts) << c.what;
        const QImage pixels = QImage::fromData(original, "JPG").convertToFormat(QImage::Format_RGB32);
        const JpegBlocks before = ReadJpegBlocks(original);
        ASSERT_EQ(before.components.size(), 3u);
        ASSERT_EQ(before.mcuWidth, 16); // 4:2:0
        ASSERT_EQ(before.mcuHeight, 16);
        OptionsValues o = DefaultOptions("/tmp/tarvo-stamp/");
        o.FontName = "DejaVu Sans";
        o.CapTop = c.top;
        o.CapCenter = !c.right;
        o.CapRight = c.right;
        o.TransparentBack = c.transparent;
        const QByteArray stamped = StampJpegCaption(original, o, Moment, British);
        ASSERT_FALSE(stamped.isEmpty()) << c.what;
        // Put in place, the caption's rows leave the picture's own tables and every byte before
        // them as they were.
        const qsizetype scan = original.indexOf(QByteArray("\xFF\xDA", 2));
        if (c.source != Optimised) {
            EXPECT_EQ(stamped.left(scan), original.left(scan)) << c.what;
        }

        QImage drawn = pixels;
        DrawCaptionAt(drawn, o, Moment, British);
        const QRect caption = ChangedArea(pixels, drawn);
        ASSERT_FALSE(caption.isEmpty()) << c.what;
        // The caption's MCUs: the only place where the blocks may change.
        const QRect mcus(QPoint(caption.left() / 16 * 16, caption.top() / 16 * 16),
                         QPoint(caption.right() / 16 * 16 + 15, caption.bottom() / 16 * 16 + 15));
        const JpegBlocks after = ReadJpegBlocks(stamped);
        ASSERT_EQ(after.components.size(), 3u) << c.what;
        EXPECT_EQ(after.warnings, 0) << c.what;
        int changedBlocks = 0;
        for (std::size_t ci = 0; ci < 3; ++ci) {
            const JpegBlocks::Component& a = before.components[ci];
            const JpegBlocks::Component& b = after.components[ci];
            ASSERT_EQ(a.coefficients.size(), b.coefficients.size()) << c.what;
            for (int row = 0; row < a.rows; ++row)
                for (int column = 0; column < a.columns; ++column) {
                    const auto at = std::size_t(row * a.columns + column) * 64;
                    if (std::equal(&a.coefficients[at], &a.coefficients[at] + 64, &b.coefficients[at]))
                        continue;
                    ++changedBlocks;
                    const QPoint mcu(column / a.h * 16, row / a.v * 16);
                    EXPECT_TRUE(mcus.contains(mcu)) << c.what << ": component " << ci << " block " << column << "," << row;
                }
        }
        EXPECT_GT(changedBlocks, 0) << c.what;
        // The stamped picture shows the caption as the drawn pixels compressed alike show it, far
        // nearer to them than the picture without the caption.
        const QImage shown = QImage::fromData(stamped, "JPG").convertToFormat(QImage::Format_RGB32);
        const QImage expected = QImage::fromData(JpegWriter().Compress(drawn), "JPG").convertToFormat(QImage::Format_RGB32);
        EXPECT_LT(MeanDifference(shown, expected, caption), MeanDifference(pixels, expected, caption) / 4) << c.what;
    }
}

TEST(JpegCaptionStampTest, APictureThatCannotBeReadWholeOrQuantisedAgainIsNotStamped)
{
    const QByteArray original = JpegWriter().Compress(TestPattern(320, 240));
    const qsizetype sof = original.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    QByteArray huge = original;
    huge[sof + 5] = huge[sof + 7] = char(0xEA); // 60000 pixels high and wide, with a small picture's data
    huge[sof + 6] = huge[sof + 8] = char(0x60);
    // A quantisation step of 0: decoders take it, but quantising the caption's blocks with it
    // would divide by zero.
    QByteArray zeroStep = original;
    const qsizetype dqt = original.indexOf(QByteArray("\xFF\xDB", 2));
    ASSERT_GT(dqt, 0);
    zeroStep[dqt + 5 + 10] = 0;
    // A scan that names Huffman table 15 for its first component, of the four a picture can have.
    QByteArray tableFifteen = original;
    const qsizetype sos = original.indexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(sos, 0);
    tableFifteen[sos + 6] = char(0xF0);
    const QByteArray cases[] = {{}, "not a picture", original.left(original.size() / 2), huge, zeroStep, tableFifteen};
    const OptionsValues o = DefaultOptions("/tmp/tarvo-stamp/");
    for (const QByteArray& bytes : cases)
        EXPECT_TRUE(StampJpegCaption(bytes, o, Moment, British).isEmpty()) << bytes.size() << " bytes";
}

// What the fuzzer found stays mended: each input of its corpus is stamped or turned away, read
// only within its bytes (the sanitizer build checks).
TEST(JpegCaptionStampTest, TheFuzzersInputsAreStampedOrTurnedAway)
{
    const QDir corpus(SourceDir() + "fuzz/corpus/captionstamp");
    const QStringList names = corpus.entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray input = file.readAll();
        const QByteArray stamped = StampInput(reinterpret_cast<const std::uint8_t*>(input.constData()), std::size_t(input.size()));
        EXPECT_TRUE(stamped.isEmpty() || stamped.startsWith("\xFF\xD8")) << name.toStdString();
    }
}
} // namespace

} // namespace tarvo
