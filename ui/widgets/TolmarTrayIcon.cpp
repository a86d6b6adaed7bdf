#include "ui/widgets/TolmarTrayIcon.h"

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

TTolmarTrayIcon::TTolmarTrayIcon(std::unique_ptr<TrayIconHost> host)
    : host_(std::move(host)), icon_(host_->StandardApplicationIcon())
{
}

TTolmarTrayIcon::~TTolmarTrayIcon()
{
    try {
        HideIcon();
    } catch (const TrayIconError&) {
        // Nothing left to report to: the icon goes with its receiver.
    }
    if (receiverExists_)
        host_->DestroyReceiver();
}

void TTolmarTrayIcon::SetVisible(bool visible)
{
    if (visible == Visible())
        return;
    if (visible)
        ShowIcon();
    else
        HideIcon();
    DoChange();
}

void TTolmarTrayIcon::SetIcon(const QIcon& picture)
{
    icon_ = picture;
    if (Visible())
        UpdateIcon();
}

void TTolmarTrayIcon::SetTip(const QString& text)
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

void TTolmarTrayIcon::FillNotifyData(unsigned flags)
{
    notifyData_.flags = flags;
    notifyData_.callbackMessage = kTrayNotifyMessage;
    notifyData_.icon = icon_;
    notifyData_.tip = tip_;
}

void TTolmarTrayIcon::ShowIcon()
{
    if (receiverExists_)
        return;
    if (!host_->CreateReceiver([this](unsigned message, long lParam) { return HandleMessage(message, lParam); }))
        throw TrayIconError(TrayIconError::CreateWindowFailed);
    receiverExists_ = true;
    notifyData_ = TrayNotifyData{};
    FillNotifyData(kTrayFlagMessage | kTrayFlagIcon | kTrayFlagTip);
    if (!host_->NotifyIcon(TrayNotifyAction::Add, notifyData_)) {
        host_->DestroyReceiver();
        receiverExists_ = false;
        throw TrayIconError(TrayIconError::AddFailed);
    }
}

void TTolmarTrayIcon::HideIcon()
{
    if (!receiverExists_)
        return;
    // A refused delete keeps the receiver: the icon still counts as shown.
    if (!host_->NotifyIcon(TrayNotifyAction::Delete, notifyData_))
        throw TrayIconError(TrayIconError::DeleteFailed);
    host_->DestroyReceiver();
    receiverExists_ = false;
}

void TTolmarTrayIcon::UpdateIcon()
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

long TTolmarTrayIcon::HandleMessage(unsigned message, long lParam)
{
    if (message != kTrayNotifyMessage)
        return host_->DefaultWindowProc(message, lParam);
    switch (lParam) {
    case kTrayMouseMove: DoMouseMove(); break;
    case kTrayLButtonDown: DoMouseLBtnDown(); break;
    case kTrayLButtonUp: DoMouseLBtnUp(); break;
    case kTrayLButtonDblClk: DoMouseLBtnDblClk(); break;
    case kTrayRButtonDown: DoRBtnDown(); break;
    case kTrayRButtonUp: DoMouseRBtnUp(); break;
    case kTrayRButtonDblClk: DoMouseRBtnDblClk(); break;
    default: return host_->DefaultWindowProc(message, lParam);
    }
    return 0;
}

void TTolmarTrayIcon::Raise(const TNotifyEvent& event)
{
    if (event)
        event(*this);
}

void TTolmarTrayIcon::ShowMenuAtCursor(QMenu& menu) { host_->PopupMenu(menu, host_->CursorPos()); }

void TTolmarTrayIcon::DoMouseMove() { Raise(OnMouseMove); }
void TTolmarTrayIcon::DoMouseLBtnDown() { Raise(OnMouseLBtnDown); }
void TTolmarTrayIcon::DoRBtnDown() { Raise(OnRBtnDown); }
void TTolmarTrayIcon::DoMouseLBtnDblClk() { Raise(OnMouseLBtnDblClk); }
void TTolmarTrayIcon::DoMouseRBtnDblClk() { Raise(OnMouseRBtnDblClk); }
void TTolmarTrayIcon::DoChange() { Raise(OnChange); }

void TTolmarTrayIcon::DoMouseLBtnUp()
{
    if (leftMenu_)
        ShowMenuAtCursor(*leftMenu_);
    else
        Raise(OnMouseLBtnUp);
}

void TTolmarTrayIcon::DoMouseRBtnUp()
{
    if (rightMenu_)
        ShowMenuAtCursor(*rightMenu_);
    else
        Raise(OnMouseRBtnUp);
}

} // namespace tarvo
