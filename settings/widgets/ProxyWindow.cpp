#include "settings/widgets/ProxyWindow.h"

#include "settings/OptionsValues.h"
#include "settings/widgets/DialogKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ProxyWindow::ProxyWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm9"));
    setWindowTitle(QStringLiteral("Firewall / Proxy"));
    setModal(false);

    CheckBox1 = new QCheckBox(QStringLiteral("Use Firewall / Proxy"));
    GroupBox1 = new QGroupBox;
    SocksHostEdit = new QLineEdit;
    SocksPortEdit = new QLineEdit;
    SocksPortEdit->setMaximumWidth(70);
    SocksUserEdit = new QLineEdit;
    SocksPassEdit = new QLineEdit;
    SocksType = new QComboBox;
    SocksType->setEditable(true);
    SocksType->setInsertPolicy(QComboBox::NoInsert);
    SocksType->addItems({SocksTypeNone, SocksType4, SocksType4A, SocksType5});
    SocksType->setEditText(SocksTypeNone);
    Button1 = new QPushButton(QStringLiteral("Close"));
    Button1->setAutoDefault(false);

    auto* form = new QFormLayout(GroupBox1);
    form->addRow(QStringLiteral("Server:"), SocksHostEdit);
    form->addRow(QStringLiteral("Port:"), SocksPortEdit);
    form->addRow(QStringLiteral("User name:"), SocksUserEdit);
    form->addRow(QStringLiteral("Password"), SocksPassEdit);
    form->addRow(QStringLiteral("SOCKS Type"), SocksType);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CheckBox1);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(260);

    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    new DialogKeys(this, Button1, Button1); // "Close" is both
    CheckBox1Click();
}

void ProxyWindow::CheckBox1Click()
{
    const bool on = CheckBox1->isChecked();
    GroupBox1->setEnabled(on);
    for (QWidget* w : {static_cast<QWidget*>(SocksHostEdit), static_cast<QWidget*>(SocksPortEdit),
                       static_cast<QWidget*>(SocksUserEdit), static_cast<QWidget*>(SocksPassEdit),
                       static_cast<QWidget*>(SocksType)})
        w->setEnabled(on);
}

void ProxyWindow::Button1Click() { hide(); }

void ProxyWindow::hideEvent(QHideEvent* event)
{
    if (SocksHostEdit->text().isEmpty())
        CheckBox1->setChecked(false);
    QDialog::hideEvent(event);
}
