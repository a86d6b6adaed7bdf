#include "settings/widgets/MoreSettingsPage.h"

#include "settings/PasswordHash.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tarvo {

namespace {
QSpinBox* NumberBox(int min, int max, const char* name)
{
    auto* box = new QSpinBox;
    box->setRange(min, max);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLabel* PlainLabel(const QString& text = QString())
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A number box followed by its unit.
QHBoxLayout* LimitRow(QSpinBox* box, const QString& unit)
{
    auto* row = new QHBoxLayout;
    row->addWidget(box);
    row->addWidget(PlainLabel(unit));
    row->addStretch();
    return row;
}
} // namespace

MoreSettingsPage::MoreSettingsPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MorePage"));
    alarmsGroup_ = new QGroupBox(QStringLiteral("Alarms"));

    minChangedPoints_ = NumberBox(1, 10000, "MinChangedPoints");
    minGroupPoints_ = NumberBox(1, 10000, "MinGroupPoints");
    minGroupPoints_->setToolTip(QStringLiteral("Points that touch one another: a person or a hand is one large group, "
                                               "leaves and rain are many small ones; 1: any point"));
    sceneChange_ = PlainLabel();
    sceneChange_->setObjectName(QStringLiteral("SceneChange"));
    watchScene_ = new QPushButton(QStringLiteral("Watch the scene..."));
    watchScene_->setObjectName(QStringLiteral("WatchScene"));
    watchScene_->setAutoDefault(false);
    watchScene_->setToolTip(QStringLiteral("Opens the detection area window and shows here how many points the scene "
                                           "changes and how many of them touch"));
    auto* sceneRow = new QHBoxLayout;
    sceneRow->addWidget(watchScene_);
    sceneRow->addWidget(sceneChange_, 1);
    auto* pointsRow = new QHBoxLayout;
    pointsRow->addWidget(PlainLabel(QStringLiteral("Motion needs at least")));
    pointsRow->addWidget(minChangedPoints_);
    pointsRow->addWidget(PlainLabel(QStringLiteral("changed points, a group of")));
    pointsRow->addWidget(minGroupPoints_);
    pointsRow->addWidget(PlainLabel(QStringLiteral("touching")));
    pointsRow->addStretch();

    ignoreLightChange_ = new QCheckBox(QStringLiteral("Ignore a change of light (a lamp, a cloud)"));
    ignoreLightChange_->setObjectName(QStringLiteral("IgnoreLightChange"));
    lightChangePercent_ = NumberBox(10, 100, "LightChangePercent");
    lightChangePercent_->setSuffix(QStringLiteral(" %"));
    lightChangeLabel_ = PlainLabel(QStringLiteral("when at least this share of the points follows one change of brightness:"));
    auto* lightRow = new QHBoxLayout;
    lightRow->addSpacing(20);
    lightRow->addWidget(lightChangeLabel_);
    lightRow->addWidget(lightChangePercent_);
    lightRow->addStretch();

    desktopNotification_ = new QCheckBox(QStringLiteral("Show a desktop notification on each alarm"));
    desktopNotification_->setObjectName(QStringLiteral("DesktopNotification"));

    command_ = new QLineEdit;
    command_->setObjectName(QStringLiteral("AlarmCommand"));
    command_->setPlaceholderText(QStringLiteral("e.g. notify-send Tarvo \"Motion at %t\""));
    auto* commandHelp = PlainLabel(QStringLiteral("%f is the saved picture's file name, %t the time of the alarm."));

    auto* alarms = new QVBoxLayout(alarmsGroup_);
    alarms->addLayout(pointsRow);
    alarms->addLayout(sceneRow);
    alarms->addWidget(ignoreLightChange_);
    alarms->addLayout(lightRow);
    alarms->addWidget(desktopNotification_);
    alarms->addWidget(PlainLabel(QStringLiteral("Run this command on each alarm:")));
    alarms->addWidget(command_);
    alarms->addWidget(commandHelp);

    auto* storageGroup = new QGroupBox(QStringLiteral("Storage"));
    maxMegabytes_ = NumberBox(0, 10000000, "MaxMegabytes");
    maxDays_ = NumberBox(0, 36500, "MaxDays");
    auto* storage = new QFormLayout(storageGroup);
    storage->addRow(PlainLabel(QStringLiteral("Keep the picture and video folders under")),
                    LimitRow(maxMegabytes_, QStringLiteral("MB (0: no limit)")));
    storage->addRow(PlainLabel(QStringLiteral("Remove pictures and videos older than")),
                    LimitRow(maxDays_, QStringLiteral("days (0: keep all)")));
    storage->addRow(PlainLabel(QStringLiteral("The oldest of Tarvo's own pictures and videos go first; other files stay.")));

