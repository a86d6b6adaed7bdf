// The profile selection and name windows over real profile files, typed into as a user types.
#include "DialogFixture.h"
#include "settings/PerUserStore.h"
#include "settings/widgets/ProfileNameWindow.h"
#include "settings/widgets/ProfileSelectWindow.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace tarvo {

class ProfileWindowsTest : public DialogFixture {
protected:
    ProfileWindowsTest() : select(programDir, box, passwords, program.store(), targets, messages)
    {
        SaveProfile(programDir, Record(programDir, 100), "a", passwords);
        SaveProfile(programDir, Record(programDir, 200), "b", passwords);
        SaveProfile(programDir, Record(programDir, 300), "night", passwords);
        program.store().WriteString("CurrentProfile", "Default");
        ListProfiles(programDir, box);
        select.show();
        targets.calls.clear();
        targets.shown = 0;
    }

    ProfileNameWindow* nameWindow() { return select.findChild<ProfileNameWindow*>(); }
    QComboBox* profilesBox() { return select.findChild<QComboBox*>("ProfilesBox"); }
    QPushButton* button(const char* name) { return select.findChild<QPushButton*>(name, Qt::FindDirectChildrenOnly); }

    ProfileSelectWindow select;
};

TEST_F(ProfileWindowsTest, BoxMirrorsTheRecord)
{
    EXPECT_EQ(profilesBox()->count(), 4);
    EXPECT_EQ(profilesBox()->currentText(), "Default");
    EXPECT_EQ(select.windowTitle(), "Select setup profile:");
    EXPECT_TRUE(button(kProfileSelectDeleteButton)->isEnabled());
}

TEST_F(ProfileWindowsTest, TypingShowsAProfileOnlyOnAnExactMatch)
{
    profilesBox()->lineEdit()->clear();
    EXPECT_EQ(targets.shown, 0) << "an empty text names no profile";
    QTest::keyClicks(profilesBox()->lineEdit(), "nigh");
    EXPECT_EQ(targets.shown, 0);
    QTest::keyClicks(profilesBox()->lineEdit(), "t");
    ASSERT_EQ(targets.shown, 1);
    EXPECT_EQ(targets.lastShown.Limit, 300);
    EXPECT_EQ(Control<QLineEdit>("Limit")->text(), "300") << "the setup dialog shows it";
    EXPECT_EQ(options.Limit, 30) << "nothing is activated";
    EXPECT_EQ(box.text(), "night");

    profilesBox()->lineEdit()->setText("Night");
    EXPECT_EQ(targets.shown, 1) << "letter case counts";
}

TEST_F(ProfileWindowsTest, LeavingTheBoxWithAnUnknownNameTakesTheFirstListed)
{
    FocusIn(profilesBox());
    profilesBox()->lineEdit()->setText("nobody");

    // Another window taking the focus, and the close box, leave the box as it is.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(box.text(), "nobody");
    FocusIn(profilesBox());
    select.close();
    EXPECT_EQ(box.text(), "nobody") << "closing keeps what the box shows";
    EXPECT_EQ(profilesBox()->currentText(), "nobody");

    LeaveByTab(profilesBox());
    EXPECT_EQ(box.text(), "a");
    EXPECT_EQ(profilesBox()->currentText(), "a");
}

