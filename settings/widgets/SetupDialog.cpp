#include "settings/widgets/SetupDialog.h"

#include "common/PlainText.h"
#include "settings/ActiveOptions.h"
#include "settings/IntegerText.h"
#include "settings/Profiles.h"
#include "settings/widgets/CaptionWithEdits.h"
#include "settings/widgets/ColorSwatch.h"
#include "settings/widgets/DialogKeys.h"
#include "settings/widgets/DialogMessages.h"
#include "settings/widgets/FocusExit.h"
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

// Corrects an edit's text to a whole number within its limits; notANumber replaces any other text.
void ClampEdit(QLineEdit* edit, const QString& notANumber, std::int64_t min,
               std::int64_t max = std::numeric_limits<std::int32_t>::max())
{
    const auto value = WholeNumber(edit->text());
    edit->setText(value ? QString::number(std::clamp(*value, min, max)) : notANumber);
}
} // namespace

SetupDialog::SetupDialog(ProfileBox& profileBox, ActivationTargets& targets, ProxyWindow& proxyWindow, QWidget* parent)
    : QDialog(parent), profileBox_(profileBox), targets_(targets), proxy_(proxyWindow)
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

    PageControl1 = new QTabWidget;
    PageControl1->tabBar()->setUsesScrollButtons(false); // every page's tab stays in sight
    PageControl1->addTab(buildAutoCapturePage(), QStringLiteral("Auto capture"));
    PageControl1->addTab(buildCaptureOptionsPage(), QStringLiteral("Capture options"));
    PageControl1->addTab(buildFilenamesPage(), QStringLiteral("Filenames"));
    PageControl1->addTab(buildGeneralPage(), QStringLiteral("General"));
    PageControl1->addTab(buildMotionDetectionPage(), QStringLiteral("Motion detection"));
    PageControl1->addTab(buildCaptionPage(), QStringLiteral("Picture caption"));
    PageControl1->addTab(buildWebsitePage(), QStringLiteral("Website"));
    MorePage = new MoreSettingsPage;
    // The extra groups outgrow a small screen; the other pages keep their fixed layout.
    auto* moreScroll = new QScrollArea;
    moreScroll->setObjectName(QStringLiteral("MoreScroll"));
    moreScroll->setFrameShape(QFrame::NoFrame);
    moreScroll->setWidgetResizable(true);
    moreScroll->setWidget(MorePage);
    PageControl1->addTab(moreScroll, QStringLiteral("More"));

    Button10 = Button(QStringLiteral("Defaults"));
    Button4 = Button(QStringLiteral("Cancel"));
    Button1 = Button(QStringLiteral("OK"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button10);
    buttons->addStretch();
    buttons->addWidget(Button4);
    buttons->addWidget(Button1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connectHandlers();
}

QWidget* SetupDialog::buildAutoCapturePage()
{
    RadioButton1 = Radio(QStringLiteral("Timed capturing every           min.          sec."), triggerGroup_, TriggerTimed);
    MinEdit = NumberEdit();
    SecEdit = NumberEdit();
    MinEdit->setText(QStringLiteral("00"));
    SecEdit->setText(QStringLiteral("00"));
    RadioButton2 = Radio(QStringLiteral("Motion detection"), triggerGroup_, TriggerMotion);
    auto* triggers = new QGroupBox(QStringLiteral("Triggers"));
    auto* t = new QVBoxLayout(triggers);
    t->addWidget(new CaptionWithEdits(RadioButton1, {MinEdit, SecEdit}));
    t->addWidget(RadioButton2);

    CapPicCheckBox = new QCheckBox(QStringLiteral("Save picture to log"));
    UpPicCheckBox = new QCheckBox(QStringLiteral("Update website"));
    CheckBox11 = new QCheckBox(QStringLiteral("Show popup box with warning"));
    CheckBox10 = new QCheckBox(QStringLiteral("Play sound:"));
    Edit6 = new QLineEdit;
    Button5 = EllipsisButton();
    auto* actions = new QGroupBox(QStringLiteral("Actions"));
    auto* a = new QVBoxLayout(actions);
    a->addWidget(CapPicCheckBox);
    a->addWidget(UpPicCheckBox);
    a->addWidget(CheckBox11);
    auto* sound = Row({CheckBox10, Edit6, Button5}, false);
    sound->setStretch(1, 1);
    a->addLayout(sound);

    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addWidget(triggers);
    v->addWidget(actions);
    v->addStretch();
    return page;
}

QWidget* SetupDialog::buildCaptureOptionsPage()
{
    ComboBox2 = new QComboBox;
    ComboBox2->setMinimumWidth(220);
    Edit3 = NumberEdit();
    Edit3->setText(QStringLiteral("30"));
    auto* device = new QGridLayout;
    device->addWidget(new QLabel(QStringLiteral("Video device:")), 0, 0);
    device->addWidget(ComboBox2, 0, 1, 1, 2);
    device->addWidget(new QLabel(QStringLiteral("Framerate:")), 1, 0);
    device->addLayout(Row({Edit3, new QLabel(QStringLiteral("fps."))}), 1, 1);
    device->setColumnStretch(2, 1);

    picqual = NumberEdit();
    TrackBar1 = new QSlider(Qt::Horizontal);
    TrackBar1->setRange(1, 100);
    TrackBar1->setPageStep(10);
    CheckBox12 = new QCheckBox(QStringLiteral("Save local pictures as bitmaps (.bmp)"));
    auto* pictures = new QGroupBox(QStringLiteral("Pictures"));
    auto* p = new QVBoxLayout(pictures);
    p->addWidget(new CaptionWithEdits(new QLabel(QStringLiteral("JPEG compresson quality            %")), {picqual}));
    auto* slider = Row({new QLabel(QStringLiteral("Small file")), TrackBar1, new QLabel(QStringLiteral("Good quality"))}, false);
    slider->setStretch(1, 1);
    p->addLayout(slider);
    p->addWidget(CheckBox12);

    Button9 = Button(QStringLiteral("Video compression..."));
    CheckBox9 = new QCheckBox(QStringLiteral("Capture audio"));
    CapAudChannels = new QComboBox;
    CapAudChannels->addItems({QStringLiteral("Mono"), QStringLiteral("Stereo")});
    CapAudSampleRate = new QComboBox;
    CapAudSampleRate->addItems({QStringLiteral("8000 Hz"), QStringLiteral("11025 Hz"), QStringLiteral("22050 Hz"), QStringLiteral("44100 Hz")});
    CapAudResolution = new QComboBox;
    CapAudResolution->addItems({QStringLiteral("8 Bit"), QStringLiteral("16 Bit")});
    ChannelsLabel = new QLabel(QStringLiteral("Channels"));
    SampleRateLabel = new QLabel(QStringLiteral("Sample rate"));
    ResolutionLabel = new QLabel(QStringLiteral("Resolution"));
    auto* video = new QGroupBox(QStringLiteral("Video"));
    auto* vg = new QGridLayout(video);
    vg->addWidget(Button9, 0, 0, 1, 2, Qt::AlignLeft);
    vg->addWidget(CheckBox9, 1, 0, 1, 2);
    vg->addWidget(ChannelsLabel, 2, 0);
    vg->addWidget(CapAudChannels, 2, 1);
    vg->addWidget(SampleRateLabel, 3, 0);
    vg->addWidget(CapAudSampleRate, 3, 1);
    vg->addWidget(ResolutionLabel, 4, 0);
    vg->addWidget(CapAudResolution, 4, 1);
    vg->setColumnStretch(2, 1);

    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addLayout(device);
    v->addWidget(pictures);
    v->addWidget(video);
    v->addStretch();
    return page;
}

QWidget* SetupDialog::buildFilenamesPage()
{
    const QString timed = QStringLiteral("Timed filenames (mm-dd  hh.mm.ss)");
    const QString incrementing = QStringLiteral("Incrementing filenames:");
    const QString fixed = QStringLiteral("Fixed filename:");

    LPicTimedR = Radio(timed, lpicGroup_, NamingTimed);
    LPicIncR = Radio(incrementing, lpicGroup_, NamingIncrementing);
    LPicPrefix = new QLineEdit;
    LPicPrefixExt = new QLabel(QStringLiteral("###.jpg"));
    LPicFixedR = Radio(fixed, lpicGroup_, NamingFixed);
    LPicFixed = new QLineEdit;
    auto* local = new QGroupBox(QStringLiteral("Local pictures"));
    auto* l = new QGridLayout(local);
    l->addWidget(LPicTimedR, 0, 0, 1, 3);
    l->addWidget(LPicIncR, 1, 0);
    l->addWidget(LPicPrefix, 1, 1);
    l->addWidget(LPicPrefixExt, 1, 2);
    l->addWidget(LPicFixedR, 2, 0);
    l->addWidget(LPicFixed, 2, 1);
    l->addWidget(new QLabel(QStringLiteral(".jpg")), 2, 2);

    WPicTimedR = Radio(timed, wpicGroup_, NamingTimed);
    WPicIncR = Radio(incrementing, wpicGroup_, NamingIncrementing);
    WPicPrefix = new QLineEdit;
    WPicPrefixExt = new QLabel(QStringLiteral("###.jpg"));
    WPicFixedR = Radio(fixed, wpicGroup_, NamingFixed);
    WPicFixed = new QLineEdit;
    WPicFixedExt = new QLabel(QStringLiteral(".jpg"));
    HistoryLabel = new QLabel(QStringLiteral("Keep picture history of           pictures"));
    FileNumber = NumberEdit();
    Label31 = new QLabel;
    Label31->setTextFormat(Qt::PlainText); // names come from the profile
    Label31->setWordWrap(true);
    Label31->setMinimumHeight(2 * Label31->fontMetrics().lineSpacing());
    TmpUploadBox = new QCheckBox(QStringLiteral("Use a temporary filename while uploading"));
    auto* website = new QGroupBox(QStringLiteral("Website pictures"));
    auto* w = new QGridLayout(website);
    w->addWidget(WPicTimedR, 0, 0, 1, 3);
    w->addWidget(WPicIncR, 1, 0);
    w->addWidget(WPicPrefix, 1, 1);
    w->addWidget(WPicPrefixExt, 1, 2);
    w->addWidget(WPicFixedR, 2, 0);
    w->addWidget(WPicFixed, 2, 1);
    w->addWidget(WPicFixedExt, 2, 2);
    auto* history = new QVBoxLayout;
    history->setContentsMargins(20, 0, 0, 0);
    history->addWidget(new CaptionWithEdits(HistoryLabel, {FileNumber}));
    history->addWidget(Label31);
    w->addLayout(history, 3, 0, 1, 3);
    w->addWidget(TmpUploadBox, 4, 0, 1, 3);

    VidTimedR = Radio(timed, vidGroup_, NamingTimed);
    VidIncR = Radio(incrementing, vidGroup_, NamingIncrementing);
    VidPrefix = new QLineEdit;
    VidPrefixExt = new QLabel(QStringLiteral("###.jpg"));
    auto* videos = new QGroupBox(QStringLiteral("Videos"));
    auto* vg = new QGridLayout(videos);
    vg->addWidget(VidTimedR, 0, 0, 1, 3);
    vg->addWidget(VidIncR, 1, 0);
    vg->addWidget(VidPrefix, 1, 1);
    vg->addWidget(VidPrefixExt, 1, 2);

    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addWidget(local);
    v->addWidget(website);
    v->addWidget(videos);
    v->addStretch();
    return page;
}

QWidget* SetupDialog::buildGeneralPage()
{
    Edit1 = new QLineEdit;
    Edit2 = new QLineEdit;
    Edit4 = new QLineEdit;
    BrowsePicDir = EllipsisButton();
    BrowseVidDir = EllipsisButton();
    BrowseLogDir = EllipsisButton();
    auto* folders = new QGroupBox(QStringLiteral("Folders"));
    auto* f = new QGridLayout(folders);
    int row = 0;
    for (auto [caption, edit, browse] : {std::tuple{QStringLiteral("Picture folder:"), Edit1, BrowsePicDir},
                                         std::tuple{QStringLiteral("Video folder:"), Edit2, BrowseVidDir},
                                         std::tuple{QStringLiteral("Logfile folder:"), Edit4, BrowseLogDir}}) {
        f->addWidget(new QLabel(caption), row, 0);
        f->addWidget(edit, row, 1);
        f->addWidget(browse, row, 2);
        ++row;
    }
    f->setColumnStretch(1, 1);

    CheckBox5 = new QCheckBox(QStringLiteral("Load Tarvo at startup"));
    CheckBox4 = new QCheckBox(QStringLiteral("Start auto-capturing when Tarvo starts"));
    AutoUpdChk = new QCheckBox(QStringLiteral("Automatically check for updates"));
    CheckBox7 = new QCheckBox(QStringLiteral("Create logfile"));
    CheckBox8 = new QCheckBox(QStringLiteral("Clicking sound when taking pictures"));
    WarnLimit = new QCheckBox(QStringLiteral("Warn when logged files exceeds              Mb"));
    Limit = NumberEdit(48);

    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addWidget(folders);
    for (QWidget* w : {CheckBox5, CheckBox4, AutoUpdChk, CheckBox7, CheckBox8})
        v->addWidget(w);
    v->addWidget(new CaptionWithEdits(WarnLimit, {Limit}));
    v->addStretch();
    return page;
}

QWidget* SetupDialog::buildMotionDetectionPage()
{
    TrackBar2 = new QSlider(Qt::Horizontal);
    TrackBar2->setRange(1, 100);
    TrackBar2->setPageStep(10);
    GroupBox9 = new QGroupBox(QStringLiteral("Motion detection sensitivity"));
    auto* sensitivity = Row({new QLabel(QStringLiteral("Sensitive")), TrackBar2, new QLabel(QStringLiteral("Insensitive"))}, false);
    sensitivity->setStretch(1, 1);
    GroupBox9->setLayout(sensitivity);

    MDEntirePicture = Radio(QStringLiteral("Entire picture"), areaGroup_, 0);
    MDUserDefinedArea = Radio(QStringLiteral("User defined area:"), areaGroup_, 1);
    MDbeginX = NumberEdit();
    MDbeginY = NumberEdit();
    MDendX = NumberEdit();
    MDendY = NumberEdit();
    for (QLineEdit* e : {MDbeginX, MDbeginY, MDendX, MDendY}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        QPalette grey = e->palette();
        grey.setColor(QPalette::Base, grey.color(QPalette::Window));
        e->setPalette(grey);
    }
    Button12 = Button(QStringLiteral("Define..."));
    auto* area = new QGroupBox(QStringLiteral("Motion detection area"));
    auto* a = new QVBoxLayout(area);
    a->addWidget(MDEntirePicture);
    a->addLayout(Row({MDUserDefinedArea, MDbeginX, new QLabel(QStringLiteral(",")), MDbeginY,
                      new QLabel(QStringLiteral("->")), MDendX, new QLabel(QStringLiteral(",")), MDendY}));
    a->addLayout(Row({Button12}));

    FuseCB = new QCheckBox(QStringLiteral("Fuse:                     minutes            seconds."));
    FuseMin = NumberEdit();
    FuseSec = NumberEdit();
    RearmCB = new QCheckBox(QStringLiteral("Re-arm after          minutes            seconds."));
    RearmMin = NumberEdit();
    RearmSec = NumberEdit();
    MarkCB = new QCheckBox(QStringLiteral("Mark images"));
    MarkColor = new ColorSwatch;

    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addWidget(GroupBox9);
    v->addWidget(area);
    v->addWidget(new CaptionWithEdits(FuseCB, {FuseMin, FuseSec}));
    v->addWidget(new CaptionWithEdits(RearmCB, {RearmMin, RearmSec}));
    v->addWidget(MarkCB);
    v->addLayout(Row({new QLabel(QStringLiteral("Marking color:")), MarkColor}));
    v->addStretch();
    return page;
}

QWidget* SetupDialog::buildCaptionPage()
{
    Memo1 = new QPlainTextEdit;
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFixedHeight(90);
    Button6 = Button(QStringLiteral("Font..."));
    FontColorButton = Button(QStringLiteral("Font color..."));
    Button7 = Button(QStringLiteral("Backgound color..."));
    CheckBox6 = new QCheckBox(QStringLiteral("Transparent background"));
    Button8 = Button(QStringLiteral("Example..."));

    auto* commands = new QGroupBox(QStringLiteral("Date && time commands"));
    auto* c = new QVBoxLayout(commands);
    c->setSpacing(1);
    for (const char* line : {"%d = Day", "%m = Month", "%y = Year (2 digits)", "%t = Time (24 hr)",
                             "%D = Day (text)", "%M = Month (text)", "%Y = Year (4 digits)",
                             "%T = Time (12 hr)", "%ld = Day (text in local langage)",
                             "%lm = Month (text in local language)"})
        c->addWidget(new QLabel(QString::fromLatin1(line)));

    TopBox = Radio(QStringLiteral("Top"), verticalGroup_, 0);
    BottomBox = Radio(QStringLiteral("Bottom"), verticalGroup_, 1);
    auto* vertical = new QGroupBox(QStringLiteral("Vertical postition"));
    auto* vl = new QVBoxLayout(vertical);
    vl->addWidget(TopBox);
    vl->addWidget(BottomBox);
    vl->addStretch();
    LeftBox = Radio(QStringLiteral("Left"), horizontalGroup_, 0);
    CenterBox = Radio(QStringLiteral("Center"), horizontalGroup_, 1);
    RightBox = Radio(QStringLiteral("Right"), horizontalGroup_, 2);
    auto* horizontal = new QGroupBox(QStringLiteral("Horizontal position"));
    auto* hl = new QVBoxLayout(horizontal);
    hl->addWidget(LeftBox);
    hl->addWidget(CenterBox);
    hl->addWidget(RightBox);
    CheckBox1 = new QCheckBox(QStringLiteral("Add caption to local pictures"));
    CheckBox2 = new QCheckBox(QStringLiteral("Add caption to website pictures"));

    auto* left = new QVBoxLayout;
    left->addWidget(Memo1);
    left->addLayout(Row({Button6, FontColorButton, Button7}));
    left->addWidget(CheckBox6);
    left->addLayout(Row({Button8}));
    left->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addWidget(commands);
    auto* positions = new QHBoxLayout;
    positions->addWidget(vertical);
    positions->addWidget(horizontal);

    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addLayout(top);
    v->addLayout(positions);
    v->addWidget(CheckBox1);
    v->addWidget(CheckBox2);
    v->addStretch();
    return page;
}

QWidget* SetupDialog::buildWebsitePage()
{
    WebsiteFTP = new QCheckBox(QStringLiteral("Enabled"));
    FTPAddressEdit = new QLineEdit;
    PortEdit = NumberEdit(56);
    UserNameEdit = new QLineEdit;
    PasswordEdit = new QLineEdit;
    PasswordEdit->setEchoMode(QLineEdit::Password);
    auto* stars = new StarPasswordStyle;
    stars->setParent(this);
    PasswordEdit->setStyle(stars);
    CheckBox3 = new QCheckBox(QStringLiteral("Save Password"));
    CheckBox3->setChecked(true);
    UpDirEdit = new QLineEdit;
    PASVCheck = new QCheckBox(QStringLiteral("Passive Mode"));
    Button15 = Button(QStringLiteral("Firewall / Proxy"));
    Button14 = Button(QStringLiteral("Test settings"));
    auto* ftp = new QGroupBox(QStringLiteral("FTP server:"));
    auto* f = new QGridLayout(ftp);
    f->addWidget(WebsiteFTP, 0, 0, 1, 3);
    f->addWidget(new QLabel(QStringLiteral("FTP server:")), 1, 0);
    f->addWidget(FTPAddressEdit, 1, 1, 1, 2);
    f->addWidget(new QLabel(QStringLiteral("Port:")), 2, 0);
    f->addWidget(PortEdit, 2, 1, Qt::AlignLeft);
    f->addWidget(new QLabel(QStringLiteral("User name:")), 3, 0);
    f->addWidget(UserNameEdit, 3, 1, 1, 2);
    f->addWidget(new QLabel(QStringLiteral("Password:")), 4, 0);
    f->addWidget(PasswordEdit, 4, 1);
    f->addWidget(CheckBox3, 4, 2);
    f->addWidget(new QLabel(QStringLiteral("Upload directory:")), 5, 0);
    f->addWidget(UpDirEdit, 5, 1, 1, 2);
    f->addWidget(PASVCheck, 6, 0, 1, 3);
    f->addLayout(Row({Button15, Button14}), 7, 0, 1, 3);
    f->setColumnStretch(1, 1);

    WebsiteLocal = new QCheckBox(QStringLiteral("Enabled"));
    LocalSiteDirEdit = new QLineEdit;
    Button11 = EllipsisButton();
    OfflinePicCheck = new QCheckBox(QStringLiteral("Offline picture:"));
    OfflinePicName = new QLineEdit;
    Button13 = EllipsisButton();
    auto* local = new QGroupBox(QStringLiteral("Local directory:"));
    auto* l = new QGridLayout(local);
    l->addWidget(WebsiteLocal, 0, 0, 1, 3);
    l->addWidget(new QLabel(QStringLiteral("Directory:")), 1, 0);
    l->addWidget(LocalSiteDirEdit, 1, 1);
    l->addWidget(Button11, 1, 2);
    l->addWidget(OfflinePicCheck, 2, 0);
    l->addWidget(OfflinePicName, 2, 1);
    l->addWidget(Button13, 2, 2);
    l->setColumnStretch(1, 1);

    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addWidget(ftp);
    v->addWidget(local);
    v->addStretch();
    return page;
}

void SetupDialog::connectHandlers()
{
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button10, &QPushButton::clicked, this, [this] { Button10Click(); });
    new DialogKeys(this, Button1, Button4);

    OnExit(MinEdit, [this] { MinEditExit(); });
    OnExit(SecEdit, [this] { SecEditExit(); });
    OnExit(PortEdit, [this] { PortEditExit(); });
    OnExit(FuseMin, [this] { FuseMinExit(); });
    OnExit(FuseSec, [this] { FuseSecExit(); });
    OnExit(RearmMin, [this] { RearmMinExit(); });
    OnExit(RearmSec, [this] { RearmSecExit(); });
    OnExit(FileNumber, [this] { FileNumberExit(); });
    OnExit(Edit3, [this] { Edit3Exit(); });
    OnExit(Limit, [this] { LimitExit(); });
    connect(picqual, &QLineEdit::textChanged, this, [this] { picqualChange(); });
    connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
    connect(TrackBar2, &QSlider::valueChanged, this, [this] { TrackBar2Change(); });
    connect(WPicFixed, &QLineEdit::textChanged, this, [this] { WPicFixedChange(); });

    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool on) { if (on) RadioButton1Click(); });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool on) { if (on) RadioButton2Click(); });
    connect(CheckBox6, &QCheckBox::toggled, this, [this] { CheckBox6Click(); });
    connect(CheckBox9, &QCheckBox::toggled, this, [this] { CheckBox9Click(); });
    // "Fixed filename:" of local pictures has no rule: the prefix keeps the state of the last click.
    connect(LPicTimedR, &QRadioButton::clicked, this, [this] { LPicIncRClick(); });
    connect(LPicIncR, &QRadioButton::clicked, this, [this] { LPicIncRClick(); });
    connect(wpicGroup_, &QButtonGroup::buttonToggled, this, [this] { WPicIncRClick(); });
    connect(vidGroup_, &QButtonGroup::buttonToggled, this, [this] { VidIncRClick(); });
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });
    connect(MorePage, &MoreSettingsPage::watchSceneRequested, this, [this] {
        if (hooks.showExampleWindow)
            hooks.showExampleWindow(true);
    });

    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
        limitMemoLength();
        redrawExample();
    });
    for (QRadioButton* r : {TopBox, BottomBox, LeftBox, CenterBox, RightBox})
        connect(r, &QRadioButton::clicked, this, [this] { redrawExample(); });

    connect(Button5, &QPushButton::clicked, this, [this] { chooseFile(Edit6, QStringLiteral("Wave files (*.wav)")); });
    connect(Button13, &QPushButton::clicked, this, [this] { chooseFile(OfflinePicName, QStringLiteral("JPEG pictures (*.jpg)")); });
    connect(BrowsePicDir, &QPushButton::clicked, this, [this] { chooseFolder(Edit1); });
    connect(BrowseVidDir, &QPushButton::clicked, this, [this] { chooseFolder(Edit2); });
    connect(BrowseLogDir, &QPushButton::clicked, this, [this] { chooseFolder(Edit4); });
    connect(Button11, &QPushButton::clicked, this, [this] { chooseFolder(LocalSiteDirEdit); });
    connect(Button6, &QPushButton::clicked, this, [this] { chooseFont(); });
    connect(FontColorButton, &QPushButton::clicked, this, [this] { chooseMemoColor(QPalette::Text); });
    connect(Button7, &QPushButton::clicked, this, [this] { chooseMemoColor(QPalette::Base); });
    connect(MarkColor, &ColorSwatch::leftPressed, this, [this] { chooseMarkColor(); });
    connect(Button8, &QPushButton::clicked, this, [this] { if (hooks.showExampleWindow) hooks.showExampleWindow(false); });
    connect(Button12, &QPushButton::clicked, this, [this] { if (hooks.showExampleWindow) hooks.showExampleWindow(true); });
    connect(Button9, &QPushButton::clicked, this, [this] { if (hooks.showCompressionDialog) hooks.showCompressionDialog(); });
    connect(Button14, &QPushButton::clicked, this, [this] { if (hooks.showFtpTest) hooks.showFtpTest(); });
    connect(Button15, &QPushButton::clicked, this, [this] {
        proxy_.show();
        proxy_.raise();
        proxy_.activateWindow();
    });
}