    auto* clipsGroup = new QGroupBox(QStringLiteral("Motion clips"));
    clipsEnabled_ = new QCheckBox(QStringLiteral("Record a video clip of each alarm"));
    clipsEnabled_->setObjectName(QStringLiteral("ClipsEnabled"));
    preSeconds_ = NumberBox(0, 30, "PreSeconds");
    postSeconds_ = NumberBox(1, 300, "PostSeconds");
    maxSeconds_ = NumberBox(5, 3600, "MaxSeconds");
    clipLimits_ = new QWidget;
    auto* limits = new QFormLayout(clipLimits_);
    limits->setContentsMargins(20, 0, 0, 0);
    limits->addRow(PlainLabel(QStringLiteral("Begin the clip before the alarm by")), LimitRow(preSeconds_, QStringLiteral("seconds")));
    limits->addRow(PlainLabel(QStringLiteral("Go on after the last motion for")), LimitRow(postSeconds_, QStringLiteral("seconds")));
    limits->addRow(PlainLabel(QStringLiteral("End a clip after at most")), LimitRow(maxSeconds_, QStringLiteral("seconds")));
    clipAudio_ = new QCheckBox(QStringLiteral("With sound"));
    clipAudio_->setObjectName(QStringLiteral("ClipsAudio"));
    limits->addRow(clipAudio_);
    auto* clips = new QVBoxLayout(clipsGroup);
    clips->addWidget(clipsEnabled_);
    clips->addWidget(clipLimits_);
    clips->addWidget(PlainLabel(QStringLiteral("Clips are AVI videos in the video folder, named like recorded videos.")));
    liveGroup_ = new QGroupBox(QStringLiteral("Live view"));
    liveEnabled_ = new QCheckBox(QStringLiteral("Show the live picture and recent pictures in a web browser"));
    liveEnabled_->setObjectName(QStringLiteral("LiveViewEnabled"));
    liveListen_ = new QComboBox;
    liveListen_->setObjectName(QStringLiteral("LiveViewListen"));
    liveListen_->setEditable(true);
    liveListen_->addItems({QStringLiteral("127.0.0.1"), QStringLiteral("0.0.0.0"), QStringLiteral("::")});
    liveListen_->setToolTip(QStringLiteral("127.0.0.1: this computer only; 0.0.0.0 or ::: every device on the home network"));
    livePort_ = NumberBox(0, 65535, "LiveViewPort");
    livePort_->setSpecialValueText(QStringLiteral("any free")); // 0: the log tells which one
    liveUser_ = new QLineEdit;
    liveUser_->setObjectName(QStringLiteral("LiveViewUser"));
    livePassword_ = new QLineEdit;
    livePassword_->setObjectName(QStringLiteral("LiveViewPassword"));
    livePassword_->setEchoMode(QLineEdit::Password);
    livePasswordState_ = PlainLabel();
    liveRemovePassword_ = new QPushButton(QStringLiteral("Remove"));
    liveRemovePassword_->setObjectName(QStringLiteral("LiveViewRemovePassword"));
    liveRemovePassword_->setAutoDefault(false);
    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(livePassword_, 1);
    passwordRow->addWidget(livePasswordState_);
    passwordRow->addWidget(liveRemovePassword_);
    liveFps_ = NumberBox(1, 30, "LiveViewStreamFps");
    liveCert_ = new QLineEdit;
    liveCert_->setObjectName(QStringLiteral("LiveViewCertFile"));
    liveCert_->setPlaceholderText(QStringLiteral("empty: plain HTTP"));
    liveKey_ = new QLineEdit;
    liveKey_->setObjectName(QStringLiteral("LiveViewKeyFile"));
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(liveListen_, 1);
    addressRow->addWidget(PlainLabel(QStringLiteral("port")));
    addressRow->addWidget(livePort_);
    auto* live = new QFormLayout(liveGroup_);
    live->addRow(liveEnabled_);
    live->addRow(PlainLabel(QStringLiteral("Listen on")), addressRow);
    live->addRow(PlainLabel(QStringLiteral("User")), liveUser_);
    live->addRow(PlainLabel(QStringLiteral("New password")), passwordRow);
    live->addRow(PlainLabel(QStringLiteral("Stream")), LimitRow(liveFps_, QStringLiteral("pictures a second")));
    live->addRow(PlainLabel(QStringLiteral("Certificate (PEM)")), liveCert_);
    live->addRow(PlainLabel(QStringLiteral("Key (PEM)")), liveKey_);
    live->addRow(PlainLabel(QStringLiteral("Other devices need a password; only its salted hash is kept.")));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(alarmsGroup_);
    layout->addWidget(storageGroup);
    layout->addWidget(clipsGroup);
    layout->addWidget(liveGroup_);
    layout->addStretch();

