// The setup dialog driven as a user drives it, offscreen: what it shows, what it corrects, what it
// enables, and what reaches the profile file and the active settings.
#include "DialogFixture.h"
#include "settings/IntegerText.h"
#include "settings/PasswordHash.h"
#include "settings/widgets/ColorSwatch.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QTimer>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

namespace {
// A record far from the defaults in every field the dialog shows.
OptionsValues Unusual(const QString& dir)
{
    OptionsValues o = DefaultOptions();
    o.PictureDir = dir + "pics/";
    o.VideoDir = dir + "videos/";
    o.LogfileDir = dir + "logs/";
    o.CreateLogfile = false;
    o.ClickSound = false;
    o.LoadAtStartup = true;
    o.AutoCapAtStart = true;
    o.AutoUpdCheck = false;
    o.WarnLimit = true;
    o.Limit = 250;
    o.Trigger = TriggerMotion;
    o.TimedMin = 7;
    o.TimedSec = 45;
    o.SoundFile = "/sounds/bell ä.wav";
    o.CapPic = false;
    o.UpPic = true;
    o.PlaySound = true;
    o.ShowPopup = true;
    o.PicQual = 33;
    o.DriverIndex = 2;
    o.FrameRate = 25;
    o.CapAudChannels = 1;
    o.CapAudSampleRate = 3;
    o.CapAudResolution = 1;
    o.CapAudio = false;
    o.SaveAsBitmap = true;
    o.FTPAddress = "ftp.local.test";
    o.UserName = "watcher";
    o.UpDir = "cam/today";
    o.Password = "pa ss";
    o.LocalSiteDir = dir + "site/";
    o.OfflinePicName = "/pics/away.jpg";
    o.SocksHost = "proxy.test";
    o.SocksUser = "su";
    o.SocksPass = "sp";
    o.SocksType = "SOCKS 4A";
    o.SavePassword = true;
    o.WebsiteFTP = false;
    o.WebsiteLocal = true;
    o.OfflinePic = true;
    o.UseSocks = true;
    o.PassiveMode = true;
    o.Port = 2121;
    o.SocksPort = 1080;
    o.FileNumber = 4;
    o.CaptionLocal = false;
    o.CaptionWebsite = false;
    o.FontBold = false;
    o.FontItalic = true;
    o.FontUnderline = true;
    o.FontStrikeOut = true;
    o.TransparentBack = false;
    o.CapTop = true;
    o.CapBottom = false;
    o.CapLeft = false;
    o.CapCenter = false;
    o.CapRight = true;
    o.FontName = "DejaVu Serif";
    o.CaptionText = "Gate %d\r\n%t";
    o.FontSize = 17;
    o.FontColor = 0x00123456;
    o.BackColor = 0x00ABCDEF;
    o.Sensitivity = 12;
    o.FuseMin = 3;
    o.FuseSec = 14;
    o.RearmMin = 4;
    o.RearmSec = 2;
    o.MarkColor = 0x00010203;
    o.FuseEnabled = true;
    o.RearmEnabled = false;
    o.Mark = true;
    o.MDUserDefinedArea = true;
    o.MDbeginX = 11;
    o.MDbeginY = 12;
    o.MDendX = 300;
    o.MDendY = 200;
    o.LPicPrefix = "L ";
    o.LPicFixed = "lfix";
    o.WPicPrefix = "W ";
    o.WPicFixed = "wfix";
    o.VidPrefix = "V ";
    o.LPicNaming = NamingIncrementing;
    o.WPicNaming = NamingIncrementing;
    o.VidNaming = NamingIncrementing;
    o.TmpUpload = true;
    return o;
}

void Type(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
    LeaveByTab(edit);
}
} // namespace

class SetupDialogTest : public DialogFixture {
protected:
    // The record as a profile file holds it: padding and unused string bytes do not count.
    QByteArray FileImageOf(const OptionsValues& o)
    {
        Save(o, "image");
        return ReadFileBytes(ProfilePath("image"));
    }
};

