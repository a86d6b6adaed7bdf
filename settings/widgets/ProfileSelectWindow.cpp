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

namespace tarvo {

ProfileSelectWindow::ProfileSelectWindow(const QString& programDir, ProfileBox& profileBox, ProfilePasswords& passwords,
                                         PerUserStore& store, ProfileActivation& targets, DialogMessages& messages,
                                         QWidget* parent)
    : QDialog(parent), programDir_(programDir), profileBox_(profileBox), passwords_(passwords), store_(store), targets_(targets),
      messages_(messages)
{
    setObjectName(QStringLiteral("TForm8"));
    setWindowTitle(QStringLiteral("Select setup profile:"));
    setModal(false);

    profilesBox_ = new QComboBox;
    profilesBox_->setObjectName(QStringLiteral("ProfilesBox"));
    profilesBox_->setEditable(true);
    profilesBox_->setInsertPolicy(QComboBox::NoInsert);
    profilesBox_->setMinimumWidth(361);
    newButton_ = new QPushButton(QStringLiteral("New..."));
    newButton_->setObjectName(QStringLiteral("Button11"));
    deleteButton_ = new QPushButton(QStringLiteral("Delete"));
    deleteButton_->setObjectName(QStringLiteral("Button10"));
    okButton_ = new QPushButton(QStringLiteral("OK"));
    okButton_->setObjectName(QStringLiteral("Button1"));
    for (QPushButton* b : {newButton_, deleteButton_, okButton_})
        b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(newButton_);
    buttons->addWidget(deleteButton_);
    buttons->addStretch();
    buttons->addWidget(okButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(profilesBox_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(&profileBox_, &ProfileBox::changed, this, [this] { showRecord(); });
    connect(profilesBox_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (showingRecord_)
            return;
        profileBox_.setText(text);
        ShowPickedProfile();
    });
    OnExit(profilesBox_, [this] { SettleOnListedName(); });
    new DialogKeys(this, okButton_, nullptr);
    connect(okButton_, &QPushButton::clicked, this, [this] { ActivatePickedProfile(); });
    connect(deleteButton_, &QPushButton::clicked, this, [this] { DeletePickedProfile(); });
    connect(newButton_, &QPushButton::clicked, this, [this] { AskForNewProfile(); });
    showRecord();
}

// Brings the box, its list and "Delete" in line with the record.
void ProfileSelectWindow::showRecord()
{
    showingRecord_ = true;
    QStringList listed;
    for (int i = 0; i < profilesBox_->count(); ++i)
        listed << profilesBox_->itemText(i);
    if (listed != profileBox_.items()) {
        profilesBox_->clear();
        profilesBox_->addItems(profileBox_.items());
    }
    if (profilesBox_->currentText() != profileBox_.text())
        profilesBox_->setEditText(profileBox_.text());
    deleteButton_->setEnabled(profileBox_.deleteEnabled());
    showingRecord_ = false;
}

void ProfileSelectWindow::ShowPickedProfile()
{
    const QString name = profileBox_.text();
    if (!profileBox_.isListed(name))
        return;
    ShowProfileInDialog(name);
}

void ProfileSelectWindow::ShowProfileInDialog(const QString& name)
{
    try {
        targets_.ShowInDialog(LoadProfile(programDir_, name, passwords_));
        targets_.ShowExtrasInDialog(LoadExtras(programDir_, name));
    } catch (const SettingsFileError& e) {
        messages_.ShowError(this, QString::fromLocal8Bit(e.what()));
    }
}

void ProfileSelectWindow::SettleOnListedName()
{
    if (!profileBox_.isListed(profileBox_.text()))
        profileBox_.setText(profileBox_.firstItem());
}

void ProfileSelectWindow::SetOkEnabled(bool enabled) { okButton_->setEnabled(enabled); }

bool ProfileSelectWindow::OkEnabled() const { return okButton_->isEnabled(); }

void ProfileSelectWindow::ActivatePickedProfile()
{
    if (!okButton_->isEnabled())
        return;
    SettleOnListedName();
    const QString name = profileBox_.text();
    store_.WriteString(QStringLiteral("CurrentProfile"), name);
    try {
        targets_.Activate(LoadProfile(programDir_, name, passwords_), profileBox_);
    } catch (const SettingsFileError& e) {
        messages_.ShowError(this, QString::fromLocal8Bit(e.what()));
        return;
    }
    hide();
}

void ProfileSelectWindow::DeletePickedProfile()
{
    SettleOnListedName();
    if (!DeleteProfile(programDir_, profileBox_.text(), passwords_))
        messages_.ShowError(this, QStringLiteral("Could not delete %1").arg(ProfilePath(programDir_, profileBox_.text())));
    ListProfiles(programDir_, profileBox_);
    const QString first = profileBox_.firstItem();
    profileBox_.setText(first);
    // With no profile left there is nothing to show; loading the empty name would create one.
    if (profileBox_.items().isEmpty())
        return;
    ShowProfileInDialog(first);
}

void ProfileSelectWindow::AskForNewProfile()
{
    auto* window = new ProfileNameWindow(programDir_, profileBox_, passwords_, messages_, this);
    window->show();
}

} // namespace tarvo
