#pragma once
// Real HTTP servers on 127.0.0.1 for the version check, run by /usr/bin/python3: Python's own
// file server, and a scripted one for answers a file server never gives (chunked bodies chosen
// byte by byte, silence) that also records the request it received.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace tarvo {

class HttpPeer {
public:
    // Serves files: put them under root() before or after starting.
    static HttpPeer Files();
    // Answers every request with `response`.
    static HttpPeer Scripted(const QByteArray& response);
    // Accepts, reads the request and never answers.
    static HttpPeer Silent();

    HttpPeer(HttpPeer&&) = default;
    ~HttpPeer();

    bool Started() const { return port_ > 0; }
    int port() const { return port_; }
    QString root() const { return dir_->path() + "/root"; }
    void WriteFile(const QString& relativePath, const QByteArray& bytes) const;
    // The request headers the scripted server received, one after the other.
    QByteArray Requests() const;

private:
    HttpPeer();
    void Start(const QStringList& args);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QProcess> process_;
    int port_ = 0;
};

} // namespace tarvo