TEST_F(SetupDialogTest, RecordShownAndReadBackIsUnchanged)
{
    for (const OptionsValues& original : {DefaultOptions(), Unusual(program.dir())}) {
        targets.driverIndex = original.DriverIndex;
        dialog.ShowInDialog(original);
        OptionsValues back;
        std::memset(&back, 0x5A, sizeof back); // every field must be written by the dialog
        dialog.ReadFromDialog(back);
        EXPECT_EQ(FileImageOf(back), FileImageOf(original));
    }
}

TEST_F(SetupDialogTest, ShowsTheDriverInUseNotTheRecordsAndOddValuesAsTheyAre)
{
    OptionsValues o = DefaultOptions();
    o.DriverIndex = 2;
    o.Trigger = 7;
    targets.driverIndex = 1;
    dialog.ShowInDialog(o);
    EXPECT_EQ(dialog.ComboBox2->currentText(), "Camera two");
    EXPECT_FALSE(dialog.RadioButton1->isChecked());
    EXPECT_FALSE(dialog.RadioButton2->isChecked());
    OptionsValues back = o;
    dialog.ReadFromDialog(back);
    EXPECT_EQ(back.Trigger, 7) << "neither trigger checked leaves the field alone";
    EXPECT_EQ(back.DriverIndex, 1);
}

TEST_F(SetupDialogTest, PagesCaptionsAndTitle)
{
    QStringList pages;
    for (int i = 0; i < dialog.PageControl1->count(); ++i)
        pages << dialog.PageControl1->tabText(i);
    EXPECT_EQ(pages, QStringList({"Auto capture", "Capture options", "Filenames", "General", "Motion detection",
                                  "Picture caption", "Website", "More"}));
    EXPECT_EQ(dialog.RadioButton1->text(), "Timed capturing every           min.          sec.");
    EXPECT_EQ(dialog.Button7->text(), "Backgound color...");
    EXPECT_EQ(dialog.GroupBox9->title(), "Motion detection sensitivity 50%") << "default sensitivity 51";

    box.setText("night");
    dialog.PageControl1->setCurrentIndex(5);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Setup: night");
    EXPECT_EQ(dialog.PageControl1->currentIndex(), 0);
    // The edits sit inside the caption's blanks, clear of its words.
    const QRect min = dialog.MinEdit->geometry();
    const QFontMetrics fm(dialog.RadioButton1->font());
    EXPECT_GT(min.left(), fm.horizontalAdvance("Timed capturing every"));
    EXPECT_LT(min.right(), dialog.SecEdit->geometry().left());
}

TEST_F(SetupDialogTest, NumericEditsCorrectThemselvesOnExit)
{
    struct Case {
        QLineEdit* edit;
        const char* typed;
        const char* shown;
    };
    for (const Case& c : {Case{dialog.MinEdit, "75", "60"}, Case{dialog.MinEdit, "-3", "0"},
                          Case{dialog.MinEdit, "abc", "0"}, Case{dialog.MinEdit, "99999999999", "60"},
                          Case{dialog.MinEdit, " 007", "7"}, Case{dialog.SecEdit, "60", "59"},
                          Case{dialog.FuseSec, "60", "59"}, Case{dialog.RearmSec, "", "0"},
                          Case{dialog.FuseMin, "6", "5"}, Case{dialog.RearmMin, "-1", "0"},
                          Case{dialog.PortEdit, "100000", "99999"}, Case{dialog.PortEdit, "65536", "65536"},
                          Case{dialog.PortEdit, "x", "0"}, Case{dialog.Edit3, "letters", "30"},
                          Case{dialog.Edit3, "0", "1"}, Case{dialog.Edit3, "31", "30"},
                          Case{dialog.Limit, "0", "1"}, Case{dialog.Limit, "", "1"},
                          Case{dialog.Limit, "5000", "5000"}, Case{dialog.FileNumber, "no", "1"},
                          Case{dialog.FileNumber, "0", "1"}}) {
        Type(c.edit, c.typed);
        EXPECT_EQ(c.edit->text(), c.shown) << "typed '" << c.typed << "'";
    }
}

