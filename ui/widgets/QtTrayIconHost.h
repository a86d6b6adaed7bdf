#pragma once
// TrayIcon's host on a real desktop: a QSystemTrayIcon whose activations are translated into
// the icon's mouse events. A desktop without a notification area refuses the icon; the main
// window then stays in the task bar.
#include "ui/TrayIconHost.h"

#include <QMenu>
#include <QPointer>
#include <memory>

class QSystemTrayIcon;

namespace tarvo {

class QtTrayIconHost final : public TrayIconHost {
public:
    QtTrayIconHost();
    ~QtTrayIconHost() override;

    bool CreateReceiver(EventHandler handler) override;
    void DestroyReceiver() override;
    bool NotifyIcon(TrayNotifyAction action, const TrayNotifyData& data) override;
    QPoint CursorPos() const override;
    void PopupMenu(QMenu& menu, QPoint screenPos) override;
    bool AttachRightMenu(QMenu* menu) override;
    QIcon StandardApplicationIcon() const override;

private:
    std::unique_ptr<QSystemTrayIcon> receiver_;
    EventHandler handler_;
    QPointer<QMenu> rightMenu_;
};

} // namespace tarvo