TEST_F(ProfileWindowsTest, EnterIsOkAndEscapeClosesAsTheCloseBoxDoes)
{
    FocusIn(profilesBox());
    profilesBox()->lineEdit()->setText("b");
    QTest::keyClick(profilesBox()->lineEdit(), Qt::Key_Return);
    EXPECT_FALSE(select.isVisible());
    EXPECT_EQ(program.store().ReadString("CurrentProfile", ""), "b");
    EXPECT_TRUE(log.contains("Loaded profile: b"));

    FocusIn(profilesBox());
    profilesBox()->lineEdit()->setText("night");
    QTest::keyClick(profilesBox()->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(select.isVisible());
    EXPECT_EQ(program.store().ReadString("CurrentProfile", ""), "b") << "Escape confirms nothing";
    EXPECT_EQ(box.text(), "night");

    button(kProfileSelectNewButton)->click();
    QPointer<ProfileNameWindow> window = nameWindow();
    ASSERT_FALSE(window.isNull());
    QTest::keyClicks(window->findChild<QLineEdit*>(kProfileNameEdit), "dusk");
    QTest::keyClick(window->findChild<QLineEdit*>(kProfileNameEdit), Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([&] { return window.isNull(); }));
    EXPECT_FALSE(QFileInfo::exists(ProfilePath(programDir, "dusk")));
}

TEST_F(ProfileWindowsTest, OkMakesTheProfileCurrent)
{
    profilesBox()->setCurrentText("b");
    button(kProfileSelectOkButton)->click();
    EXPECT_EQ(program.store().ReadString("CurrentProfile", ""), "b");
    EXPECT_EQ(options.Limit, 200);
    EXPECT_TRUE(log.contains("Loaded profile: b"));
    EXPECT_FALSE(select.isVisible());
}

TEST_F(ProfileWindowsTest, DeleteShowsTheFirstRemainingProfileOnly)
{
    QFile::remove(ProfilePath(programDir, "Default"));
    QFile::remove(ProfilePath(programDir, "night"));
    ListProfiles(programDir, box);
    profilesBox()->setCurrentText("a");
    targets.shown = 0;
    button(kProfileSelectDeleteButton)->click();
    EXPECT_FALSE(QFileInfo::exists(ProfilePath(programDir, "a")));
    EXPECT_EQ(box.text(), "b");
    EXPECT_EQ(profilesBox()->currentText(), "b");
    EXPECT_EQ(targets.shown, 1);
    EXPECT_EQ(targets.lastShown.Limit, 200);
    EXPECT_FALSE(button(kProfileSelectDeleteButton)->isEnabled()) << "one profile left";
    EXPECT_EQ(program.store().ReadString("CurrentProfile", ""), "Default");
    EXPECT_EQ(options.Limit, 30);
}

TEST_F(ProfileWindowsTest, DeletingWithNothingListedCreatesNoUnnamedProfile)
{
    for (const char* name : {"Default", "a", "b", "night"})
        QFile::remove(ProfilePath(programDir, name));
    ListProfiles(programDir, box);
    box.setText("");
    button(kProfileSelectDeleteButton)->click();
    EXPECT_TRUE(ProfileNames(programDir).isEmpty());
    EXPECT_EQ(box.text(), "");
}

TEST_F(ProfileWindowsTest, NewProfileStartsFromDefaultsAndIsOnlyNamed)
{
    SaveProfile(programDir, Record(programDir, 999), "night", passwords);
    button(kProfileSelectNewButton)->click();
    ProfileNameWindow* window = nameWindow();
    ASSERT_NE(window, nullptr);
    QPointer<ProfileNameWindow> alive(window);
    EXPECT_EQ(window->windowTitle(), "Profile name:");
    QTest::keyClicks(window->findChild<QLineEdit*>(kProfileNameEdit), "night");
    QTest::keyClick(window->findChild<QLineEdit*>(kProfileNameEdit), Qt::Key_Return); // Enter is "OK"
    EXPECT_TRUE(WaitFor([&] { return alive.isNull(); })) << "the window closes and goes away";

    EXPECT_EQ(LoadProfile(programDir, "night", passwords).Limit, 30) << "an existing profile of that name starts over";
    EXPECT_EQ(box.text(), "night");
    EXPECT_TRUE(box.isListed("night"));
    EXPECT_EQ(targets.shown, 0) << "naming it does not load it";
    EXPECT_EQ(options.Limit, 30);
    EXPECT_TRUE(messages.errors.isEmpty());

    button(kProfileSelectNewButton)->click();
    window = nameWindow();
    ASSERT_NE(window, nullptr);
    window->findChild<QLineEdit*>(kProfileNameEdit)->setText("day");
    window->findChild<QPushButton*>(kProfileNameOkButton)->click();
    EXPECT_EQ(ReadFileBytes(ProfilePath(programDir, "day")).size(), 5532);
    EXPECT_TRUE(box.isListed("day"));
}

TEST_F(ProfileWindowsTest, NameTheFileSystemRejectsKeepsTheNameWindowOpen)
{
    button(kProfileSelectNewButton)->click();
    ProfileNameWindow* window = nameWindow();
    ASSERT_NE(window, nullptr);
    window->findChild<QLineEdit*>(kProfileNameEdit)->setText("a/b");
    window->findChild<QPushButton*>(kProfileNameOkButton)->click();
    EXPECT_EQ(messages.errors.size(), 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(box.isListed("a/b"));
    window->findChild<QPushButton*>(kProfileNameCancelButton)->click();
}

} // namespace tarvo