void SetupDialog::SetCaptureDrivers(const QStringList& drivers)
{
    ComboBox2->clear();
    ComboBox2->addItems(drivers);
}

void SetupDialog::SetOkEnabled(bool enabled) { Button1->setEnabled(enabled); }

void SetupDialog::Button1Click()
{
    if (!Button1->isEnabled())
        return;
    const QString name = profileBox_.text();
    try {
        OptionsValues record = ActiveOptions;
        ReadFromDialog(record);
        ExtraOptions extras = ActiveExtras;
        MorePage->Read(extras);
        const bool passwordKept = Save(record, name);
        SaveExtras(extras, name);
        SetActive(record, profileBox_, targets_);
        hide();
        if (!passwordKept && !toldPasswordIsForgotten_) {
            toldPasswordIsForgotten_ = true;
            SettingsMessages().ShowNote(this, QStringLiteral("Password"),
                                        QStringLiteral("No secret store answers on this desktop, so the FTP password "
                                                       "will be forgotten when Tarvo ends.\nCheck \"Save Password\" "
                                                       "to keep it in the profile file."));
        }
    } catch (const std::exception& e) {
        SettingsMessages().ShowError(this, QString::fromLocal8Bit(e.what()));
    }
}

void SetupDialog::Button4Click()
{
    ShowInDialog(ActiveOptions);
    ShowExtrasInDialog(ActiveExtras);
    hide();
}

