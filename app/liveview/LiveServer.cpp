#include "app/liveview/LiveServer.h"

#include "app/liveview/LiveAuth.h"
#include "app/liveview/LiveRoutes.h"
#include "common/EventLog.h"

#include <QHostAddress>
#include <arpa/inet.h>
#include <cstring>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tarvo {

namespace {
using SteadyTime = std::chrono::steady_clock::time_point;

// Room above the served connections for answering the surplus with 503 instead of dropping them.
constexpr int Surplus = 32;

// TLS 1.2 and 1.3, and only key exchanges with forward secrecy: a recorded session cannot be read
// later with the server's key.
constexpr char TlsPriorities[] = "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:-KX-ALL:+ECDHE-ECDSA:+ECDHE-RSA:+DHE-RSA";

QHostAddress ClientAddress(MHD_Connection* c)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    return info && info->client_addr ? QHostAddress(info->client_addr) : QHostAddress();
}

// Whether the request names this server by an address or as "localhost". Without a password only
// loopback listens, and a web page elsewhere could still reach it through a name of its own that
// it points at 127.0.0.1; such a request names that other host.
bool NamedByAddress(MHD_Connection* c)
{
    const char* value = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST);
    if (!value)
        return true; // an HTTP/1.0 client names no host
    QString host = QString::fromLatin1(value).trimmed();
    if (host.startsWith('[')) {
        host = host.mid(1, host.indexOf(']') - 1);
    } else if (host.count(':') == 1) {
        host = host.left(host.indexOf(':'));
    }
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || !QHostAddress(host).isNull();
}

int Queue(MHD_Connection* c, unsigned status, MHD_Response* r)
{
    if (!r)
        return MHD_NO;
    const MHD_Result result = MHD_queue_response(c, status, r);
    MHD_destroy_response(r);
    return result;
}
} // namespace

// One request's body while it arrives: only a control request's few bytes are kept.
struct LiveServer::Request {
    QByteArray body;
    bool answered = false;
};
constexpr qsizetype MaxBody = 64;

struct LiveServer::Conn {
    int fd = -1;
    bool admitted = false;
    bool inRequest = false; // the header arrived; the request is being answered
    bool cut = false;
    SteadyTime waitingSince;
};

LiveServer::LiveServer(LiveRoutes& routes, LiveAuth& auth) : routes_(routes), auth_(auth) {}

LiveServer::~LiveServer() { Stop(); }

bool LiveServer::Start(const LiveServerConfig& config, QString& error)
{
    Stop();
    config_ = config;
    QHostAddress address;
    if (!address.setAddress(config.listen)) {
        error = QStringLiteral("%1 is not an address").arg(config.listen);
        return false;
    }
    sockaddr_storage storage{};
    unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(std::uint16_t(config.port));
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
        // "::" means every address of the machine, the IPv4 ones included.
        flags |= address == QHostAddress::AnyIPv6 ? MHD_USE_DUAL_STACK : MHD_USE_IPv6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(std::uint16_t(config.port));
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
    }
    tls_ = !config.certPem.isEmpty() && !config.keyPem.isEmpty();
    if (tls_)
        flags |= MHD_USE_TLS;
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    routes_.stopping = false;
    warnedClearPassword_ = false;
    const QByteArray cert = config.certPem + '\0';
    const QByteArray key = config.keyPem + '\0';
    std::vector<MHD_OptionItem> options = {
        {MHD_OPTION_SOCK_ADDR, 0, &storage},
        {MHD_OPTION_CONNECTION_LIMIT, config.maxConnections + Surplus, nullptr},
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, config.perAddressConnections, nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, intptr_t(config.idleTime.count()), nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, intptr_t(LiveServerConfig::HeaderBytes), nullptr},
        {MHD_OPTION_NOTIFY_CONNECTION, intptr_t(&LiveServer::OnConnection), this},
        {MHD_OPTION_NOTIFY_COMPLETED, intptr_t(&LiveServer::OnCompleted), this},
    };
    if (tls_) {
        options.push_back({MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char*>(TlsPriorities)});
        options.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(cert.constData())});
        options.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(key.constData())});
    }
    options.push_back({MHD_OPTION_END, 0, nullptr});
    daemon_ = MHD_start_daemon(flags, 0, nullptr, nullptr, reinterpret_cast<MHD_AccessHandlerCallback>(&LiveServer::OnRequest),
                               this, MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END);
    if (!daemon_) {
        error = tls_ ? QStringLiteral("port %1 cannot be taken, or the certificate or key cannot be used").arg(config.port)
                     : QStringLiteral("port %1 cannot be taken").arg(config.port);
        return false;
    }
    watchdog_ = std::thread([this] { Watch(); });
    return true;
}

