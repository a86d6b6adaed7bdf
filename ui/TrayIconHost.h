#pragma once
// What TrayIcon asks of the desktop: a receiver for the icon's mouse events, adding, modifying
// and deleting the icon, the mouse position and showing a popup menu there. The program uses
// QtTrayIconHost; tests use a fake that answers as told.
#include <QIcon>
#include <QPoint>
#include <QString>
#include <functional>

class QMenu;

namespace tarvo {

// What the desktop reports about the mouse on the icon.
enum class TrayEvent {
    MouseMove,
    LeftDown,
    LeftUp,
    LeftDoubleClick,
    RightDown,
    RightUp,
    RightDoubleClick,
    MiddleDown, // reported, but the icon has no use for it
};

enum class TrayNotifyAction { Add = 0, Modify = 1, Delete = 2 };

// Which fields of the notify data are valid.
enum TrayNotifyFlags : unsigned {
    kTrayFlagEvents = 1,
    kTrayFlagIcon = 2,
    kTrayFlagTip = 4,
};

// The record handed to the host with every icon request; rebuilt before every call.
struct TrayNotifyData {
    unsigned flags = 0;
    QIcon icon;
    QString tip; // at most kTrayTipMaxChars characters
};

inline constexpr int kTrayTipMaxChars = 63;

class TrayIconHost {
public:
    // The component's receiver of mouse events on the icon.
    using EventHandler = std::function<void(TrayEvent event)>;

    virtual ~TrayIconHost() = default;

    // Creates the receiver of the icon's notifications; false when it cannot be created.
    virtual bool CreateReceiver(EventHandler handler) = 0;
    virtual void DestroyReceiver() = 0;
    // Add, modify or delete the icon; true on success.
    virtual bool NotifyIcon(TrayNotifyAction action, const TrayNotifyData& data) = 0;
    // Mouse position in screen coordinates.
    virtual QPoint CursorPos() const = 0;
    virtual void PopupMenu(QMenu& menu, QPoint screenPos) = 0;
    // Hands the right-button menu to the desktop, which then shows it at the icon and closes it
    // as its own; false where the icon has to pop it up at the cursor.
    virtual bool AttachRightMenu(QMenu* /*menu*/) { return false; }
    // The desktop's standard application picture, the icon's picture until one is set.
    virtual QIcon StandardApplicationIcon() const = 0;
};

} // namespace tarvo
