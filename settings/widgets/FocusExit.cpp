#include "settings/widgets/FocusExit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QWidget>

namespace tarvo {

FocusExit::FocusExit(QWidget* control, std::function<void()> onExit)
    : QObject(control), control_(control), onExit_(std::move(onExit))
{
    control->installEventFilter(this);
}

bool FocusExit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // The focus widget has already changed when the old one hears of it.
        const QWidget* next = QApplication::focusWidget();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && next &&
            next != control_ && !control_->isAncestorOf(next) && next->window() == control_->window())
            onExit_();
    }
    return QObject::eventFilter(watched, event);
}

void OnExit(QWidget* control, std::function<void()> onExit) { new FocusExit(control, std::move(onExit)); }

} // namespace tarvo
