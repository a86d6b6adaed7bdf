// Profile files are shared with other copies of the program and hold passwords; activation drives
// the whole running program. These tests use the real file system in a scratch program folder.
#include "ProfileFolderFixture.h"
#include "RecordingTargets.h"
#include "settings/ActiveOptions.h"
#include "settings/IntegerText.h"
#include "settings/PerUserStore.h"
#include "settings/ProgramDir.h"
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
    QByteArray fileOf(const QString& name) { return ReadFileBytes(ProfilePath(name)); }

    RecordingTargets targets;
    ProfileBox box;
};

OptionsValues Record(std::int32_t limit)
{
    OptionsValues o = DefaultOptions();
    o.Limit = limit;
    return o;
}

// A log line as "text | file or screen | sender".
QString Written(const RecordingEventLog::Line& line)
{
    return line.msg + (line.toFile ? " | file | " : " | screen | ") + line.sender;
}

// Binds a Unix socket at path and leaves it there.
void MakeSocketAt(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray local = QFile::encodeName(path);
    ASSERT_LT(static_cast<std::size_t>(local.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, local.constData(), static_cast<std::size_t>(local.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

bool SameValues(const OptionsValues& a, const OptionsValues& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
} // namespace

TEST_F(ProfilesTest, LoadingAMissingProfileCreatesItWithTheDefaults)
{
    const OptionsValues o = LoadProfile("night");
    EXPECT_TRUE(SameValues(o, DefaultOptions()));
    EXPECT_EQ(fileOf("night").size(), 5532);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(ProfilesTest, SavedRecordLoadsBackAndIsPrivateToItsOwner)
{
    SaveProfile(Record(77), "a");
    struct stat st{};
    ASSERT_EQ(::stat(QFile::encodeName(ProfilePath("a")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(LoadProfile("a").Limit, 77);

    SaveProfile(Record(78), "a"); // replaces
    EXPECT_EQ(LoadProfile("a").Limit, 78);
    EXPECT_EQ(QDir(ProfileFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary left";
}

TEST_F(ProfilesTest, ShortFileLoadsAsDefaultsAndStaysUntouched)
{
    WriteFileBytes(ProfilePath("broken"), QByteArray(100, 'x'));
    EXPECT_TRUE(SameValues(LoadProfile("broken"), DefaultOptions()));
    EXPECT_EQ(fileOf("broken"), QByteArray(100, 'x'));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(Written(log.lines()[0]),
              "Profile broken could not be loaded. | file | function Load(ProfileName : string) : OptionsValues;");
}

TEST_F(ProfilesTest, BytesAfterTheRecordAreIgnored)
{
    const OptionsValues o = Record(1234);
    QByteArray bytes(reinterpret_cast<const char*>(&o), sizeof o);
    bytes += QByteArray(6000 - bytes.size(), '\x7f');
    WriteFileBytes(ProfilePath("long"), bytes);
    EXPECT_TRUE(SameValues(LoadProfile("long"), o));
}

TEST_F(ProfilesTest, FailuresReachTheCallerWithTheSystemText)
{
    // A socket under a profile's name exists but cannot be opened as a file, even by root.
    MakeSocketAt(ProfilePath("socket"));
    try {
        LoadProfile("socket");
        FAIL() << "a profile that cannot be opened must not load silently";
    } catch (const SettingsFileError& e) {
        EXPECT_STREQ(e.what(), std::strerror(ENXIO));
        EXPECT_EQ(e.path(), ProfilePath("socket"));
    }

    // The profile folder is gone and a file has its name.
    SaveProfile(Record(5), "kept");
    QDir(ProfileFolder()).removeRecursively();
    WriteFileBytes(program.dir() + "Profiles", "not a folder");
    try {
        SaveProfile(Record(6), "new");
        FAIL() << "a failed save must reach the caller";
    } catch (const SettingsFileError& e) {
        EXPECT_STREQ(e.what(), std::strerror(ENOTDIR));
    }
    EXPECT_THROW(LoadProfile("missing"), SettingsFileError) << "creating a missing profile can fail too";
}

TEST_F(ProfilesTest, NamesThatAreNoFileNamesAreRefused)
{
    EXPECT_THROW(SaveProfile(Record(1), "../escape"), SettingsFileError);
    EXPECT_FALSE(QFileInfo::exists(program.dir() + "escape.pfl"));
    SaveProfile(Record(1), ""); // the empty name is a profile called ".pfl"
    EXPECT_TRUE(QFileInfo::exists(ProfileFolder() + ".pfl"));
}

TEST_F(ProfilesTest, FileHoldsNoStaleBytesAndNoPasswordUnlessAsked)
{
    OptionsValues o = DefaultOptions();
    std::memset(o.pad774, 0xEE, sizeof o.pad774);
    o.Password = "longsecretpassword";
    o.Password = "short"; // the old text still lies after the new one in memory
    o.SavePassword = true;
    SaveProfile(o, "p");
    QByteArray file = fileOf("p");
    EXPECT_EQ(file.mid(1846, 6), QByteArray("\x05short"));
    EXPECT_FALSE(file.contains("secretpassword"));
    EXPECT_EQ(file.mid(774, 2), QByteArray(2, '\0'));

    o.SavePassword = false;
    SaveProfile(o, "p");
    file = fileOf("p");
    EXPECT_EQ(file.mid(1846, 256), QByteArray(256, '\0'));
    EXPECT_EQ(o.Password.str(), "short") << "the record in memory keeps it";
}

TEST_F(ProfilesTest, PasswordOutsideTheFileLastsForTheRunWithoutAStore)
{
    OptionsValues o = DefaultOptions();
    o.Password = "run only";
    EXPECT_FALSE(SaveProfile(o, "p")) << "no secret store took it";
    EXPECT_EQ(LoadProfile("p").Password.str(), "run only");
    ASSERT_TRUE(DeleteProfile("p"));
    EXPECT_EQ(LoadProfile("p").Password.str(), "") << "a new profile of that name starts without it";

    // A file written by a copy that kept the password whatever the box said still gives it.
    o.Password = "in the file";
    o.SavePassword = true;
    SaveProfile(o, "old");
    QByteArray file = fileOf("old");
    file[3638] = 0; // SavePassword off
    WriteFileBytes(ProfilePath("old"), file);
    EXPECT_EQ(LoadProfile("old").Password.str(), "in the file");
}

TEST_F(ProfilesTest, ListingFollowsTheFolderAndSetsDelete)
{
    box.setText("typed");
    ListProfiles(box);
    EXPECT_TRUE(box.items().isEmpty());
    EXPECT_TRUE(box.deleteEnabled()) << "with none";

    SaveProfile(Record(1), "b");
    ListProfiles(box);
    EXPECT_FALSE(box.deleteEnabled()) << "with exactly one";

    SaveProfile(Record(1), "a.b");
    SaveProfile(Record(1), "C");
    WriteFileBytes(ProfileFolder() + "upper.PFL", "x");
    WriteFileBytes(ProfileFolder() + "notes.txt", "x");
    ListProfiles(box);
    EXPECT_EQ(box.items(), QStringList({"a.b", "b", "C"}));
    EXPECT_TRUE(box.deleteEnabled());
    EXPECT_EQ(box.text(), "typed") << "the shown text survives the refill";
}

TEST_F(ProfilesTest, ActivationPushesEveryDerivedValueInOrder)
{
    OptionsValues o = DefaultOptions();
    o.TimedMin = 1;
    o.TimedSec = 30;
    o.RearmMin = 0;
    o.RearmSec = 5;
    o.FuseMin = 2;
    o.FuseSec = 3;
    o.Sensitivity = 51;
    o.PicQual = 70;
    o.FrameRate = 65536 + 12; // taken as 16 bits
    o.LoadAtStartup = true;
    box.setText("day");
    SetActive(o, box, targets);

    EXPECT_TRUE(SameValues(ActiveOptions, o));
    EXPECT_EQ(targets.calls, QStringList({"shortcut", "timer1", "jpeg", "rates", "threshold", "fuse", "rearm", "show"}));
    EXPECT_TRUE(targets.shortcut);
    EXPECT_EQ(targets.timedInterval, 90000);
    EXPECT_EQ(targets.rearmInterval, 5000);
    EXPECT_EQ(targets.fuseSeconds, 123);
    EXPECT_EQ(targets.motionThreshold, 5590000);
    EXPECT_EQ(targets.jpegQuality, 70);
    EXPECT_EQ(targets.frameRate, 12);
    EXPECT_EQ(targets.previewRate, 12);
    ASSERT_EQ(log.lines().size(), 1u) << "connected driver, same index: only the profile line";
    EXPECT_EQ(Written(log.lines()[0]), "Loaded profile: day | file | Options - SetActive");
}

TEST_F(ProfilesTest, ActivationWithoutADriverSchedulesTheConnection)
{
    OptionsValues o = DefaultOptions();
    o.DriverIndex = 2;
    targets.driverConnected = false;
    targets.previewChecked = true;
    SetActive(o, box, targets);
    EXPECT_EQ(targets.calls.mid(3, 3), QStringList({"driverIndex", "preview", "driverTimer"}));
    EXPECT_EQ(targets.driverIndex, 2);
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(Written(log.lines()[0]), "Loading driver... | screen | Options - SetActive");
}

TEST_F(ProfilesTest, RecordsFromFilesCannotOverflowTheDerivedValues)
{
    OptionsValues o = DefaultOptions();
    o.TimedMin = 0x7fffffff;
    o.RearmSec = -10;
    o.Sensitivity = 0x7fffffff;
    SetActive(o, box, targets);
    EXPECT_EQ(targets.timedInterval, 0x7fffffff);
    EXPECT_EQ(targets.rearmInterval, 0);
    EXPECT_EQ(targets.motionThreshold, std::int64_t{0x7fffffff} * 90000 + 1000000);
}

TEST_F(ProfilesTest, FolderThatCannotBeCreatedShowsEmptyButStaysActive)
{
    OptionsValues o = DefaultOptions();
    o.PictureDir = program.dir() + "missing/parent/";
    o.VideoDir = program.dir() + "videos/";
    SetActive(o, box, targets);
    EXPECT_EQ(ActiveOptions.PictureDir.str(), program.dir() + "missing/parent/");
    EXPECT_EQ(targets.lastShown.PictureDir.str(), "");
    EXPECT_EQ(targets.lastShown.VideoDir.str(), program.dir() + "videos/");
    EXPECT_TRUE(QFileInfo(program.dir() + "videos").isDir());
}

TEST_F(ProfilesTest, FirstStartCreatesDefault)
{
    SaveProfile(Record(999), "Default"); // an old Default is replaced
    ActivateStartupProfile(box, targets);
    EXPECT_EQ(box.text(), "Default");
    EXPECT_EQ(program.store().ReadString("CurrentProfile", ""), "Default");
    EXPECT_EQ(program.store().ReadInteger("LoadCount", -1), 0);
    EXPECT_EQ(LoadProfile("Default").Limit, 30);
    EXPECT_EQ(ActiveOptions.Limit, 30);
    EXPECT_TRUE(log.contains("Loaded profile: Default"));
}

TEST_F(ProfilesTest, StartupFollowsTheCurrentProfileOrFallsBack)
{
    SaveProfile(Record(42), "work");
    program.store().WriteString("CurrentProfile", "work");
    program.store().WriteInteger("LoadCount", 7);
    ActivateStartupProfile(box, targets);
    EXPECT_EQ(box.text(), "work");
    EXPECT_EQ(ActiveOptions.Limit, 42);
    EXPECT_EQ(program.store().ReadInteger("LoadCount", -1), 7);

    // Its file is gone: a fresh Default, even over an existing Default with other settings.
    SaveProfile(Record(43), "Default");
    QFile::remove(ProfilePath("work"));
    ActivateStartupProfile(box, targets);
    EXPECT_EQ(box.text(), "Default");
    EXPECT_EQ(ActiveOptions.Limit, 30);
    EXPECT_EQ(program.store().ReadString("CurrentProfile", ""), "Default");

    // A profile really named after the sentinel is never taken at start-up.
    SaveProfile(Record(44), CreateDefaultSentinel);
    program.store().WriteString("CurrentProfile", CreateDefaultSentinel);
    ActivateStartupProfile(box, targets);
    EXPECT_EQ(box.text(), "Default");
}

TEST_F(ProfilesTest, StartupRunsOnDefaultsWhenTheCurrentProfileCannotBeOpened)
{
    MakeSocketAt(ProfilePath("work"));
    program.store().WriteString("CurrentProfile", "work");
    ActivateStartupProfile(box, targets);
    EXPECT_EQ(ActiveOptions.Limit, 30);
    EXPECT_EQ(box.text(), "work");
    EXPECT_EQ(log.messages().filter("Profile work could not be loaded").size(), 1);
    EXPECT_TRUE(log.contains("Loaded profile: work"));
    EXPECT_EQ(program.store().ReadString("CurrentProfile", ""), "work");
    EXPECT_FALSE(QFileInfo(ProfilePath("work")).isFile()) << "left alone, not replaced";
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
