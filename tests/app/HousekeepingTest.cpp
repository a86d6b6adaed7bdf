#include "app/core/Housekeeping.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace tarvo {

namespace {
// Sets (or with a null value unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value, bool set = true) : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        if (set)
            qputenv(name, value.toUtf8());
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

QString entryField(const QString& path, const QString& key)
{
    for (const QString& line : QString::fromUtf8(ReadFileBytes(path)).split('\n'))
        if (line.startsWith(key + "="))
            return line.mid(key.size() + 1);
    return {};
}

class AutostartTest : public ::testing::Test {
protected:
    QTemporaryDir config;
    ScopedEnv xdg{"XDG_CONFIG_HOME", config.path()};
    ScopedEnv home{"TARVO_HOME", {}, false};
    RecordingEventLog log;
};

TEST_F(AutostartTest, EntryFollowsTheSettingAcrossActivations)
{
    const QString entry = config.path() + "/autostart/Tarvo.desktop";
    ASSERT_EQ(AutostartEntryPath(), entry);

    StartMenu(true, log);
    ASSERT_TRUE(QFile::exists(entry));
    EXPECT_EQ(entryField(entry, "Exec"), QCoreApplication::applicationFilePath() + " -m");
    EXPECT_EQ(entryField(entry, "Path"), QDir::currentPath());
    EXPECT_EQ(entryField(entry, "Type"), "Application");

    StartMenu(true, log); // again: replaced, not duplicated
    EXPECT_TRUE(QFile::exists(entry));

    StartMenu(false, log);
    EXPECT_FALSE(QFile::exists(entry));
    StartMenu(false, log); // nothing to remove is no error
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(AutostartTest, ProgramPathWithBlanksAndQuotesIsQuotedForTheDesktop)
{
    ASSERT_TRUE(CreateShortcut("/opt/my cams/tar\"vo"));
    // Quoted argument, '"' escaped inside it, and that backslash escaped again as a string value.
    EXPECT_EQ(entryField(AutostartEntryPath(), "Exec"), "\"/opt/my cams/tar\\\\\"vo\" -m");
}

TEST_F(AutostartTest, ProgramFolderChosenByTarvoHomeIsPassedOn)
{
    ScopedEnv tarvoHome{"TARVO_HOME", "/srv/cams"};
    ASSERT_TRUE(CreateShortcut("/usr/bin/tarvo"));
    EXPECT_EQ(entryField(AutostartEntryPath(), "Exec"), "env TARVO_HOME=/srv/cams /usr/bin/tarvo -m");
}

TEST_F(AutostartTest, UnwritableAutostartFolderIsReported)
{
    WriteFileBytes(config.path() + "/autostart", "a file where the folder belongs");
    StartMenu(true, log);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].msg, "Could not create the startup entry " + config.path() + "/autostart/Tarvo.desktop");
}

TEST(AutostartWithoutFolder, RemovalAsksTheUserAndCreationIsSkippedSilently)
{
    ScopedEnv xdg{"XDG_CONFIG_HOME", {}, false};
    ScopedEnv home{"HOME", {}, false};
    RecordingEventLog log;
    EXPECT_TRUE(AutostartDir().isEmpty());

    StartMenu(true, log);
    EXPECT_TRUE(log.lines().empty());

    StartMenu(false, log);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].msg, "Could not find path to startup folder. Please remove the Tarvo shortcut manually");
    EXPECT_TRUE(log.lines()[0].toFile);
    EXPECT_EQ(log.lines()[0].sender, "Tform1.StartMenu");
}

class LogSizeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pictures = tmp.path() + "/Pictures/";
        videos = tmp.path() + "/Videos/";
        QDir().mkpath(pictures);
        QDir().mkpath(videos);
    }
    // Sparse files: the size counts, the disk stays empty.
    static void makeFile(const QString& path, qint64 size)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(size));
    }
    QTemporaryDir tmp;
    QString pictures;
    QString videos;
};

constexpr qint64 MB = 1024 * 1024;

TEST_F(LogSizeTest, CountsOnlyPicturesAndVideosDirectlyInTheirFolders)
{
    makeFile(pictures + "a.jpg", 1 * MB);
    makeFile(pictures + "b.BMP", 2 * MB);
    makeFile(pictures + ".hidden.jpg", 3 * MB);
    makeFile(pictures + "c.png", 50 * MB);
    makeFile(pictures + "d.avi", 50 * MB);
    QDir().mkpath(pictures + "sub");
    makeFile(pictures + "sub/e.jpg", 50 * MB);
    makeFile(videos + "v.avi", 4 * MB);
    makeFile(videos + "w.jpg", 50 * MB);

    const LogFolderUsage usage = MeasureLogFolders(pictures, videos);
    EXPECT_EQ(usage.bytes, 10 * MB);
    EXPECT_EQ(usage.files, 4);

    const LogFolderUsage none = MeasureLogFolders(tmp.path() + "/gone/", tmp.path() + "/gone too/");
    EXPECT_EQ(none.bytes, 0);
    EXPECT_EQ(none.files, 0);
}

TEST_F(LogSizeTest, FolderWithoutSlashMatchesNamesStartingWithItsLastPart)
{
    makeFile(tmp.path() + "/Picturesx.jpg", MB);
    makeFile(pictures + "inside.jpg", MB);
    const LogFolderUsage usage = MeasureLogFolders(tmp.path() + "/Pictures", videos);
    EXPECT_EQ(usage.files, 1);
}

TEST_F(LogSizeTest, TotalsBeyondTwoGigabytesAreSummedInFull)
{
    makeFile(videos + "long.avi", 3 * 1024 * MB);
    makeFile(videos + "longer.avi", 2 * 1024 * MB);
    const LogFolderUsage usage = MeasureLogFolders(pictures, videos);
    EXPECT_EQ(usage.bytes, 5 * 1024 * MB);
    EXPECT_EQ(LogSizeWarning(usage, 4000),
              "The size of the files in your log directories is exceding 4000 MB. There are 5120 MB in 2 files.");
}

TEST(LogSizeWarning, OnlyWholeMegabytesAboveTheLimitWarn)
{
    struct Case {
        qint64 bytes;
        int files;
        int limit;
        QString expected;
    };
    const Case cases[] = {
        {30 * MB + 9 * MB / 10, 3, 30, {}},
        {30 * MB, 1, 30, {}},
        {31 * MB, 7, 30, "The size of the files in your log directories is exceding 30 MB. There are 31 MB in 7 files."},
        {0, 0, 0, {}},
        {MB, 1, 0, "The size of the files in your log directories is exceding 0 MB. There are 1 MB in 1 files."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LogSizeWarning({c.bytes, c.files}, c.limit), c.expected) << c.bytes << " bytes, limit " << c.limit;
}
} // namespace

} // namespace tarvo
