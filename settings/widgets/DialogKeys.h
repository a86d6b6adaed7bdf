#pragma once
// Enter and Escape as in every dialog of the desktop: Enter presses the focused button, or else
// the window's "OK", taking the focus as a click does; Escape presses "Cancel". Keys a control uses itself (Enter in a multi-line
// text, Escape closing an open list) never reach the window.
#include <QObject>

class QPushButton;
class QWidget;

namespace tarvo {

class DialogKeys : public QObject {
public:
    // cancel may be null: Escape then closes the window, as its close box does.
    DialogKeys(QWidget* window, QPushButton* ok, QPushButton* cancel);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace tarvo