TEST_F(SetupDialogTest, QualityEditAndSliderFollowEachOther)
{
    dialog.picqual->setText("");
    EXPECT_EQ(dialog.picqual->text(), "90");
    EXPECT_EQ(dialog.TrackBar1->value(), 90);
    dialog.picqual->setText("150");
    EXPECT_EQ(dialog.picqual->text(), "100");
    dialog.picqual->setText("0");
    EXPECT_EQ(dialog.picqual->text(), "1");
    dialog.picqual->setText("42");
    EXPECT_EQ(dialog.TrackBar1->value(), 42);
    dialog.TrackBar1->setValue(77);
    EXPECT_EQ(dialog.picqual->text(), "77");

    dialog.TrackBar2->setValue(1);
    EXPECT_EQ(dialog.GroupBox9->title(), "Motion detection sensitivity 100%");
    dialog.TrackBar2->setValue(100);
    EXPECT_EQ(dialog.GroupBox9->title(), "Motion detection sensitivity 1%");
}

TEST_F(SetupDialogTest, HistoryNamesFollowTheFixedName)
{
    dialog.WPicFixed->setText("cam");
    EXPECT_EQ(dialog.Label31->text(), "Files will be named: cam.jpg, cam02.jpg, cam03.jpg, etc.");
}

TEST_F(SetupDialogTest, LongHistoryNoteOnlyWhileTheActiveHistoryIsShort)
{
    Type(dialog.FileNumber, "12");
    ASSERT_EQ(messages.notes.size(), 1);
    EXPECT_EQ(messages.notes[0], "Note|If you are using FTP for your wesite pictures, it is not recommended\n\r"
                                 "to keep a history of more than 10 pictures because of the speed.");
    EXPECT_EQ(dialog.FileNumber->text(), "12") << "the value is kept";
    dialog.Button1Click();
    ASSERT_EQ(ActiveOptions.FileNumber, 12);
    Type(dialog.FileNumber, "15");
    EXPECT_EQ(messages.notes.size(), 1);
}

TEST_F(SetupDialogTest, EnablingRulesFollowTheGoverningControls)
{
    OptionsValues o = DefaultOptions();
    o.PlaySound = true;
    o.CapAudio = false;
    o.TransparentBack = true;
    dialog.ShowInDialog(o);
    EXPECT_FALSE(dialog.CheckBox10->isEnabled());
    EXPECT_TRUE(dialog.CheckBox10->isChecked()) << "disabled controls keep their values";
    EXPECT_FALSE(dialog.Edit6->isEnabled());
    EXPECT_FALSE(dialog.CapAudSampleRate->isEnabled());
    EXPECT_FALSE(dialog.ResolutionLabel->isEnabled());
    EXPECT_FALSE(dialog.Button7->isEnabled());
    EXPECT_FALSE(dialog.LPicPrefix->isEnabled());
    EXPECT_TRUE(dialog.FileNumber->isEnabled()) << "website pictures default to the fixed name";
    EXPECT_FALSE(dialog.WPicPrefix->isEnabled());
    EXPECT_FALSE(dialog.VidPrefix->isEnabled());

    OptionsValues back = o;
    dialog.ReadFromDialog(back);
    EXPECT_TRUE(back.PlaySound);

    dialog.RadioButton2->click();
    EXPECT_TRUE(dialog.Button5->isEnabled());
    dialog.CheckBox9->click();
    EXPECT_TRUE(dialog.CapAudChannels->isEnabled());
    dialog.CheckBox6->click();
    EXPECT_TRUE(dialog.Button7->isEnabled());
    dialog.WPicIncR->click();
    EXPECT_TRUE(dialog.WPicPrefix->isEnabled());
    EXPECT_FALSE(dialog.FileNumber->isEnabled());
    EXPECT_FALSE(dialog.Label31->isEnabled());
    dialog.VidIncR->click();
    EXPECT_TRUE(dialog.VidPrefix->isEnabled());

    // Local pictures: "Fixed filename:" leaves the prefix as the last click left it.
    dialog.LPicIncR->click();
    EXPECT_TRUE(dialog.LPicPrefix->isEnabled());
    dialog.LPicFixedR->click();
    EXPECT_TRUE(dialog.LPicPrefix->isEnabled());
    dialog.LPicTimedR->click();
    EXPECT_FALSE(dialog.LPicPrefix->isEnabled());
    dialog.LPicFixedR->click();
    EXPECT_FALSE(dialog.LPicPrefix->isEnabled());
    EXPECT_TRUE(dialog.LPicFixed->isEnabled());
}

