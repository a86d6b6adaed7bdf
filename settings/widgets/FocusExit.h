#pragma once
// Runs a check when the focus leaves a control for another control of the same window, the moment
// numeric edits correct themselves. Switching to another window, opening a popup or closing the
// window moves the focus too, but runs nothing: the user has not left the control.
#include <QObject>
#include <functional>

class QWidget;

namespace tarvo {

class FocusExit : public QObject {
public:
    FocusExit(QWidget* control, std::function<void()> onExit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* control_;
    std::function<void()> onExit_;
};

// Installs a FocusExit owned by the control.
void OnExit(QWidget* control, std::function<void()> onExit);

} // namespace tarvo
