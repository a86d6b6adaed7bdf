// Saving local pictures: names, formats, the caption carried by the frame, and failures.
#include "ImagingTestHelpers.h"
#include "common/Clock.h"
#include "support/FixedClock.h"
#include "imaging/FileNaming.h"
#include "imaging/JpegWriter.h"
#include "imaging/PictureSaving.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QImageReader>
#include <QRandomGenerator>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace tarvo {

namespace {
class SavePicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramLog(&log);
        SetProgramClock(&clock);
        options = DefaultOptions(program.dir()); // pictures into <program>/Log/
        QDir().mkpath(options.PictureDir.str());
    }
    void TearDown() override
    {
        SetProgramLog(nullptr);
        SetProgramClock(nullptr);
    }
    QString PictureDir() const { return options.PictureDir.str(); }

    ScratchProgram program;
    FileCounters counters{program.store()};
    RecordingEventLog log;
    FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(15, 7, 9))};
    OptionsValues options;
    JpegWriter jpeg;
};
} // namespace

TEST_F(SavePicTest, JpegWithCaptionUnderATimedName)
{
    QImage frame = TestPattern(320, 240);
    const QImage original = frame;
    SavePic(frame, options, counters, jpeg);

    const QString file = PictureDir() + "12-06  15.07.09.jpg";
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].msg, "Picture saved as: " + file);
    EXPECT_TRUE(log.lines()[0].toFile);
    EXPECT_EQ(log.lines()[0].sender, "SavePic - jpg");
    const JpegFacts facts = InspectJpeg(ReadFileBytes(file));
    EXPECT_TRUE(facts.decoded);
    EXPECT_TRUE(facts.baseline);
    EXPECT_EQ(facts.width, 320);
    // The frame keeps the caption for the website pictures of the same capture.
    EXPECT_NE(frame, original);
    EXPECT_EQ(FileNamesIn(PictureDir()), QStringList{"12-06  15.07.09.jpg"});
}

TEST_F(SavePicTest, BitmapWithoutCaption)
{
    options.SaveAsBitmap = true;
    options.CaptionLocal = false;
    options.PicQual = 1; // no bearing on bitmaps
    QImage frame = TestPattern(64, 48);
    const QImage original = frame;
    SavePic(frame, options, counters, jpeg);

    const QString file = PictureDir() + "12-06  15.07.09.bmp";
    ASSERT_EQ(log.messages(), QStringList{"Picture saved as: " + file});
    EXPECT_EQ(log.lines()[0].sender, "SavePic");
    EXPECT_EQ(frame, original);
    QImageReader reader(file);
    EXPECT_EQ(reader.format(), "bmp");
    EXPECT_EQ(reader.read().convertToFormat(QImage::Format_RGB32), original);
}

TEST_F(SavePicTest, SameNameReplacesTheEarlierPicture)
{
    // Two pictures within one second, and fixed names, land on the same file.
    QImage first = TestPattern(40, 30);
    QImage second(40, 30, QImage::Format_RGB32);
    second.fill(Qt::blue);
    options.CaptionLocal = false;
    options.SaveAsBitmap = true;
    for (std::int32_t scheme : {NamingTimed, NamingFixed}) {
        options.LPicNaming = scheme;
        SavePic(first, options, counters, jpeg);
        SavePic(second, options, counters, jpeg);
        const QString name = scheme == NamingTimed ? "12-06  15.07.09.bmp" : "Tarvo.bmp";
        EXPECT_EQ(QImage(PictureDir() + name).convertToFormat(QImage::Format_RGB32), second) << scheme;
    }
    EXPECT_EQ(FileNamesIn(PictureDir()), (QStringList{"12-06  15.07.09.bmp", "Tarvo.bmp"}));
}

TEST_F(SavePicTest, CounterWrapsAndAnOlderPictureOfThatNumberIsReplaced)
{
    options.LPicNaming = NamingIncrementing;
    options.CaptionLocal = false;
    counters.Set(FileKind::LocalPicture, 999);
    WriteFileBytes(PictureDir() + "Tarvo picture 000.jpg", "old picture");
    QImage frame = TestPattern(16, 16);
    SavePic(frame, options, counters, jpeg);
    SavePic(frame, options, counters, jpeg);
    EXPECT_EQ(log.messages(), (QStringList{"Picture saved as: " + PictureDir() + "Tarvo picture 999.jpg",
                                           "Picture saved as: " + PictureDir() + "Tarvo picture 000.jpg"}));
    EXPECT_TRUE(InspectJpeg(ReadFileBytes(PictureDir() + "Tarvo picture 000.jpg")).decoded);
}

