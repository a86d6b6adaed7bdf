#include "ui/widgets/TrayIcon.h"

#include <QMenu>

namespace tarvo {

TrayIconError::TrayIconError(Code code) : std::runtime_error(MessageFor(code)), code_(code) {}

const char* TrayIconError::MessageFor(Code code)
{
    switch (code) {
    case CreateWindowFailed: return "TRAY001: Error creating window";
    case AddFailed: return "TRAY002: Could not allocate tray icon";
    case DeleteFailed: return "TRAY003: Error deleteing tray icon";
    case ModifyFailed: return "TRAY004: Could not modify tray icon";
    }
    return "TRAY000: Unknown tray icon error";
}

TrayIcon::TrayIcon(std::unique_ptr<TrayIconHost> host)
    : host_(std::move(host)), icon_(host_->StandardApplicationIcon())
{
}

TrayIcon::~TrayIcon()
{
    try {
        HideIcon();
    } catch (const TrayIconError&) {
        // Nothing left to report to: the icon goes with its receiver.
    }
    if (receiverExists_)
        host_->DestroyReceiver();
}

void TrayIcon::SetVisible(bool visible)
{
    if (visible == Visible())
        return;
    if (visible)
        ShowIcon();
    else
        HideIcon();
    DoChange();
}

void TrayIcon::SetRightMenu(QMenu* menu)
{
    rightMenu_ = menu;
    hostShowsRightMenu_ = host_->AttachRightMenu(menu);
}

void TrayIcon::SetIcon(const QIcon& picture)
{
    icon_ = picture;
    if (Visible())
        UpdateIcon();
}

void TrayIcon::SetTip(const QString& text)
{
    QString tip = text.left(kTrayTipMaxChars);
    if (tip.size() == kTrayTipMaxChars && tip.back().isHighSurrogate())
        tip.chop(1); // never keep half a character
    if (tip == tip_)
        return;
    tip_ = tip;
    if (Visible())
        UpdateIcon();
    DoChange();
}

void TrayIcon::FillNotifyData(unsigned flags)
{
    notifyData_.flags = flags;
    notifyData_.icon = icon_;
    notifyData_.tip = tip_;
}

void TrayIcon::ShowIcon()
{
    if (receiverExists_)
        return;
    if (!host_->CreateReceiver([this](TrayEvent event) { HandleEvent(event); }))
        throw TrayIconError(TrayIconError::CreateWindowFailed);
    receiverExists_ = true;
    notifyData_ = TrayNotifyData{};
    FillNotifyData(kTrayFlagEvents | kTrayFlagIcon | kTrayFlagTip);
    if (!host_->NotifyIcon(TrayNotifyAction::Add, notifyData_)) {
        host_->DestroyReceiver();
        receiverExists_ = false;
        throw TrayIconError(TrayIconError::AddFailed);
    }
}

void TrayIcon::HideIcon()
{
    if (!receiverExists_)
        return;
    // A refused delete keeps the receiver: the icon still counts as shown.
    if (!host_->NotifyIcon(TrayNotifyAction::Delete, notifyData_))
        throw TrayIconError(TrayIconError::DeleteFailed);
    host_->DestroyReceiver();
    receiverExists_ = false;
}

void TrayIcon::UpdateIcon()
{
    // Only the fields a modification names are rewritten, so a refused one keeps the old picture
    // in the notification area while the new one waits in icon_ for the next show.
    const TrayNotifyData previous = notifyData_;
    FillNotifyData(kTrayFlagIcon | kTrayFlagTip);
    if (!host_->NotifyIcon(TrayNotifyAction::Modify, notifyData_)) {
        notifyData_ = previous;
        throw TrayIconError(TrayIconError::ModifyFailed);
    }
}

void TrayIcon::HandleEvent(TrayEvent event)
{
    switch (event) {
    case TrayEvent::MouseMove: DoMouseMove(); break;
    case TrayEvent::LeftDown: DoMouseLBtnDown(); break;
    case TrayEvent::LeftUp: DoMouseLBtnUp(); break;
    case TrayEvent::LeftDoubleClick: DoMouseLBtnDblClk(); break;
    case TrayEvent::RightDown: DoRBtnDown(); break;
    case TrayEvent::RightUp: DoMouseRBtnUp(); break;
    case TrayEvent::RightDoubleClick: DoMouseRBtnDblClk(); break;
    case TrayEvent::MiddleDown: break;
    }
}

void TrayIcon::Raise(const TNotifyEvent& event)
{
    if (event)
        event(*this);
}

void TrayIcon::ShowMenuAtCursor(QMenu& menu) { host_->PopupMenu(menu, host_->CursorPos()); }

void TrayIcon::DoMouseMove() { Raise(OnMouseMove); }
void TrayIcon::DoMouseLBtnDown() { Raise(OnMouseLBtnDown); }
void TrayIcon::DoRBtnDown() { Raise(OnRBtnDown); }
void TrayIcon::DoMouseLBtnDblClk() { Raise(OnMouseLBtnDblClk); }
void TrayIcon::DoMouseRBtnDblClk() { Raise(OnMouseRBtnDblClk); }
void TrayIcon::DoChange() { Raise(OnChange); }

void TrayIcon::DoMouseLBtnUp()
{
    if (leftMenu_)
        ShowMenuAtCursor(*leftMenu_);
    else
        Raise(OnMouseLBtnUp);
}

void TrayIcon::DoMouseRBtnUp()
{
    if (rightMenu_) {
        if (!hostShowsRightMenu_)
            ShowMenuAtCursor(*rightMenu_);
    } else
        Raise(OnMouseRBtnUp);
}

} // namespace tarvo
