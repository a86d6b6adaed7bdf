#include "settings/widgets/SetupDialog.h"

#include "settings/widgets/PlainText.h"
#include "settings/ActiveSettings.h"
#include "settings/IntegerText.h"
#include "settings/Profiles.h"
#include "settings/widgets/CaptionWithEdits.h"
#include "settings/widgets/ColorSwatch.h"
#include "settings/widgets/DialogKeys.h"
#include "settings/widgets/DialogMessages.h"
#include "settings/widgets/FocusExit.h"
#include "settings/widgets/FormName.h"
#include "settings/widgets/MoreSettingsPage.h"
#include "settings/widgets/ProxyWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>
#include <limits>
#include <optional>
#include <utility>

namespace tarvo {

namespace {
constexpr int MotionDetectionPage = 4;
constexpr int MemoMaxLength = 255;

// The FTP password edit hides its characters behind "*".
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QLineEdit* NumberEdit(int width = 40)
{
    auto* e = new QLineEdit;
    e->setFixedWidth(width);
    return e;
}

QPushButton* Button(const QString& caption)
{
    auto* b = new QPushButton(caption);
    b->setAutoDefault(false);
    return b;
}

QPushButton* EllipsisButton()
{
    QPushButton* b = Button(QStringLiteral("..."));
    b->setFixedWidth(28);
    return b;
}

QRadioButton* Radio(const QString& caption, QButtonGroup* group, int id)
{
    auto* r = new QRadioButton(caption);
    group->addButton(r, id);
    return r;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, bool stretch = true)
{
    auto* row = new QHBoxLayout;
    for (QWidget* w : widgets)
        row->addWidget(w);
    if (stretch)
        row->addStretch();
    return row;
}

// A titled box with the widgets one below the other.
QGroupBox* Column(const QString& title, std::initializer_list<QWidget*> widgets, bool stretch)
{
    auto* box = new QGroupBox(title);
    auto* column = new QVBoxLayout(box);
    for (QWidget* w : widgets)
        column->addWidget(w);
    if (stretch)
        column->addStretch();
    return box;
}

// A tab page: the parts (widgets or layouts) from the top down, the free space below them.
QWidget* Page(std::initializer_list<QObject*> parts)
{
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    for (QObject* part : parts) {
        if (auto* layout = qobject_cast<QLayout*>(part))
            v->addLayout(layout);
        else
            v->addWidget(qobject_cast<QWidget*>(part));
    }
    v->addStretch();
    return page;
}

// A naming group's rows "Timed filenames" and "Incrementing filenames: <prefix>###.jpg" in the box;
// the controls' form names start with formPrefix.
QGridLayout* NamingRows(QGroupBox* box, const QString& formPrefix, QButtonGroup* group, QRadioButton*& timed,
                        QRadioButton*& incrementing, QLineEdit*& prefix, QLabel*& prefixExt)
{
    timed = Named(Radio(QStringLiteral("Timed filenames (mm-dd  hh.mm.ss)"), group, NamingTimed), formPrefix + "TimedR");
    incrementing = Named(Radio(QStringLiteral("Incrementing filenames:"), group, NamingIncrementing), formPrefix + "IncR");
    prefix = Named(new QLineEdit, formPrefix + "Prefix");
    prefixExt = Named(new QLabel(QStringLiteral("###.jpg")), formPrefix + "PrefixExt");
    auto* grid = new QGridLayout(box);
    grid->addWidget(timed, 0, 0, 1, 3);
    grid->addWidget(incrementing, 1, 0);
    grid->addWidget(prefix, 1, 1);
    grid->addWidget(prefixExt, 1, 2);
    return grid;
}

// The row "Fixed filename: <name><extension>" of a picture naming group.
void AddFixedNameRow(QGridLayout* grid, const QString& formPrefix, QButtonGroup* group, QRadioButton*& fixed,
                     QLineEdit*& name, QLabel* extension)
{
    fixed = Named(Radio(QStringLiteral("Fixed filename:"), group, NamingFixed), formPrefix + "FixedR");
    name = Named(new QLineEdit, formPrefix + "Fixed");
    grid->addWidget(fixed, 2, 0);
    grid->addWidget(name, 2, 1);
    grid->addWidget(extension, 2, 2);
}

// Corrects an edit's text to a whole number within its limits; notANumber replaces any other text.
void ClampEdit(QLineEdit* edit, const QString& notANumber, std::int64_t min,
               std::int64_t max = std::numeric_limits<std::int32_t>::max())
{
    const auto value = WholeNumber(edit->text());
    edit->setText(value ? QString::number(std::clamp(*value, min, max)) : notANumber);
}
} // namespace

SetupDialog::SetupDialog(const QString& programDir, ProfileBox& profileBox, const ActiveSettings& settings,
                         ProfilePasswords& passwords, ProfileActivation& targets, ProxyWindow& proxyWindow,
                         DialogMessages& messages, QWidget* parent)
    : QDialog(parent), profileBox_(profileBox), settings_(settings), programDir_(programDir), passwords_(passwords),
      messages_(messages), targets_(targets), proxy_(proxyWindow)
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("Setup"));
    setModal(false);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    triggerGroup_ = new QButtonGroup(this);
    lpicGroup_ = new QButtonGroup(this);
    wpicGroup_ = new QButtonGroup(this);
    vidGroup_ = new QButtonGroup(this);
    areaGroup_ = new QButtonGroup(this);
    verticalGroup_ = new QButtonGroup(this);
    horizontalGroup_ = new QButtonGroup(this);

    pages_ = Named(new QTabWidget, "PageControl1");
    pages_->tabBar()->setUsesScrollButtons(false); // every page's tab stays in sight
    pages_->addTab(buildAutoCapturePage(), QStringLiteral("Auto capture"));
    pages_->addTab(buildCaptureOptionsPage(), QStringLiteral("Capture options"));
    pages_->addTab(buildFilenamesPage(), QStringLiteral("Filenames"));
    pages_->addTab(buildGeneralPage(), QStringLiteral("General"));
    pages_->addTab(buildMotionDetectionPage(), QStringLiteral("Motion detection"));
    pages_->addTab(buildCaptionPage(), QStringLiteral("Picture caption"));
    pages_->addTab(buildWebsitePage(), QStringLiteral("Website"));
    morePage_ = new MoreSettingsPage;
    // The extra groups outgrow a small screen; the other pages keep their fixed layout.
    auto* moreScroll = new QScrollArea;
    moreScroll->setObjectName(QStringLiteral("MoreScroll"));
    moreScroll->setFrameShape(QFrame::NoFrame);
    moreScroll->setWidgetResizable(true);
    moreScroll->setWidget(morePage_);
    pages_->addTab(moreScroll, QStringLiteral("More"));

    defaultsButton_ = Named(Button(QStringLiteral("Defaults")), "Button10");
    cancelButton_ = Named(Button(QStringLiteral("Cancel")), "Button4");
    okButton_ = Named(Button(QStringLiteral("OK")), "Button1");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(defaultsButton_);
    buttons->addStretch();
    buttons->addWidget(cancelButton_);
    buttons->addWidget(okButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connectHandlers();
}

