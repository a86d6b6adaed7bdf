#include "TestSupport.h"

#include "settings/PerUserStore.h"
#include "settings/Profiles.h"
#include "settings/SecretStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvo {

void RecordingEventLog::WriteLog(const QString& msg, bool toFile, const QString& sender)
{
    std::lock_guard lock(mutex_);
    lines_.push_back({msg, toFile, sender, std::chrono::steady_clock::now()});
}

std::vector<RecordingEventLog::Line> RecordingEventLog::lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

QStringList RecordingEventLog::messages() const
{
    std::lock_guard lock(mutex_);
    QStringList out;
    for (const auto& l : lines_)
        out << l.msg;
    return out;
}

bool RecordingEventLog::contains(const QString& msg) const { return messages().contains(msg); }

void RecordingEventLog::clear()
{
    std::lock_guard lock(mutex_);
    lines_.clear();
}

ScratchProgram::ScratchProgram()
{
    store_ = std::make_unique<PerUserStore>(tmp_.path() + "/config/Tarvo/Tarvo.conf");
    noSecrets_ = std::make_unique<NoSecretStore>();
    passwords_ = std::make_unique<ProfilePasswords>(*noSecrets_);
}

ScratchProgram::~ScratchProgram() = default;

QString ScratchProgram::dir() const { return tmp_.path() + "/"; }

PerUserStore& ScratchProgram::store() { return *store_; }

bool WaitFor(const std::function<bool()>& cond, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs)
            return cond();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

std::chrono::milliseconds TestTime(std::chrono::milliseconds limit)
{
    bool ok = false;
    const double factor = qEnvironmentVariable("TARVO_TEST_TIME_FACTOR").toDouble(&ok);
    return ok && factor > 1 ? std::chrono::milliseconds(qint64(double(limit.count()) * factor)) : limit;
}

namespace {
// A socket bound to a port of its own on 127.0.0.1, not listening; returns -1 on failure.
int BindLoopback(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}
} // namespace

int ListeningTcpPort(qint64 pid)
{
    // The process's sockets by inode, then the listening entry of the kernel's table with one of them.
    QSet<QByteArray> inodes;
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(fds).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const ssize_t n = ::readlink(QFile::encodeName(fds + '/' + fd).constData(), target, sizeof target - 1);
        const QByteArray link(target, n > 0 ? int(n) : 0);
        if (link.startsWith("socket:["))
            inodes.insert(link.mid(8, link.size() - 9));
    }
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        const QList<QByteArray> lines = ReadFileBytes(table).split('\n');
        for (const QByteArray& line : lines) {
            const QList<QByteArray> f = line.simplified().split(' ');
            // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode; 0A is LISTEN
            if (f.size() > 9 && f[3] == "0A" && inodes.contains(f[9]))
                return f[1].mid(f[1].lastIndexOf(':') + 1).toInt(nullptr, 16);
        }
    }
    return 0;
}

int ClosedTcpPort()
{
    int port = 0;
    BindLoopback(port); // held open until the program ends
    return port;
}

int SilentTcpPort()
{
    int port = 0;
    const int fd = BindLoopback(port); // held open until the program ends
    return fd >= 0 && ::listen(fd, 16) == 0 ? port : 0;
}

QString BuildDir() { return qEnvironmentVariable("TARVO_BUILD_DIR") + "/"; }
QString SourceDir() { return qEnvironmentVariable("TARVO_SOURCE_DIR") + "/"; }

QByteArray ReadFileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

} // namespace tarvo
