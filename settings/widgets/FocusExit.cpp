#include "settings/widgets/FocusExit.h"

#include <QEvent>
#include <QWidget>

FocusExit::FocusExit(QWidget* control, std::function<void()> onExit)
    : QObject(control), onExit_(std::move(onExit))
{
    control->installEventFilter(this);
}

bool FocusExit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut)
        onExit_();
    return QObject::eventFilter(watched, event);
}

void OnExit(QWidget* control, std::function<void()> onExit) { new FocusExit(control, std::move(onExit)); }
