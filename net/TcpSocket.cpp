#include "net/TcpSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace tarvo {

namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

int MillisecondsUntil(Deadline deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    if (left.count() <= 0)
        return 0;
    return left.count() > 1000000 ? 1000000 : static_cast<int>(left.count());
}

// Polls fd for events and the abort signal; returns true when fd is ready, false on timeout.
bool PollReady(int fd, short events, Deadline deadline, const AbortSignal* abort)
{
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {abort ? abort->fd() : -1, POLLIN, 0}};
        const int n = ::poll(fds, abort ? 2 : 1, MillisecondsUntil(deadline));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw NetworkError(ErrnoText(errno));
        }
        ThrowIfAborted(abort);
        if (n > 0)
            return true;
        if (SteadyClock::now() >= deadline)
            return false;
    }
}

struct AddrInfoDeleter {
    void operator()(addrinfo* a) const { ::freeaddrinfo(a); }
};
using AddrInfoPtr = std::unique_ptr<addrinfo, AddrInfoDeleter>;

std::vector<ResolvedAddress> ToAddresses(const addrinfo* list)
{
    std::vector<ResolvedAddress> out;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void* src = a->ai_family == AF_INET
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr)
            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr);
        if (::inet_ntop(a->ai_family, src, text, sizeof text))
            out.push_back({a->ai_family, text});
    }
    return out;
}

// One name look-up running on its own thread, so the caller can stop waiting for it at its
// deadline. Caller and thread each let go of it under its lock, and whichever lets go second frees
// it: when the caller waited for the answer that is the caller, and a look-up that outlives its
// caller is freed by its own thread once it finishes.
struct Lookup {
    Lookup(std::string h, int f) : host(std::move(h)), family(f) {}
    std::string host;
    int family;
    UniqueFd done{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::mutex mutex;
    int status = 0;
    AddrInfoPtr result;
    bool finished = false;  // the thread is done with it
    bool abandoned = false; // the caller is done with it
};

void RunLookup(Lookup* lookup)
{
    addrinfo hints{};
    hints.ai_family = lookup->family;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const int status = ::getaddrinfo(lookup->host.c_str(), nullptr, &hints, &res);
    bool last = false;
    {
        std::lock_guard lock(lookup->mutex);
        lookup->status = status;
        lookup->result.reset(res);
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto w = ::write(lookup->done.Get(), &one, sizeof one);
        lookup->finished = true;
        last = lookup->abandoned;
    }
    if (last)
        delete lookup;
}

// The caller's hold on a look-up; see Lookup.
class LookupHold {
public:
    explicit LookupHold(Lookup* lookup) : lookup_(lookup) {}
    LookupHold(const LookupHold&) = delete;
    LookupHold& operator=(const LookupHold&) = delete;
    ~LookupHold()
    {
        bool last = true;
        if (started_) {
            std::lock_guard lock(lookup_->mutex);
            lookup_->abandoned = true;
            last = lookup_->finished;
        }
        if (last)
            delete lookup_;
    }
    Lookup* operator->() const { return lookup_; }
    void Start()
    {
        std::thread([lookup = lookup_] { RunLookup(lookup); }).detach();
        started_ = true;
    }

private:
    Lookup* lookup_;
    bool started_ = false;
};

sockaddr_storage ToSockaddr(const ResolvedAddress& address, int port, socklen_t& len)
{
    sockaddr_storage ss{};
    if (address.family == AF_INET) {
        auto* in = reinterpret_cast<sockaddr_in*>(&ss);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, address.numeric.c_str(), &in->sin_addr);
        len = sizeof(sockaddr_in);
    } else {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&ss);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET6, address.numeric.c_str(), &in6->sin6_addr);
        len = sizeof(sockaddr_in6);
    }
    return ss;
}

std::string AddressOf(const sockaddr_storage& ss)
{
    char text[INET6_ADDRSTRLEN] = {};
    const void* src = ss.ss_family == AF_INET
        ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(&ss)->sin_addr)
        : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&ss)->sin6_addr);
    ::inet_ntop(ss.ss_family, src, text, sizeof text);
    std::string s = text;
    // An IPv4 peer on an IPv6 socket reads as ::ffff:a.b.c.d; callers want a.b.c.d.
    if (s.rfind("::ffff:", 0) == 0 && s.find('.') != std::string::npos)
        s.erase(0, 7);
    return s;
}

