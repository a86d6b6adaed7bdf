// Activation makes a profile's record the active settings and drives the whole running program;
// these tests follow it through real profile files in a scratch program folder.
#include "ProfileFolderFixture.h"
#include "RecordingTargets.h"
#include "app/core/Activation.h"
#include "settings/ExtraOptions.h"
#include "settings/PerUserStore.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <cstring>

namespace tarvo {

namespace {
class ActivationTest : public ProfileFolderFixture {
protected:
    RecordingTargets targets{program.store(), programDir};
    ProfileBox box;
};
} // namespace

TEST_F(ActivationTest, ActivationPushesEveryDerivedValueInOrder)
{
    OptionsValues o = DefaultOptions(programDir);
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

    EXPECT_TRUE(SameValues(targets.settings.options, o));
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

TEST_F(ActivationTest, ActivationWithoutADriverSchedulesTheConnection)
{
    OptionsValues o = DefaultOptions(programDir);
    o.DriverIndex = 2;
    targets.driverConnected = false;
    targets.previewChecked = true;
    SetActive(o, box, targets);
    EXPECT_EQ(targets.calls.mid(3, 3), QStringList({"driverIndex", "preview", "driverTimer"}));
    EXPECT_EQ(targets.driverIndex, 2);
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(Written(log.lines()[0]), "Loading driver... | screen | Options - SetActive");
}

TEST_F(ActivationTest, RecordsFromFilesCannotOverflowTheDerivedValues)
{
    OptionsValues o = DefaultOptions(programDir);
    o.TimedMin = 0x7fffffff;
    o.RearmSec = -10;
    o.Sensitivity = 0x7fffffff;
    SetActive(o, box, targets);
    EXPECT_EQ(targets.timedInterval, 0x7fffffff);
    EXPECT_EQ(targets.rearmInterval, 0);
    EXPECT_EQ(targets.motionThreshold, std::int64_t{0x7fffffff} * 90000 + 1000000);
}

TEST_F(ActivationTest, FolderThatCannotBeCreatedShowsEmptyButStaysActive)
{
    OptionsValues o = DefaultOptions(programDir);
    o.PictureDir = program.dir() + "missing/parent/";
    o.VideoDir = program.dir() + "videos/";
    SetActive(o, box, targets);
    EXPECT_EQ(targets.settings.options.PictureDir.str(), program.dir() + "missing/parent/");
    EXPECT_EQ(targets.lastShown.PictureDir.str(), "");
    EXPECT_EQ(targets.lastShown.VideoDir.str(), program.dir() + "videos/");
    EXPECT_TRUE(QFileInfo(program.dir() + "videos").isDir());
}

TEST_F(ActivationTest, FirstStartCreatesDefault)
{
    SaveProfile(programDir, Record(programDir, 999), "Default", passwords); // an old Default is replaced
    ActivateStartupProfile(box, passwords, targets);
    EXPECT_EQ(box.text(), "Default");
    EXPECT_EQ(program.store().ReadString("CurrentProfile", ""), "Default");
    EXPECT_EQ(program.store().ReadInteger("LoadCount", -1), 0);
    EXPECT_EQ(LoadProfile(programDir, "Default", passwords).Limit, 30);
    EXPECT_EQ(targets.settings.options.Limit, 30);
    EXPECT_TRUE(log.contains("Loaded profile: Default"));
}

TEST_F(ActivationTest, StartupFollowsTheCurrentProfileOrFallsBack)
{
    SaveProfile(programDir, Record(programDir, 42), "work", passwords);
    program.store().WriteString("CurrentProfile", "work");
    program.store().WriteInteger("LoadCount", 7);
    ActivateStartupProfile(box, passwords, targets);
    EXPECT_EQ(box.text(), "work");
    EXPECT_EQ(targets.settings.options.Limit, 42);
    EXPECT_EQ(program.store().ReadInteger("LoadCount", -1), 7);

    // Its file is gone: a fresh Default, even over an existing Default with other settings.
    SaveProfile(programDir, Record(programDir, 43), "Default", passwords);
    QFile::remove(ProfilePath(programDir, "work"));
    ActivateStartupProfile(box, passwords, targets);
    EXPECT_EQ(box.text(), "Default");
    EXPECT_EQ(targets.settings.options.Limit, 30);
    EXPECT_EQ(program.store().ReadString("CurrentProfile", ""), "Default");

    // A profile really named after the sentinel is never taken at start-up.
    SaveProfile(programDir, Record(programDir, 44), CreateDefaultSentinel, passwords);
    program.store().WriteString("CurrentProfile", CreateDefaultSentinel);
    ActivateStartupProfile(box, passwords, targets);
    EXPECT_EQ(box.text(), "Default");
}

TEST_F(ActivationTest, StartupRunsOnDefaultsWhenTheCurrentProfileCannotBeOpened)
{
    MakeSocketAt(ProfilePath(programDir, "work"));
    program.store().WriteString("CurrentProfile", "work");
    ActivateStartupProfile(box, passwords, targets);
    EXPECT_EQ(targets.settings.options.Limit, 30);
    EXPECT_EQ(box.text(), "work");
    EXPECT_EQ(log.messages().filter("Profile work could not be loaded").size(), 1);
    EXPECT_TRUE(log.contains("Loaded profile: work"));
    EXPECT_EQ(program.store().ReadString("CurrentProfile", ""), "work");
    EXPECT_FALSE(QFileInfo(ProfilePath(programDir, "work")).isFile()) << "left alone, not replaced";
}

TEST_F(ActivationTest, ActivationCarriesTheProfilesExtrasAndAFreshDefaultDropsOldOnes)
{
    ExtraOptions extras;
    extras.Alarms.MinChangedPoints = 9;
    SaveExtras(programDir, extras, "Cam");
    box.setText("Cam");
    SetActive(DefaultOptions(programDir), box, targets);
    EXPECT_EQ(targets.settings.extras, extras);

    SaveExtras(programDir, extras, DefaultProfileName); // left from an earlier Default
    ProfileBox fresh;
    ActivateStartupProfile(fresh, passwords, targets);
    EXPECT_EQ(fresh.text(), DefaultProfileName);
    EXPECT_EQ(targets.settings.extras, ExtraOptions{});
    EXPECT_FALSE(QFileInfo::exists(ExtrasPath(programDir, DefaultProfileName)));
}

} // namespace tarvo
