// The mapping between the setup dialog's controls and the settings record, both ways: one table for
// the controls that show one field as it is, the special cases beside it.
#include "settings/IntegerText.h"
#include "settings/widgets/ColorSwatch.h"
#include "settings/widgets/MoreSettingsPage.h"
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
#include <variant>

namespace tarvo {

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

QString WithSlash(QString folder)
{
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}
} // namespace

// One control showing one record field. A number edit shows the decimal value and reads it back
// strictly (ConvertError for anything but a whole number); a folder is read back ending in '/';
// a choice group shows the button whose id is the value and, with none checked, leaves the field.
struct DialogField {
    enum Kind { Text, Folder, Number, Check, Choice, Index, Slider, Color };
    Kind kind;
    QObject* control;
    std::variant<ShortString OptionsValues::*, Flag OptionsValues::*, std::int32_t OptionsValues::*, Colour OptionsValues::*>
        member;
    bool captionLook = false; // read for the caption example too

    template <class T>
    T& field(OptionsValues& o) const { return o.*std::get<T OptionsValues::*>(member); }
    template <class T>
    const T& field(const OptionsValues& o) const { return o.*std::get<T OptionsValues::*>(member); }

    void Show(const OptionsValues& o) const
    {
        switch (kind) {
        case Text:
        case Folder: static_cast<QLineEdit*>(control)->setText(field<ShortString>(o).str()); break;
        case Number: static_cast<QLineEdit*>(control)->setText(QString::number(field<std::int32_t>(o))); break;
        case Check: static_cast<QAbstractButton*>(control)->setChecked(field<Flag>(o)); break;
        case Choice: CheckOnly(static_cast<QButtonGroup*>(control), field<std::int32_t>(o)); break;
        case Index: static_cast<QComboBox*>(control)->setCurrentIndex(field<std::int32_t>(o)); break;
        case Slider: static_cast<QSlider*>(control)->setValue(field<std::int32_t>(o)); break;
        case Color: static_cast<ColorSwatch*>(control)->setColor(ToQColor(field<Colour>(o))); break;
        }
    }

    void Read(OptionsValues& o) const
    {
        switch (kind) {
        case Text: field<ShortString>(o) = static_cast<QLineEdit*>(control)->text(); break;
        case Folder: field<ShortString>(o) = WithSlash(static_cast<QLineEdit*>(control)->text()); break;
        case Number: field<std::int32_t>(o) = StrToInt(static_cast<QLineEdit*>(control)->text()); break;
        case Check: field<Flag>(o) = static_cast<QAbstractButton*>(control)->isChecked(); break;
        case Choice:
            if (const int id = static_cast<QButtonGroup*>(control)->checkedId(); id != -1)
                field<std::int32_t>(o) = id;
            break;
        case Index: field<std::int32_t>(o) = static_cast<QComboBox*>(control)->currentIndex(); break;
        case Slider: field<std::int32_t>(o) = static_cast<QSlider*>(control)->value(); break;
        case Color: field<Colour>(o) = FromQColor(static_cast<ColorSwatch*>(control)->color()); break;
        }
    }
};

