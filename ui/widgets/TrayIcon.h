#pragma once
// The program's icon in the notification area: keeps its picture and tip current and turns mouse
// activity on it into events, or into a popup menu at the mouse position. GUI thread only.
#include "ui/TrayIconHost.h"

#include <QPointer>
#include <functional>
#include <memory>
#include <stdexcept>

class QMenu;

namespace tarvo {

class TrayIcon;

// A refusal of the desktop to create, add, delete or modify the icon.
class TrayIconError : public std::runtime_error {
public:
    enum Code { CreateWindowFailed = 14920, AddFailed = 14921, DeleteFailed = 14922, ModifyFailed = 14923 };
    explicit TrayIconError(Code code);
    Code code() const { return code_; }
    static const char* MessageFor(Code code);

private:
    Code code_;
};

using TNotifyEvent = std::function<void(TrayIcon& sender)>;

class TrayIcon {
public:
    // The icon starts hidden, with the host's standard application picture.
    explicit TrayIcon(std::unique_ptr<TrayIconHost> host);
    ~TrayIcon(); // hides the icon when shown; a refusal then is swallowed
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // True exactly while the receiver of the icon's notifications exists.
    bool Visible() const { return receiverExists_; }
    // Shows or hides the icon; raises TrayIconError when the desktop refuses.
    void SetVisible(bool visible);

    const QIcon& Icon() const { return icon_; }
    // Takes over the picture; a shown icon is modified in place.
    void SetIcon(const QIcon& picture);

    const QString& Tip() const { return tip_; }
    // Longer texts are shortened to the 63 characters the notification area holds.
    void SetTip(const QString& text);

    // Menus are stored, the right one also offered to the host, which may show it as the desktop's
    // own; a destroyed menu reads as none.
    QMenu* RightMenu() const { return rightMenu_; }
    void SetRightMenu(QMenu* menu);
    QMenu* LeftMenu() const { return leftMenu_; }
    void SetLeftMenu(QMenu* menu) { leftMenu_ = menu; }

    // Events, raised only when assigned, with this component as sender. A menu set for a button
    // replaces that button's release event.
    TNotifyEvent OnChange;
    TNotifyEvent OnMouseMove;
    TNotifyEvent OnMouseLBtnDown;
    TNotifyEvent OnRBtnDown;
    TNotifyEvent OnMouseLBtnUp;
    TNotifyEvent OnMouseRBtnUp;
    TNotifyEvent OnMouseLBtnDblClk;
    TNotifyEvent OnMouseRBtnDblClk;

    // The host calls this with every mouse event on the icon.
    void HandleEvent(TrayEvent event);

protected:
    virtual void DoMouseMove();
    virtual void DoMouseLBtnUp();
    virtual void DoMouseRBtnUp();
    virtual void DoMouseLBtnDown();
    virtual void DoRBtnDown();
    virtual void DoMouseLBtnDblClk();
    virtual void DoMouseRBtnDblClk();
    virtual void DoChange();

private:
    void ShowIcon();
    void HideIcon();
    void UpdateIcon();
    void FillNotifyData(unsigned flags);
    void Raise(const TNotifyEvent& event);
    void ShowMenuAtCursor(QMenu& menu);

    std::unique_ptr<TrayIconHost> host_;
    TrayNotifyData notifyData_;
    bool receiverExists_ = false;
    QPointer<QMenu> rightMenu_;
    bool hostShowsRightMenu_ = false;
    QPointer<QMenu> leftMenu_;
    QIcon icon_;
    QString tip_;
};

} // namespace tarvo
