#pragma once
// The program's own TCP layer for FTP, SOCKS and the version check's HTTP GET: blocking calls
// with a deadline each (poll() underneath), no SIGPIPE, and an abort signal that another thread
// can raise to cut a waiting call short.
#include "common/UniqueFd.h"

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

using SteadyClock = std::chrono::steady_clock;
using Deadline = SteadyClock::time_point;

inline Deadline DeadlineIn(std::chrono::milliseconds ms) { return SteadyClock::now() + ms; }

// A failure of the network layer; what() is the text shown after ". Error: ".
class NetworkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A latched "stop waiting" flag that poll() can watch. Raise() may be called from any thread;
// every wait that watches the signal fails with "Operation aborted." until Clear().
class AbortSignal {
public:
    AbortSignal();

    void Raise();
    void Clear();
    bool IsRaised() const;
    int fd() const { return fd_.Get(); }

private:
    UniqueFd fd_; // eventfd
};

// Throws NetworkError("Operation aborted.") when the signal is raised.
void ThrowIfAborted(const AbortSignal* abort);

// Resolves host (name or numeric address) to its IPv4 and IPv6 addresses within the deadline.
// family is AF_UNSPEC or AF_INET. The lookup runs on a detached thread of its own: the call returns
// at the deadline or the abort, and a lookup still running then finishes and frees itself later.
struct ResolvedAddress {
    int family;
    std::string numeric; // "192.0.2.1" or "2001:db8::1"
};
std::vector<ResolvedAddress> ResolveHost(const std::string& host, int family, Deadline deadline,
                                         const AbortSignal* abort = nullptr);

class TcpSocket {
public:
    TcpSocket() = default;
    explicit TcpSocket(int fd, const AbortSignal* abort = nullptr) : fd_(fd), abort_(abort) {}

    // Resolves host and connects to the first of its addresses that accepts, all before the deadline.
    static TcpSocket Connect(const std::string& host, int port, Deadline deadline,
                             const AbortSignal* abort = nullptr);
    // Tries the addresses in turn, each with an equal share of the time left, so an address that
    // silently drops the attempt leaves time for the others. host names them in messages.
    static TcpSocket ConnectAny(const std::vector<ResolvedAddress>& addresses, const std::string& host, int port,
                                Deadline deadline, const AbortSignal* abort = nullptr);

    bool IsOpen() const { return fd_.Get() >= 0; }
    void Close() { fd_.Reset(); }

    void SendAll(std::string_view data, Deadline deadline);
    // Sends data, failing when no byte could be sent for `stall` or when the deadline passes.
    void SendAllWithStallLimit(std::string_view data, std::chrono::milliseconds stall, Deadline deadline);
    // Returns 0 at the peer's orderly close; waits at most until the deadline for the first byte.
    std::size_t ReceiveSome(char* buf, std::size_t len, Deadline deadline);
    // Fails with "Connection closed by peer." when the peer closes first.
    void ReceiveExact(char* buf, std::size_t len, Deadline deadline);

    // True when something waits to be read, or the peer has closed or reset the connection.
    bool HasInputOrHangUp() const;

    std::string LocalAddress() const;
    int LocalPort() const;
    std::string PeerAddress() const;
    int fd() const { return fd_.Get(); }
    void SetAbortSignal(const AbortSignal* abort) { abort_ = abort; }

private:
    // Waits until fd_ is ready for `events`; throws on timeout or abort.
    void WaitReady(short events, Deadline deadline, const char* what);

    UniqueFd fd_;
    const AbortSignal* abort_ = nullptr;
};

// A listening socket for active-mode data connections.
class TcpListener {
public:
    TcpListener() = default;
    // Listens on localAddress (numeric IPv4 or IPv6) and a port chosen by the system.
    static TcpListener Listen(const std::string& localAddress, const AbortSignal* abort = nullptr);

    int Port() const;
    // Accepts a connection from onlyFrom (a numeric address; any peer when empty). A connection
    // from anywhere else is closed and the wait goes on.
    TcpSocket Accept(Deadline deadline, const std::string& onlyFrom = {});
    void Close() { fd_.Reset(); }

private:
    UniqueFd fd_;
    const AbortSignal* abort_ = nullptr;
};

} // namespace tarvo
