#pragma once
// What an armed alarm does beyond the record's actions: a desktop notification and the user's own
// command. GUI thread only; the frame handler posts each alarm here and never waits for either.
#include "app/alarms/AlarmCommand.h"
#include "settings/ExtraOptions.h"

#include <QDateTime>
#include <QObject>
#include <memory>

namespace tarvo {

class DesktopNotifier;

class AlarmHooks : public QObject {
    Q_OBJECT
public:
    explicit AlarmHooks(QObject* parent = nullptr);
    ~AlarmHooks() override;

    // pictureFile: the picture saved for this alarm, empty when none was saved.
    void Raise(const AlarmOptions& options, const QDateTime& alarmTime, const QString& pictureFile);

    AlarmCommand& Command() { return command_; }
    // Made at the first notification, so a profile that never notifies never touches the bus.
    DesktopNotifier& Notifier();

signals:
    // Every armed alarm, whatever the options ask for; after the options' own actions.
    void raised(const QDateTime& alarmTime, const QString& pictureFile);

private:
    AlarmCommand command_;
    std::unique_ptr<DesktopNotifier> notifier_;
};

} // namespace tarvo