void SetupDialog::Button10Click()
{
    ShowInDialog(DefaultOptions());
    ShowExtrasInDialog(ExtraOptions{});
}

void SetupDialog::ShowExtrasInDialog(const ExtraOptions& extras) { MorePage->Show(extras); }

void SetupDialog::MinEditExit() { ClampEdit(MinEdit, QStringLiteral("0"), 0, 60); }
void SetupDialog::SecEditExit() { ClampEdit(SecEdit, QStringLiteral("0"), 0, 59); }
void SetupDialog::FuseSecExit() { ClampEdit(FuseSec, QStringLiteral("0"), 0, 59); }
void SetupDialog::RearmSecExit() { ClampEdit(RearmSec, QStringLiteral("0"), 0, 59); }
void SetupDialog::FuseMinExit() { ClampEdit(FuseMin, QStringLiteral("0"), 0, 5); }
void SetupDialog::RearmMinExit() { ClampEdit(RearmMin, QStringLiteral("0"), 0, 5); }
void SetupDialog::PortEditExit() { ClampEdit(PortEdit, QStringLiteral("0"), 0, 99999); }
void SetupDialog::Edit3Exit() { ClampEdit(Edit3, QStringLiteral("30"), 1, 30); }
void SetupDialog::LimitExit() { ClampEdit(Limit, QStringLiteral("1"), 1); }

