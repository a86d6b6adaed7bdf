#pragma once
// Turns POSIX signals into calls on the GUI thread: the signal handler only writes a byte into
// this watcher's pipe, and the event loop reads it and runs the handler. Several watchers may
// live at once as long as each watches signals of its own.
#include "common/UniqueFd.h"

#include <QObject>
#include <csignal>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace tarvo {

class SignalWatcher : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; onSignal runs on this object's thread for every signal received
    // (signals arriving together may run it once). The previous handlers are restored on
    // destruction.
    SignalWatcher(std::vector<int> signalNumbers, std::function<void()> onSignal, QObject* parent = nullptr);
    ~SignalWatcher() override;

private:
    void readSignal();

    std::vector<int> signals_;
    std::vector<struct sigaction> previous_;
    std::function<void()> onSignal_;
    UniqueFd readEnd_;
    UniqueFd writeEnd_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace tarvo
