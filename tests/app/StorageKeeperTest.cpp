// The storage limits on real folders: which files go, in which order, and that the running total
// works without reading the folders again.
#include "app/storage/StorageKeeper.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace tarvo {

namespace {
constexpr int KB = 1024;

class StorageKeeperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* dir : {"pics", "videos", "site"})
            QDir(root.path()).mkdir(dir);
        options = DefaultOptions(root.path() + "/");
        options.PictureDir = Dir("pics");
        options.VideoDir = Dir("videos");
        options.LocalSiteDir = Dir("site");
        SetProgramLog(&log);
    }
    void TearDown() override { SetProgramLog(nullptr); }

    QString Dir(const char* name) const { return root.path() + '/' + name + '/'; }

    // A file of kb kilobytes, last written minutesAgo minutes ago.
    QString Put(const QString& path, int kb, int minutesAgo)
    {
        WriteFileBytes(path, QByteArray(kb * KB, 'x'));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        EXPECT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-60LL * minutesAgo), QFileDevice::FileModificationTime));
        return path;
    }

    QTemporaryDir root;
    OptionsValues options;
    RecordingEventLog log;
    StorageKeeper keeper;
};

struct Placed {
    const char* dir;
    const char* name;
    int kb;
    int minutesAgo;
    bool removed;
};

TEST_F(StorageKeeperTest, AtTheLimitTheOldestOfTarvosOwnFilesGoFirst)
{
    options.PictureDir = Dir("pics") + "cam1-"; // names glued onto a prefix of the folder string
    const Placed files[] = {
        {"pics", "holiday.jpg", 900, 500, false},              // the user's own
        {"pics", "cam1-Tarvo picture 01.jpg", 400, 490, false}, // no name of Tarvo's
        {"pics", "Tarvo picture 001.jpg", 400, 480, false},    // lacks the folder's prefix
        {"pics", "cam1-12-31  23.59.59.png", 400, 470, false}, // not a picture Tarvo writes
        {"pics", "cam1-12-31  24.00.00.jpg", 400, 465, false}, // no time of day
        {"site", "Tarvo picture 002.jpg", 400, 460, false},    // the website folder
        {"videos", "notes.avi", 400, 450, false},
        {"pics", "cam1-Tarvo picture 003.jpg", 300, 400, true},
        {"videos", "Tarvo video 004.avi", 300, 300, true},
        {"pics", "cam1-12-06  15.07.09.bmp", 300, 200, false},
        {"videos", "02-29  08.00.00.avi", 300, 100, false},
        {"pics", "cam1-Tarvo.jpg", 300, 50, false},
    };
    for (const Placed& f : files)
        Put(Dir(f.dir) + f.name, f.kb, f.minutesAgo);

    keeper.Configure(options, {1, 0});
    for (const Placed& f : files)
        EXPECT_EQ(QFileInfo::exists(Dir(f.dir) + f.name), !f.removed) << f.name;
    EXPECT_EQ(keeper.TotalBytes(), 900 * KB);
    EXPECT_EQ(keeper.KnownFiles(), 3);
    EXPECT_EQ(log.messages(), QStringList{"Removed 2 old pictures and clips (0.6 MB)"});
    EXPECT_TRUE(keeper.Hourly.isActive());

    log.clear();
    keeper.Keep();
    EXPECT_TRUE(log.messages().isEmpty()) << "a round that removes nothing says nothing";
    keeper.Configure(options, {});
    EXPECT_FALSE(keeper.Hourly.isActive());
}

TEST_F(StorageKeeperTest, TheWebsitesPicturesInTheSameFolderStay)
{
    options.LocalSiteDir = options.PictureDir;
    options.LPicPrefix = "Tarvo";
    options.WPicPrefix = "web";
    constexpr int days = 24 * 60;
    // The website's current picture (the fixed name both kinds share), a history copy that is a
    // local picture's name too, and a time stamp either could have written.
    for (const char* website : {"Tarvo.jpg", "Tarvo100.jpg", "01-01  00.00.00.jpg"})
        Put(Dir("pics") + website, 400, 3 * days);
    const QString local = Put(Dir("pics") + "Tarvo001.jpg", 400, 2 * days);
    const QString newest = Put(Dir("pics") + "Tarvo002.jpg", 400, 1);

    keeper.Configure(options, {0, 1});
    EXPECT_FALSE(QFileInfo::exists(local));
    EXPECT_TRUE(QFileInfo::exists(newest));
    EXPECT_EQ(QDir(Dir("pics")).entryList(QDir::Files).size(), 4);
}

TEST_F(StorageKeeperTest, MaxDaysRemovesByAgeButTheNewestStays)
{
    const QString old = Put(Dir("videos") + "Tarvo video 000.avi", 1, 41 * 24 * 60);
    const QString younger = Put(Dir("pics") + "Tarvo picture 000.jpg", 1, 29 * 24 * 60);
    keeper.Configure(options, {0, 30});
    EXPECT_FALSE(QFileInfo::exists(old));
    EXPECT_TRUE(QFileInfo::exists(younger));
    EXPECT_EQ(log.messages(), QStringList{"Removed 1 old picture or clip (0.0 MB)"});

    // Left alone for months: the last picture is still there to see.
    const QString onlyOne = Put(Dir("pics") + "Tarvo picture 000.jpg", 1, 90 * 24 * 60);
    keeper.Keep();
    EXPECT_TRUE(QFileInfo::exists(onlyOne));
}

TEST_F(StorageKeeperTest, ANewFileCountsOnTheRunningTotalWithoutReadingTheFolders)
{
    const QString first = Put(Dir("pics") + "Tarvo picture 000.jpg", 400, 30);
    const QString second = Put(Dir("videos") + "Tarvo video 000.avi", 400, 20);
    keeper.Configure(options, {1, 0});
    ASSERT_EQ(keeper.TotalBytes(), 800 * KB);

    // Written behind the keeper's back, and older than all: only a full round would know it.
    const QString unseen = Put(Dir("pics") + "Tarvo picture 009.jpg", 300, 60);
    const QString fixed = Put(Dir("pics") + "Tarvo.jpg", 100, 0);
    keeper.NoteNewFile(fixed);
    EXPECT_EQ(keeper.TotalBytes(), 900 * KB);
    Put(fixed, 150, 0); // the fixed name written again replaces what was counted
    keeper.NoteNewFile(fixed);
    EXPECT_EQ(keeper.TotalBytes(), 950 * KB);
    keeper.NoteNewFile(Dir("pics") + "someone else's.jpg");
    EXPECT_TRUE(log.messages().isEmpty());

    const QString third = Put(Dir("pics") + "Tarvo picture 001.jpg", 400, 0);
    keeper.NoteNewFile(third);
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_TRUE(QFileInfo::exists(unseen)) << "no folder was read";
    EXPECT_EQ(log.messages(), QStringList{"Removed 1 old picture or clip (0.4 MB)"});

    keeper.Keep(); // the hourly round finds it
    EXPECT_FALSE(QFileInfo::exists(unseen));
    EXPECT_TRUE(QFileInfo::exists(second) && QFileInfo::exists(third) && QFileInfo::exists(fixed));
    EXPECT_EQ(keeper.TotalBytes(), 950 * KB);

    // A recording larger than the limit: everything older goes, the recording stays.
    const QString big = Put(Dir("videos") + "Tarvo video 001.avi", 1500, 0);
    keeper.NoteNewFile(big);
    EXPECT_TRUE(QFileInfo::exists(big));
    EXPECT_EQ(keeper.KnownFiles(), 1);
}
} // namespace

} // namespace tarvo