// The local (or, with peer, the remote) address of a socket; nullopt when it has none.
std::optional<sockaddr_storage> SocketName(int fd, bool peer = false)
{
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    if (fd < 0)
        return std::nullopt;
    const int rc = peer ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&ss), &len)
                        : ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
    return rc == 0 ? std::optional(ss) : std::nullopt;
}

int PortOf(const sockaddr_storage& ss)
{
    return ss.ss_family == AF_INET ? ntohs(reinterpret_cast<const sockaddr_in*>(&ss)->sin_port)
                                   : ntohs(reinterpret_cast<const sockaddr_in6*>(&ss)->sin6_port);
}

} // namespace

AbortSignal::AbortSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void AbortSignal::Raise()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto w = ::write(fd_.Get(), &one, sizeof one);
}

void AbortSignal::Clear()
{
    std::uint64_t value = 0;
    [[maybe_unused]] const auto r = ::read(fd_.Get(), &value, sizeof value);
}

bool AbortSignal::IsRaised() const
{
    pollfd p{fd_.Get(), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

void ThrowIfAborted(const AbortSignal* abort)
{
    if (abort && abort->IsRaised())
        throw NetworkError("Operation aborted.");
}

std::vector<ResolvedAddress> ResolveHost(const std::string& host, int family, Deadline deadline,
                                         const AbortSignal* abort)
{
    ThrowIfAborted(abort);
    if (host.empty())
        throw NetworkError("No host name given.");
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* numeric = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &numeric) == 0) {
        AddrInfoPtr owner(numeric);
        return ToAddresses(numeric);
    }

    LookupHold lookup(new Lookup(host, family));
    if (lookup->done.Get() < 0)
        throw NetworkError(ErrnoText(errno));
    lookup.Start();
    if (!PollReady(lookup->done.Get(), POLLIN, deadline, abort))
        throw NetworkError("Timed out resolving host " + host + ".");
    std::lock_guard lock(lookup->mutex);
    if (lookup->status != 0)
        throw NetworkError("Host not found: " + host + " (" + ::gai_strerror(lookup->status) + ").");
    auto out = ToAddresses(lookup->result.get());
    if (out.empty())
        throw NetworkError("Host not found: " + host + ".");
    return out;
}

TcpSocket TcpSocket::Connect(const std::string& host, int port, Deadline deadline, const AbortSignal* abort)
{
    if (port < 1 || port > 65535)
        throw NetworkError("Invalid port " + std::to_string(port) + ".");
    return ConnectAny(ResolveHost(host, AF_UNSPEC, deadline, abort), host, port, deadline, abort);
}

namespace {

// One connection attempt; the open socket, or nullopt with why in `error` (target names the
// host and port in it).
std::optional<TcpSocket> TryConnect(const ResolvedAddress& address, int port, Deadline deadline,
                                    const AbortSignal* abort, const std::string& target, std::string& error)
{
    TcpSocket s(::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP), abort);
    if (!s.IsOpen())
        throw NetworkError(ErrnoText(errno));
    socklen_t len = 0;
    const sockaddr_storage ss = ToSockaddr(address, port, len);
    int rc = ::connect(s.fd(), reinterpret_cast<const sockaddr*>(&ss), len);
    if (rc != 0 && errno == EINPROGRESS) {
        if (!PollReady(s.fd(), POLLOUT, deadline, abort)) {
            error = "Timed out connecting to " + target + ".";
            return std::nullopt;
        }
        int err = 0;
        socklen_t errLen = sizeof err;
        ::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &err, &errLen);
        rc = err == 0 ? 0 : -1;
        errno = err;
    }
    if (rc != 0) {
        error = ErrnoText(errno) + " (" + target + ").";
        return std::nullopt;
    }
    const int one = 1;
    ::setsockopt(s.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return s;
}

} // namespace