TEST_F(SetupDialogTest, OkSavesUnderTheBoxNameAndActivates)
{
    box.setText("garden");
    dialog.show();
    dialog.Edit1->setText("");
    dialog.Memo1->setPlainText("one\ntwo");
    dialog.Button1Click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(messages.errors.isEmpty());
    const OptionsValues saved = Load("garden");
    EXPECT_EQ(saved.PictureDir.str(), "/") << "an empty folder is saved as the separator";
    EXPECT_EQ(saved.CaptionText.str(), "one\r\ntwo");
    EXPECT_EQ(ActiveOptions.CaptionText.str(), "one\r\ntwo");
    EXPECT_TRUE(log.contains("Loaded profile: garden"));
}

TEST_F(SetupDialogTest, ThePageMoreIsSavedBesideTheRecordAndCancelRestoresIt)
{
    auto* points = dialog.findChild<QSpinBox*>("MinChangedPoints");
    auto* command = dialog.findChild<QLineEdit*>("AlarmCommand");
    auto* light = dialog.findChild<QCheckBox*>("IgnoreLightChange");
    auto* percent = dialog.findChild<QSpinBox*>("LightChangePercent");
    auto* megabytes = dialog.findChild<QSpinBox*>("MaxMegabytes");
    auto* days = dialog.findChild<QSpinBox*>("MaxDays");
    auto* clips = dialog.findChild<QCheckBox*>("ClipsEnabled");
    auto* pre = dialog.findChild<QSpinBox*>("PreSeconds");
    auto* post = dialog.findChild<QSpinBox*>("PostSeconds");
    auto* longest = dialog.findChild<QSpinBox*>("MaxSeconds");
    auto* sound = dialog.findChild<QCheckBox*>("ClipsAudio");
    ASSERT_TRUE(points && command && light && percent && megabytes && days && clips && pre && post && longest && sound);
    EXPECT_FALSE(percent->isEnabled()) << "the share belongs to the light rule";
    EXPECT_FALSE(pre->isEnabled() || post->isEnabled() || longest->isEnabled() || sound->isEnabled())
        << "the lengths and the sound belong to clips";
    box.setText("garden");
    dialog.show();
    points->setValue(40);
    light->setChecked(true);
    EXPECT_TRUE(percent->isEnabled());
    command->setText("  hook %f  ");
    megabytes->setValue(2500);
    days->setValue(14);
    clips->setChecked(true);
    EXPECT_TRUE(pre->isEnabled() && post->isEnabled() && longest->isEnabled() && sound->isEnabled());
    sound->setChecked(true);
    pre->setValue(0);
    post->setValue(300);
    longest->setValue(3600);
    dialog.Button1Click();
    const AlarmOptions saved = LoadExtras("garden").Alarms;
    EXPECT_EQ(saved.MinChangedPoints, 40);
    EXPECT_TRUE(saved.IgnoreLightChange);
    EXPECT_EQ(saved.Command, "hook %f");
    EXPECT_EQ(ActiveExtras.Alarms, saved);
    EXPECT_EQ(LoadExtras("garden").Storage, (StorageOptions{2500, 14}));
    EXPECT_EQ(ActiveExtras.Storage, (StorageOptions{2500, 14}));
    EXPECT_EQ(LoadExtras("garden").Clips, (ClipOptions{true, 0, 300, 3600, true}));
    EXPECT_EQ(ActiveExtras.Clips, LoadExtras("garden").Clips);

    // The live view's password field keeps only a hash of what was typed, and keeps it until removed.
    auto* live = dialog.findChild<QCheckBox*>("LiveViewEnabled");
    auto* password = dialog.findChild<QLineEdit*>("LiveViewPassword");
    auto* remove = dialog.findChild<QPushButton*>("LiveViewRemovePassword");
    ASSERT_TRUE(live && password && remove);
    EXPECT_FALSE(password->isEnabled()) << "the group's fields belong to the live view";
    dialog.show();
    live->setChecked(true);
    password->setText("s3cret pass");
    dialog.Button1Click();
    const LiveViewOptions liveSaved = LoadExtras("garden").LiveView;
    EXPECT_TRUE(liveSaved.Enabled);
    const auto hash = PasswordHash::Parse(liveSaved.PasswordHash);
    ASSERT_TRUE(hash) << liveSaved.PasswordHash.toStdString();
    EXPECT_TRUE(hash->Matches("s3cret pass"));
    EXPECT_FALSE(ReadFileBytes(ExtrasPath("garden")).contains("s3cret"));
    dialog.ShowExtrasInDialog(ActiveExtras); // as the activation's target does
    dialog.show();
    EXPECT_TRUE(password->text().isEmpty());
    dialog.Button1Click();
    EXPECT_EQ(LoadExtras("garden").LiveView.PasswordHash, liveSaved.PasswordHash) << "an empty field keeps the password";
    dialog.show();
    remove->click();
    dialog.Button1Click();
    EXPECT_TRUE(LoadExtras("garden").LiveView.PasswordHash.isEmpty());

    dialog.show();
    dialog.Button10Click();
    EXPECT_EQ(points->value(), 1) << "the defaults are shown";
    EXPECT_EQ(megabytes->value(), 0);
    EXPECT_FALSE(clips->isChecked());
    EXPECT_FALSE(pre->isEnabled());
    dialog.Button4Click();
    EXPECT_EQ(points->value(), 40) << "the active settings are shown again";
    EXPECT_EQ(megabytes->value(), 2500);
    EXPECT_EQ(days->value(), 14);
    EXPECT_TRUE(clips->isChecked() && pre->isEnabled());
    EXPECT_EQ(pre->value(), 0);
    EXPECT_EQ(LoadExtras("garden").Alarms, saved);
}