void SetupDialog::FileNumberExit()
{
    ClampEdit(FileNumber, QStringLiteral("1"), 1);
    if (FileNumber->text().toInt() > 10 && ActiveOptions.FileNumber < 11)
        SettingsMessages().ShowNote(this, QStringLiteral("Note"),
                                    QStringLiteral("If you are using FTP for your wesite pictures, it is not recommended\n\r"
                                                   "to keep a history of more than 10 pictures because of the speed."));
}

void SetupDialog::picqualChange()
{
    if (settingPicqual_)
        return;
    const auto value = WholeNumber(picqual->text());
    const std::int64_t quality = value ? std::clamp<std::int64_t>(*value, 1, 100) : 90;
    settingPicqual_ = true;
    if (!value || quality != *value)
        picqual->setText(QString::number(quality));
    TrackBar1->setValue(static_cast<int>(quality));
    settingPicqual_ = false;
}

void SetupDialog::TrackBar1Change()
{
    if (!settingPicqual_)
        picqual->setText(QString::number(TrackBar1->value()));
}

void SetupDialog::TrackBar2Change()
{
    GroupBox9->setTitle(QStringLiteral("Motion detection sensitivity %1%").arg(101 - TrackBar2->value()));
}

void SetupDialog::WPicFixedChange()
{
    const QString x = WPicFixed->text();
    Label31->setText(QStringLiteral("Files will be named: ") + x + QStringLiteral(".jpg") + QStringLiteral(", ") + x +
                     QStringLiteral("02.jpg, ") + x + QStringLiteral("03.jpg, etc."));
}

