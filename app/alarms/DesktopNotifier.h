#pragma once
// Desktop notifications through the freedesktop notification service on the session bus. The call
// is asynchronous, so the GUI thread never waits for the service; a desktop without one is logged
// once and otherwise ignored.
#include <QDBusConnection>
#include <QObject>
#include <map>
#include <optional>

namespace tarvo {

class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    // Shows summary and body; imageFile, when not empty, is the picture shown with them. A
    // notification given a slot replaces the one shown before in the same slot, so a warning that
    // later gets its picture stays one notification.
    void Notify(const QString& summary, const QString& body, const QString& imageFile, const QString& slot = {});

signals:
    // The service answered (ok) or the call failed (not ok); for tests and diagnostics.
    void answered(bool ok);

private:
    struct Message {
        QString summary;
        QString body;
        QString imageFile;
    };
    struct Slot {
        uint shownId = 0;       // the service's id of the one shown, 0 before
        bool asking = false;    // a call is on its way: its id is not known yet
        std::optional<Message> next; // the newest message held back until that answer
    };
    void Send(const Message& message, const QString& slot);
    void reportUnavailable(const QString& why);

    QDBusConnection bus_;
    std::map<QString, Slot> slots_;
    bool unavailableLogged_ = false;
};

} // namespace tarvo