std::vector<DialogField> SetupDialog::fieldTable() const
{
    using F = DialogField;
    using O = OptionsValues;
    constexpr bool CaptionLook = true;
    return {
        // Read in this order: the first number field that holds no number is the one reported.
        // "General"
        {F::Folder, pictureFolder_, &O::PictureDir},
        {F::Folder, videoFolder_, &O::VideoDir},
        {F::Folder, logFolder_, &O::LogfileDir},
        {F::Check, loadAtStartup_, &O::LoadAtStartup},
        {F::Check, autoCaptureAtStart_, &O::AutoCapAtStart},
        {F::Check, checkForUpdates_, &O::AutoUpdCheck},
        {F::Check, createLogfile_, &O::CreateLogfile},
        {F::Check, clickSound_, &O::ClickSound},
        {F::Check, warnLimit_, &O::WarnLimit},
        {F::Number, limitMegabytes_, &O::Limit},
        // "Auto capture"
        {F::Choice, triggerGroup_, &O::Trigger},
        {F::Number, intervalMinutes_, &O::TimedMin},
        {F::Number, intervalSeconds_, &O::TimedSec},
        {F::Check, savePicture_, &O::CapPic},
        {F::Check, updateWebsite_, &O::UpPic},
        {F::Check, showPopup_, &O::ShowPopup},
        {F::Check, playSound_, &O::PlaySound},
        {F::Text, soundFile_, &O::SoundFile},
        // "Capture options" (the video device is shown beside the table)
        {F::Number, frameRate_, &O::FrameRate},
        {F::Slider, qualitySlider_, &O::PicQual},
        {F::Check, saveAsBitmap_, &O::SaveAsBitmap},
        {F::Check, captureAudio_, &O::CapAudio},
        {F::Index, audioChannels_, &O::CapAudChannels},
        {F::Index, audioSampleRate_, &O::CapAudSampleRate},
        {F::Index, audioResolution_, &O::CapAudResolution},
        // "Website"
        {F::Check, ftpEnabled_, &O::WebsiteFTP},
        {F::Text, ftpHost_, &O::FTPAddress},
        {F::Number, ftpPort_, &O::Port},
        {F::Number, historyCount_, &O::FileNumber},
        {F::Text, ftpUser_, &O::UserName},
        {F::Text, ftpPassword_, &O::Password},
        {F::Check, savePassword_, &O::SavePassword},
        {F::Text, uploadDir_, &O::UpDir},
        {F::Check, passiveMode_, &O::PassiveMode},
        {F::Check, localSiteEnabled_, &O::WebsiteLocal},
        {F::Folder, localSiteFolder_, &O::LocalSiteDir},
        {F::Check, offlinePicture_, &O::OfflinePic},
        {F::Text, offlinePictureFile_, &O::OfflinePicName},
        // "Picture caption": the caption's look (which the caption example reads with the text, font
        // and colours, beside the table), and whether pictures get the caption
        {F::Check, transparentBack_, &O::TransparentBack, CaptionLook},
        {F::Check, captionTop_, &O::CapTop, CaptionLook},
        {F::Check, captionBottom_, &O::CapBottom, CaptionLook},
        {F::Check, captionLeft_, &O::CapLeft, CaptionLook},
        {F::Check, captionCenter_, &O::CapCenter, CaptionLook},
        {F::Check, captionRight_, &O::CapRight, CaptionLook},
        {F::Check, captionLocal_, &O::CaptionLocal},
        {F::Check, captionWebsite_, &O::CaptionWebsite},
        // "Motion detection" (the area choice is shown beside the table)
        {F::Slider, sensitivity_, &O::Sensitivity},
        {F::Check, fuse_, &O::FuseEnabled},
        {F::Number, fuseMinutes_, &O::FuseMin},
        {F::Number, fuseSeconds_, &O::FuseSec},
        {F::Check, rearm_, &O::RearmEnabled},
        {F::Number, rearmMinutes_, &O::RearmMin},
        {F::Number, rearmSeconds_, &O::RearmSec},
        {F::Check, markImages_, &O::Mark},
        {F::Color, markColor_, &O::MarkColor},
        {F::Number, areaBeginX_, &O::MDbeginX},
        {F::Number, areaBeginY_, &O::MDbeginY},
        {F::Number, areaEndX_, &O::MDendX},
        {F::Number, areaEndY_, &O::MDendY},
        // "Filenames"
        {F::Choice, lpicGroup_, &O::LPicNaming},
        {F::Choice, wpicGroup_, &O::WPicNaming},
        {F::Choice, vidGroup_, &O::VidNaming},
        {F::Text, localPrefix_, &O::LPicPrefix},
        {F::Text, localFixedName_, &O::LPicFixed},
        {F::Text, webPrefix_, &O::WPicPrefix},
        {F::Text, webFixedName_, &O::WPicFixed},
        {F::Text, videoPrefix_, &O::VidPrefix},
        {F::Check, tempUploadName_, &O::TmpUpload},
    };
}

void SetupDialog::ShowInDialog(const OptionsValues& o)
{
    for (const DialogField& f : fieldTable())
        f.Show(o);

    // The device shown is the one in use, not the record's.
    videoDevice_->setCurrentIndex(hooks.currentDriverIndex ? hooks.currentDriverIndex() : o.DriverIndex);
    QualitySlid();
    CheckOnly(areaGroup_, o.MDUserDefinedArea ? 1 : 0);

    // The memo shows the caption in its own font and colours. A style flag counts only when it is
    // exactly 1.
    QFont font = captionText_->font();
    font.setFamily(o.FontName.str());
    if (o.FontSize > 0)
        font.setPointSize(o.FontSize);
    font.setBold(o.FontBold.value == 1);
    font.setItalic(o.FontItalic.value == 1);
    font.setUnderline(o.FontUnderline.value == 1);
    font.setStrikeOut(o.FontStrikeOut.value == 1);
    captionText_->setFont(font);
    QPalette palette = captionText_->palette();
    palette.setColor(QPalette::Text, ToQColor(o.FontColor));
    palette.setColor(QPalette::Base, ToQColor(o.BackColor));
    captionText_->setPalette(palette);
    captionText_->setPlainText(o.CaptionText.str().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    proxy_.ShowSettings(o);

    // The enabled states follow the values now shown. Checking a button runs its rule; checking
    // "Fixed filename:" of local pictures has none.
    if (timedTrigger_->isChecked())
        EnableAlarmActions(false);
    else if (motionTrigger_->isChecked())
        EnableAlarmActions(true);
    if (localTimed_->isChecked() || localIncrementing_->isChecked())
        UpdateLocalPrefix();
    UpdateWebsiteNaming();
    UpdateVideoPrefix();
    UpdateAudioControls();
    UpdateBackgroundButton();
    ShowSensitivity();
    ShowHistoryNames();
}

void SetupDialog::ReadCaptionSettings(OptionsValues& o) const
{
    const QFont font = captionText_->font();
    o.FontBold = font.bold();
    o.FontItalic = font.italic();
    o.FontUnderline = font.underline();
    o.FontStrikeOut = font.strikeOut();
    o.FontName = font.family();
    o.FontSize = font.pointSize();
    o.FontColor = FromQColor(captionText_->palette().color(QPalette::Text));
    for (const DialogField& f : fieldTable()) {
        if (f.captionLook)
            f.Read(o);
    }
    o.CaptionText = captionText_->toPlainText().split('\n').join(QStringLiteral("\r\n"));
    o.BackColor = FromQColor(captionText_->palette().color(QPalette::Base));
}

void SetupDialog::ReadFromDialog(OptionsValues& o) const
{
    for (const DialogField& f : fieldTable()) {
        if (!f.captionLook) // read with the rest of the caption below
            f.Read(o);
    }
    o.DriverIndex = videoDevice_->currentIndex();
    o.MDUserDefinedArea = userDefinedArea_->isChecked();
    ReadCaptionSettings(o);
    proxy_.ReadSettings(o);
}

} // namespace tarvo