QWidget* SetupDialog::buildAutoCapturePage()
{
    timedTrigger_ = Named(Radio(QStringLiteral("Timed capturing every           min.          sec."), triggerGroup_, TriggerTimed), "RadioButton1");
    intervalMinutes_ = Named(NumberEdit(), "MinEdit");
    intervalSeconds_ = Named(NumberEdit(), "SecEdit");
    intervalMinutes_->setText(QStringLiteral("00"));
    intervalSeconds_->setText(QStringLiteral("00"));
    motionTrigger_ = Named(Radio(QStringLiteral("Motion detection"), triggerGroup_, TriggerMotion), "RadioButton2");
    auto* triggers = new QGroupBox(QStringLiteral("Triggers"));
    auto* t = new QVBoxLayout(triggers);
    t->addWidget(new CaptionWithEdits(timedTrigger_, {intervalMinutes_, intervalSeconds_}));
    t->addWidget(motionTrigger_);

    savePicture_ = Named(new QCheckBox(QStringLiteral("Save picture to log")), "CapPicCheckBox");
    updateWebsite_ = Named(new QCheckBox(QStringLiteral("Update website")), "UpPicCheckBox");
    showPopup_ = Named(new QCheckBox(QStringLiteral("Show popup box with warning")), "CheckBox11");
    playSound_ = Named(new QCheckBox(QStringLiteral("Play sound:")), "CheckBox10");
    soundFile_ = Named(new QLineEdit, "Edit6");
    browseSound_ = Named(EllipsisButton(), "Button5");
    auto* actions = new QGroupBox(QStringLiteral("Actions"));
    auto* a = new QVBoxLayout(actions);
    a->addWidget(savePicture_);
    a->addWidget(updateWebsite_);
    a->addWidget(showPopup_);
    auto* sound = Row({playSound_, soundFile_, browseSound_}, false);
    sound->setStretch(1, 1);
    a->addLayout(sound);

    return Page({triggers, actions});
}

