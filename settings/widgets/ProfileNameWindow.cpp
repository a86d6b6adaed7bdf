#include "settings/widgets/ProfileNameWindow.h"

#include "settings/Profiles.h"
#include "settings/widgets/DialogKeys.h"
#include "settings/widgets/DialogMessages.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvo {

ProfileNameWindow::ProfileNameWindow(const QString& programDir, ProfileBox& profileBox, ProfilePasswords& passwords,
                                     DialogMessages& messages, QWidget* parent)
    : QDialog(parent), programDir_(programDir), profileBox_(profileBox), passwords_(passwords), messages_(messages)
{
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("Profile name:"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    nameEdit_ = new QLineEdit;
    nameEdit_->setObjectName(QStringLiteral("Edit1"));
    nameEdit_->setMinimumWidth(361);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"));
    cancelButton_->setObjectName(QStringLiteral("Button2"));
    okButton_ = new QPushButton(QStringLiteral("OK"));
    okButton_->setObjectName(QStringLiteral("Button1"));
    cancelButton_->setAutoDefault(false);
    okButton_->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton_);
    buttons->addWidget(okButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(nameEdit_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(okButton_, &QPushButton::clicked, this, [this] { CreateProfile(); });
    connect(cancelButton_, &QPushButton::clicked, this, &QWidget::close);
    new DialogKeys(this, okButton_, cancelButton_); // Enter in the name edit is "OK", and goes no further
}

void ProfileNameWindow::showEvent(QShowEvent* event)
{
    nameEdit_->clear();
    nameEdit_->setFocus();
    QDialog::showEvent(event);
}

void ProfileNameWindow::CreateProfile()
{
    ListProfiles(programDir_, profileBox_);
    const QString name = nameEdit_->text();
    try {
        SaveProfile(programDir_, DefaultOptions(programDir_), name, passwords_);
        // A new profile starts with every extra at its default, whatever an old file of the name held.
        if (!DeleteExtras(programDir_, name))
            throw SettingsFileError("Permission denied", ExtrasPath(programDir_, name));
    } catch (const SettingsFileError& e) {
        messages_.ShowError(this, QString::fromLocal8Bit(e.what()));
        return;
    }
    ListProfiles(programDir_, profileBox_);
    profileBox_.setText(name);
    close();
}

} // namespace tarvo
