// Profile files are shared with other copies of the program and hold passwords. These tests use the
// real file system in a scratch program folder.
#include "ProfileFolderFixture.h"
#include "settings/OptionsValues.h"
#include "settings/IntegerText.h"
#include "settings/PerUserStore.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tarvo {

namespace {
class ProfilesTest : public ProfileFolderFixture {
protected:
    QByteArray fileOf(const QString& name) { return ReadFileBytes(ProfilePath(programDir, name)); }

    ProfileBox box;
};
} // namespace

TEST_F(ProfilesTest, LoadingAMissingProfileCreatesItWithTheDefaults)
{
    const OptionsValues o = LoadProfile(programDir, "night", passwords);
    EXPECT_TRUE(SameValues(o, DefaultOptions(programDir)));
    EXPECT_EQ(fileOf("night").size(), 5532);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(ProfilesTest, SavedRecordLoadsBackAndIsPrivateToItsOwner)
{
    SaveProfile(programDir, Record(programDir, 77), "a", passwords);
    struct stat st{};
    ASSERT_EQ(::stat(QFile::encodeName(ProfilePath(programDir, "a")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(LoadProfile(programDir, "a", passwords).Limit, 77);

    SaveProfile(programDir, Record(programDir, 78), "a", passwords); // replaces
    EXPECT_EQ(LoadProfile(programDir, "a", passwords).Limit, 78);
    EXPECT_EQ(QDir(ProfileFolder(programDir)).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary left";
}

TEST_F(ProfilesTest, ShortFileLoadsAsDefaultsAndStaysUntouched)
{
    WriteFileBytes(ProfilePath(programDir, "broken"), QByteArray(100, 'x'));
    EXPECT_TRUE(SameValues(LoadProfile(programDir, "broken", passwords), DefaultOptions(programDir)));
    EXPECT_EQ(fileOf("broken"), QByteArray(100, 'x'));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(Written(log.lines()[0]),
              "Profile broken could not be loaded. | file | function Load(ProfileName : string) : OptionsValues;");
}

TEST_F(ProfilesTest, BytesAfterTheRecordAreIgnored)
{
    const OptionsValues o = Record(programDir, 1234);
    QByteArray bytes(reinterpret_cast<const char*>(&o), sizeof o);
    bytes += QByteArray(6000 - bytes.size(), '\x7f');
    WriteFileBytes(ProfilePath(programDir, "long"), bytes);
    EXPECT_TRUE(SameValues(LoadProfile(programDir, "long", passwords), o));
}

TEST_F(ProfilesTest, FailuresReachTheCallerWithTheSystemText)
{
    // A socket under a profile's name exists but cannot be opened as a file, even by root.
    MakeSocketAt(ProfilePath(programDir, "socket"));
    try {
        LoadProfile(programDir, "socket", passwords);
        FAIL() << "a profile that cannot be opened must not load silently";
    } catch (const SettingsFileError& e) {
        EXPECT_STREQ(e.what(), std::strerror(ENXIO));
        EXPECT_EQ(e.path(), ProfilePath(programDir, "socket"));
    }

    // The profile folder is gone and a file has its name.
    SaveProfile(programDir, Record(programDir, 5), "kept", passwords);
    QDir(ProfileFolder(programDir)).removeRecursively();
    WriteFileBytes(program.dir() + "Profiles", "not a folder");
    try {
        SaveProfile(programDir, Record(programDir, 6), "new", passwords);
        FAIL() << "a failed save must reach the caller";
    } catch (const SettingsFileError& e) {
        EXPECT_STREQ(e.what(), std::strerror(ENOTDIR));
    }
    EXPECT_THROW(LoadProfile(programDir, "missing", passwords), SettingsFileError) << "creating a missing profile can fail too";
}

TEST_F(ProfilesTest, NamesThatAreNoFileNamesAreRefused)
{
    EXPECT_THROW(SaveProfile(programDir, Record(programDir, 1), "../escape", passwords), SettingsFileError);
    EXPECT_FALSE(QFileInfo::exists(program.dir() + "escape.pfl"));
    SaveProfile(programDir, Record(programDir, 1), "", passwords); // the empty name is a profile called ".pfl"
    EXPECT_TRUE(QFileInfo::exists(ProfileFolder(programDir) + ".pfl"));
}

TEST_F(ProfilesTest, FileHoldsNoStaleBytesAndNoPasswordUnlessAsked)
{
    OptionsValues o = DefaultOptions(programDir);
    std::memset(o.pad774, 0xEE, sizeof o.pad774);
    o.Password = "longsecretpassword";
    o.Password = "short"; // the old text still lies after the new one in memory
    o.SavePassword = true;
    SaveProfile(programDir, o, "p", passwords);
    QByteArray file = fileOf("p");
    EXPECT_EQ(file.mid(1846, 6), QByteArray("\x05short"));
    EXPECT_FALSE(file.contains("secretpassword"));
    EXPECT_EQ(file.mid(774, 2), QByteArray(2, '\0'));

    o.SavePassword = false;
    SaveProfile(programDir, o, "p", passwords);
    file = fileOf("p");
    EXPECT_EQ(file.mid(1846, 256), QByteArray(256, '\0'));
    EXPECT_EQ(o.Password.str(), "short") << "the record in memory keeps it";
}

TEST_F(ProfilesTest, PasswordOutsideTheFileLastsForTheRunWithoutAStore)
{
    OptionsValues o = DefaultOptions(programDir);
    o.Password = "run only";
    EXPECT_FALSE(SaveProfile(programDir, o, "p", passwords)) << "no secret store took it";
    EXPECT_EQ(LoadProfile(programDir, "p", passwords).Password.str(), "run only");
    ASSERT_TRUE(DeleteProfile(programDir, "p", passwords));
    EXPECT_EQ(LoadProfile(programDir, "p", passwords).Password.str(), "") << "a new profile of that name starts without it";

    // A file written by a copy that kept the password whatever the box said still gives it.
    o.Password = "in the file";
    o.SavePassword = true;
    SaveProfile(programDir, o, "old", passwords);
    QByteArray file = fileOf("old");
    file[3638] = 0; // SavePassword off
    WriteFileBytes(ProfilePath(programDir, "old"), file);
    EXPECT_EQ(LoadProfile(programDir, "old", passwords).Password.str(), "in the file");
}

TEST_F(ProfilesTest, ListingFollowsTheFolderAndSetsDelete)
{
    box.setText("typed");
    ListProfiles(programDir, box);
    EXPECT_TRUE(box.items().isEmpty());
    EXPECT_TRUE(box.deleteEnabled()) << "with none";

    SaveProfile(programDir, Record(programDir, 1), "b", passwords);
    ListProfiles(programDir, box);
    EXPECT_FALSE(box.deleteEnabled()) << "with exactly one";

    SaveProfile(programDir, Record(programDir, 1), "a.b", passwords);
    SaveProfile(programDir, Record(programDir, 1), "C", passwords);
    WriteFileBytes(ProfileFolder(programDir) + "upper.PFL", "x");
    WriteFileBytes(ProfileFolder(programDir) + "notes.txt", "x");
    ListProfiles(programDir, box);
    EXPECT_EQ(box.items(), QStringList({"a.b", "b", "C"}));
    EXPECT_TRUE(box.deleteEnabled());
    EXPECT_EQ(box.text(), "typed") << "the shown text survives the refill";
}

TEST(IntegerText, StrictConversion)
{
    struct Case {
        const char* text;
        bool valid;
        int value;
    };
    for (const Case& c : {Case{"12", true, 12}, Case{" -7 ", true, -7}, Case{"+3", true, 3},
                          Case{"2147483647", true, 2147483647}, Case{"", false, 0}, Case{"12a", false, 0},
                          Case{"1.5", false, 0}, Case{"-", false, 0}, Case{"2147483648", false, 0}}) {
        if (c.valid) {
            EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
        } else {
            try {
                StrToInt(c.text);
                ADD_FAILURE() << "accepted " << c.text;
            } catch (const ConvertError& e) {
                EXPECT_EQ(std::string(e.what()), std::string("'") + c.text + "' is not a valid integer value");
            }
        }
    }
    // Any length of digits is still a number for the exit checks, which clamp it.
    EXPECT_GT(WholeNumber("99999999999999999999999").value_or(0), std::int64_t{1} << 40);
    EXPECT_LT(WholeNumber("-99999999999999999999999").value_or(0), -(std::int64_t{1} << 40));
}

} // namespace tarvo