void LiveServer::Stop()
{
    if (!daemon_)
        return;
    routes_.stopping = true;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    auth_.Abort();
    watchdog_.join();
    // Streams waiting for their next frame see `stopping` within one wait; the hub's stop wakes them
    // at once.
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
}

bool LiveServer::BeyondLoopback(const QString& listen)
{
    const QHostAddress address(listen.trimmed());
    return address.isNull() || !address.isLoopback();
}

bool LiveServer::PasswordsInTheClear(const LiveServerConfig& config)
{
    return BeyondLoopback(config.listen) && (config.certPem.isEmpty() || config.keyPem.isEmpty());
}

int LiveServer::Port() const
{
    const MHD_DaemonInfo* info = daemon_ ? MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT) : nullptr;
    return info ? info->port : 0;
}

void LiveServer::OnConnection(void* cls, MHD_Connection* c, void** socketContext, int code)
{
    auto* self = static_cast<LiveServer*>(cls);
    std::lock_guard lock(self->mutex_);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        auto* conn = new Conn;
        const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
        conn->fd = info ? info->connect_fd : -1;
        conn->admitted = self->admitted_ < self->config_.maxConnections;
        self->admitted_ += conn->admitted;
        conn->waitingSince = std::chrono::steady_clock::now();
        self->conns_.insert(conn);
        *socketContext = conn;
    } else if (auto* conn = static_cast<Conn*>(*socketContext)) {
        // Under the lock the watchdog holds while it cuts a connection: the socket is still open
        // here, so the watchdog never touches a number the system gave to another file meanwhile.
        self->admitted_ -= conn->admitted;
        self->conns_.erase(conn);
        delete conn;
        *socketContext = nullptr;
    }
}

void LiveServer::OnCompleted(void* cls, MHD_Connection* c, void** requestContext, int)
{
    auto* self = static_cast<LiveServer*>(cls);
    delete static_cast<Request*>(*requestContext);
    *requestContext = nullptr;
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    std::lock_guard lock(self->mutex_);
    if (auto* conn = info ? static_cast<Conn*>(info->socket_context) : nullptr) {
        conn->inRequest = false;
        conn->waitingSince = std::chrono::steady_clock::now();
    }
}

int LiveServer::OnRequest(void* cls, MHD_Connection* c, const char* url, const char* method, const char*, const char* upload,
                          std::size_t* uploadSize, void** requestContext)
{
    auto* self = static_cast<LiveServer*>(cls);
    auto* request = static_cast<Request*>(*requestContext);
    if (!request) {
        request = new Request;
        *requestContext = request;
        // A POST is answered once its body is in; anything else at once, its body skipped.
        if (std::strcmp(method, MHD_HTTP_METHOD_POST) == 0)
            return MHD_YES;
        request->answered = true;
        return self->Handle(c, url, method, {});
    }
    if (*uploadSize) {
        if (!request->answered && request->body.size() <= MaxBody)
            request->body.append(upload, qsizetype(std::min<std::size_t>(*uploadSize, MaxBody + 1)));
        *uploadSize = 0;
        return MHD_YES;
    }
    if (request->answered)
        return MHD_YES;
    request->answered = true;
    if (request->body.size() > MaxBody)
        return Queue(c, MHD_HTTP_CONTENT_TOO_LARGE, LiveRoutes::TextResponse("Too long"));
    return self->Handle(c, url, method, request->body);
}

