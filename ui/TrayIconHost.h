#pragma once
// What TTolmarTrayIcon asks of the desktop: a receiver for the icon's mouse notifications (the
// "hidden window"), adding, modifying and deleting the icon, the mouse position and showing a
// popup menu there. The program uses QtTrayIconHost; tests use a fake that answers as told.
#include <QIcon>
#include <QPoint>
#include <QString>
#include <functional>

class QMenu;

namespace tarvo {

// Notification carrying a mouse message of the icon in lParam.
inline constexpr unsigned kTrayNotifyMessage = 0x0500;

// Mouse messages carried by the notification.
enum TrayMouseMessage : long {
    kTrayMouseMove = 0x0200,
    kTrayLButtonDown = 0x0201,
    kTrayLButtonUp = 0x0202,
    kTrayLButtonDblClk = 0x0203,
    kTrayRButtonDown = 0x0204,
    kTrayRButtonUp = 0x0205,
    kTrayRButtonDblClk = 0x0206,
    kTrayMButtonDown = 0x0207,
};

enum class TrayNotifyAction { Add = 0, Modify = 1, Delete = 2 };

// Which fields of the notify data are valid.
enum TrayNotifyFlags : unsigned {
    kTrayFlagMessage = 1,
    kTrayFlagIcon = 2,
    kTrayFlagTip = 4,
};

// The record handed to the host with every icon request; rebuilt before every call.
struct TrayNotifyData {
    unsigned flags = 0;
    unsigned callbackMessage = 0;
    QIcon icon;
    QString tip; // at most kTrayTipMaxChars characters
};

inline constexpr int kTrayTipMaxChars = 63;

class TrayIconHost {
public:
    // The component's message handler: (message, lParam) -> message result.
    using MessageHandler = std::function<long(unsigned message, long lParam)>;

    virtual ~TrayIconHost() = default;

    // Creates the receiver of the icon's notifications; false when it cannot be created.
    virtual bool CreateReceiver(MessageHandler handler) = 0;
    virtual void DestroyReceiver() = 0;
    // Add, modify or delete the icon; true on success.
    virtual bool NotifyIcon(TrayNotifyAction action, const TrayNotifyData& data) = 0;
    // Messages the component does not handle end here; the answer becomes the message result.
    virtual long DefaultWindowProc(unsigned message, long lParam) = 0;
    // Mouse position in screen coordinates.
    virtual QPoint CursorPos() const = 0;
    virtual void PopupMenu(QMenu& menu, QPoint screenPos) = 0;
    // The desktop's standard application picture, the icon's picture until one is set.
    virtual QIcon StandardApplicationIcon() const = 0;
};

} // namespace tarvo
