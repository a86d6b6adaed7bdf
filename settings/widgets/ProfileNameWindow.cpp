#include "settings/widgets/ProfileNameWindow.h"

#include "settings/Profiles.h"
#include "settings/widgets/DialogKeys.h"
#include "settings/widgets/DialogMessages.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ProfileNameWindow::ProfileNameWindow(ProfileBox& profileBox, QWidget* parent) : QDialog(parent), profileBox_(profileBox)
{
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("Profile name:"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    Edit1 = new QLineEdit;
    Edit1->setMinimumWidth(361);
    Button2 = new QPushButton(QStringLiteral("Cancel"));
    Button1 = new QPushButton(QStringLiteral("OK"));
    Button2->setAutoDefault(false);
    Button1->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button2);
    buttons->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Edit1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    new DialogKeys(this, Button1, Button2); // Enter in the name edit is "OK", and goes no further
}

void ProfileNameWindow::showEvent(QShowEvent* event)
{
    Edit1->clear();
    Edit1->setFocus();
    QDialog::showEvent(event);
}

void ProfileNameWindow::Button1Click()
{
    ListProfiles(profileBox_);
    const QString name = Edit1->text();
    try {
        Save(DefaultOptions(), name);
        // A new profile starts with every extra at its default, whatever an old file of the name held.
        if (!DeleteExtras(name))
            throw EInOutError("Permission denied", ExtrasPath(name));
    } catch (const EInOutError& e) {
        SettingsMessages().ShowError(this, QString::fromLocal8Bit(e.what()));
        return;
    }
    ListProfiles(profileBox_);
    profileBox_.setText(name);
    close();
}

void ProfileNameWindow::Button2Click() { close(); }
