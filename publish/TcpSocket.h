#pragma once
// The program's own TCP layer for FTP, SOCKS and the version check's HTTP GET: blocking calls
// with a deadline each (poll() underneath), no SIGPIPE, and an abort signal that another thread
// can raise to cut a waiting call short.
#include <chrono>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

using SteadyClock = std::chrono::steady_clock;
using Deadline = SteadyClock::time_point;

inline Deadline DeadlineIn(std::chrono::milliseconds ms) { return SteadyClock::now() + ms; }

// A failure of the network layer; what() is the text shown after ". Error: ".
class NetworkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Owner of one file descriptor: closes it when replaced or destroyed.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset(other.fd_);
            other.fd_ = -1;
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1);

private:
    int fd_;
};

// A latched "stop waiting" flag that poll() can watch. Raise() may be called from any thread;
// every wait that watches the signal fails with "Operation aborted." until Clear().
class AbortSignal {
public:
    AbortSignal();

    void Raise();
    void Clear();
    bool IsRaised() const;
    int fd() const { return fd_.get(); }

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

    bool IsOpen() const { return fd_.get() >= 0; }
    void Close() { fd_.reset(); }

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
    int fd() const { return fd_.get(); }
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
    void Close() { fd_.reset(); }

private:
    UniqueFd fd_;
    const AbortSignal* abort_ = nullptr;
};

// Splits received bytes into lines: a line ends at LF and a CR right before it is dropped. A line
// longer than maxLineLength fails with NetworkError, so a peer that never sends LF cannot make the
// buffer grow without bound. Pure; the fuzzers drive it directly.
class LineBuffer {
public:
    explicit LineBuffer(std::size_t maxLineLength = 8192) : max_(maxLineLength) {}
    void Append(std::string_view bytes);
    std::optional<std::string> NextLine();
    // The bytes received after the last complete line (for example an HTTP body).
    std::string TakeRest();
    void Clear() { buf_.clear(); start_ = 0; }

private:
    std::size_t max_;
    std::string buf_;
    std::size_t start_ = 0;
};

// The one line reader of the line-based protocols: reads one line from the socket before the
// deadline. A close before LF fails with "Connection closed by peer.".
class LineReader {
public:
    explicit LineReader(std::size_t maxLineLength = 8192) : buffer_(maxLineLength) {}
    std::string ReadLine(TcpSocket& socket, Deadline deadline);
    // Reads to the peer's close, at most maxBytes (an HTTP/1.0-style body).
    std::string ReadToClose(TcpSocket& socket, std::size_t maxBytes, Deadline deadline);
    void Clear() { buffer_.Clear(); }

private:
    LineBuffer buffer_;
};