TEST_F(SetupDialogTest, PasswordStaysOutOfTheFileUnlessSaved)
{
    // No secret store answers here: the password lasts for the run, and the user is told once.
    dialog.PasswordEdit->setText("hunter2");
    dialog.CheckBox3->setChecked(false);
    dialog.Button1Click();
    EXPECT_FALSE(ReadFileBytes(ProfilePath("Default")).contains("hunter2"));
    EXPECT_EQ(Load("Default").Password.str(), "hunter2") << "kept for this run";
    EXPECT_EQ(ActiveOptions.Password.str(), "hunter2");
    EXPECT_EQ(dialog.PasswordEdit->text(), "hunter2");
    ASSERT_EQ(messages.notes.size(), 1);
    EXPECT_TRUE(messages.notes[0].contains("will be forgotten when Tarvo ends"));
    dialog.Button1Click();
    EXPECT_EQ(messages.notes.size(), 1) << "said once";

    dialog.CheckBox3->setChecked(true);
    dialog.Button1Click();
    EXPECT_EQ(Load("Default").Password.str(), "hunter2");
}

TEST_F(SetupDialogTest, DefaultsThenCancelChangesNothing)
{
    OptionsValues active = Unusual(program.dir());
    targets.driverIndex = active.DriverIndex;
    Save(active, "Default");
    SetActive(active, box, targets);
    const QByteArray onDisk = ReadFileBytes(ProfilePath("Default"));
    dialog.show();
    dialog.Button10Click();
    EXPECT_EQ(dialog.MinEdit->text(), "5") << "the defaults are shown";
    dialog.Button4Click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(ReadFileBytes(ProfilePath("Default")), onDisk);
    EXPECT_EQ(std::memcmp(&ActiveOptions, &active, sizeof active), 0);
    EXPECT_EQ(dialog.MinEdit->text(), "7") << "the active settings are shown again";
}

