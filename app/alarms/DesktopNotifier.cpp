#include "app/alarms/DesktopNotifier.h"

#include "common/EventLog.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>
#include <QVariantMap>
#include <utility>

namespace tarvo {

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
constexpr int CallTimeoutMs = 5000;
} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {}

void DesktopNotifier::Notify(const QString& summary, const QString& body, const QString& imageFile, const QString& slot)
{
    Message message{summary, body, imageFile};
    // Sent before the id of the one it replaces is known, it would stand beside it instead.
    if (!slot.isEmpty() && slots_[slot].asking) {
        slots_[slot].next = std::move(message);
        return;
    }
    Send(message, slot);
}

void DesktopNotifier::Send(const Message& message, const QString& slot)
{
    if (!bus_.isConnected()) {
        reportUnavailable(QStringLiteral("no session bus"));
        emit answered(false);
        return;
    }
    // Critical: a warning stays until the user dismisses it. The entry names the program's
    // desktop file (tarvo.desktop), so the desktop shows its name and icon with it.
    QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(2))},
                      {QStringLiteral("desktop-entry"), QStringLiteral("tarvo")}};
    if (!message.imageFile.isEmpty())
        hints.insert(QStringLiteral("image-path"), QUrl::fromLocalFile(message.imageFile).toString(QUrl::FullyEncoded));
    const uint replaces = slot.isEmpty() ? 0u : slots_[slot].shownId;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    call << QStringLiteral("Tarvo") << replaces << QStringLiteral("camera-web") << message.summary << message.body
         << QStringList() << hints << -1;
    if (!slot.isEmpty())
        slots_[slot].asking = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, slot](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        const bool ok = !reply.isError();
        if (ok)
            unavailableLogged_ = false;
        else
            reportUnavailable(reply.error().message());
        if (!slot.isEmpty()) {
            Slot& s = slots_[slot];
            s.asking = false;
            if (ok)
                s.shownId = reply.value();
            if (std::optional<Message> next = std::exchange(s.next, std::nullopt))
                Send(*next, slot);
        }
        emit answered(ok);
    });
}

void DesktopNotifier::reportUnavailable(const QString& why)
{
    if (unavailableLogged_)
        return;
    unavailableLogged_ = true;
    ProgramLog().WriteLog(QStringLiteral("Desktop notifications are not available: ") + why, true,
                          QStringLiteral("DesktopNotifier"));
}

} // namespace tarvo