int LiveServer::Handle(MHD_Connection* c, const char* url, const char* method, const QByteArray& body)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    bool admitted = false;
    {
        std::lock_guard lock(mutex_);
        if (auto* conn = info ? static_cast<Conn*>(info->socket_context) : nullptr) {
            conn->inRequest = true;
            admitted = conn->admitted;
        }
    }
    if (!admitted) {
        MHD_Response* r = LiveRoutes::TextResponse("Too many viewers at once; try again later.");
        MHD_add_response_header(r, MHD_HTTP_HEADER_CONNECTION, "close");
        MHD_add_response_header(r, MHD_HTTP_HEADER_RETRY_AFTER, "5");
        return Queue(c, MHD_HTTP_SERVICE_UNAVAILABLE, r);
    }
    const bool post = std::strcmp(method, MHD_HTTP_METHOD_POST) == 0;
    if (!post && std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 && std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0) {
        MHD_Response* r = LiveRoutes::TextResponse("Only GET is answered here.");
        MHD_add_response_header(r, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
        return Queue(c, MHD_HTTP_METHOD_NOT_ALLOWED, r);
    }
    if (!auth_.Required() && !NamedByAddress(c))
        return Queue(c, MHD_HTTP_FORBIDDEN, LiveRoutes::TextResponse("Open the live view by its address."));
    if (auth_.Required()) {
        char* password = nullptr;
        char* user = MHD_basic_auth_get_username_password(c, &password);
        if (user && PasswordsInTheClear(config_) && !warnedClearPassword_.exchange(true))
            ProgramLog().WriteLog(QStringLiteral("Live view: a password came over plain HTTP, readable on the network. "
                                                 "Set a certificate and key to have it encrypted."),
                                  true, QStringLiteral("LiveView"));
        // A browser first asks without credentials: that costs no check and no wait.
        const bool ok = user && password && auth_.Check(ClientAddress(c), QByteArray(user), QByteArray(password));
        MHD_free(user);
        MHD_free(password);
        if (!ok) {
            MHD_Response* r = LiveRoutes::TextResponse("A user name and password are needed.");
            const MHD_Result result = MHD_queue_basic_auth_fail_response(c, Realm, r);
            MHD_destroy_response(r);
            return result;
        }
    }
    const auto header = [c](const char* name) { return QByteArray(MHD_lookup_connection_value(c, MHD_HEADER_KIND, name)); };
    LiveRequest request;
    request.method = method;
    request.path = url;
    request.body = body;
    request.origin = header("Origin");
    request.token = header("X-Tarvo-Token");
    request.host = header(MHD_HTTP_HEADER_HOST);
    request.from = ClientAddress(c);
    request.tls = tls_;
    request.passwordSet = auth_.Required();
    const LiveAnswer answer = routes_.Answer(request);
    if (answer.response) {
        MHD_add_response_header(answer.response, "X-Content-Type-Options", "nosniff");
        MHD_add_response_header(answer.response, "Referrer-Policy", "no-referrer");
    }
    return Queue(c, answer.status, answer.response);
}

void LiveServer::Watch()
{
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return stopping_; })) {
        const auto now = std::chrono::steady_clock::now();
        for (Conn* conn : conns_) {
            if (!conn->inRequest && !conn->cut && conn->fd >= 0 && now - conn->waitingSince > config_.headerTime) {
                // The connection's own thread then reads the end of the stream and closes it.
                ::shutdown(conn->fd, SHUT_RDWR);
                conn->cut = true;
            }
        }
    }
}

} // namespace tarvo
