#include "PublishPeers.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvo {

SocksProxy::SocksProxy(const QString& user, const QString& password)
{
    QStringList args{"-i", "127.0.0.1", "-p", "0"};
    if (!user.isEmpty())
        args << "-u" << user << "-P" << password;
    process_.start("/usr/bin/microsocks", args);
    started_ = process_.waitForStarted(10000) &&
               WaitFor([&] { return (port_ = ListeningTcpPort(process_.processId())) > 0; }, 20000);
}

SocksProxy::~SocksProxy() { StopProcess(process_); }

VsftpServer::VsftpServer()
{
    if (!QFile::exists("/usr/sbin/vsftpd"))
        return;
    // vsftpd refuses anonymous uploads into a root it can write to, so the root is read-only and
    // uploads go to a writable folder below it.
    const QString root = root_.path();
    QDir(root).mkdir("incoming");
    QDir(root).mkdir("empty");
    QFile::setPermissions(root + "/incoming", QFileDevice::Permissions(0x7777));
    const QString conf = root + "/empty.conf";
    WriteFileBytes(conf, QStringLiteral(
        "listen=YES\nlisten_address=127.0.0.1\nlisten_port=0\nrun_as_launching_user=YES\n"
        "anonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\nanon_upload_enable=YES\n"
        "anon_other_write_enable=YES\nanon_root=%1\nsecure_chroot_dir=%1/empty\nseccomp_sandbox=NO\n"
        "pasv_enable=YES\npasv_address=127.0.0.1\nbackground=NO\nxferlog_enable=NO\n")
        .arg(root).toUtf8());
    QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                    QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
    process_.start("/usr/sbin/vsftpd", {conf});
    // It binds a port of its own (listen_port=0), found among the sockets it listens on.
    started_ = process_.waitForStarted(10000) &&
               WaitFor([&] {
                   return process_.state() != QProcess::Running ||
                          (port_ = ListeningTcpPort(process_.processId())) > 0;
               }, 20000) &&
               process_.state() == QProcess::Running;
}

VsftpServer::~VsftpServer()
{
    StopProcess(process_);
    QFile::setPermissions(root_.path(), QFileDevice::Permissions(0x7700));
}

ScriptedPeer::ScriptedPeer(int fd, const std::atomic<bool>& stop, std::function<void(const std::string&)> record)
    : fd_(fd), stop_(stop), record_(std::move(record))
{
}

ScriptedPeer::~ScriptedPeer() { Close(); }

void ScriptedPeer::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool ScriptedPeer::WaitReadable()
{
    for (int waited = 0; waited < 15000 && !stop_ && fd_ >= 0; waited += 50) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0)
            return true;
    }
    return false;
}

void ScriptedPeer::Send(const std::string& bytes)
{
    if (fd_ >= 0)
        [[maybe_unused]] auto n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::string ScriptedPeer::ReadLine()
{
    for (;;) {
        const std::size_t lf = buffered_.find('\n');
        if (lf != std::string::npos) {
            std::string line = buffered_.substr(0, lf);
            buffered_.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (record_)
                record_(line);
            return line;
        }
        if (!WaitReadable())
            return {};
        char chunk[4096];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0)
            return {};
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string ScriptedPeer::ReadBytes(std::size_t n)
{
    while (buffered_.size() < n) {
        if (!WaitReadable())
            break;
        char chunk[4096];
        const ssize_t got = ::recv(fd_, chunk, std::min(sizeof chunk, n - buffered_.size()), 0);
        if (got <= 0)
            break;
        buffered_.append(chunk, static_cast<std::size_t>(got));
    }
    std::string out = buffered_.substr(0, n);
    buffered_.erase(0, out.size());
    return out;
}

std::string ScriptedPeer::ReadToClose()
{
    std::string out = std::move(buffered_);
    buffered_.clear();
    while (WaitReadable()) {
        char chunk[4096];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        out.append(chunk, static_cast<std::size_t>(n));
    }
    return out;
}

ScriptedListener::ScriptedListener()
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 8);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
}

ScriptedListener::~ScriptedListener() { ::close(fd_); }