TEST_F(SetupDialogTest, BadProxyPortKeepsTheDialogOpenAndSavesNothing)
{
    const QByteArray onDisk = ReadFileBytes(ProfilePath("Default"));
    const OptionsValues before = ActiveOptions;
    dialog.show();
    for (const char* port : {"", "10 80", "1080x"}) {
        dialog.MinEdit->setText("9");
        proxy.SocksPortEdit->setText(port);
        dialog.Button1Click();
        ASSERT_FALSE(messages.errors.isEmpty());
        EXPECT_EQ(messages.errors.last(), QString("'%1' is not a valid integer value").arg(port));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.MinEdit->text(), "9") << "the user's edits stay";
    }
    EXPECT_EQ(ReadFileBytes(ProfilePath("Default")), onDisk);
    EXPECT_EQ(std::memcmp(&ActiveOptions, &before, sizeof before), 0);
    EXPECT_FALSE(targets.calls.contains("show"));
}

TEST_F(SetupDialogTest, FailingSaveActivatesNothing)
{
    const OptionsValues before = ActiveOptions;
    dialog.show();
    dialog.MinEdit->setText("9");
    QDir(ProfileFolder()).removeRecursively();
    WriteFileBytes(program.dir() + "Profiles", "not a folder");
    dialog.Button1Click();
    ASSERT_EQ(messages.errors.size(), 1);
    EXPECT_EQ(messages.errors[0], QString::fromLocal8Bit(std::strerror(ENOTDIR)));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.MinEdit->text(), "9");
    EXPECT_EQ(std::memcmp(&ActiveOptions, &before, sizeof before), 0);
    EXPECT_FALSE(targets.calls.contains("show"));
}

TEST_F(SetupDialogTest, OkIsOffWhileAutoCapturingButCancelStillRestores)
{
    dialog.show();
    dialog.SetOkEnabled(false);
    dialog.MinEdit->setText("9");
    dialog.Button1Click();
    EXPECT_EQ(ActiveOptions.TimedMin, 5);
    EXPECT_TRUE(dialog.isVisible());
    dialog.Button4Click();
    EXPECT_EQ(dialog.MinEdit->text(), "5");
    dialog.SetOkEnabled(true);
    EXPECT_TRUE(dialog.Button1->isEnabled());
}

TEST_F(SetupDialogTest, HidingTakesTheHelperWindowsAlong)
{
    int exampleHidden = 0, ftpHidden = 0;
    dialog.hooks.hideExampleIfVisible = [&] { ++exampleHidden; };
    dialog.hooks.hideFtpTestIfVisible = [&] { ++ftpHidden; };
    dialog.show();
    dialog.PageControl1->setCurrentIndex(4);
    EXPECT_EQ(exampleHidden, 0) << "the area window belongs to the motion page";
    dialog.PageControl1->setCurrentIndex(7);
    EXPECT_EQ(exampleHidden, 0) << "the page More shows how much the area window's scene changes";
    dialog.PageControl1->setCurrentIndex(5);
    EXPECT_EQ(exampleHidden, 1);
    dialog.hide();
    EXPECT_EQ(exampleHidden, 2);
    EXPECT_EQ(ftpHidden, 1);
}

TEST_F(SetupDialogTest, CaptionMemoHoldsAtMost255Characters)
{
    dialog.Memo1->setPlainText(QString(300, 'c'));
    EXPECT_EQ(dialog.Memo1->toPlainText().size(), 255);
}

TEST_F(SetupDialogTest, ProxyWindowSwitchesAServerlessProxyOff)
{
    proxy.show();
    proxy.CheckBox1->click();
    EXPECT_TRUE(proxy.GroupBox1->isEnabled());
    EXPECT_TRUE(proxy.SocksType->isEnabled());
    proxy.Button1->click();
    EXPECT_FALSE(proxy.isVisible());
    EXPECT_FALSE(proxy.CheckBox1->isChecked());
    EXPECT_FALSE(proxy.GroupBox1->isEnabled());
    EXPECT_FALSE(proxy.SocksHostEdit->isEnabled());

    proxy.show();
    proxy.CheckBox1->click();
    proxy.SocksHostEdit->setText("gate");
    proxy.close();
    EXPECT_TRUE(proxy.CheckBox1->isChecked()) << "a proxy with a server stays on";
    EXPECT_EQ(proxy.SocksType->count(), 4);
}

