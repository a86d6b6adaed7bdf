#pragma once
// The live view's HTTP server on libmicrohttpd: one thread per connection (so a viewer's stream or a
// held-back failed login never stalls another), at most MaxConnections served at once (the next
// ones get 503) and a few per address (so one stranger cannot take every slot), a limit on the
// request header's size and on the time to send it (a client that trickles its request is closed),
// an idle limit, HTTP Basic authentication, optional TLS (1.2 and 1.3 with forward secrecy only).
// The port is never shared: a second server on it fails to start.
//
// Threads: Start and Stop on the GUI thread; everything else on the server's own threads.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

struct MHD_Connection;
struct MHD_Daemon;

namespace tarvo {

class LiveAuth;
class LiveRoutes;

struct LiveServerConfig {
    QString listen = QStringLiteral("127.0.0.1"); // an IPv4 or IPv6 address; "::" takes both families
    int port = 8081;                               // 0: a free port (see LiveServer::Port)
    QByteArray certPem;                            // both set: HTTPS
    QByteArray keyPem;
    int maxConnections = 32;
    int perAddressConnections = 8; // a browser opens about six to one server
    int rememberedAddresses = 1024; // addresses whose failed logins are kept (see LiveAuth)
    std::chrono::milliseconds headerTime{10000}; // to send a request's header, from connecting or the last answer
    std::chrono::seconds idleTime{30};            // without any traffic
    static constexpr std::size_t HeaderBytes = 16 * 1024;
};

class LiveServer {
public:
    LiveServer(LiveRoutes& routes, LiveAuth& auth);
    ~LiveServer();
    LiveServer(const LiveServer&) = delete;
    LiveServer& operator=(const LiveServer&) = delete;

    // False with error set when the address is no address or the port cannot be taken.
    bool Start(const LiveServerConfig& config, QString& error);
    // Ends every stream and connection and waits for their threads.
    void Stop();
    bool Running() const { return daemon_ != nullptr; }
    int Port() const;
    bool Tls() const { return tls_; }

    // Whether listening on this address reaches beyond this computer.
    static bool BeyondLoopback(const QString& listen);
    // Whether a password sent to this server can be read on the network on its way.
    static bool PasswordsInTheClear(const LiveServerConfig& config);

    static constexpr const char* Realm = "Tarvo live view";

private:
    struct Conn;
    struct Request;
    static void OnConnection(void* cls, MHD_Connection* c, void** socketContext, int code);
    static void OnCompleted(void* cls, MHD_Connection* c, void** requestContext, int code);
    static int OnRequest(void* cls, MHD_Connection* c, const char* url, const char* method, const char* version,
                         const char* upload, std::size_t* uploadSize, void** requestContext);
    int Handle(MHD_Connection* c, const char* url, const char* method, const QByteArray& body);
    // Closes connections that took too long over their request's header.
    void Watch();

    LiveRoutes& routes_;
    LiveAuth& auth_;
    LiveServerConfig config_;
    MHD_Daemon* daemon_ = nullptr;
    bool tls_ = false;
    std::atomic<bool> warnedClearPassword_{false};

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::set<Conn*> conns_;
    int admitted_ = 0;
    std::thread watchdog_;
};

} // namespace tarvo