QWidget* SetupDialog::buildCaptureOptionsPage()
{
    videoDevice_ = Named(new QComboBox, "ComboBox2");
    videoDevice_->setMinimumWidth(220);
    frameRate_ = Named(NumberEdit(), "Edit3");
    frameRate_->setText(QStringLiteral("30"));
    auto* device = new QGridLayout;
    device->addWidget(new QLabel(QStringLiteral("Video device:")), 0, 0);
    device->addWidget(videoDevice_, 0, 1, 1, 2);
    device->addWidget(new QLabel(QStringLiteral("Framerate:")), 1, 0);
    device->addLayout(Row({frameRate_, new QLabel(QStringLiteral("fps."))}), 1, 1);
    device->setColumnStretch(2, 1);

    qualityText_ = Named(NumberEdit(), "picqual");
    qualitySlider_ = Named(new QSlider(Qt::Horizontal), "TrackBar1");
    qualitySlider_->setRange(1, 100);
    qualitySlider_->setPageStep(10);
    saveAsBitmap_ = Named(new QCheckBox(QStringLiteral("Save local pictures as bitmaps (.bmp)")), "CheckBox12");
    auto* pictures = new QGroupBox(QStringLiteral("Pictures"));
    auto* p = new QVBoxLayout(pictures);
    p->addWidget(new CaptionWithEdits(new QLabel(QStringLiteral("JPEG compresson quality            %")), {qualityText_}));
    auto* slider = Row({new QLabel(QStringLiteral("Small file")), qualitySlider_, new QLabel(QStringLiteral("Good quality"))}, false);
    slider->setStretch(1, 1);
    p->addLayout(slider);
    p->addWidget(saveAsBitmap_);

    compressionButton_ = Named(Button(QStringLiteral("Video compression...")), "Button9");
    captureAudio_ = Named(new QCheckBox(QStringLiteral("Capture audio")), "CheckBox9");
    audioChannels_ = Named(new QComboBox, "CapAudChannels");
    audioChannels_->addItems({QStringLiteral("Mono"), QStringLiteral("Stereo")});
    audioSampleRate_ = Named(new QComboBox, "CapAudSampleRate");
    audioSampleRate_->addItems({QStringLiteral("8000 Hz"), QStringLiteral("11025 Hz"), QStringLiteral("22050 Hz"), QStringLiteral("44100 Hz")});
    audioResolution_ = Named(new QComboBox, "CapAudResolution");
    audioResolution_->addItems({QStringLiteral("8 Bit"), QStringLiteral("16 Bit")});
    channelsLabel_ = Named(new QLabel(QStringLiteral("Channels")), "ChannelsLabel");
    sampleRateLabel_ = Named(new QLabel(QStringLiteral("Sample rate")), "SampleRateLabel");
    resolutionLabel_ = Named(new QLabel(QStringLiteral("Resolution")), "ResolutionLabel");
    auto* video = new QGroupBox(QStringLiteral("Video"));
    auto* vg = new QGridLayout(video);
    vg->addWidget(compressionButton_, 0, 0, 1, 2, Qt::AlignLeft);
    vg->addWidget(captureAudio_, 1, 0, 1, 2);
    vg->addWidget(channelsLabel_, 2, 0);
    vg->addWidget(audioChannels_, 2, 1);
    vg->addWidget(sampleRateLabel_, 3, 0);
    vg->addWidget(audioSampleRate_, 3, 1);
    vg->addWidget(resolutionLabel_, 4, 0);
    vg->addWidget(audioResolution_, 4, 1);
    vg->setColumnStretch(2, 1);

    return Page({device, pictures, video});
}

QWidget* SetupDialog::buildFilenamesPage()
{
    auto* local = new QGroupBox(QStringLiteral("Local pictures"));
    QGridLayout* l = NamingRows(local, QStringLiteral("LPic"), lpicGroup_, localTimed_, localIncrementing_, localPrefix_,
                                localPrefixExt_);
    AddFixedNameRow(l, QStringLiteral("LPic"), lpicGroup_, localFixed_, localFixedName_, new QLabel(QStringLiteral(".jpg")));

    auto* website = new QGroupBox(QStringLiteral("Website pictures"));
    QGridLayout* w = NamingRows(website, QStringLiteral("WPic"), wpicGroup_, webTimed_, webIncrementing_, webPrefix_,
                                webPrefixExt_);
    webFixedExt_ = Named(new QLabel(QStringLiteral(".jpg")), "WPicFixedExt");
    AddFixedNameRow(w, QStringLiteral("WPic"), wpicGroup_, webFixed_, webFixedName_, webFixedExt_);
    historyLabel_ = Named(new QLabel(QStringLiteral("Keep picture history of           pictures")), "HistoryLabel");
    historyCount_ = Named(NumberEdit(), "FileNumber");
    historyNames_ = Named(new QLabel, "Label31");
    historyNames_->setTextFormat(Qt::PlainText); // names come from the profile
    historyNames_->setWordWrap(true);
    historyNames_->setMinimumHeight(2 * historyNames_->fontMetrics().lineSpacing());
    tempUploadName_ = Named(new QCheckBox(QStringLiteral("Use a temporary filename while uploading")), "TmpUploadBox");
    auto* history = new QVBoxLayout;
    history->setContentsMargins(20, 0, 0, 0);
    history->addWidget(new CaptionWithEdits(historyLabel_, {historyCount_}));
    history->addWidget(historyNames_);
    w->addLayout(history, 3, 0, 1, 3);
    w->addWidget(tempUploadName_, 4, 0, 1, 3);

    auto* videos = new QGroupBox(QStringLiteral("Videos"));
    NamingRows(videos, QStringLiteral("Vid"), vidGroup_, videoTimed_, videoIncrementing_, videoPrefix_, videoPrefixExt_);

    return Page({local, website, videos});
}