void SetupDialog::RadioButton1Click()
{
    for (QWidget* w : {static_cast<QWidget*>(CheckBox10), static_cast<QWidget*>(CheckBox11),
                       static_cast<QWidget*>(Edit6), static_cast<QWidget*>(Button5)})
        w->setEnabled(false);
}

void SetupDialog::RadioButton2Click()
{
    for (QWidget* w : {static_cast<QWidget*>(CheckBox10), static_cast<QWidget*>(CheckBox11),
                       static_cast<QWidget*>(Edit6), static_cast<QWidget*>(Button5)})
        w->setEnabled(true);
}

void SetupDialog::CheckBox6Click()
{
    Button7->setEnabled(!CheckBox6->isChecked());
    redrawExample();
}

void SetupDialog::CheckBox9Click()
{
    const bool on = CheckBox9->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(CapAudChannels), static_cast<QWidget*>(CapAudSampleRate),
                       static_cast<QWidget*>(CapAudResolution), static_cast<QWidget*>(ChannelsLabel),
                       static_cast<QWidget*>(SampleRateLabel), static_cast<QWidget*>(ResolutionLabel)})
        w->setEnabled(on);
}

void SetupDialog::LPicIncRClick()
{
    LPicPrefix->setEnabled(LPicIncR->isChecked());
    LPicPrefixExt->setEnabled(LPicIncR->isChecked());
}

