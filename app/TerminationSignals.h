#pragma once
// SIGTERM and SIGINT end the program the way "&Exit" does: the signal handler only writes a byte
// into a pipe, and the GUI thread's event loop reads it and runs the exit command.
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; onSignal runs on this object's thread for every signal received.
    // One instance at a time; the previous handlers are restored on destruction.
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    void readSignal();

    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};