    connect(ignoreLightChange_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
    connect(clipsEnabled_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
    connect(liveEnabled_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
    connect(liveRemovePassword_, &QPushButton::clicked, this, [this] {
        liveHash_.clear();
        livePassword_->clear();
        updateEnabling();
    });
    connect(watchScene_, &QPushButton::clicked, this, &MoreSettingsPage::watchSceneRequested);
    Show(ExtraOptions{});
}

void MoreSettingsPage::Show(const ExtraOptions& extras)
{
    const AlarmOptions& a = extras.Alarms;
    minChangedPoints_->setValue(a.MinChangedPoints);
    minGroupPoints_->setValue(a.MinGroupPoints);
    ignoreLightChange_->setChecked(a.IgnoreLightChange);
    lightChangePercent_->setValue(a.LightChangePercent);
    desktopNotification_->setChecked(a.DesktopNotification);
    command_->setText(a.Command);
    maxMegabytes_->setValue(extras.Storage.MaxMegabytes);
    maxDays_->setValue(extras.Storage.MaxDays);
    const ClipOptions& c = extras.Clips;
    clipsEnabled_->setChecked(c.Enabled);
    preSeconds_->setValue(c.PreSeconds);
    postSeconds_->setValue(c.PostSeconds);
    maxSeconds_->setValue(c.MaxSeconds);
    clipAudio_->setChecked(c.Audio);
    const LiveViewOptions& l = extras.LiveView;
    liveEnabled_->setChecked(l.Enabled);
    liveListen_->setCurrentText(l.Listen);
    livePort_->setValue(l.Port);
    liveUser_->setText(l.User);
    livePassword_->clear();
    liveHash_ = l.PasswordHash;
    liveFps_->setValue(l.StreamFps);
    liveCert_->setText(l.CertFile);
    liveKey_->setText(l.KeyFile);
    updateEnabling();
}

void MoreSettingsPage::Read(ExtraOptions& extras) const
{
    AlarmOptions& a = extras.Alarms;
    a.MinChangedPoints = minChangedPoints_->value();
    a.MinGroupPoints = minGroupPoints_->value();
    a.IgnoreLightChange = ignoreLightChange_->isChecked();
    a.LightChangePercent = lightChangePercent_->value();
    a.DesktopNotification = desktopNotification_->isChecked();
    a.Command = command_->text().trimmed();
    extras.Storage.MaxMegabytes = maxMegabytes_->value();
    extras.Storage.MaxDays = maxDays_->value();
    ClipOptions& c = extras.Clips;
    c.Enabled = clipsEnabled_->isChecked();
    c.PreSeconds = preSeconds_->value();
    c.PostSeconds = postSeconds_->value();
    c.MaxSeconds = maxSeconds_->value();
    c.Audio = clipAudio_->isChecked();
    LiveViewOptions& l = extras.LiveView;
    l.Enabled = liveEnabled_->isChecked();
    l.Listen = liveListen_->currentText().trimmed();
    l.Port = livePort_->value();
    l.User = liveUser_->text().trimmed();
    l.PasswordHash = livePassword_->text().isEmpty() ? liveHash_ : PasswordHash::Make(livePassword_->text()).ToString();
    l.StreamFps = liveFps_->value();
    l.CertFile = liveCert_->text().trimmed();
    l.KeyFile = liveKey_->text().trimmed();
}

void MoreSettingsPage::ShowSceneChange(int changedPoints, int gridPoints, int largestGroup)
{
    if (changedPoints < 0 || gridPoints <= 0) {
        sceneChange_->clear();
        return;
    }
    sceneChange_->setText(QStringLiteral("The scene in view changes %1 of %2 points now, largest group %3 points.")
                              .arg(changedPoints)
                              .arg(gridPoints)
                              .arg(largestGroup));
}

void MoreSettingsPage::updateEnabling()
{
    const bool light = ignoreLightChange_->isChecked();
    lightChangePercent_->setEnabled(light);
    lightChangeLabel_->setEnabled(light);
    clipLimits_->setEnabled(clipsEnabled_->isChecked());
    const bool live = liveEnabled_->isChecked();
    for (QWidget* w : liveGroup_->findChildren<QWidget*>())
        w->setEnabled(live || w == liveEnabled_);
    livePasswordState_->setText(liveHash_.isEmpty() ? QStringLiteral("none set") : QStringLiteral("set"));
    liveRemovePassword_->setEnabled(live && !liveHash_.isEmpty());
}

} // namespace tarvo