void SetupDialog::WPicIncRClick()
{
    WPicPrefix->setEnabled(WPicIncR->isChecked());
    WPicPrefixExt->setEnabled(WPicIncR->isChecked());
    const bool fixed = WPicFixedR->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(WPicFixed), static_cast<QWidget*>(WPicFixedExt),
                       static_cast<QWidget*>(HistoryLabel), static_cast<QWidget*>(FileNumber),
                       static_cast<QWidget*>(Label31)})
        w->setEnabled(fixed);
}

void SetupDialog::VidIncRClick()
{
    VidPrefix->setEnabled(VidIncR->isChecked());
    VidPrefixExt->setEnabled(VidIncR->isChecked());
}

void SetupDialog::PageControl1Change()
{
    // The page "More" keeps the detection-area window open: it shows how much that scene changes.
    const int page = PageControl1->currentIndex();
    if (page != MotionDetectionPage && !PageControl1->widget(page)->isAncestorOf(MorePage) && hooks.hideExampleIfVisible)
        hooks.hideExampleIfVisible();
}

void SetupDialog::showEvent(QShowEvent* event)
{
    PageControl1->setCurrentIndex(0);
    setWindowTitle(PlainWindowTitle(QStringLiteral("Setup: ") + profileBox_.text()));
    MDUserDefinedArea->setText(QStringLiteral("User defined area:"));
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
    const QFont font = QFontDialog::getFont(&ok, Memo1->font(), this);
    if (ok)
        Memo1->setFont(font);
    redrawExample();
}

// The memo shows the caption's colours: its text colour is the caption's, its base the background.
void SetupDialog::chooseMemoColor(QPalette::ColorRole role)
{
    const QColor color = QColorDialog::getColor(Memo1->palette().color(role), this);
    if (color.isValid()) {
        QPalette p = Memo1->palette();
        p.setColor(role, color);
        Memo1->setPalette(p);
    }
    redrawExample();
}

void SetupDialog::chooseMarkColor()
{
    const QColor color = QColorDialog::getColor(MarkColor->color(), this);
    if (color.isValid())
        MarkColor->setColor(color);
}

void SetupDialog::limitMemoLength()
{
    if (Memo1->toPlainText().size() <= MemoMaxLength)
        return;
    QTextCursor cursor = Memo1->textCursor();
    const int position = std::min(cursor.position(), MemoMaxLength);
    const QSignalBlocker block(Memo1);
    Memo1->setPlainText(Memo1->toPlainText().left(MemoMaxLength));
    cursor = Memo1->textCursor();
    cursor.setPosition(position);
    Memo1->setTextCursor(cursor);
}

void SetupDialog::redrawExample()
{
    if (hooks.redrawExampleIfVisible)
        hooks.redrawExampleIfVisible();
}