std::unique_ptr<ScriptedPeer> ScriptedListener::Accept(const std::atomic<bool>& stop,
                                                     std::function<void(const std::string&)> record)
{
    for (int waited = 0; waited < 15000 && !stop; waited += 50) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
            const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                return std::make_unique<ScriptedPeer>(fd, stop, std::move(record));
        }
    }
    return nullptr;
}

ScriptedServer::ScriptedServer(Handler handler) : handler_(std::move(handler))
{
    acceptor_ = std::thread([this] {
        while (!stop_) {
            std::shared_ptr<ScriptedPeer> peer = listener_.Accept(stop_, [this](const std::string& line) {
                std::lock_guard lock(mutex_);
                received_.push_back(line);
            });
            if (!peer)
                continue;
            ++connections_;
            std::lock_guard lock(mutex_);
            workers_.emplace_back([this, peer] { handler_(*peer); });
        }
    });
}

ScriptedServer::~ScriptedServer()
{
    stop_ = true;
    acceptor_.join();
    for (auto& w : workers_)
        w.join();
}

std::vector<std::string> ScriptedServer::Received() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

bool ScriptedServer::ReceivedStartingWith(const std::string& prefix) const
{
    for (const auto& line : Received())
        if (line.rfind(prefix, 0) == 0)
            return true;
    return false;
}

void ScriptLogin(ScriptedPeer& peer)
{
    peer.Send("220 scripted server\r\n");
    peer.ReadLine(); // user
    peer.Send("331 password please\r\n");
    peer.ReadLine(); // pass
    peer.Send("230 logged in\r\n");
    peer.ReadLine(); // type I
    peer.Send("200 binary\r\n");
    peer.ReadLine(); // syst
    peer.Send("215 UNIX Type: L8\r\n");
}

std::unique_ptr<ScriptedPeer> ConnectScripted(int port, const std::atomic<bool>& stop, const char* from)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &source.sin_addr);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<ScriptedPeer>(fd, stop, nullptr);
}

namespace {

// address:port as a socket address; false when address is not numeric.
bool ToSocketAddress(const std::string& address, int port, sockaddr_storage& ss, socklen_t& len)
{
    ss = {};
    if (address.find(':') == std::string::npos) {
        auto* in = reinterpret_cast<sockaddr_in*>(&ss);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<std::uint16_t>(port));
        len = sizeof(sockaddr_in);
        return ::inet_pton(AF_INET, address.c_str(), &in->sin_addr) == 1;
    }
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&ss);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(static_cast<std::uint16_t>(port));
    len = sizeof(sockaddr_in6);
    return ::inet_pton(AF_INET6, address.c_str(), &in6->sin6_addr) == 1;
}

} // namespace

DroppingListener::DroppingListener(const std::string& address, int port)
{
    sockaddr_storage ss{};
    socklen_t len = 0;
    if (!ToSocketAddress(address, port, ss, len))
        return;
    const int listener = ::socket(ss.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    fds_.push_back(listener);
    // A backlog of 0 leaves room for one connection at most.
    if (::bind(listener, reinterpret_cast<sockaddr*>(&ss), len) != 0 || ::listen(listener, 0) != 0)
        return;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&ss), &len);
    port_ = ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port); // same place in both families
    // Fill the queue: the system answers a connection attempt at once while there is room, so the
    // first one left unanswered shows that the queue is full.
    for (int i = 0; i < 8 && !started_; ++i) {
        const int fd = ::socket(ss.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        fds_.push_back(fd);
        ::connect(fd, reinterpret_cast<sockaddr*>(&ss), len);
        pollfd p{fd, POLLOUT, 0};
        started_ = ::poll(&p, 1, 1000) == 0;
    }
}

DroppingListener::~DroppingListener()
{
    for (const int fd : fds_)
        ::close(fd);
}

bool HasIpv6Loopback()
{
    const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage ss{};
    socklen_t len = 0;
    const bool ok = fd >= 0 && ToSocketAddress("::1", 0, ss, len) &&
                    ::bind(fd, reinterpret_cast<sockaddr*>(&ss), len) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

bool PollUntil(const std::function<bool()>& cond, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace tarvo
