#include "app/alarms/DesktopNotifier.h"

#include "common/EventLog.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>
#include <QVariantMap>

namespace tarvo {

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
constexpr int CallTimeoutMs = 5000;
} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {}

void DesktopNotifier::Notify(const QString& summary, const QString& body, const QString& imageFile)
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
    if (!imageFile.isEmpty())
        hints.insert(QStringLiteral("image-path"), QUrl::fromLocalFile(imageFile).toString(QUrl::FullyEncoded));
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    call << QStringLiteral("Tarvo") << 0u << QStringLiteral("camera-web") << summary << body << QStringList() << hints
         << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            reportUnavailable(reply.error().message());
            emit answered(false);
            return;
        }
        unavailableLogged_ = false;
        emit answered(true);
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