TEST_F(SavePicTest, MissingFolderIsOneLogLineAndTheCounterStillAdvances)
{
    options.PictureDir = program.dir() + "gone/";
    options.LPicNaming = NamingIncrementing;
    counters.Set(FileKind::LocalPicture, 5);
    for (bool caption : {true, false}) {
        log.clear();
        options.CaptionLocal = caption;
        QImage frame = TestPattern(16, 16);
        SavePic(frame, options, counters, jpeg);
        ASSERT_EQ(log.lines().size(), 1u);
        const QString number = caption ? "005" : "006";
        EXPECT_EQ(log.lines()[0].msg, "Could not save file: " + program.dir() + "gone/Tarvo picture " + number + ".jpg");
        EXPECT_TRUE(log.lines()[0].toFile);
        EXPECT_EQ(log.lines()[0].sender, caption ? "SavePic - Caption" : "SavePic - No caption");
    }
    EXPECT_EQ(counters.Value(FileKind::LocalPicture), 7);
}

TEST_F(SavePicTest, FullDiskKeepsTheEarlierPictureWhole)
{
    options.LPicNaming = NamingFixed;
    options.SaveAsBitmap = true;
    options.CaptionLocal = false;
    QImage small = TestPattern(8, 8);
    SavePic(small, options, counters, jpeg);
    const QByteArray earlier = ReadFileBytes(PictureDir() + "Tarvo.bmp");
    ASSERT_FALSE(earlier.isEmpty());

    // A file-size limit makes every write past 4 KiB fail as a full disk does.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    QImage large(200, 200, QImage::Format_RGB32); // noise: too large even as a JPEG
    QRandomGenerator noise(7);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            large.setPixel(x, y, noise.generate() | 0xFF000000u);
    SavePic(large, options, counters, jpeg);
    options.SaveAsBitmap = false;
    SavePic(large, options, counters, jpeg);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(log.messages().mid(1), (QStringList{"Could not save file: " + PictureDir() + "Tarvo.bmp",
                                                  "Could not save file: " + PictureDir() + "Tarvo.jpg"}));
    EXPECT_EQ(ReadFileBytes(PictureDir() + "Tarvo.bmp"), earlier);
    EXPECT_EQ(FileNamesIn(PictureDir()), QStringList{"Tarvo.bmp"}); // no half-written leftovers
}

TEST_F(SavePicTest, ALinkPutUnderThePicturesNameIsReplacedNotWrittenThrough)
{
    options.LPicNaming = NamingFixed;
    const QString picture = PictureDir() + "Tarvo.jpg";
    const QString elsewhere = program.dir() + "elsewhere.txt";
    WriteFileBytes(elsewhere, "not a picture");
    ASSERT_TRUE(QFile::link(elsewhere, picture));
    QImage frame = TestPattern(16, 16);
    SavePic(frame, options, counters, jpeg);
    EXPECT_EQ(ReadFileBytes(elsewhere), "not a picture");
    EXPECT_FALSE(QFileInfo(picture).isSymLink());
    EXPECT_TRUE(InspectJpeg(ReadFileBytes(picture)).decoded);

    // A picture replaced keeps the mode its owner gave it.
    const QByteArray path = QFile::encodeName(picture);
    ASSERT_EQ(::chmod(path.constData(), 0640), 0);
    SavePic(frame, options, counters, jpeg);
    struct stat st {};
    ASSERT_EQ(::stat(path.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(FileNamesIn(PictureDir()), QStringList{"Tarvo.jpg"});
}

TEST_F(SavePicTest, UnknownSchemeSavesUnderTheExtensionAlone)
{
    options.LPicNaming = 9;
    QImage frame = TestPattern(16, 16);
    SavePic(frame, options, counters, jpeg);
    EXPECT_EQ(log.messages(), QStringList{"Picture saved as: " + PictureDir() + ".jpg"});
}

TEST_F(SavePicTest, EmptyFrameIsAFailedSave)
{
    QImage empty;
    SavePic(empty, options, counters, jpeg);
    EXPECT_EQ(log.messages(), QStringList{"Could not save file: " + PictureDir() + "12-06  15.07.09.jpg"});
}

} // namespace tarvo