QWidget* SetupDialog::buildGeneralPage()
{
    pictureFolder_ = Named(new QLineEdit, "Edit1");
    videoFolder_ = Named(new QLineEdit, "Edit2");
    logFolder_ = Named(new QLineEdit, "Edit4");
    browsePictureFolder_ = Named(EllipsisButton(), "BrowsePicDir");
    browseVideoFolder_ = Named(EllipsisButton(), "BrowseVidDir");
    browseLogFolder_ = Named(EllipsisButton(), "BrowseLogDir");
    auto* folders = new QGroupBox(QStringLiteral("Folders"));
    auto* f = new QGridLayout(folders);
    int row = 0;
    for (auto [caption, edit, browse] : {std::tuple{QStringLiteral("Picture folder:"), pictureFolder_, browsePictureFolder_},
                                         std::tuple{QStringLiteral("Video folder:"), videoFolder_, browseVideoFolder_},
                                         std::tuple{QStringLiteral("Logfile folder:"), logFolder_, browseLogFolder_}}) {
        f->addWidget(new QLabel(caption), row, 0);
        f->addWidget(edit, row, 1);
        f->addWidget(browse, row, 2);
        ++row;
    }
    f->setColumnStretch(1, 1);

    loadAtStartup_ = Named(new QCheckBox(QStringLiteral("Load Tarvo at startup")), "CheckBox5");
    autoCaptureAtStart_ = Named(new QCheckBox(QStringLiteral("Start auto-capturing when Tarvo starts")), "CheckBox4");
    checkForUpdates_ = Named(new QCheckBox(QStringLiteral("Automatically check for updates")), "AutoUpdChk");
    createLogfile_ = Named(new QCheckBox(QStringLiteral("Create logfile")), "CheckBox7");
    clickSound_ = Named(new QCheckBox(QStringLiteral("Clicking sound when taking pictures")), "CheckBox8");
    warnLimit_ = Named(new QCheckBox(QStringLiteral("Warn when logged files exceeds              Mb")), "WarnLimit");
    limitMegabytes_ = Named(NumberEdit(48), "Limit");

    return Page({folders, loadAtStartup_, autoCaptureAtStart_, checkForUpdates_, createLogfile_, clickSound_,
                 new CaptionWithEdits(warnLimit_, {limitMegabytes_})});
}

QWidget* SetupDialog::buildMotionDetectionPage()
{
    sensitivity_ = Named(new QSlider(Qt::Horizontal), "TrackBar2");
    sensitivity_->setRange(1, 100);
    sensitivity_->setPageStep(10);
    sensitivityGroup_ = Named(new QGroupBox(QStringLiteral("Motion detection sensitivity")), "GroupBox9");
    auto* sensitivity = Row({new QLabel(QStringLiteral("Sensitive")), sensitivity_, new QLabel(QStringLiteral("Insensitive"))}, false);
    sensitivity->setStretch(1, 1);
    sensitivityGroup_->setLayout(sensitivity);

    entirePicture_ = Named(Radio(QStringLiteral("Entire picture"), areaGroup_, 0), "MDEntirePicture");
    userDefinedArea_ = Named(Radio(QStringLiteral("User defined area:"), areaGroup_, 1), "MDUserDefinedArea");
    areaBeginX_ = Named(NumberEdit(), "MDbeginX");
    areaBeginY_ = Named(NumberEdit(), "MDbeginY");
    areaEndX_ = Named(NumberEdit(), "MDendX");
    areaEndY_ = Named(NumberEdit(), "MDendY");
    for (QLineEdit* e : {areaBeginX_, areaBeginY_, areaEndX_, areaEndY_}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        QPalette grey = e->palette();
        grey.setColor(QPalette::Base, grey.color(QPalette::Window));
        e->setPalette(grey);
    }
    defineAreaButton_ = Named(Button(QStringLiteral("Define...")), "Button12");
    auto* area = new QGroupBox(QStringLiteral("Motion detection area"));
    auto* a = new QVBoxLayout(area);
    a->addWidget(entirePicture_);
    a->addLayout(Row({userDefinedArea_, areaBeginX_, new QLabel(QStringLiteral(",")), areaBeginY_,
                      new QLabel(QStringLiteral("->")), areaEndX_, new QLabel(QStringLiteral(",")), areaEndY_}));
    a->addLayout(Row({defineAreaButton_}));

    fuse_ = Named(new QCheckBox(QStringLiteral("Fuse:                     minutes            seconds.")), "FuseCB");
    fuseMinutes_ = Named(NumberEdit(), "FuseMin");
    fuseSeconds_ = Named(NumberEdit(), "FuseSec");
    rearm_ = Named(new QCheckBox(QStringLiteral("Re-arm after          minutes            seconds.")), "RearmCB");
    rearmMinutes_ = Named(NumberEdit(), "RearmMin");
    rearmSeconds_ = Named(NumberEdit(), "RearmSec");
    markImages_ = Named(new QCheckBox(QStringLiteral("Mark images")), "MarkCB");
    markColor_ = Named(new ColorSwatch, "MarkColor");

    return Page({sensitivityGroup_, area, new CaptionWithEdits(fuse_, {fuseMinutes_, fuseSeconds_}),
                 new CaptionWithEdits(rearm_, {rearmMinutes_, rearmSeconds_}), markImages_,
                 Row({new QLabel(QStringLiteral("Marking color:")), markColor_})});
}

