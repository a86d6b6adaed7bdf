#include "FtpPeer.h"

#include "TestSupport.h"

#include <QDir>

namespace tarvo {

void StopProcess(QProcess& p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

PyFtpServer::PyFtpServer(const PyFtpOptions& options)
{
    QDir(root_.path()).mkdir("www");
    QStringList args{SourceDir() + "tests/support/ftp_server.py", "--root", root_.path(), "--log",
                     logDir_.path() + "/ftp.log", "--host", options.host, "--port",
                     QString::number(options.port), "--idle-timeout",
                     QString::number(options.idleTimeoutSeconds)};
    if (options.keepUploads)
        args << "--received" << logDir_.path() + "/received";
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start("/usr/bin/python3", args);
    QByteArray out;
    WaitFor([&] {
        out += process_.readAllStandardOutput();
        return out.contains('\n') || process_.state() == QProcess::NotRunning;
    }, 30000);
    const QStringList words = QString::fromUtf8(out).trimmed().split(' ');
    if (words.size() == 3 && words[0] == "PORT") {
        port_ = words[1].toInt();
        address_ = words[2];
    }
}

PyFtpServer::~PyFtpServer() { StopProcess(process_); }

// pyftpdlib logs what it received after "] <- " and what it sent after "] -> ".
QStringList PyFtpServer::LogEntries(const QString& marker) const
{
    QStringList out;
    const QString log = QString::fromUtf8(ReadFileBytes(logDir_.path() + "/ftp.log"));
    for (const QString& line : log.split('\n')) {
        const int at = line.indexOf(marker);
        if (at >= 0)
            out << line.mid(at + marker.size());
    }
    return out;
}

QStringList PyFtpServer::Commands() const { return LogEntries("] <- "); }

QStringList PyFtpServer::Replies() const { return LogEntries("] -> "); }

int PyFtpServer::CountCommands(const QString& prefix) const
{
    int n = 0;
    for (const QString& c : Commands())
        n += c.startsWith(prefix) ? 1 : 0;
    return n;
}

QByteArray PyFtpServer::Uploaded(const QString& path) const
{
    return ReadFileBytes(logDir_.path() + "/received/" + path);
}

} // namespace tarvo
