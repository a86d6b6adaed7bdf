// The settings kept beside the record: what a hand-edited, damaged or missing file gives, and that
// activation and a fresh Default carry them.
#include "ProfileFolderFixture.h"
#include "settings/ExtraOptions.h"
#include "settings/Profiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tarvo {

namespace {
class ExtraOptionsTest : public ProfileFolderFixture {
protected:
    void WriteIni(const QString& name, const QByteArray& text) { WriteFileBytes(ExtrasPath(programDir, name), text); }
};

TEST_F(ExtraOptionsTest, SavedValuesLoadBackFromAPrivateFile)
{
    ExtraOptions extras;
    extras.Alarms = {25, true, 75, true, R"(notify "a b" %f)"};
    extras.Storage = {20000, 30};
    extras.Clips = {true, 0, 300, 3600, true};
    extras.LiveView = {true, "::", 9000, "me", "pbkdf2-sha256$100000$c2FsdA==$a2V5", 12, "/c.pem", "/k.pem"};
    SaveExtras(programDir, extras, "Cam");
    EXPECT_EQ(LoadExtras(programDir, "Cam"), extras);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(ExtrasPath(programDir, "Cam")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(ReadFileBytes(ExtrasPath(programDir, "Cam")).contains("[Alarms]"));
    EXPECT_TRUE(QDir(ProfileFolder(programDir)).entryList(QDir::Hidden | QDir::Files).filter(".saving").isEmpty());
    EXPECT_THROW(SaveExtras(programDir, extras, "a/b"), SettingsFileError);
    EXPECT_TRUE(DeleteExtras(programDir, "Cam"));
    EXPECT_FALSE(QFileInfo::exists(ExtrasPath(programDir, "Cam")));
}

TEST_F(ExtraOptionsTest, HandEditedFilesAreReadSafely)
{
    struct Case {
        const char* text;
        AlarmOptions expected;
    };
    const AlarmOptions defaults;
    const Case cases[] = {
        {"", defaults},
        {"[Alarms]\nMinChangedPoints=0\nLightChangePercent=101\n", {1, false, 100, false, ""}},
        {"[Alarms]\nMinChangedPoints=99999999999\nLightChangePercent=-5\n", {10000, false, 10, false, ""}},
        {"[Alarms]\nMinChangedPoints=many\nIgnoreLightChange=perhaps\nDesktopNotification=1\n", {1, false, 60, true, ""}},
        {"[Other]\nMinChangedPoints=7\n[Alarms]\nCommand=run %f\n", {1, false, 60, false, "run %f"}},
    };
    for (const Case& c : cases) {
        WriteIni("Hand", c.text);
        EXPECT_EQ(LoadExtras(programDir, "Hand").Alarms, c.expected) << c.text;
    }
    WriteIni("Hand", "[Storage]\nMaxMegabytes=-1\nMaxDays=99999\n");
    EXPECT_EQ(LoadExtras(programDir, "Hand").Storage, (StorageOptions{0, 36500}));
    WriteIni("Hand", "[Storage]\nMaxMegabytes=99999999999\nMaxDays=7\n");
    EXPECT_EQ(LoadExtras(programDir, "Hand").Storage, (StorageOptions{10000000, 7}));
    WriteIni("Hand", "[Clips]\nEnabled=1\nPreSeconds=31\nPostSeconds=0\nMaxSeconds=4\nAudio=yes\n");
    EXPECT_EQ(LoadExtras(programDir, "Hand").Clips, (ClipOptions{true, 30, 1, 5, false}));
    WriteIni("Hand", "[Clips]\nPreSeconds=-1\nPostSeconds=301\nMaxSeconds=3601\n");
    EXPECT_EQ(LoadExtras(programDir, "Hand").Clips, (ClipOptions{false, 0, 300, 3600, false}));
    WriteIni("Hand", "[LiveView]\nEnabled=true\nPort=-1\nStreamFps=31\n");
    EXPECT_EQ(LoadExtras(programDir, "Hand").LiveView, (LiveViewOptions{true, "127.0.0.1", 0, "tarvo", "", 30, "", ""}));
    WriteIni("Hand", "[LiveView]\nPort=70000\nStreamFps=0\nListen=0.0.0.0\n");
    EXPECT_EQ(LoadExtras(programDir, "Hand").LiveView, (LiveViewOptions{false, "0.0.0.0", 65535, "tarvo", "", 1, "", ""}));
    EXPECT_TRUE(log.messages().isEmpty());
    EXPECT_EQ(LoadExtras(programDir, "Missing"), ExtraOptions{});
}

TEST_F(ExtraOptionsTest, ADamagedOrUnreadableFileGivesTheDefaultsAndOneLine)
{
    WriteIni("Bad", "[Alarms]\nMinChangedPoints=5\n[broken");
    EXPECT_EQ(LoadExtras(programDir, "Bad"), ExtraOptions{});
    ASSERT_EQ(log.messages().size(), 1);
    EXPECT_TRUE(log.messages()[0].contains("Bad.ini"));

    log.clear();
    QDir().mkpath(ExtrasPath(programDir, "Folder")); // even root cannot read a folder as a file
    EXPECT_EQ(LoadExtras(programDir, "Folder"), ExtraOptions{});
    EXPECT_EQ(log.messages().size(), 1);
    EXPECT_THROW(SaveExtras(programDir, ExtraOptions{}, "Folder"), SettingsFileError);
}

} // namespace

} // namespace tarvo