QWidget* SetupDialog::buildCaptionPage()
{
    captionText_ = Named(new QPlainTextEdit, "Memo1");
    captionText_->setLineWrapMode(QPlainTextEdit::NoWrap);
    captionText_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    captionText_->setFixedHeight(90);
    fontButton_ = Named(Button(QStringLiteral("Font...")), "Button6");
    fontColorButton_ = Named(Button(QStringLiteral("Font color...")), "FontColorButton");
    backColorButton_ = Named(Button(QStringLiteral("Backgound color...")), "Button7");
    transparentBack_ = Named(new QCheckBox(QStringLiteral("Transparent background")), "CheckBox6");
    exampleButton_ = Named(Button(QStringLiteral("Example...")), "Button8");

    auto* commands = new QGroupBox(QStringLiteral("Date && time commands"));
    auto* c = new QVBoxLayout(commands);
    c->setSpacing(1);
    for (const char* line : {"%d = Day", "%m = Month", "%y = Year (2 digits)", "%t = Time (24 hr)",
                             "%D = Day (text)", "%M = Month (text)", "%Y = Year (4 digits)",
                             "%T = Time (12 hr)", "%ld = Day (text in local langage)",
                             "%lm = Month (text in local language)"})
        c->addWidget(new QLabel(QString::fromLatin1(line)));

    captionTop_ = Named(Radio(QStringLiteral("Top"), verticalGroup_, 0), "TopBox");
    captionBottom_ = Named(Radio(QStringLiteral("Bottom"), verticalGroup_, 1), "BottomBox");
    QGroupBox* vertical = Column(QStringLiteral("Vertical postition"), {captionTop_, captionBottom_}, true);
    captionLeft_ = Named(Radio(QStringLiteral("Left"), horizontalGroup_, 0), "LeftBox");
    captionCenter_ = Named(Radio(QStringLiteral("Center"), horizontalGroup_, 1), "CenterBox");
    captionRight_ = Named(Radio(QStringLiteral("Right"), horizontalGroup_, 2), "RightBox");
    QGroupBox* horizontal = Column(QStringLiteral("Horizontal position"), {captionLeft_, captionCenter_, captionRight_}, false);
    captionLocal_ = Named(new QCheckBox(QStringLiteral("Add caption to local pictures")), "CheckBox1");
    captionWebsite_ = Named(new QCheckBox(QStringLiteral("Add caption to website pictures")), "CheckBox2");

    auto* left = new QVBoxLayout;
    left->addWidget(captionText_);
    left->addLayout(Row({fontButton_, fontColorButton_, backColorButton_}));
    left->addWidget(transparentBack_);
    left->addLayout(Row({exampleButton_}));
    left->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addWidget(commands);
    auto* positions = new QHBoxLayout;
    positions->addWidget(vertical);
    positions->addWidget(horizontal);

    return Page({top, positions, captionLocal_, captionWebsite_});
}

QWidget* SetupDialog::buildWebsitePage()
{
    ftpEnabled_ = Named(new QCheckBox(QStringLiteral("Enabled")), "WebsiteFTP");
    ftpHost_ = Named(new QLineEdit, "FTPAddressEdit");
    ftpPort_ = Named(NumberEdit(56), "PortEdit");
    ftpUser_ = Named(new QLineEdit, "UserNameEdit");
    ftpPassword_ = Named(new QLineEdit, "PasswordEdit");
    ftpPassword_->setEchoMode(QLineEdit::Password);
    auto* stars = new StarPasswordStyle;
    stars->setParent(this);
    ftpPassword_->setStyle(stars);
    savePassword_ = Named(new QCheckBox(QStringLiteral("Save Password")), "CheckBox3");
    savePassword_->setChecked(true);
    uploadDir_ = Named(new QLineEdit, "UpDirEdit");
    passiveMode_ = Named(new QCheckBox(QStringLiteral("Passive Mode")), "PASVCheck");
    proxyButton_ = Named(Button(QStringLiteral("Firewall / Proxy")), "Button15");
    testFtpButton_ = Named(Button(QStringLiteral("Test settings")), "Button14");
    auto* ftp = new QGroupBox(QStringLiteral("FTP server:"));
    auto* f = new QGridLayout(ftp);
    f->addWidget(ftpEnabled_, 0, 0, 1, 3);
    f->addWidget(new QLabel(QStringLiteral("FTP server:")), 1, 0);
    f->addWidget(ftpHost_, 1, 1, 1, 2);
    f->addWidget(new QLabel(QStringLiteral("Port:")), 2, 0);
    f->addWidget(ftpPort_, 2, 1, Qt::AlignLeft);
    f->addWidget(new QLabel(QStringLiteral("User name:")), 3, 0);
    f->addWidget(ftpUser_, 3, 1, 1, 2);
    f->addWidget(new QLabel(QStringLiteral("Password:")), 4, 0);
    f->addWidget(ftpPassword_, 4, 1);
    f->addWidget(savePassword_, 4, 2);
    f->addWidget(new QLabel(QStringLiteral("Upload directory:")), 5, 0);
    f->addWidget(uploadDir_, 5, 1, 1, 2);
    f->addWidget(passiveMode_, 6, 0, 1, 3);
    f->addLayout(Row({proxyButton_, testFtpButton_}), 7, 0, 1, 3);
    f->setColumnStretch(1, 1);

    localSiteEnabled_ = Named(new QCheckBox(QStringLiteral("Enabled")), "WebsiteLocal");
    localSiteFolder_ = Named(new QLineEdit, "LocalSiteDirEdit");
    browseLocalSite_ = Named(EllipsisButton(), "Button11");
    offlinePicture_ = Named(new QCheckBox(QStringLiteral("Offline picture:")), "OfflinePicCheck");
    offlinePictureFile_ = Named(new QLineEdit, "OfflinePicName");
    browseOfflinePicture_ = Named(EllipsisButton(), "Button13");
    auto* local = new QGroupBox(QStringLiteral("Local directory:"));
    auto* l = new QGridLayout(local);
    l->addWidget(localSiteEnabled_, 0, 0, 1, 3);
    l->addWidget(new QLabel(QStringLiteral("Directory:")), 1, 0);
    l->addWidget(localSiteFolder_, 1, 1);
    l->addWidget(browseLocalSite_, 1, 2);
    l->addWidget(offlinePicture_, 2, 0);
    l->addWidget(offlinePictureFile_, 2, 1);
    l->addWidget(browseOfflinePicture_, 2, 2);
    l->setColumnStretch(1, 1);

    return Page({ftp, local});
}