TcpSocket TcpSocket::ConnectAny(const std::vector<ResolvedAddress>& addresses, const std::string& host, int port,
                                Deadline deadline, const AbortSignal* abort)
{
    const std::string target = (host.find(':') == std::string::npos ? host : "[" + host + "]") + ":" +
                               std::to_string(port);
    std::string error = "Host not found: " + host + ".";
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const auto left = deadline - SteadyClock::now();
        const Deadline share = SteadyClock::now() + left / static_cast<long>(addresses.size() - i);
        if (auto s = TryConnect(addresses[i], port, share, abort, target, error))
            return std::move(*s);
    }
    throw NetworkError(error); // why the last address failed
}

void TcpSocket::WaitReady(short events, Deadline deadline, const char* what)
{
    if (fd_.Get() < 0)
        throw NetworkError("Not connected.");
    if (!PollReady(fd_.Get(), events, deadline, abort_))
        throw NetworkError(std::string("Timed out ") + what + ".");
}

void TcpSocket::SendAll(std::string_view data, Deadline deadline)
{
    SendAllWithStallLimit(data, std::chrono::milliseconds::max(), deadline);
}

void TcpSocket::SendAllWithStallLimit(std::string_view data, std::chrono::milliseconds stall, Deadline deadline)
{
    while (!data.empty()) {
        const Deadline stallEnd = stall == std::chrono::milliseconds::max() ? deadline : DeadlineIn(stall);
        WaitReady(POLLOUT, std::min(stallEnd, deadline), "sending data");
        const ssize_t n = ::send(fd_.Get(), data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            throw NetworkError(ErrnoText(errno));
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::size_t TcpSocket::ReceiveSome(char* buf, std::size_t len, Deadline deadline)
{
    for (;;) {
        WaitReady(POLLIN, deadline, "waiting for data");
        const ssize_t n = ::recv(fd_.Get(), buf, len, 0);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            throw NetworkError(ErrnoText(errno));
    }
}

void TcpSocket::ReceiveExact(char* buf, std::size_t len, Deadline deadline)
{
    while (len > 0) {
        const std::size_t n = ReceiveSome(buf, len, deadline);
        if (n == 0)
            throw NetworkError("Connection closed by peer.");
        buf += n;
        len -= n;
    }
}

bool TcpSocket::HasInputOrHangUp() const
{
    pollfd p{fd_.Get(), POLLIN | POLLRDHUP, 0};
    return fd_.Get() >= 0 && ::poll(&p, 1, 0) > 0;
}

std::string TcpSocket::LocalAddress() const
{
    const auto name = SocketName(fd_.Get());
    return name ? AddressOf(*name) : std::string();
}

int TcpSocket::LocalPort() const
{
    const auto name = SocketName(fd_.Get());
    return name ? PortOf(*name) : 0;
}

std::string TcpSocket::PeerAddress() const
{
    const auto name = SocketName(fd_.Get(), true);
    return name ? AddressOf(*name) : std::string();
}

TcpListener TcpListener::Listen(const std::string& localAddress, const AbortSignal* abort)
{
    const ResolvedAddress address{localAddress.find(':') == std::string::npos ? AF_INET : AF_INET6, localAddress};
    TcpListener l;
    l.abort_ = abort;
    l.fd_.Reset(::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP));
    if (l.fd_.Get() < 0)
        throw NetworkError(ErrnoText(errno));
    socklen_t len = 0;
    const sockaddr_storage ss = ToSockaddr(address, 0, len);
    if (::bind(l.fd_.Get(), reinterpret_cast<const sockaddr*>(&ss), len) != 0 || ::listen(l.fd_.Get(), 8) != 0)
        throw NetworkError(ErrnoText(errno));
    return l;
}

int TcpListener::Port() const
{
    const auto name = SocketName(fd_.Get());
    return name ? PortOf(*name) : 0;
}

TcpSocket TcpListener::Accept(Deadline deadline, const std::string& onlyFrom)
{
    for (;;) {
        if (fd_.Get() < 0)
            throw NetworkError("Not listening.");
        if (!PollReady(fd_.Get(), POLLIN, deadline, abort_))
            throw NetworkError("Timed out waiting for the server's data connection.");
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        const int fd = ::accept4(fd_.Get(), reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            TcpSocket s(fd, abort_);
            if (onlyFrom.empty() || AddressOf(peer) == onlyFrom)
                return s;
            continue; // someone else got to the port first: closed, and the wait goes on
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
            throw NetworkError(ErrnoText(errno));
    }
}

} // namespace tarvo
