#include "HttpTestServers.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>

namespace tarvo {

HttpPeer::HttpPeer() : dir_(std::make_unique<QTemporaryDir>()), process_(std::make_unique<QProcess>())
{
    QDir().mkpath(root());
}

HttpPeer::~HttpPeer()
{
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(10000);
    }
}

void HttpPeer::Start(const QStringList& args)
{
    const QString portFile = dir_->path() + "/port";
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start("/usr/bin/python3", QStringList{SourceDir() + "tests/ui/http_peer.py"} + args << portFile
                        << dir_->path() + "/requests");
    if (!process_->waitForStarted(10000))
        return;
    if (WaitFor([&] { return QFileInfo::exists(portFile) || process_->state() == QProcess::NotRunning; }, 30000))
        port_ = ReadFileBytes(portFile).toInt();
}

HttpPeer HttpPeer::Files()
{
    HttpPeer peer;
    peer.Start({"files", peer.root()});
    return peer;
}

HttpPeer HttpPeer::Scripted(const QByteArray& response)
{
    HttpPeer peer;
    const QString responseFile = peer.dir_->path() + "/response";
    WriteFileBytes(responseFile, response);
    peer.Start({"scripted", responseFile});
    return peer;
}

HttpPeer HttpPeer::Silent()
{
    HttpPeer peer;
    peer.Start({"scripted", "-"});
    return peer;
}

void HttpPeer::WriteFile(const QString& relativePath, const QByteArray& bytes) const
{
    const QString path = root() + "/" + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    WriteFileBytes(path, bytes);
}

QByteArray HttpPeer::Requests() const { return ReadFileBytes(dir_->path() + "/requests"); }

} // namespace tarvo
