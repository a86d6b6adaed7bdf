#include "app/alarms/AlarmCommand.h"

#include "app/alarms/ExecLine.h"
#include "common/EventLog.h"

#include <algorithm>
#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tarvo {

namespace {
const QString Sender = QStringLiteral("AlarmCommand");
void Log(const QString& text) { ProgramLog().WriteLog(text, true, Sender); }

// In the command's process, between fork and exec: only calls that are safe there.
void ContainCommand()
{
    // A session and process group of its own, so that what the command starts in the background
    // ends with it.
    ::setsid();
    // Only standard input, output and error reach the command: whatever else Tarvo holds open
    // (sockets of the capture pipeline, files) closes at exec. Qt's own report pipe is closed
    // there already, so it still tells whether exec failed.
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    // Older kernels: one descriptor at a time, up to the process's limit.
    rlimit limit{};
    const rlim_t top = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 ? std::min<rlim_t>(limit.rlim_cur, 1 << 20) : 1 << 16;
    for (rlim_t fd = 3; fd < top; ++fd)
        ::fcntl(int(fd), F_SETFD, FD_CLOEXEC);
}
} // namespace

AlarmCommand::AlarmCommand(int timeLimitMs, QObject* parent) : QObject(parent), timeLimitMs_(timeLimitMs)
{
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] {
        if (!process_)
            return;
        timedOut_ = true;
        killGroup();
    });
}

AlarmCommand::~AlarmCommand()
{
    if (process_) {
        process_->disconnect(this);
        killGroup();
        process_->waitForFinished(1000);
    }
}

void AlarmCommand::killGroup()
{
    // The command leads its own group; 0 (not started) would name Tarvo's group instead.
    if (const qint64 pid = process_->processId(); pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process_->kill(); // also before the command has made its group
}

void AlarmCommand::Run(const QString& commandLine, const QString& pictureFile, const QDateTime& alarmTime)
{
    if (process_) {
        Log(QStringLiteral("Alarm command skipped: the previous one is still running"));
        return;
    }
    const std::optional<QStringList> words = SplitExecLine(commandLine);
    if (!words) {
        Log(QStringLiteral("Alarm command could not be started: unbalanced quotes or no program"));
        emit finished();
        return;
    }
    const QStringList args = ExpandAlarmFields(*words, pictureFile, alarmTime);
    process_ = std::make_unique<QProcess>();
    process_->setProgram(args.first());
    process_->setArguments(args.mid(1));
    // No terminal and no pipes that could fill up: the command talks to the world itself.
    process_->setStandardInputFile(QProcess::nullDevice());
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setStandardErrorFile(QProcess::nullDevice());
    process_->setChildProcessModifier(&ContainCommand);
    timedOut_ = false;
    connect(process_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // a crash or a kill is reported by finished
        Log(QStringLiteral("Alarm command could not be started: ") + process_->errorString());
        end();
    });
    connect(process_.get(), &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        if (timedOut_)
            Log(QStringLiteral("Alarm command ended after %1 s").arg(timeLimitMs_ / 1000.0));
        else if (status == QProcess::CrashExit)
            Log(QStringLiteral("Alarm command crashed"));
        else if (exitCode != 0)
            Log(QStringLiteral("Alarm command exited with status %1").arg(exitCode));
        end();
    });
    limit_.start(timeLimitMs_);
    process_->start();
}

void AlarmCommand::end()
{
    limit_.stop();
    // The process object may be the sender of the signal being handled: delete it later.
    process_.release()->deleteLater();
    emit finished();
}

} // namespace tarvo
