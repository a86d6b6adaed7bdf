#pragma once
// Peers of the publishing tests, all on 127.0.0.1: a real FTP server (pyftpdlib, support/FtpPeer.h), a real SOCKS 5
// proxy (microsocks), vsftpd when it can run unprivileged, and a scripted server for the replies
// real servers never give.
#include "support/FtpPeer.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarvo {

// microsocks on a free port, optionally with a user name and password.
class SocksProxy {
public:
    SocksProxy(const QString& user = {}, const QString& password = {});
    ~SocksProxy();
    bool Started() const { return started_; }
    int Port() const { return port_; }

private:
    QProcess process_;
    int port_ = 0;
    bool started_ = false;
};

// vsftpd with anonymous uploads into a scratch folder, run as the current user; Started() is false
// where that is not possible.
class VsftpServer {
public:
    VsftpServer();
    ~VsftpServer();
    bool Started() const { return started_; }
    int Port() const { return port_; }
    QString UploadDir() const { return root_.path() + "/incoming/"; }

private:
    QTemporaryDir root_;
    QProcess process_;
    int port_ = 0;
    bool started_ = false;
};

// One accepted connection of the scripted server. Reads wait at most 15 s and end early when the
// server is torn down.
class ScriptedPeer {
public:
    ScriptedPeer(int fd, const std::atomic<bool>& stop, std::function<void(const std::string&)> record);
    ~ScriptedPeer();
    void Send(const std::string& bytes);
    // One line without CR LF, recorded; empty when the client closed.
    std::string ReadLine();
    std::string ReadBytes(std::size_t n);
    // Everything up to the client's close.
    std::string ReadToClose();
    void Close();

private:
    bool WaitReadable();
    int fd_;
    const std::atomic<bool>& stop_;
    std::function<void(const std::string&)> record_;
    std::string buffered_;
};

// A listening socket on 127.0.0.1 for the scripted server's data connections.
class ScriptedListener {
public:
    ScriptedListener();
    ~ScriptedListener();
    int Port() const { return port_; }
    // Waits up to 15 s for a connection; nullptr when none came.
    std::unique_ptr<ScriptedPeer> Accept(const std::atomic<bool>& stop,
                                         std::function<void(const std::string&)> record = nullptr);

private:
    int fd_ = -1;
    int port_ = 0;
};

// Serves each connection with handler on its own thread; records every line peers read.
class ScriptedServer {
public:
    using Handler = std::function<void(ScriptedPeer& peer)>;
    explicit ScriptedServer(Handler handler);
    ~ScriptedServer();
    int Port() const { return listener_.Port(); }
    std::vector<std::string> Received() const;
    bool ReceivedStartingWith(const std::string& prefix) const;
    int Connections() const { return connections_.load(); }
    const std::atomic<bool>& StopFlag() const { return stop_; }

private:
    ScriptedListener listener_;
    Handler handler_;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    std::thread acceptor_;
    std::vector<std::thread> workers_;
};

// A listening socket whose queue of connections is full, so the system drops every further
// connection attempt without an answer, as a host behind a dropping firewall does. Started() is
// false when address:port cannot be had.
class DroppingListener {
public:
    explicit DroppingListener(const std::string& address, int port = 0);
    ~DroppingListener();
    bool Started() const { return started_; }
    int Port() const { return port_; }

private:
    std::vector<int> fds_;
    int port_ = 0;
    bool started_ = false;
};

// True when this machine has the IPv6 loopback address.
bool HasIpv6Loopback();

// WaitFor for threads other than the GUI thread: polls cond without touching Qt's event loop.
bool PollUntil(const std::function<bool()>& cond, int timeoutMs = 15000);

// Connects to 127.0.0.1:port from the loopback address `from`; nullptr when refused.
std::unique_ptr<ScriptedPeer> ConnectScripted(int port, const std::atomic<bool>& stop, const char* from = "127.0.0.1");

// An FTP greeting and login accepted with 331/230, then type and syst answered.
void ScriptLogin(ScriptedPeer& peer);

} // namespace tarvo
