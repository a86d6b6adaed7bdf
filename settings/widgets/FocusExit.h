#pragma once
// Runs a check when a control loses the focus, the moment numeric edits correct themselves.
#include <QObject>
#include <functional>

class QWidget;

class FocusExit : public QObject {
public:
    FocusExit(QWidget* control, std::function<void()> onExit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> onExit_;
};

// Installs a FocusExit owned by the control.
void OnExit(QWidget* control, std::function<void()> onExit);
