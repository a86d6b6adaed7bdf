#include "ui/DesktopAbilities.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>

namespace tarvo {

DesktopAbilities DesktopAbilities::From(const DesktopFacts& facts)
{
    const bool wayland = facts.platform.startsWith(QLatin1String("wayland"));
    DesktopAbilities a;
    a.reportsMinimising = !wayland;
    a.honoursPositions = !wayland;
    a.notificationArea = facts.trayAvailable;
    a.trayDoubleClick = facts.trayAvailable && !facts.trayWatcher;
    a.notificationService = facts.notificationService;
    return a;
}

DesktopAbilities DesktopAbilities::Probe(bool trayAvailable)
{
    DesktopFacts facts;
    facts.platform = QGuiApplication::platformName();
    facts.trayAvailable = trayAvailable;
    if (const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface()) {
        facts.trayWatcher = bus->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"));
        facts.notificationService = bus->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications"));
    }
    return From(facts);
}

} // namespace tarvo
