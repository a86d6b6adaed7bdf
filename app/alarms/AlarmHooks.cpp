#include "app/alarms/AlarmHooks.h"

#include "app/alarms/DesktopNotifier.h"

#include <QFileInfo>

namespace tarvo {

AlarmHooks::AlarmHooks(QObject* parent) : QObject(parent) {}

AlarmHooks::~AlarmHooks() = default;

DesktopNotifier& AlarmHooks::Notifier()
{
    if (!notifier_)
        notifier_ = std::make_unique<DesktopNotifier>();
    return *notifier_;
}

void AlarmHooks::Raise(const AlarmOptions& options, const QDateTime& alarmTime, const QString& pictureFile)
{
    const QString picture = pictureFile.isEmpty() ? QString() : QFileInfo(pictureFile).absoluteFilePath();
    if (options.DesktopNotification)
        Notifier().Notify(QStringLiteral("Motion detected"),
                          QStringLiteral("Tarvo saw motion at %1.").arg(alarmTime.toString(QStringLiteral("HH:mm:ss"))),
                          picture);
    if (!options.Command.isEmpty())
        command_.Run(options.Command, picture, alarmTime);
    emit raised(alarmTime, picture);
}

} // namespace tarvo
