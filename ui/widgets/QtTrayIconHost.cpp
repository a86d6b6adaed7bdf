#include "ui/widgets/QtTrayIconHost.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>

namespace tarvo {

QtTrayIconHost::QtTrayIconHost() = default;
QtTrayIconHost::~QtTrayIconHost() = default;

bool QtTrayIconHost::CreateReceiver(EventHandler handler)
{
    handler_ = std::move(handler);
    receiver_ = std::make_unique<QSystemTrayIcon>();
    receiver_->setContextMenu(rightMenu_);
    // The desktop reports clicks, not button transitions: each becomes the events a click makes.
    QObject::connect(receiver_.get(), &QSystemTrayIcon::activated, receiver_.get(),
        [this](QSystemTrayIcon::ActivationReason reason) {
            auto send = [this](TrayEvent event) {
                if (handler_)
                    handler_(event);
            };
            switch (reason) {
            case QSystemTrayIcon::Trigger:
                send(TrayEvent::LeftDown);
                send(TrayEvent::LeftUp);
                break;
            case QSystemTrayIcon::DoubleClick: send(TrayEvent::LeftDoubleClick); break;
            case QSystemTrayIcon::Context:
                send(TrayEvent::RightDown);
                send(TrayEvent::RightUp);
                break;
            case QSystemTrayIcon::MiddleClick: send(TrayEvent::MiddleDown); break;
            case QSystemTrayIcon::Unknown: break;
            }
        });
    return true;
}

void QtTrayIconHost::DestroyReceiver()
{
    receiver_.reset();
    handler_ = nullptr;
}

bool QtTrayIconHost::NotifyIcon(TrayNotifyAction action, const TrayNotifyData& data)
{
    if (!receiver_)
        return false;
    switch (action) {
    case TrayNotifyAction::Add:
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return false;
        receiver_->setIcon(data.icon);
        receiver_->setToolTip(data.tip);
        receiver_->show();
        return true;
    case TrayNotifyAction::Modify:
        if (data.flags & kTrayFlagIcon)
            receiver_->setIcon(data.icon);
        if (data.flags & kTrayFlagTip)
            receiver_->setToolTip(data.tip);
        return true;
    case TrayNotifyAction::Delete:
        receiver_->hide();
        return true;
    }
    return false;
}

QPoint QtTrayIconHost::CursorPos() const { return QCursor::pos(); }

void QtTrayIconHost::PopupMenu(QMenu& menu, QPoint screenPos) { menu.popup(screenPos); }

bool QtTrayIconHost::AttachRightMenu(QMenu* menu)
{
    rightMenu_ = menu;
    if (receiver_)
        receiver_->setContextMenu(menu);
    return true;
}

QIcon QtTrayIconHost::StandardApplicationIcon() const
{
    QIcon fallback;
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        fallback = app->style()->standardIcon(QStyle::SP_ComputerIcon);
    return QIcon::fromTheme("application-x-executable", fallback);
}

} // namespace tarvo
