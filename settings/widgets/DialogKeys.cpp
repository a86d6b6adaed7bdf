#include "settings/widgets/DialogKeys.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace tarvo {

DialogKeys::DialogKeys(QWidget* window, QPushButton* ok, QPushButton* cancel)
    : QObject(window), window_(window), ok_(ok), cancel_(cancel)
{
    window->installEventFilter(this);
}

bool DialogKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window_ || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~(Qt::KeypadModifier))
        return false;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QPushButton*>(window_->focusWidget());
        QPushButton* button = focused ? focused : ok_;
        if (button->isEnabled()) {
            // As a click does, the press takes the focus first, so the control left runs its exit check.
            button->setFocus(Qt::OtherFocusReason);
            button->click();
        }
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        if (cancel_)
            cancel_->click();
        else
            window_->close();
        return true;
    }
    return false;
}

} // namespace tarvo
