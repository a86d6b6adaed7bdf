#pragma once
// The popup warnings of the program. A raiser on any thread hands its text over with Raise();
// the next tick of its timer (MsgBoxTimer) on the GUI thread then opens a popup for it, unless
// the most recent popup is on screen with the same text. Every popup is a window of its own, so
// different warnings stand side by side.
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <mutex>
#include <vector>

namespace tarvo {

class PopupWarning;

class PopupManager : public QObject {
    Q_OBJECT
public:
    explicit PopupManager(QObject* parent = nullptr);
    ~PopupManager() override; // closes the popups still alive

    // Any thread. Texts raised before the next tick are shown once each, in order.
    void Raise(const QString& text);

    // True while a popup is on screen: set when any popup is shown, cleared when any is hidden.
    bool PopupShowing() const { return popupShowing_; }
    // The most recently created popup, while it exists.
    PopupWarning* LatestPopup() const { return latest_; }
    // Raised texts wait for the next tick.
    bool WarningsPending() const { return msgBoxTimer_.isActive(); }

    // The tick: opens the popups for the texts raised since the last one.
    void ShowRaisedWarnings();
    // Opens a popup for text unless the same warning is showing already; returns it or nullptr.
    PopupWarning* ShowPopup(const QString& text);
    // Where the compositor places and focuses windows itself, popups are shown without asking
    // for the focus or the top.
    void SetShowWithoutFocus(bool on) { withoutFocus_ = on; }

private:
    QTimer msgBoxTimer_;
    std::mutex pendingMutex_;
    QStringList pending_; // the texts waiting for the next tick, one per distinct text raised
    bool popupShowing_ = false;
    bool withoutFocus_ = false;
    QPointer<PopupWarning> latest_;
    std::vector<QPointer<PopupWarning>> popups_;
};

} // namespace tarvo
