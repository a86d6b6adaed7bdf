#pragma once
// The tests' real FTP server: pyftpdlib (tests/support/ftp_server.py) on 127.0.0.1.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace tarvo {

struct PyFtpOptions {
    QString host = "127.0.0.1";
    int port = 0; // the system's choice
    double idleTimeoutSeconds = 300;
    bool keepUploads = false; // a copy of every upload, for Uploaded()
};

// pyftpdlib serving a scratch folder (with a folder "www") to user "tarvo" / "secret", and to
// "reader" / "secret" and "viewer" / "secret", who may not write.
class PyFtpServer {
public:
    explicit PyFtpServer(const PyFtpOptions& options = {});
    ~PyFtpServer();
    bool Started() const { return port_ > 0; }
    int Port() const { return port_; }
    // The numeric address it listens on (host may be a name).
    QString Address() const { return address_; }
    QString Root() const { return root_.path() + "/"; }
    // Commands the server received, as it logs them ("USER tarvo", "STOR Tarvo.jpg", ...).
    QStringList Commands() const;
    int CountCommands(const QString& prefix) const;
    // Replies the server sent ("220 Tarvo test server ready.", ...).
    QStringList Replies() const;
    // What arrived by upload at path below the root, even when it was deleted since; empty when
    // nothing did. Needs keepUploads.
    QByteArray Uploaded(const QString& path) const;

private:
    QStringList LogEntries(const QString& marker) const;
    QTemporaryDir root_;
    QTemporaryDir logDir_;
    QProcess process_;
    int port_ = 0;
    QString address_;
};

// Ends a peer's process: asks it to stop, and kills it when it does not.
void StopProcess(QProcess& p);

} // namespace tarvo
