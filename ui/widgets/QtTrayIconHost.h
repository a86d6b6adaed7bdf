#pragma once
// TTolmarTrayIcon's host on a real desktop: a QSystemTrayIcon whose activations are translated
// into the icon's mouse messages. A desktop without a notification area refuses the icon; the main
// window then stays in the task bar.
#include "ui/TrayIconHost.h"

#include <memory>

class QSystemTrayIcon;

namespace tarvo {

class QtTrayIconHost final : public TrayIconHost {
public:
    QtTrayIconHost();
    ~QtTrayIconHost() override;

    bool CreateReceiver(MessageHandler handler) override;
    void DestroyReceiver() override;
    bool NotifyIcon(TrayNotifyAction action, const TrayNotifyData& data) override;
    long DefaultWindowProc(unsigned message, long lParam) override;
    QPoint CursorPos() const override;
    void PopupMenu(QMenu& menu, QPoint screenPos) override;
    QIcon StandardApplicationIcon() const override;

private:
    std::unique_ptr<QSystemTrayIcon> receiver_;
    MessageHandler handler_;
};

} // namespace tarvo