void SetupDialog::connectHandlers()
{
    connect(okButton_, &QPushButton::clicked, this, &SetupDialog::Accept);
    connect(cancelButton_, &QPushButton::clicked, this, &SetupDialog::Cancel);
    connect(defaultsButton_, &QPushButton::clicked, this, &SetupDialog::RestoreDefaults);
    new DialogKeys(this, okButton_, cancelButton_);

    // The numeric edits correct themselves to a whole number within their limits when left; the
    // text stands for anything that is no number.
    struct Limits {
        QLineEdit* edit;
        const char* notANumber;
        std::int64_t min;
        std::int64_t max;
    };
    constexpr std::int64_t Int32Max = std::numeric_limits<std::int32_t>::max();
    for (const Limits& l : {Limits{intervalMinutes_, "0", 0, 60}, Limits{intervalSeconds_, "0", 0, 59},
                            Limits{ftpPort_, "0", 0, 99999}, Limits{fuseMinutes_, "0", 0, 5},
                            Limits{fuseSeconds_, "0", 0, 59}, Limits{rearmMinutes_, "0", 0, 5},
                            Limits{rearmSeconds_, "0", 0, 59}, Limits{frameRate_, "30", 1, 30},
                            Limits{limitMegabytes_, "1", 1, Int32Max}})
        OnExit(l.edit, [l] { ClampEdit(l.edit, QString::fromLatin1(l.notANumber), l.min, l.max); });
    OnExit(historyCount_, [this] { CheckHistoryCount(); });
    connect(qualityText_, &QLineEdit::textChanged, this, &SetupDialog::QualityTyped);
    connect(qualitySlider_, &QSlider::valueChanged, this, &SetupDialog::QualitySlid);
    connect(sensitivity_, &QSlider::valueChanged, this, &SetupDialog::ShowSensitivity);
    connect(webFixedName_, &QLineEdit::textChanged, this, &SetupDialog::ShowHistoryNames);

    // Sound and popup belong to motion detection.
    connect(timedTrigger_, &QRadioButton::toggled, this, [this](bool on) { if (on) EnableAlarmActions(false); });
    connect(motionTrigger_, &QRadioButton::toggled, this, [this](bool on) { if (on) EnableAlarmActions(true); });
    connect(transparentBack_, &QCheckBox::toggled, this, &SetupDialog::UpdateBackgroundButton);
    connect(captureAudio_, &QCheckBox::toggled, this, &SetupDialog::UpdateAudioControls);
    // "Fixed filename:" of local pictures has no rule: the prefix keeps the state of the last click.
    connect(localTimed_, &QRadioButton::clicked, this, &SetupDialog::UpdateLocalPrefix);
    connect(localIncrementing_, &QRadioButton::clicked, this, &SetupDialog::UpdateLocalPrefix);
    connect(wpicGroup_, &QButtonGroup::buttonToggled, this, &SetupDialog::UpdateWebsiteNaming);
    connect(vidGroup_, &QButtonGroup::buttonToggled, this, &SetupDialog::UpdateVideoPrefix);
    connect(pages_, &QTabWidget::currentChanged, this, &SetupDialog::PageChanged);
    connect(morePage_, &MoreSettingsPage::watchSceneRequested, this, [this] {
        if (hooks.showExampleWindow)
            hooks.showExampleWindow(true);
    });

    connect(captionText_, &QPlainTextEdit::textChanged, this, [this] {
        limitCaptionLength();
        redrawExample();
    });
    for (QRadioButton* r : {captionTop_, captionBottom_, captionLeft_, captionCenter_, captionRight_})
        connect(r, &QRadioButton::clicked, this, &SetupDialog::redrawExample);

    connect(browseSound_, &QPushButton::clicked, this, [this] { chooseFile(soundFile_, QStringLiteral("Wave files (*.wav)")); });
    connect(browseOfflinePicture_, &QPushButton::clicked, this, [this] { chooseFile(offlinePictureFile_, QStringLiteral("JPEG pictures (*.jpg)")); });
    connect(browsePictureFolder_, &QPushButton::clicked, this, [this] { chooseFolder(pictureFolder_); });
    connect(browseVideoFolder_, &QPushButton::clicked, this, [this] { chooseFolder(videoFolder_); });
    connect(browseLogFolder_, &QPushButton::clicked, this, [this] { chooseFolder(logFolder_); });
    connect(browseLocalSite_, &QPushButton::clicked, this, [this] { chooseFolder(localSiteFolder_); });
    connect(fontButton_, &QPushButton::clicked, this, &SetupDialog::chooseFont);
    connect(fontColorButton_, &QPushButton::clicked, this, [this] { chooseCaptionColor(QPalette::Text); });
    connect(backColorButton_, &QPushButton::clicked, this, [this] { chooseCaptionColor(QPalette::Base); });
    connect(markColor_, &ColorSwatch::leftPressed, this, &SetupDialog::chooseMarkColor);
    connect(exampleButton_, &QPushButton::clicked, this, [this] { if (hooks.showExampleWindow) hooks.showExampleWindow(false); });
    connect(defineAreaButton_, &QPushButton::clicked, this, [this] { if (hooks.showExampleWindow) hooks.showExampleWindow(true); });
    connect(compressionButton_, &QPushButton::clicked, this, [this] { if (hooks.showCompressionDialog) hooks.showCompressionDialog(); });
    connect(testFtpButton_, &QPushButton::clicked, this, [this] { if (hooks.showFtpTest) hooks.showFtpTest(); });
    connect(proxyButton_, &QPushButton::clicked, this, [this] {
        proxy_.show();
        proxy_.raise();
        proxy_.activateWindow();
    });
}

