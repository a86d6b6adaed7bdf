#include "app/core/LogWriter.h"

#include "common/Clock.h"
#include "common/SafeFileWrite.h"
#include "common/ThreadHandOver.h"
#include "common/UniqueFd.h"

#include <QLocale>
#include <QThread>
#include <fcntl.h>
#include <unistd.h>

namespace tarvo {

namespace {
constexpr int clearAfterMs = 10000;
const QString hyphenLine = QString(38, QChar('-'));

// The log folder is the user's choice: a link or FIFO put there under the log's name is not
// written through, and a FIFO does not hold the thread that logs.
UniqueFd openForAppend(const QString& path) { return OpenRegularFile(path, O_WRONLY | O_APPEND | O_CREAT, 0644); }

// One write() per text, so lines from the GUI and the frame thread never interleave.
bool appendWhole(const UniqueFd& fd, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const ssize_t n = ::write(fd.Get(), bytes.constData(), static_cast<size_t>(bytes.size()));
    return n == bytes.size();
}

QString timeNow(const QDateTime& now) { return QLocale::system().toString(now.time(), LongTimeFormat()); }
} // namespace

QString LongTimeFormat()
{
    // Qt's long format names the time zone ("t"); log lines carry none.
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == '\'')
            quoted = !quoted;
        if (!quoted && c == 't') {
            while (out.endsWith(' '))
                out.chop(1);
            continue;
        }
        out += c;
    }
    return out.trimmed();
}

QString SingleLogLine(const QString& text)
{
    QString line = text;
    for (QChar& c : line) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t') || (u >= 0x7F && u <= 0x9F))
            c = QChar::ReplacementCharacter;
    }
    return line;
}

LogWriter::LogWriter(StatusSink& sink, QObject* parent) : QObject(parent), sink_(sink)
{
    clearStatusbar_.setInterval(clearAfterMs);
    clearStatusbar_.setSingleShot(true);
    connect(&clearStatusbar_, &QTimer::timeout, this, &LogWriter::ClearStatusbarTimer);
}

void LogWriter::SetLogSettings(bool createLogfile, const QString& folder)
{
    createLogfile_ = createLogfile;
    std::lock_guard lock(fileMutex_);
    logfileDir_ = folder;
}

bool LogWriter::FirstLogWrite() const
{
    std::lock_guard lock(fileMutex_);
    return firstLogWrite_;
}

QString LogWriter::LogFileName() const
{
    std::lock_guard lock(fileMutex_);
    return logFileName_;
}

void LogWriter::WriteLog(const QString& msg, bool toFile, const QString& sender)
{
    QString text = SingleLogLine(msg);
    const bool debug = debugLog_.load();
    if (debug) {
        toFile = true;
        text += " (Sender : " + SingleLogLine(sender) + ")";
    }
    if (!debug && !createLogfile_.load())
        return;

    switch (writeToFile(text, toFile)) {
    case FileResult::HeaderFailed:
        showStatus("Could not open the logfile " + LogFileName(), false);
        break;
    case FileResult::LineFailed:
        // The caller's work (a picture, an upload) goes on; only the log line is lost.
        showStatus("Could not write to the logfile " + LogFileName(), true);
        break;
    case FileResult::Written:
        showStatus(text, true);
        break;
    }
}

LogWriter::FileResult LogWriter::writeToFile(const QString& msg, bool toFile)
{
    const QDateTime now = ProgramClock().now();
    std::lock_guard lock(fileMutex_);
    if (firstLogWrite_) {
        logFileName_ = logfileDir_ + "Log.txt";
        const UniqueFd fd = openForAppend(logFileName_);
        if (!fd.Valid())
            return FileResult::HeaderFailed;
        QString header = "\r\n" + hyphenLine + "\r\n" + QLocale::system().toString(now.date(), QLocale::ShortFormat)
            + " " + timeNow(now) + ": Program Start\r\n" + hyphenLine + "\r\n";
        if (debugLog_.load())
            header += "DebugLog enabled\r\n";
        if (!appendWhole(fd, header))
            return FileResult::HeaderFailed;
        firstLogWrite_ = false;
    }
    if (!toFile)
        return FileResult::Written;
    const UniqueFd fd = openForAppend(logFileName_);
    if (!fd.Valid() || !appendWhole(fd, timeNow(now) + ": " + msg + "\r\n"))
        return FileResult::LineFailed;
    return FileResult::Written;
}

void LogWriter::showStatus(const QString& text, bool restartClear)
{
    if (QThread::currentThread() != thread()) {
        // The frame thread hands the text over and goes on; it never waits for the GUI.
        PostQueued(this, [this, text, restartClear] { showStatus(text, restartClear); });
        return;
    }
    sink_.SetStatusText(text);
    if (restartClear) {
        clearStatusbar_.stop();
        clearStatusbar_.start();
    }
}

void LogWriter::ClearStatusbarTimer()
{
    sink_.SetStatusText(QString());
    clearStatusbar_.stop();
}

} // namespace tarvo