TEST_F(SetupDialogTest, ColourButtonsSetTheCaptionColours)
{
    struct Case {
        QPushButton* button;
        Colour OptionsValues::*field;
        QPalette::ColorRole role;
    };
    for (const Case& c : {Case{dialog.FontColorButton, &OptionsValues::FontColor, QPalette::Text},
                          Case{dialog.Button7, &OptionsValues::BackColor, QPalette::Base}}) {
        // The user picks rgb(0x12, 0x34, 0x56) in the colour dialog and confirms it.
        QTimer pick;
        QObject::connect(&pick, &QTimer::timeout, [&] {
            if (auto* chooser = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
                chooser->setCurrentColor(QColor(0x12, 0x34, 0x56));
                chooser->accept();
            }
        });
        pick.start(20);
        dialog.show();
        dialog.CheckBox6->setChecked(false); // a transparent caption has no background to choose
        c.button->click();
        pick.stop();
        dialog.Button1Click();
        EXPECT_EQ(ActiveOptions.*c.field, 0x00563412u) << "red in the low byte";
        EXPECT_EQ(Load("Default").*c.field, 0x00563412u);

        dialog.ShowInDialog(DefaultOptions());
        EXPECT_NE(dialog.Memo1->palette().color(c.role), QColor(0x12, 0x34, 0x56));
        dialog.ShowInDialog(ActiveOptions);
        EXPECT_EQ(dialog.Memo1->palette().color(c.role), QColor(0x12, 0x34, 0x56));
    }
}

TEST_F(SetupDialogTest, EnterIsOkAndEscapeIsCancel)
{
    Type(dialog.Limit, "77");
    FocusIn(dialog.Memo1);
    QTest::keyClick(dialog.Memo1, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "Enter in the caption text starts a new line";
    EXPECT_EQ(dialog.Memo1->toPlainText().count('\n'), 1);
    FocusIn(dialog.MinEdit);
    dialog.MinEdit->setText("75");
    QTest::keyClick(dialog.MinEdit, Qt::Key_Enter);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(ActiveOptions.Limit, 77);
    EXPECT_EQ(Load("Default").Limit, 77);
    EXPECT_EQ(ActiveOptions.TimedMin, 60) << "the edit left by Enter corrects itself first";

    Type(dialog.Limit, "5");
    QTest::keyClick(dialog.Limit, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Limit->text(), "77") << "Cancel shows the active settings again";

    // Enter on a focused button presses that button, not "OK".
    FocusIn(dialog.Button10);
    QTest::keyClick(dialog.Button10, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.Limit->text(), "30") << "Defaults";

    dialog.SetOkEnabled(false);
    FocusIn(dialog.Limit);
    QTest::keyClick(dialog.Limit, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "no OK while auto-capturing";
    EXPECT_EQ(ActiveOptions.Limit, 77);

    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        FocusIn(proxy.CheckBox1);
        QTest::keyClick(proxy.CheckBox1, key);
        EXPECT_FALSE(proxy.isVisible()) << "Enter and Escape are \"Close\"";
    }
}

TEST_F(SetupDialogTest, ExitChecksRunOnlyWhenTheFocusMovesWithinTheDialog)
{
    FocusIn(dialog.MinEdit);
    dialog.MinEdit->setText("75");
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(dialog.MinEdit->text(), "75") << "switching windows is not leaving the edit";
    FocusIn(dialog.MinEdit);
    dialog.close();
    EXPECT_EQ(dialog.MinEdit->text(), "75") << "nor is closing the window";
    LeaveByTab(dialog.MinEdit);
    EXPECT_EQ(dialog.MinEdit->text(), "60");
}