void SetupDialog::SetCaptureDrivers(const QStringList& drivers)
{
    videoDevice_->clear();
    videoDevice_->addItems(drivers);
}

void SetupDialog::SetOkEnabled(bool enabled) { okButton_->setEnabled(enabled); }

DetectionArea SetupDialog::ShownArea() const
{
    return DetectionArea{areaBeginX_->text().toInt(), areaBeginY_->text().toInt(), areaEndX_->text().toInt(),
                         areaEndY_->text().toInt()};
}

void SetupDialog::ReadShownArea(OptionsValues& options) const
{
    const DetectionArea area = ShownArea();
    options.MDUserDefinedArea = userDefinedArea_->isChecked();
    options.MDbeginX = area.beginX;
    options.MDbeginY = area.beginY;
    options.MDendX = area.endX;
    options.MDendY = area.endY;
}

void SetupDialog::ShowArea(const DetectionArea& area)
{
    areaBeginX_->setText(QString::number(area.beginX));
    areaBeginY_->setText(QString::number(area.beginY));
    areaEndX_->setText(QString::number(area.endX));
    areaEndY_->setText(QString::number(area.endY));
    userDefinedArea_->setChecked(true);
}

int SetupDialog::ShownSensitivity() const { return sensitivity_->value(); }

void SetupDialog::ShowSceneChange(int changedPoints, int gridPoints, int largestGroup)
{
    morePage_->ShowSceneChange(changedPoints, gridPoints, largestGroup);
}

FtpTestSettings SetupDialog::TypedFtpSettings() const
{
    FtpTestSettings typed = proxy_.TypedSettings();
    for (auto [text, edit] : {std::pair{&typed.host, ftpHost_}, std::pair{&typed.port, ftpPort_},
                              std::pair{&typed.userName, ftpUser_}, std::pair{&typed.password, ftpPassword_},
                              std::pair{&typed.upDir, uploadDir_}})
        *text = edit->text();
    typed.passive = passiveMode_->isChecked();
    return typed;
}

void SetupDialog::Accept()
{
    if (!okButton_->isEnabled())
        return;
    const QString name = profileBox_.text();
    try {
        OptionsValues record = settings_.options;
        ReadFromDialog(record);
        ExtraOptions extras = settings_.extras;
        morePage_->Read(extras);
        const bool passwordKept = SaveProfile(programDir_, record, name, passwords_);
        SaveExtras(programDir_, extras, name);
        targets_.Activate(record, profileBox_);
        hide();
        if (!passwordKept && !toldPasswordIsForgotten_) {
            toldPasswordIsForgotten_ = true;
            messages_.ShowNote(this, QStringLiteral("Password"),
                                        QStringLiteral("No secret store answers on this desktop, so the FTP password "
                                                       "will be forgotten when Tarvo ends.\nCheck \"Save Password\" "
                                                       "to keep it in the profile file."));
        }
    } catch (const std::exception& e) {
        messages_.ShowError(this, QString::fromLocal8Bit(e.what()));
    }
}

void SetupDialog::Cancel()
{
    ShowInDialog(settings_.options);
    ShowExtrasInDialog(settings_.extras);
    hide();
}

void SetupDialog::RestoreDefaults()
{
    ShowInDialog(DefaultOptions(programDir_));
    ShowExtrasInDialog(ExtraOptions{});
}

void SetupDialog::ShowExtrasInDialog(const ExtraOptions& extras) { morePage_->Show(extras); }

void SetupDialog::CheckHistoryCount()
{
    ClampEdit(historyCount_, QStringLiteral("1"), 1);
    if (historyCount_->text().toInt() > 10 && settings_.options.FileNumber < 11)
        messages_.ShowNote(this, QStringLiteral("Note"),
                                    QStringLiteral("If you are using FTP for your wesite pictures, it is not recommended\n\r"
                                                   "to keep a history of more than 10 pictures because of the speed."));
}

void SetupDialog::QualityTyped()
{
    if (settingQuality_)
        return;
    const auto value = WholeNumber(qualityText_->text());
    const std::int64_t quality = value ? std::clamp<std::int64_t>(*value, 1, 100) : 90;
    settingQuality_ = true;
    if (!value || quality != *value)
        qualityText_->setText(QString::number(quality));
    qualitySlider_->setValue(static_cast<int>(quality));
    settingQuality_ = false;
}

