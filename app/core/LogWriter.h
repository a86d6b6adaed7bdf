#pragma once
// WriteLog: the program's one event reporter. Shows each message in the status bar (cleared 10 s
// after the most recent one) and appends results and errors to LogfileDir + "Log.txt", starting a
// run with a header. Callable from the GUI thread and the frame thread: file lines are written
// with one write() each, status text and the clear timer are handled on the GUI thread, and the
// caller never waits for the GUI thread.
#include "app/core/StatusSink.h"
#include "common/EventLog.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <mutex>

namespace tarvo {

// The text as one harmless line: control characters (C0 but TAB, DEL and C1), which a server's
// reply or a device name may carry, become U+FFFD, so no text can start a line of its own or
// send commands to a terminal that shows the log.
QString SingleLogLine(const QString& text);

class LogWriter final : public QObject, public EventLog {
    Q_OBJECT
public:
    // The writer belongs to the thread it is created on (the GUI thread); sink must outlive it.
    explicit LogWriter(StatusSink& sink, QObject* parent = nullptr);

    // Any thread.
    void WriteLog(const QString& msg, bool toFile, const QString& sender) override;

    void SetLogSettings(bool createLogfile, const QString& folder) override;

    // "-d": set once at start-up, after profile activation has already logged. Debug mode logs
    // every message to the file whatever the settings say.
    void SetDebugLog(bool on) { debugLog_.store(on); }
    bool DebugLog() const { return debugLog_.load(); }

    // True until the run header has been written.
    bool FirstLogWrite() const;
    // Fixed by the run header; empty before it.
    QString LogFileName() const;

    // Status text that is no log event (a hint to the user); shown even with logging off and
    // cleared like any message. Any thread.
    void ShowStatusText(const QString& text) { showStatus(SingleLogLine(text), true); }

    // The 10 s status clear; GUI thread only. Exposed so tests can shorten it.
    QTimer& ClearStatusbar() { return clearStatusbar_; }

private:
    enum class FileResult { Written, HeaderFailed, LineFailed };
    FileResult writeToFile(const QString& msg, bool toFile);
    // Runs on the GUI thread: status text, and when restartClear the clear timer restarts.
    void showStatus(const QString& text, bool restartClear);
    void ClearStatusbarTimer();

    StatusSink& sink_;
    QTimer clearStatusbar_;
    std::atomic<bool> debugLog_{false};
    // Nothing is logged to the file before the first settings arrive.
    std::atomic<bool> createLogfile_{false};
    mutable std::mutex fileMutex_;
    QString logfileDir_; // under fileMutex_
    bool firstLogWrite_ = true;
    QString logFileName_;
};

// The system's long time format without its time zone, for log lines and the run header.
QString LongTimeFormat();

} // namespace tarvo
