#include "ui/widgets/PopupManager.h"

#include "common/ThreadHandOver.h"
#include "ui/widgets/PopupWarning.h"

#include <QGuiApplication>
#include <QScreen>

namespace tarvo {

PopupManager::PopupManager(QObject* parent) : QObject(parent)
{
    msgBoxTimer_.setObjectName("MsgBoxTimer");
    msgBoxTimer_.setInterval(1);
    msgBoxTimer_.setSingleShot(true);
    connect(&msgBoxTimer_, &QTimer::timeout, this, &PopupManager::ShowRaisedWarnings);
}

PopupManager::~PopupManager()
{
    for (const auto& popup : popups_)
        delete popup.data();
}

void PopupManager::Raise(const QString& text)
{
    {
        std::lock_guard lock(pendingMutex_);
        if (!pending_.contains(text))
            pending_.append(text);
    }
    // Timers belong to the GUI thread; the frame thread never waits for it.
    PostQueued(this, [this] { msgBoxTimer_.start(); });
}

void PopupManager::ShowRaisedWarnings()
{
    msgBoxTimer_.stop();
    QStringList texts;
    {
        std::lock_guard lock(pendingMutex_);
        texts.swap(pending_);
    }
    for (const QString& text : texts)
        ShowPopup(text);
}

PopupWarning* PopupManager::ShowPopup(const QString& text)
{
    if (popupShowing_ && latest_ && latest_->Text() == text)
        return nullptr;

    auto* popup = new PopupWarning;
    connect(popup, &PopupWarning::Shown, this, [this] { popupShowing_ = true; });
    connect(popup, &PopupWarning::Hidden, this, [this] { popupShowing_ = false; });
    std::erase_if(popups_, [](const QPointer<PopupWarning>& p) { return p.isNull(); });
    popups_.emplace_back(popup);
    latest_ = popup;

    popup->SetText(text);
    const QScreen* screen = QGuiApplication::primaryScreen();
    popup->PlaceOn(screen ? screen->geometry() : QRect(0, 0, 0, 0));
    popup->setAttribute(Qt::WA_ShowWithoutActivating, withoutFocus_);
    popup->show();
    if (!withoutFocus_)
        popup->raise();
    return popup;
}

} // namespace tarvo
