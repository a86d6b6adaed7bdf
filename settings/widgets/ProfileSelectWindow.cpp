#include "settings/widgets/ProfileSelectWindow.h"

#include "settings/PerUserStore.h"
#include "settings/Profiles.h"
#include "settings/widgets/DialogKeys.h"
#include "settings/widgets/DialogMessages.h"
#include "settings/widgets/FocusExit.h"
#include "settings/widgets/ProfileNameWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ProfileSelectWindow::ProfileSelectWindow(ProfileBox& profileBox, ActivationTargets& targets, QWidget* parent)
    : QDialog(parent), profileBox_(profileBox), targets_(targets)
{
    setObjectName(QStringLiteral("TForm8"));
    setWindowTitle(QStringLiteral("Select setup profile:"));
    setModal(false);

    ProfilesBox = new QComboBox;
    ProfilesBox->setEditable(true);
    ProfilesBox->setInsertPolicy(QComboBox::NoInsert);
    ProfilesBox->setMinimumWidth(361);
    Button11 = new QPushButton(QStringLiteral("New..."));
    Button10 = new QPushButton(QStringLiteral("Delete"));
    Button1 = new QPushButton(QStringLiteral("OK"));
    for (QPushButton* b : {Button11, Button10, Button1})
        b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button11);
    buttons->addWidget(Button10);
    buttons->addStretch();
    buttons->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ProfilesBox);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(&profileBox_, &ProfileBox::changed, this, [this] { showRecord(); });
    connect(ProfilesBox, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (showingRecord_)
            return;
        profileBox_.setText(text);
        ProfilesBoxChange();
    });
    OnExit(ProfilesBox, [this] { ProfilesBoxExit(); });
    new DialogKeys(this, Button1, nullptr);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button10, &QPushButton::clicked, this, [this] { Button10Click(); });
    connect(Button11, &QPushButton::clicked, this, [this] { Button11Click(); });
    showRecord();
}

// Brings the box, its list and "Delete" in line with the record.
void ProfileSelectWindow::showRecord()
{
    showingRecord_ = true;
    QStringList listed;
    for (int i = 0; i < ProfilesBox->count(); ++i)
        listed << ProfilesBox->itemText(i);
    if (listed != profileBox_.items()) {
        ProfilesBox->clear();
        ProfilesBox->addItems(profileBox_.items());
    }
    if (ProfilesBox->currentText() != profileBox_.text())
        ProfilesBox->setEditText(profileBox_.text());
    Button10->setEnabled(profileBox_.deleteEnabled());
    showingRecord_ = false;
}

void ProfileSelectWindow::ProfilesBoxChange()
{
    const QString name = profileBox_.text();
    if (!profileBox_.isListed(name))
        return;
    try {
        targets_.ShowInDialog(Load(name));
        targets_.ShowExtrasInDialog(LoadExtras(name));
    } catch (const EInOutError& e) {
        SettingsMessages().ShowError(this, QString::fromLocal8Bit(e.what()));
    }
}

void ProfileSelectWindow::ProfilesBoxExit()
{
    if (!profileBox_.isListed(profileBox_.text()))
        profileBox_.setText(profileBox_.firstItem());
}

void ProfileSelectWindow::SetOkEnabled(bool enabled) { Button1->setEnabled(enabled); }

void ProfileSelectWindow::Button1Click()
{
    if (!Button1->isEnabled())
        return;
    ProfilesBoxExit();
    const QString name = profileBox_.text();
    ProgramStore().WriteString(QStringLiteral("CurrentProfile"), name);
    try {
        SetActive(Load(name), profileBox_, targets_);
    } catch (const EInOutError& e) {
        SettingsMessages().ShowError(this, QString::fromLocal8Bit(e.what()));
        return;
    }
    hide();
}

void ProfileSelectWindow::Button10Click()
{
    ProfilesBoxExit();
    if (!DeleteProfile(profileBox_.text()))
        SettingsMessages().ShowError(this, QStringLiteral("Could not delete %1").arg(ProfilePath(profileBox_.text())));
    ListProfiles(profileBox_);
    const QString first = profileBox_.firstItem();
    profileBox_.setText(first);
    // With no profile left there is nothing to show; loading the empty name would create one.
    if (profileBox_.items().isEmpty())
        return;
    try {
        targets_.ShowInDialog(Load(first));
        targets_.ShowExtrasInDialog(LoadExtras(first));
    } catch (const EInOutError& e) {
        SettingsMessages().ShowError(this, QString::fromLocal8Bit(e.what()));
    }
}

void ProfileSelectWindow::Button11Click()
{
    auto* window = new ProfileNameWindow(profileBox_, this);
    window->show();
}
