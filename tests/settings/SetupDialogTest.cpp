// The setup dialog driven as a user drives it, offscreen: what it shows, what it corrects, what it
// enables, and what reaches the profile file and the active settings.
#include "DialogFixture.h"
#include "settings/IntegerText.h"
#include "settings/PasswordHash.h"
#include "settings/widgets/ColorSwatch.h"

#include <QAbstractButton>
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

namespace tarvo {

namespace {
// A record far from the defaults in every field the dialog shows.
OptionsValues Unusual(const QString& dir)
{
    OptionsValues o = DefaultOptions(dir);
    // Every flag turned over but CapLeft: the caption moves from the bottom centre to the top right.
    for (Flag* flag : {&o.CreateLogfile, &o.ClickSound, &o.LoadAtStartup, &o.AutoCapAtStart, &o.AutoUpdCheck,
                       &o.WarnLimit, &o.CapPic, &o.UpPic, &o.PlaySound, &o.ShowPopup, &o.CapAudio, &o.SaveAsBitmap,
                       &o.SavePassword, &o.WebsiteFTP, &o.WebsiteLocal, &o.OfflinePic, &o.UseSocks, &o.PassiveMode,
                       &o.CaptionLocal, &o.CaptionWebsite, &o.FontBold, &o.FontItalic, &o.FontUnderline,
                       &o.FontStrikeOut, &o.TransparentBack, &o.CapTop, &o.CapBottom, &o.CapCenter, &o.CapRight,
                       &o.FuseEnabled, &o.RearmEnabled, &o.Mark, &o.MDUserDefinedArea, &o.TmpUpload})
        *flag = !*flag;
    o.PictureDir = dir + "pics/";
    o.VideoDir = dir + "videos/";
    o.LogfileDir = dir + "logs/";
    o.Limit = 250;
    o.Trigger = TriggerMotion;
    o.TimedMin = 7;
    o.TimedSec = 45;
    o.SoundFile = "/sounds/bell ä.wav";
    o.PicQual = 33;
    o.DriverIndex = 2;
    o.FrameRate = 25;
    o.CapAudChannels = 1;
    o.CapAudSampleRate = 3;
    o.CapAudResolution = 1;
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
    o.Port = 2121;
    o.SocksPort = 1080;
    o.FileNumber = 4;
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
        SaveProfile(programDir, o, "image", passwords);
        return ReadFileBytes(ProfilePath(programDir, "image"));
    }
};

TEST_F(SetupDialogTest, RecordShownAndReadBackIsUnchanged)
{
    for (const OptionsValues& original : {DefaultOptions(programDir), Unusual(program.dir())}) {
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
    OptionsValues o = DefaultOptions(programDir);
    o.DriverIndex = 2;
    o.Trigger = 7;
    targets.driverIndex = 1;
    dialog.ShowInDialog(o);
    EXPECT_EQ(Control<QComboBox>(kSetupVideoDevice)->currentText(), "Camera two");
    EXPECT_FALSE(Control<QRadioButton>(kSetupTimedTrigger)->isChecked());
    EXPECT_FALSE(Control<QRadioButton>(kSetupMotionTrigger)->isChecked());
    OptionsValues back = o;
    dialog.ReadFromDialog(back);
    EXPECT_EQ(back.Trigger, 7) << "neither trigger checked leaves the field alone";
    EXPECT_EQ(back.DriverIndex, 1);
}

TEST_F(SetupDialogTest, PagesCaptionsAndTitle)
{
    QStringList pages;
    for (int i = 0; i < Control<QTabWidget>(kSetupPages)->count(); ++i)
        pages << Control<QTabWidget>(kSetupPages)->tabText(i);
    EXPECT_EQ(pages, QStringList({"Auto capture", "Capture options", "Filenames", "General", "Motion detection",
                                  "Picture caption", "Website", "More"}));
    EXPECT_EQ(Control<QRadioButton>(kSetupTimedTrigger)->text(), "Timed capturing every           min.          sec.");
    EXPECT_EQ(Control<QPushButton>(kSetupBackColourButton)->text(), "Backgound color...");
    EXPECT_EQ(Control<QGroupBox>(kSetupSensitivityGroup)->title(), "Motion detection sensitivity 50%") << "default sensitivity 51";

    box.setText("night");
    Control<QTabWidget>(kSetupPages)->setCurrentIndex(5);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Setup: night");
    EXPECT_EQ(Control<QTabWidget>(kSetupPages)->currentIndex(), 0);
    // The edits sit inside the caption's blanks, clear of its words.
    const QRect min = Control<QLineEdit>("MinEdit")->geometry();
    const QFontMetrics fm(Control<QRadioButton>(kSetupTimedTrigger)->font());
    EXPECT_GT(min.left(), fm.horizontalAdvance("Timed capturing every"));
    EXPECT_LT(min.right(), Control<QLineEdit>("SecEdit")->geometry().left());
}

TEST_F(SetupDialogTest, NumericEditsCorrectThemselvesOnExit)
{
    struct Case {
        const char* edit;
        const char* typed;
        const char* shown;
    };
    const Case cases[] = {
        {"MinEdit", "75", "60"}, {"MinEdit", "-3", "0"}, {"MinEdit", "abc", "0"}, {"MinEdit", "99999999999", "60"},
        {"MinEdit", " 007", "7"}, {"SecEdit", "60", "59"}, {"FuseSec", "60", "59"}, {"RearmSec", "", "0"},
        {"FuseMin", "6", "5"}, {"RearmMin", "-1", "0"}, {"PortEdit", "100000", "99999"},
        {"PortEdit", "65536", "65536"}, {"PortEdit", "x", "0"}, {kSetupFrameRate, "letters", "30"}, {kSetupFrameRate, "0", "1"},
        {kSetupFrameRate, "31", "30"}, {"Limit", "0", "1"}, {"Limit", "", "1"}, {"Limit", "5000", "5000"},
        {"FileNumber", "no", "1"}, {"FileNumber", "0", "1"}
    };
    for (const Case& c : cases) {
        QLineEdit* edit = Control<QLineEdit>(c.edit);
        Type(edit, c.typed);
        EXPECT_EQ(edit->text(), c.shown) << c.edit << ": typed '" << c.typed << "'";
    }
}

TEST_F(SetupDialogTest, QualityEditAndSliderFollowEachOther)
{
    Control<QLineEdit>("picqual")->setText("");
    EXPECT_EQ(Control<QLineEdit>("picqual")->text(), "90");
    EXPECT_EQ(Control<QSlider>(kSetupQualitySlider)->value(), 90);
    Control<QLineEdit>("picqual")->setText("150");
    EXPECT_EQ(Control<QLineEdit>("picqual")->text(), "100");
    Control<QLineEdit>("picqual")->setText("0");
    EXPECT_EQ(Control<QLineEdit>("picqual")->text(), "1");
    Control<QLineEdit>("picqual")->setText("42");
    EXPECT_EQ(Control<QSlider>(kSetupQualitySlider)->value(), 42);
    Control<QSlider>(kSetupQualitySlider)->setValue(77);
    EXPECT_EQ(Control<QLineEdit>("picqual")->text(), "77");

    Control<QSlider>(kSetupSensitivitySlider)->setValue(1);
    EXPECT_EQ(Control<QGroupBox>(kSetupSensitivityGroup)->title(), "Motion detection sensitivity 100%");
    Control<QSlider>(kSetupSensitivitySlider)->setValue(100);
    EXPECT_EQ(Control<QGroupBox>(kSetupSensitivityGroup)->title(), "Motion detection sensitivity 1%");
}

TEST_F(SetupDialogTest, HistoryNamesFollowTheFixedName)
{
    Control<QLineEdit>("WPicFixed")->setText("cam");
    EXPECT_EQ(Control<QLabel>(kSetupHistoryNames)->text(), "Files will be named: cam.jpg, cam02.jpg, cam03.jpg, etc.");
}

TEST_F(SetupDialogTest, LongHistoryNoteOnlyWhileTheActiveHistoryIsShort)
{
    Type(Control<QLineEdit>("FileNumber"), "12");
    ASSERT_EQ(messages.notes.size(), 1);
    EXPECT_EQ(messages.notes[0], "Note|If you are using FTP for your wesite pictures, it is not recommended\n\r"
                                 "to keep a history of more than 10 pictures because of the speed.");
    EXPECT_EQ(Control<QLineEdit>("FileNumber")->text(), "12") << "the value is kept";
    dialog.Accept();
    ASSERT_EQ(options.FileNumber, 12);
    Type(Control<QLineEdit>("FileNumber"), "15");
    EXPECT_EQ(messages.notes.size(), 1);
}

TEST_F(SetupDialogTest, EnablingRulesFollowTheGoverningControls)
{
    OptionsValues o = DefaultOptions(programDir);
    o.PlaySound = true;
    o.CapAudio = false;
    o.TransparentBack = true;
    dialog.ShowInDialog(o);
    EXPECT_FALSE(Control<QCheckBox>(kSetupPlaySound)->isEnabled());
    EXPECT_TRUE(Control<QCheckBox>(kSetupPlaySound)->isChecked()) << "disabled controls keep their values";
    EXPECT_FALSE(Control<QLineEdit>(kSetupSoundFile)->isEnabled());
    EXPECT_FALSE(Control<QComboBox>("CapAudSampleRate")->isEnabled());
    EXPECT_FALSE(Control<QLabel>("ResolutionLabel")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(kSetupBackColourButton)->isEnabled());
    EXPECT_FALSE(Control<QLineEdit>("LPicPrefix")->isEnabled());
    EXPECT_TRUE(Control<QLineEdit>("FileNumber")->isEnabled()) << "website pictures default to the fixed name";
    EXPECT_FALSE(Control<QLineEdit>("WPicPrefix")->isEnabled());
    EXPECT_FALSE(Control<QLineEdit>("VidPrefix")->isEnabled());

    OptionsValues back = o;
    dialog.ReadFromDialog(back);
    EXPECT_TRUE(back.PlaySound);

    // Each click, then the control it governs. Local pictures: "Fixed filename:" leaves the prefix
    // as the last click left it.
    struct Step {
        const char* click;
        const char* control;
        bool enabled;
    };
    for (const Step& step : {Step{kSetupMotionTrigger, kSetupBrowseSoundButton, true},
                             Step{kSetupCaptureAudio, "CapAudChannels", true},
                             Step{kSetupTransparentBack, kSetupBackColourButton, true}, Step{"WPicIncR", "WPicPrefix", true},
                             Step{nullptr, "FileNumber", false}, Step{nullptr, kSetupHistoryNames, false},
                             Step{"VidIncR", "VidPrefix", true}, Step{"LPicIncR", "LPicPrefix", true},
                             Step{"LPicFixedR", "LPicPrefix", true}, Step{"LPicTimedR", "LPicPrefix", false},
                             Step{"LPicFixedR", "LPicPrefix", false}, Step{nullptr, "LPicFixed", true}}) {
        if (step.click)
            Control<QAbstractButton>(step.click)->click();
        EXPECT_EQ(Control<QWidget>(step.control)->isEnabled(), step.enabled)
            << (step.click ? step.click : "") << " then " << step.control;
    }
}

TEST_F(SetupDialogTest, OkSavesUnderTheBoxNameAndActivates)
{
    box.setText("garden");
    dialog.show();
    Control<QLineEdit>(kSetupPictureFolder)->setText("");
    Control<QPlainTextEdit>(kSetupCaptionText)->setPlainText("one\ntwo");
    dialog.Accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(messages.errors.isEmpty());
    const OptionsValues saved = LoadProfile(programDir, "garden", passwords);
    EXPECT_EQ(saved.PictureDir.str(), "/") << "an empty folder is saved as the separator";
    EXPECT_EQ(saved.CaptionText.str(), "one\r\ntwo");
    EXPECT_EQ(options.CaptionText.str(), "one\r\ntwo");
    EXPECT_TRUE(log.contains("Loaded profile: garden"));
}

TEST_F(SetupDialogTest, ThePageMoreIsSavedBesideTheRecordAndCancelRestoresIt)
{
    auto* points = dialog.findChild<QSpinBox*>("MinChangedPoints");
    auto* group = dialog.findChild<QSpinBox*>("MinGroupPoints");
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
    ASSERT_TRUE(points && group && command && light && percent && megabytes && days && clips && pre && post && longest && sound);
    EXPECT_FALSE(percent->isEnabled()) << "the share belongs to the light rule";
    EXPECT_FALSE(pre->isEnabled() || post->isEnabled() || longest->isEnabled() || sound->isEnabled())
        << "the lengths and the sound belong to clips";
    box.setText("garden");
    dialog.show();
    points->setValue(40);
    group->setValue(12);
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
    dialog.Accept();
    const AlarmOptions saved = LoadExtras(programDir, "garden").Alarms;
    EXPECT_EQ(saved.MinChangedPoints, 40);
    EXPECT_EQ(saved.MinGroupPoints, 12);
    EXPECT_TRUE(saved.IgnoreLightChange);
    EXPECT_EQ(saved.Command, "hook %f");
    EXPECT_EQ(extras.Alarms, saved);
    EXPECT_EQ(LoadExtras(programDir, "garden").Storage, (StorageOptions{2500, 14}));
    EXPECT_EQ(extras.Storage, (StorageOptions{2500, 14}));
    EXPECT_EQ(LoadExtras(programDir, "garden").Clips, (ClipOptions{true, 0, 300, 3600, true}));
    EXPECT_EQ(extras.Clips, LoadExtras(programDir, "garden").Clips);

    // The live view's password field keeps only a hash of what was typed, and keeps it until removed.
    auto* live = dialog.findChild<QCheckBox*>("LiveViewEnabled");
    auto* password = dialog.findChild<QLineEdit*>("LiveViewPassword");
    auto* remove = dialog.findChild<QPushButton*>("LiveViewRemovePassword");
    ASSERT_TRUE(live && password && remove);
    EXPECT_FALSE(password->isEnabled()) << "the group's fields belong to the live view";
    dialog.show();
    live->setChecked(true);
    password->setText("s3cret pass");
    dialog.Accept();
    const LiveViewOptions liveSaved = LoadExtras(programDir, "garden").LiveView;
    EXPECT_TRUE(liveSaved.Enabled);
    const auto hash = PasswordHash::Parse(liveSaved.PasswordHash);
    ASSERT_TRUE(hash) << liveSaved.PasswordHash.toStdString();
    EXPECT_TRUE(hash->Matches("s3cret pass"));
    EXPECT_FALSE(ReadFileBytes(ExtrasPath(programDir, "garden")).contains("s3cret"));
    dialog.ShowExtrasInDialog(extras); // as the activation's target does
    dialog.show();
    EXPECT_TRUE(password->text().isEmpty());
    dialog.Accept();
    EXPECT_EQ(LoadExtras(programDir, "garden").LiveView.PasswordHash, liveSaved.PasswordHash) << "an empty field keeps the password";
    dialog.show();
    remove->click();
    dialog.Accept();
    EXPECT_TRUE(LoadExtras(programDir, "garden").LiveView.PasswordHash.isEmpty());

    dialog.show();
    Control<QPushButton>(kSetupDefaultsButton)->click();
    EXPECT_EQ(points->value(), 1) << "the defaults are shown";
    EXPECT_EQ(megabytes->value(), 0);
    EXPECT_FALSE(clips->isChecked());
    EXPECT_FALSE(pre->isEnabled());
    Control<QPushButton>(kSetupCancelButton)->click();
    EXPECT_EQ(points->value(), 40) << "the active settings are shown again";
    EXPECT_EQ(megabytes->value(), 2500);
    EXPECT_EQ(days->value(), 14);
    EXPECT_TRUE(clips->isChecked() && pre->isEnabled());
    EXPECT_EQ(pre->value(), 0);
    EXPECT_EQ(LoadExtras(programDir, "garden").Alarms, saved);
}

TEST_F(SetupDialogTest, PasswordStaysOutOfTheFileUnlessSaved)
{
    // No secret store answers here: the password lasts for the run, and the user is told once.
    Control<QLineEdit>("PasswordEdit")->setText("hunter2");
    Control<QCheckBox>(kSetupSavePassword)->setChecked(false);
    dialog.Accept();
    EXPECT_FALSE(ReadFileBytes(ProfilePath(programDir, "Default")).contains("hunter2"));
    EXPECT_EQ(LoadProfile(programDir, "Default", passwords).Password.str(), "hunter2") << "kept for this run";
    EXPECT_EQ(options.Password.str(), "hunter2");
    EXPECT_EQ(Control<QLineEdit>("PasswordEdit")->text(), "hunter2");
    ASSERT_EQ(messages.notes.size(), 1);
    EXPECT_TRUE(messages.notes[0].contains("will be forgotten when Tarvo ends"));
    dialog.Accept();
    EXPECT_EQ(messages.notes.size(), 1) << "said once";

    Control<QCheckBox>(kSetupSavePassword)->setChecked(true);
    dialog.Accept();
    EXPECT_EQ(LoadProfile(programDir, "Default", passwords).Password.str(), "hunter2");
}

TEST_F(SetupDialogTest, DefaultsThenCancelChangesNothing)
{
    OptionsValues active = Unusual(program.dir());
    targets.driverIndex = active.DriverIndex;
    SaveProfile(programDir, active, "Default", passwords);
    SetActive(active, box, targets);
    const QByteArray onDisk = ReadFileBytes(ProfilePath(programDir, "Default"));
    dialog.show();
    Control<QPushButton>(kSetupDefaultsButton)->click();
    EXPECT_EQ(Control<QLineEdit>("MinEdit")->text(), "5") << "the defaults are shown";
    Control<QPushButton>(kSetupCancelButton)->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(ReadFileBytes(ProfilePath(programDir, "Default")), onDisk);
    EXPECT_EQ(std::memcmp(&options, &active, sizeof active), 0);
    EXPECT_EQ(Control<QLineEdit>("MinEdit")->text(), "7") << "the active settings are shown again";
}

TEST_F(SetupDialogTest, BadProxyPortKeepsTheDialogOpenAndSavesNothing)
{
    const QByteArray onDisk = ReadFileBytes(ProfilePath(programDir, "Default"));
    const OptionsValues before = options;
    dialog.show();
    for (const char* port : {"", "10 80", "1080x"}) {
        Control<QLineEdit>("MinEdit")->setText("9");
        ProxyControl<QLineEdit>("SocksPortEdit")->setText(port);
        dialog.Accept();
        ASSERT_FALSE(messages.errors.isEmpty());
        EXPECT_EQ(messages.errors.last(), QString("'%1' is not a valid integer value").arg(port));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(Control<QLineEdit>("MinEdit")->text(), "9") << "the user's edits stay";
    }
    EXPECT_EQ(ReadFileBytes(ProfilePath(programDir, "Default")), onDisk);
    EXPECT_EQ(std::memcmp(&options, &before, sizeof before), 0);
    EXPECT_FALSE(targets.calls.contains("show"));
}

TEST_F(SetupDialogTest, FailingSaveActivatesNothing)
{
    const OptionsValues before = options;
    dialog.show();
    Control<QLineEdit>("MinEdit")->setText("9");
    QDir(ProfileFolder(programDir)).removeRecursively();
    WriteFileBytes(program.dir() + "Profiles", "not a folder");
    dialog.Accept();
    ASSERT_EQ(messages.errors.size(), 1);
    EXPECT_EQ(messages.errors[0], QString::fromLocal8Bit(std::strerror(ENOTDIR)));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Control<QLineEdit>("MinEdit")->text(), "9");
    EXPECT_EQ(std::memcmp(&options, &before, sizeof before), 0);
    EXPECT_FALSE(targets.calls.contains("show"));
}

TEST_F(SetupDialogTest, OkIsOffWhileAutoCapturingButCancelStillRestores)
{
    dialog.show();
    dialog.SetOkEnabled(false);
    Control<QLineEdit>("MinEdit")->setText("9");
    dialog.Accept();
    EXPECT_EQ(options.TimedMin, 5);
    EXPECT_TRUE(dialog.isVisible());
    Control<QPushButton>(kSetupCancelButton)->click();
    EXPECT_EQ(Control<QLineEdit>("MinEdit")->text(), "5");
    dialog.SetOkEnabled(true);
    EXPECT_TRUE(Control<QPushButton>(kSetupOkButton)->isEnabled());
}

TEST_F(SetupDialogTest, HidingTakesTheHelperWindowsAlong)
{
    int exampleHidden = 0, ftpHidden = 0;
    dialog.hooks.hideExampleIfVisible = [&] { ++exampleHidden; };
    dialog.hooks.hideFtpTestIfVisible = [&] { ++ftpHidden; };
    dialog.show();
    Control<QTabWidget>(kSetupPages)->setCurrentIndex(4);
    EXPECT_EQ(exampleHidden, 0) << "the area window belongs to the motion page";
    Control<QTabWidget>(kSetupPages)->setCurrentIndex(7);
    EXPECT_EQ(exampleHidden, 0) << "the page More shows how much the area window's scene changes";
    Control<QTabWidget>(kSetupPages)->setCurrentIndex(5);
    EXPECT_EQ(exampleHidden, 1);
    dialog.hide();
    EXPECT_EQ(exampleHidden, 2);
    EXPECT_EQ(ftpHidden, 1);
}

TEST_F(SetupDialogTest, CaptionMemoHoldsAtMost255Characters)
{
    Control<QPlainTextEdit>(kSetupCaptionText)->setPlainText(QString(300, 'c'));
    EXPECT_EQ(Control<QPlainTextEdit>(kSetupCaptionText)->toPlainText().size(), 255);
}

TEST_F(SetupDialogTest, ProxyWindowSwitchesAServerlessProxyOff)
{
    proxy.show();
    ProxyControl<QCheckBox>(kProxyEnabled)->click();
    EXPECT_TRUE(ProxyControl<QGroupBox>(kProxyServerGroup)->isEnabled());
    EXPECT_TRUE(ProxyControl<QComboBox>("SocksType")->isEnabled());
    ProxyControl<QPushButton>(kProxyCloseButton)->click();
    EXPECT_FALSE(proxy.isVisible());
    EXPECT_FALSE(ProxyControl<QCheckBox>(kProxyEnabled)->isChecked());
    EXPECT_FALSE(ProxyControl<QGroupBox>(kProxyServerGroup)->isEnabled());
    EXPECT_FALSE(ProxyControl<QLineEdit>("SocksHostEdit")->isEnabled());

    proxy.show();
    ProxyControl<QCheckBox>(kProxyEnabled)->click();
    ProxyControl<QLineEdit>("SocksHostEdit")->setText("gate");
    proxy.close();
    EXPECT_TRUE(ProxyControl<QCheckBox>(kProxyEnabled)->isChecked()) << "a proxy with a server stays on";
    EXPECT_EQ(ProxyControl<QComboBox>("SocksType")->count(), 4);
}

TEST_F(SetupDialogTest, ColourButtonsSetTheCaptionColours)
{
    struct Case {
        QPushButton* button;
        Colour OptionsValues::*field;
        QPalette::ColorRole role;
    };
    for (const Case& c : {Case{Control<QPushButton>("FontColorButton"), &OptionsValues::FontColor, QPalette::Text},
                          Case{Control<QPushButton>(kSetupBackColourButton), &OptionsValues::BackColor, QPalette::Base}}) {
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
        Control<QCheckBox>(kSetupTransparentBack)->setChecked(false); // a transparent caption has no background to choose
        c.button->click();
        pick.stop();
        dialog.Accept();
        EXPECT_EQ(options.*c.field, 0x00563412u) << "red in the low byte";
        EXPECT_EQ(LoadProfile(programDir, "Default", passwords).*c.field, 0x00563412u);

        dialog.ShowInDialog(DefaultOptions(programDir));
        EXPECT_NE(Control<QPlainTextEdit>(kSetupCaptionText)->palette().color(c.role), QColor(0x12, 0x34, 0x56));
        dialog.ShowInDialog(options);
        EXPECT_EQ(Control<QPlainTextEdit>(kSetupCaptionText)->palette().color(c.role), QColor(0x12, 0x34, 0x56));
    }
}

TEST_F(SetupDialogTest, EnterIsOkAndEscapeIsCancel)
{
    Type(Control<QLineEdit>("Limit"), "77");
    FocusIn(Control<QPlainTextEdit>(kSetupCaptionText));
    QTest::keyClick(Control<QPlainTextEdit>(kSetupCaptionText), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "Enter in the caption text starts a new line";
    EXPECT_EQ(Control<QPlainTextEdit>(kSetupCaptionText)->toPlainText().count('\n'), 1);
    FocusIn(Control<QLineEdit>("MinEdit"));
    Control<QLineEdit>("MinEdit")->setText("75");
    QTest::keyClick(Control<QLineEdit>("MinEdit"), Qt::Key_Enter);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(options.Limit, 77);
    EXPECT_EQ(LoadProfile(programDir, "Default", passwords).Limit, 77);
    EXPECT_EQ(options.TimedMin, 60) << "the edit left by Enter corrects itself first";

    Type(Control<QLineEdit>("Limit"), "5");
    QTest::keyClick(Control<QLineEdit>("Limit"), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(Control<QLineEdit>("Limit")->text(), "77") << "Cancel shows the active settings again";

    // Enter on a focused button presses that button, not "OK".
    FocusIn(Control<QPushButton>(kSetupDefaultsButton));
    QTest::keyClick(Control<QPushButton>(kSetupDefaultsButton), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Control<QLineEdit>("Limit")->text(), "30") << "Defaults";

    dialog.SetOkEnabled(false);
    FocusIn(Control<QLineEdit>("Limit"));
    QTest::keyClick(Control<QLineEdit>("Limit"), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "no OK while auto-capturing";
    EXPECT_EQ(options.Limit, 77);

    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        FocusIn(ProxyControl<QCheckBox>(kProxyEnabled));
        QTest::keyClick(ProxyControl<QCheckBox>(kProxyEnabled), key);
        EXPECT_FALSE(proxy.isVisible()) << "Enter and Escape are \"Close\"";
    }
}

TEST_F(SetupDialogTest, ExitChecksRunOnlyWhenTheFocusMovesWithinTheDialog)
{
    FocusIn(Control<QLineEdit>("MinEdit"));
    Control<QLineEdit>("MinEdit")->setText("75");
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(Control<QLineEdit>("MinEdit")->text(), "75") << "switching windows is not leaving the edit";
    FocusIn(Control<QLineEdit>("MinEdit"));
    dialog.close();
    EXPECT_EQ(Control<QLineEdit>("MinEdit")->text(), "75") << "nor is closing the window";
    LeaveByTab(Control<QLineEdit>("MinEdit"));
    EXPECT_EQ(Control<QLineEdit>("MinEdit")->text(), "60");
}

TEST_F(SetupDialogTest, OtherWindowsGetTheTypedValues)
{
    // The area window puts a new area into the boxes and chooses it.
    Control<QRadioButton>("MDEntirePicture")->setChecked(true);
    dialog.ShowArea(DetectionArea{3, 4, 150, 90});
    EXPECT_TRUE(Control<QRadioButton>("MDUserDefinedArea")->isChecked());
    EXPECT_EQ(Control<QLineEdit>("MDendX")->text(), "150");
    EXPECT_EQ(dialog.ShownArea(), (DetectionArea{3, 4, 150, 90}));
    OptionsValues grid = DefaultOptions(programDir);
    dialog.ReadShownArea(grid);
    EXPECT_TRUE(grid.MDUserDefinedArea);
    EXPECT_EQ(grid.MDbeginY, 4);
    Control<QSlider>(kSetupSensitivitySlider)->setValue(23);
    EXPECT_EQ(dialog.ShownSensitivity(), 23);

    // The FTP test takes the texts as typed, ports unconverted.
    Control<QLineEdit>("FTPAddressEdit")->setText("ftp.test");
    Control<QLineEdit>("PortEdit")->setText("21x");
    Control<QCheckBox>("PASVCheck")->setChecked(true);
    ProxyControl<QCheckBox>(kProxyEnabled)->setChecked(true);
    ProxyControl<QLineEdit>("SocksPortEdit")->setText(" 1080");
    ProxyControl<QComboBox>("SocksType")->setEditText("SOCKS 5");
    const FtpTestSettings typed = dialog.TypedFtpSettings();
    EXPECT_EQ(typed.host, "ftp.test");
    EXPECT_EQ(typed.port, "21x");
    EXPECT_TRUE(typed.passive);
    EXPECT_TRUE(typed.useSocks);
    EXPECT_EQ(typed.socksPort, " 1080");
    EXPECT_EQ(typed.socksType, "SOCKS 5");
}

} // namespace tarvo
