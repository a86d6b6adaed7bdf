#pragma once
// Desktop notifications through the freedesktop notification service on the session bus. The call
// is asynchronous, so the GUI thread never waits for the service; a desktop without one is logged
// once and otherwise ignored.
#include <QDBusConnection>
#include <QObject>

namespace tarvo {

class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    // Shows summary and body; imageFile, when not empty, is the picture shown with them.
    void Notify(const QString& summary, const QString& body, const QString& imageFile);

signals:
    // The service answered (ok) or the call failed (not ok); for tests and diagnostics.
    void answered(bool ok);

private:
    void reportUnavailable(const QString& why);

    QDBusConnection bus_;
    bool unavailableLogged_ = false;
};

} // namespace tarvo
