#include "settings/widgets/MoreSettingsPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

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
    sceneChange_ = PlainLabel();
    sceneChange_->setObjectName(QStringLiteral("SceneChange"));
    watchScene_ = new QPushButton(QStringLiteral("Watch the scene..."));
    watchScene_->setObjectName(QStringLiteral("WatchScene"));
    watchScene_->setAutoDefault(false);
    watchScene_->setToolTip(QStringLiteral("Opens the detection area window and shows here how many points the scene changes"));
    auto* sceneRow = new QHBoxLayout;
    sceneRow->addWidget(watchScene_);
    sceneRow->addWidget(sceneChange_, 1);
    auto* pointsRow = new QHBoxLayout;
    pointsRow->addWidget(PlainLabel(QStringLiteral("Motion needs at least")));
    pointsRow->addWidget(minChangedPoints_);
    pointsRow->addWidget(PlainLabel(QStringLiteral("changed points")));
    pointsRow->addStretch();

    ignoreLightChange_ = new QCheckBox(QStringLiteral("Ignore a change of light (a lamp, a cloud)"));
    ignoreLightChange_->setObjectName(QStringLiteral("IgnoreLightChange"));
    lightChangePercent_ = NumberBox(10, 100, "LightChangePercent");
    lightChangePercent_->setSuffix(QStringLiteral(" %"));
    lightChangeLabel_ = PlainLabel(QStringLiteral("when at least this share of the points changes at once:"));
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

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(alarmsGroup_);
    layout->addWidget(storageGroup);
    layout->addWidget(clipsGroup);
    layout->addStretch();

    connect(ignoreLightChange_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
    connect(clipsEnabled_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
    connect(watchScene_, &QPushButton::clicked, this, &MoreSettingsPage::watchSceneRequested);
    Show(ExtraOptions{});
}

void MoreSettingsPage::Show(const ExtraOptions& extras)
{
    const AlarmOptions& a = extras.Alarms;
    minChangedPoints_->setValue(a.MinChangedPoints);
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
    updateEnabling();
}

void MoreSettingsPage::Read(ExtraOptions& extras) const
{
    AlarmOptions& a = extras.Alarms;
    a.MinChangedPoints = minChangedPoints_->value();
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
}

void MoreSettingsPage::ShowSceneChange(int changedPoints, int gridPoints)
{
    if (changedPoints < 0 || gridPoints <= 0) {
        sceneChange_->clear();
        return;
    }
    sceneChange_->setText(QStringLiteral("The scene in view changes %1 of %2 points now.").arg(changedPoints).arg(gridPoints));
}

void MoreSettingsPage::updateEnabling()
{
    const bool light = ignoreLightChange_->isChecked();
    lightChangePercent_->setEnabled(light);
    lightChangeLabel_->setEnabled(light);
    clipLimits_->setEnabled(clipsEnabled_->isChecked());
}
