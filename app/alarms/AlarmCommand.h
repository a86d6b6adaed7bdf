#pragma once
// Runs the user's alarm command, one at a time, within a time limit. GUI thread only: the process
// runs on its own and reports through the event loop, so an alarm never waits for it. The command
// runs in a session of its own with only standard input, output and error; the limit and Tarvo's
// end stop its whole process group.
#include <QDateTime>
#include <QObject>
#include <QProcess>
#include <QTimer>
#include <memory>

namespace tarvo {

class AlarmCommand : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultTimeLimitMs = 30000;
    explicit AlarmCommand(int timeLimitMs = DefaultTimeLimitMs, QObject* parent = nullptr);
    // A command still running when Tarvo ends is ended with it, with what it started.
    ~AlarmCommand() override;

    // Starts the command line for one alarm; an alarm while the previous command runs is skipped
    // and logged. Failures to start, the time limit and an exit status other than 0 are logged.
    void Run(const QString& commandLine, const QString& pictureFile, const QDateTime& alarmTime);
    bool Running() const { return process_ != nullptr; }

signals:
    // The command has ended (by itself, by its time limit, or because it could not start).
    void finished();

private:
    void end();
    // Ends the command and everything it started.
    void killGroup();

    int timeLimitMs_;
    std::unique_ptr<QProcess> process_;
    QTimer limit_;
    bool timedOut_ = false;
};

} // namespace tarvo
