// The mapping between the setup dialog's controls and the settings record, both ways.
#include "settings/IntegerText.h"
#include "settings/widgets/ColorSwatch.h"
#include "settings/widgets/ProxyWindow.h"
#include "settings/widgets/SetupDialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>

namespace {
QColor ToQColor(Colour c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

Colour FromQColor(const QColor& c)
{
    return static_cast<Colour>(c.red()) | static_cast<Colour>(c.green()) << 8 | static_cast<Colour>(c.blue()) << 16;
}

// Checks the group's button with the given id and no other; an id no button has checks none.
void CheckOnly(QButtonGroup* group, int id)
{
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(group->id(b) == id);
    group->setExclusive(true);
}

// The checked button's id, or the current value when none is checked.
std::int32_t CheckedId(const QButtonGroup* group, std::int32_t current)
{
    const int id = group->checkedId();
    return id == -1 ? current : id;
}

QString Decimal(std::int32_t value) { return QString::number(value); }

QString WithSlash(QString folder)
{
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}
} // namespace

void SetupDialog::ShowInDialog(const OptionsValues& o)
{
    // "Auto capture"
    CheckOnly(triggerGroup_, o.Trigger);
    MinEdit->setText(Decimal(o.TimedMin));
    SecEdit->setText(Decimal(o.TimedSec));
    CapPicCheckBox->setChecked(o.CapPic);
    UpPicCheckBox->setChecked(o.UpPic);
    CheckBox11->setChecked(o.ShowPopup);
    CheckBox10->setChecked(o.PlaySound);
    Edit6->setText(o.SoundFile.str());

    // "Capture options": the device shown is the one in use, not the record's.
    ComboBox2->setCurrentIndex(hooks.currentDriverIndex ? hooks.currentDriverIndex() : o.DriverIndex);
    Edit3->setText(Decimal(o.FrameRate));
    TrackBar1->setValue(o.PicQual);
    TrackBar1Change();
    CheckBox12->setChecked(o.SaveAsBitmap);
    CheckBox9->setChecked(o.CapAudio);
    CapAudChannels->setCurrentIndex(o.CapAudChannels);
    CapAudSampleRate->setCurrentIndex(o.CapAudSampleRate);
    CapAudResolution->setCurrentIndex(o.CapAudResolution);

    // "Filenames"
    CheckOnly(lpicGroup_, o.LPicNaming);
    CheckOnly(wpicGroup_, o.WPicNaming);
    CheckOnly(vidGroup_, o.VidNaming);
    LPicPrefix->setText(o.LPicPrefix.str());
    LPicFixed->setText(o.LPicFixed.str());
    WPicPrefix->setText(o.WPicPrefix.str());
    WPicFixed->setText(o.WPicFixed.str());
    VidPrefix->setText(o.VidPrefix.str());
    FileNumber->setText(Decimal(o.FileNumber));
    TmpUploadBox->setChecked(o.TmpUpload);

    // "General"
    Edit1->setText(o.PictureDir.str());
    Edit2->setText(o.VideoDir.str());
    Edit4->setText(o.LogfileDir.str());
    CheckBox5->setChecked(o.LoadAtStartup);
    CheckBox4->setChecked(o.AutoCapAtStart);
    AutoUpdChk->setChecked(o.AutoUpdCheck);
    CheckBox7->setChecked(o.CreateLogfile);
    CheckBox8->setChecked(o.ClickSound);
    WarnLimit->setChecked(o.WarnLimit);
    Limit->setText(Decimal(o.Limit));

    // "Motion detection"
    TrackBar2->setValue(o.Sensitivity);
    CheckOnly(areaGroup_, o.MDUserDefinedArea ? 1 : 0);
    MDbeginX->setText(Decimal(o.MDbeginX));
    MDbeginY->setText(Decimal(o.MDbeginY));
    MDendX->setText(Decimal(o.MDendX));
    MDendY->setText(Decimal(o.MDendY));
    FuseCB->setChecked(o.FuseEnabled);
    FuseMin->setText(Decimal(o.FuseMin));
    FuseSec->setText(Decimal(o.FuseSec));
    RearmCB->setChecked(o.RearmEnabled);
    RearmMin->setText(Decimal(o.RearmMin));
    RearmSec->setText(Decimal(o.RearmSec));
    MarkCB->setChecked(o.Mark);
    MarkColor->setColor(ToQColor(o.MarkColor));

    // "Picture caption": the memo shows the caption in its own font and colours. A style flag
    // counts only when it is exactly 1.
    QFont font = Memo1->font();
    font.setFamily(o.FontName.str());
    if (o.FontSize > 0)
        font.setPointSize(o.FontSize);
    font.setBold(o.FontBold.value == 1);
    font.setItalic(o.FontItalic.value == 1);
    font.setUnderline(o.FontUnderline.value == 1);
    font.setStrikeOut(o.FontStrikeOut.value == 1);
    Memo1->setFont(font);
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Text, ToQColor(o.FontColor));
    palette.setColor(QPalette::Base, ToQColor(o.BackColor));
    Memo1->setPalette(palette);
    Memo1->setPlainText(o.CaptionText.str().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    CheckBox6->setChecked(o.TransparentBack);
    TopBox->setChecked(o.CapTop);
    BottomBox->setChecked(o.CapBottom);
    LeftBox->setChecked(o.CapLeft);
    CenterBox->setChecked(o.CapCenter);
    RightBox->setChecked(o.CapRight);
    CheckBox1->setChecked(o.CaptionLocal);
    CheckBox2->setChecked(o.CaptionWebsite);

    // "Website"
    WebsiteFTP->setChecked(o.WebsiteFTP);
    FTPAddressEdit->setText(o.FTPAddress.str());
    PortEdit->setText(Decimal(o.Port));
    UserNameEdit->setText(o.UserName.str());
    PasswordEdit->setText(o.Password.str());
    CheckBox3->setChecked(o.SavePassword);
    UpDirEdit->setText(o.UpDir.str());
    PASVCheck->setChecked(o.PassiveMode);
    WebsiteLocal->setChecked(o.WebsiteLocal);
    LocalSiteDirEdit->setText(o.LocalSiteDir.str());
    OfflinePicCheck->setChecked(o.OfflinePic);
    OfflinePicName->setText(o.OfflinePicName.str());

    // Firewall / proxy window
    proxy_.CheckBox1->setChecked(o.UseSocks);
    proxy_.SocksHostEdit->setText(o.SocksHost.str());
    proxy_.SocksPortEdit->setText(Decimal(o.SocksPort));
    proxy_.SocksUserEdit->setText(o.SocksUser.str());
    proxy_.SocksPassEdit->setText(o.SocksPass.str());
    proxy_.SocksType->setEditText(o.SocksType.str());

    // The enabled states follow the values now shown. Checking a button runs its rule; checking
    // "Fixed filename:" of local pictures has none.
    if (RadioButton1->isChecked())
        RadioButton1Click();
    else if (RadioButton2->isChecked())
        RadioButton2Click();
    if (LPicTimedR->isChecked() || LPicIncR->isChecked())
        LPicIncRClick();
    WPicIncRClick();
    VidIncRClick();
    CheckBox9Click();
    CheckBox6Click();
    TrackBar2Change();
    WPicFixedChange();
    proxy_.CheckBox1Click();
}

void SetupDialog::ReadCaptionSettings(OptionsValues& o) const
{
    const QFont font = Memo1->font();
    o.FontBold = font.bold();
    o.FontItalic = font.italic();
    o.FontUnderline = font.underline();
    o.FontStrikeOut = font.strikeOut();
    o.FontName = font.family();
    o.FontSize = font.pointSize();
    o.FontColor = FromQColor(Memo1->palette().color(QPalette::Text));
    o.TransparentBack = CheckBox6->isChecked();
    o.CapTop = TopBox->isChecked();
    o.CapBottom = BottomBox->isChecked();
    o.CapLeft = LeftBox->isChecked();
    o.CapCenter = CenterBox->isChecked();
    o.CapRight = RightBox->isChecked();
    o.CaptionText = Memo1->toPlainText().split('\n').join(QStringLiteral("\r\n"));
    o.BackColor = FromQColor(Memo1->palette().color(QPalette::Base));
}

void SetupDialog::ReadFromDialog(OptionsValues& o) const
{
    o.PictureDir = WithSlash(Edit1->text());
    o.VideoDir = WithSlash(Edit2->text());
    o.LogfileDir = WithSlash(Edit4->text());

    o.LoadAtStartup = CheckBox5->isChecked();
    o.AutoCapAtStart = CheckBox4->isChecked();
    o.AutoUpdCheck = AutoUpdChk->isChecked();
    o.CreateLogfile = CheckBox7->isChecked();
    o.ClickSound = CheckBox8->isChecked();
    o.WarnLimit = WarnLimit->isChecked();
    o.Limit = StrToInt(Limit->text());

    o.Trigger = CheckedId(triggerGroup_, o.Trigger);
    o.TimedMin = StrToInt(MinEdit->text());
    o.TimedSec = StrToInt(SecEdit->text());
    o.SoundFile = Edit6->text();
    o.CapPic = CapPicCheckBox->isChecked();
    o.UpPic = UpPicCheckBox->isChecked();
    o.ShowPopup = CheckBox11->isChecked();
    o.PlaySound = CheckBox10->isChecked();

    o.PicQual = TrackBar1->value();
    o.DriverIndex = ComboBox2->currentIndex();
    o.CapAudio = CheckBox9->isChecked();
    o.SaveAsBitmap = CheckBox12->isChecked();
    o.FrameRate = StrToInt(Edit3->text());
    o.CapAudChannels = CapAudChannels->currentIndex();
    o.CapAudSampleRate = CapAudSampleRate->currentIndex();
    o.CapAudResolution = CapAudResolution->currentIndex();

    o.FTPAddress = FTPAddressEdit->text();
    o.UserName = UserNameEdit->text();
    o.UpDir = UpDirEdit->text();
    o.Password = PasswordEdit->text();
    o.Port = StrToInt(PortEdit->text());
    o.FileNumber = StrToInt(FileNumber->text());
    o.SavePassword = CheckBox3->isChecked();
    o.WebsiteFTP = WebsiteFTP->isChecked();
    o.WebsiteLocal = WebsiteLocal->isChecked();
    o.LocalSiteDir = WithSlash(LocalSiteDirEdit->text());
    o.OfflinePicName = OfflinePicName->text();
    o.OfflinePic = OfflinePicCheck->isChecked();
    o.PassiveMode = PASVCheck->isChecked();
    o.CaptionLocal = CheckBox1->isChecked();
    o.CaptionWebsite = CheckBox2->isChecked();

    ReadCaptionSettings(o);

    o.Sensitivity = TrackBar2->value();
    o.FuseMin = StrToInt(FuseMin->text());
    o.FuseSec = StrToInt(FuseSec->text());
    o.RearmMin = StrToInt(RearmMin->text());
    o.RearmSec = StrToInt(RearmSec->text());
    o.FuseEnabled = FuseCB->isChecked();
    o.RearmEnabled = RearmCB->isChecked();
    o.Mark = MarkCB->isChecked();
    o.MarkColor = FromQColor(MarkColor->color());
    o.MDbeginX = StrToInt(MDbeginX->text());
    o.MDbeginY = StrToInt(MDbeginY->text());
    o.MDendX = StrToInt(MDendX->text());
    o.MDendY = StrToInt(MDendY->text());
    o.MDUserDefinedArea = MDUserDefinedArea->isChecked();

    o.LPicNaming = CheckedId(lpicGroup_, o.LPicNaming);
    o.WPicNaming = CheckedId(wpicGroup_, o.WPicNaming);
    o.VidNaming = CheckedId(vidGroup_, o.VidNaming);
    o.LPicPrefix = LPicPrefix->text();
    o.LPicFixed = LPicFixed->text();
    o.WPicPrefix = WPicPrefix->text();
    o.WPicFixed = WPicFixed->text();
    o.VidPrefix = VidPrefix->text();
    o.TmpUpload = TmpUploadBox->isChecked();

    o.UseSocks = proxy_.CheckBox1->isChecked();
    o.SocksHost = proxy_.SocksHostEdit->text();
    o.SocksPort = StrToInt(proxy_.SocksPortEdit->text());
    o.SocksUser = proxy_.SocksUserEdit->text();
    o.SocksPass = proxy_.SocksPassEdit->text();
    o.SocksType = proxy_.SocksType->currentText();
}