void SetupDialog::QualitySlid()
{
    if (!settingQuality_)
        qualityText_->setText(QString::number(qualitySlider_->value()));
}

void SetupDialog::ShowSensitivity()
{
    sensitivityGroup_->setTitle(QStringLiteral("Motion detection sensitivity %1%").arg(101 - sensitivity_->value()));
}

void SetupDialog::ShowHistoryNames()
{
    const QString x = webFixedName_->text();
    historyNames_->setText(QStringLiteral("Files will be named: ") + x + QStringLiteral(".jpg") + QStringLiteral(", ") +
                           x + QStringLiteral("02.jpg, ") + x + QStringLiteral("03.jpg, etc."));
}

void SetupDialog::EnableAlarmActions(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(playSound_), static_cast<QWidget*>(showPopup_),
                       static_cast<QWidget*>(soundFile_), static_cast<QWidget*>(browseSound_)})
        w->setEnabled(enabled);
}

void SetupDialog::UpdateBackgroundButton()
{
    backColorButton_->setEnabled(!transparentBack_->isChecked());
    redrawExample();
}

void SetupDialog::UpdateAudioControls()
{
    const bool on = captureAudio_->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(audioChannels_), static_cast<QWidget*>(audioSampleRate_),
                       static_cast<QWidget*>(audioResolution_), static_cast<QWidget*>(channelsLabel_),
                       static_cast<QWidget*>(sampleRateLabel_), static_cast<QWidget*>(resolutionLabel_)})
        w->setEnabled(on);
}

void SetupDialog::UpdateLocalPrefix()
{
    localPrefix_->setEnabled(localIncrementing_->isChecked());
    localPrefixExt_->setEnabled(localIncrementing_->isChecked());
}

void SetupDialog::UpdateWebsiteNaming()
{
    webPrefix_->setEnabled(webIncrementing_->isChecked());
    webPrefixExt_->setEnabled(webIncrementing_->isChecked());
    const bool fixed = webFixed_->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(webFixedName_), static_cast<QWidget*>(webFixedExt_),
                       static_cast<QWidget*>(historyLabel_), static_cast<QWidget*>(historyCount_),
                       static_cast<QWidget*>(historyNames_)})
        w->setEnabled(fixed);
}

void SetupDialog::UpdateVideoPrefix()
{
    videoPrefix_->setEnabled(videoIncrementing_->isChecked());
    videoPrefixExt_->setEnabled(videoIncrementing_->isChecked());
}

void SetupDialog::PageChanged()
{
    // The page "More" keeps the detection-area window open: it shows how much that scene changes.
    const int page = pages_->currentIndex();
    if (page != MotionDetectionPage && !pages_->widget(page)->isAncestorOf(morePage_) && hooks.hideExampleIfVisible)
        hooks.hideExampleIfVisible();
}

void SetupDialog::showEvent(QShowEvent* event)
{
    pages_->setCurrentIndex(0);
    setWindowTitle(PlainWindowTitle(QStringLiteral("Setup: ") + profileBox_.text()));
    userDefinedArea_->setText(QStringLiteral("User defined area:"));
    QDialog::showEvent(event);
}

void SetupDialog::hideEvent(QHideEvent* event)
{
    if (hooks.hideExampleIfVisible)
        hooks.hideExampleIfVisible();
    if (hooks.hideFtpTestIfVisible)
        hooks.hideFtpTestIfVisible();
    QDialog::hideEvent(event);
}

void SetupDialog::chooseFile(QLineEdit* edit, const QString& filter)
{
    const QString file = QFileDialog::getOpenFileName(this, QString(), edit->text(), filter);
    if (!file.isEmpty())
        edit->setText(file);
}

void SetupDialog::chooseFolder(QLineEdit* edit)
{
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), QDir::currentPath());
    if (!folder.isEmpty())
        edit->setText(folder);
}

void SetupDialog::chooseFont()
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, captionText_->font(), this);
    if (ok)
        captionText_->setFont(font);
    redrawExample();
}

// The memo shows the caption's colours: its text colour is the caption's, its base the background.
void SetupDialog::chooseCaptionColor(QPalette::ColorRole role)
{
    const QColor color = QColorDialog::getColor(captionText_->palette().color(role), this);
    if (color.isValid()) {
        QPalette p = captionText_->palette();
        p.setColor(role, color);
        captionText_->setPalette(p);
    }
    redrawExample();
}

void SetupDialog::chooseMarkColor()
{
    const QColor color = QColorDialog::getColor(markColor_->color(), this);
    if (color.isValid())
        markColor_->setColor(color);
}

void SetupDialog::limitCaptionLength()
{
    if (captionText_->toPlainText().size() <= MemoMaxLength)
        return;
    QTextCursor cursor = captionText_->textCursor();
    const int position = std::min(cursor.position(), MemoMaxLength);
    const QSignalBlocker block(captionText_);
    captionText_->setPlainText(captionText_->toPlainText().left(MemoMaxLength));
    cursor = captionText_->textCursor();
    cursor.setPosition(position);
    captionText_->setTextCursor(cursor);
}

void SetupDialog::redrawExample()
{
    if (hooks.redrawExampleIfVisible)
        hooks.redrawExampleIfVisible();
}

} // namespace tarvo
