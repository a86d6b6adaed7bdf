#include "settings/widgets/ProxyWindow.h"

#include "settings/IntegerText.h"
#include "settings/widgets/DialogKeys.h"
#include "settings/widgets/FormName.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvo {

ProxyWindow::ProxyWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm9"));
    setWindowTitle(QStringLiteral("Firewall / Proxy"));
    setModal(false);

    useProxy_ = Named(new QCheckBox(QStringLiteral("Use Firewall / Proxy")), "CheckBox1");
    serverGroup_ = Named(new QGroupBox, "GroupBox1");
    host_ = Named(new QLineEdit, "SocksHostEdit");
    port_ = Named(new QLineEdit, "SocksPortEdit");
    port_->setMaximumWidth(70);
    user_ = Named(new QLineEdit, "SocksUserEdit");
    password_ = Named(new QLineEdit, "SocksPassEdit");
    type_ = Named(new QComboBox, "SocksType");
    type_->setEditable(true);
    type_->setInsertPolicy(QComboBox::NoInsert);
    type_->addItems({SocksTypeNone, SocksType4, SocksType4A, SocksType5});
    type_->setEditText(SocksTypeNone);
    closeButton_ = Named(new QPushButton(QStringLiteral("Close")), "Button1");
    closeButton_->setAutoDefault(false);

    auto* form = new QFormLayout(serverGroup_);
    form->addRow(QStringLiteral("Server:"), host_);
    form->addRow(QStringLiteral("Port:"), port_);
    form->addRow(QStringLiteral("User name:"), user_);
    form->addRow(QStringLiteral("Password"), password_);
    form->addRow(QStringLiteral("SOCKS Type"), type_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(useProxy_);
    layout->addWidget(serverGroup_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(260);

    connect(useProxy_, &QCheckBox::toggled, this, &ProxyWindow::UpdateEnabling);
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::hide);
    new DialogKeys(this, closeButton_, closeButton_); // "Close" is both
    UpdateEnabling();
}

void ProxyWindow::ShowSettings(const OptionsValues& o)
{
    useProxy_->setChecked(o.UseSocks);
    host_->setText(o.SocksHost.str());
    port_->setText(QString::number(o.SocksPort));
    user_->setText(o.SocksUser.str());
    password_->setText(o.SocksPass.str());
    type_->setEditText(o.SocksType.str());
    UpdateEnabling();
}

void ProxyWindow::ReadSettings(OptionsValues& o) const
{
    const FtpTestSettings typed = TypedSettings();
    o.UseSocks = typed.useSocks;
    o.SocksHost = typed.socksHost;
    o.SocksPort = StrToInt(typed.socksPort);
    o.SocksUser = typed.socksUser;
    o.SocksPass = typed.socksPass;
    o.SocksType = typed.socksType;
}

FtpTestSettings ProxyWindow::TypedSettings() const
{
    FtpTestSettings typed;
    typed.useSocks = useProxy_->isChecked();
    typed.socksHost = host_->text();
    typed.socksPort = port_->text();
    typed.socksUser = user_->text();
    typed.socksPass = password_->text();
    typed.socksType = type_->currentText();
    return typed;
}

void ProxyWindow::UpdateEnabling()
{
    const bool on = useProxy_->isChecked();
    serverGroup_->setEnabled(on);
    for (QWidget* w : {static_cast<QWidget*>(host_), static_cast<QWidget*>(port_), static_cast<QWidget*>(user_),
                       static_cast<QWidget*>(password_), static_cast<QWidget*>(type_)})
        w->setEnabled(on);
}

void ProxyWindow::hideEvent(QHideEvent* event)
{
    if (host_->text().isEmpty())
        useProxy_->setChecked(false);
    QDialog::hideEvent(event);
}

} // namespace tarvo
