#pragma once
// The FTP client of website publishing and of the settings test: one control connection, login,
// binary type, CWD, DELE, RNFR/RNTO and STOR in passive or active mode. Nothing is downloaded or
// listed. Every operation blocks its caller until the server has answered or a time limit ran out.
// On an IPv6 control connection the data connection is negotiated with EPSV / EPRT (RFC 2428),
// since PASV and PORT carry only IPv4 addresses. A 421 reply means the server is closing the
// connection, so the client closes its side too.
//
// Threads: one caller at a time uses a client; Abort() may be called from any other thread.
#include "net/FtpReply.h"
#include "net/LineReader.h"
#include "net/Socks.h"
#include "net/TcpSocket.h"

#include <QString>
#include <chrono>
#include <cstdio>
#include <optional>
#include <stdexcept>

namespace tarvo {

// The failure of an FTP operation. Message() is the last line of the refused reply (code
// included) or the network layer's text; it is what publishing logs after ". Error: ".
class FtpError : public std::runtime_error {
public:
    explicit FtpError(const QString& message);
    QString Message() const { return QString::fromUtf8(what()); }
};

// Time limits of one client. The defaults follow the 20 s inactivity limit of common graphical
// FTP clients; the whole of one upload is held to two minutes so that a server trickling bytes
// cannot keep the capture thread either. Tests set them to a second or two.
struct FtpTimeouts {
    std::chrono::milliseconds connect{20000};     // name look-up, TCP connect, proxy handshake
    std::chrono::milliseconds reply{20000};       // one whole server reply
    std::chrono::milliseconds dataAccept{20000};  // the server's data connection in active mode
    std::chrono::milliseconds transferStall{20000}; // no byte of the file accepted by the server
    std::chrono::milliseconds upload{120000};     // one StoreFile, first command to final reply
};

class FtpClient {
public:
    FtpClient();
    ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    // Connection parameters; set them while the client is disconnected.
    void SetHost(const QString& host) { host_ = host; }
    void SetPort(int port) { port_ = port; }
    void SetUsername(const QString& user) { user_ = user; }
    void SetPassword(const QString& password) { password_ = password; }
    void SetPassive(bool passive) { passive_ = passive; }
    QString Host() const { return host_; }
    int Port() const { return port_; }
    QString Username() const { return user_; }
    QString Password() const { return password_; }
    bool Passive() const { return passive_; }
    // The proxy settings object (filled by ApplyProxySettings).
    SocksInfo& Socks() { return socks_; }
    const SocksInfo& Socks() const { return socks_; }
    FtpTimeouts& Timeouts() { return timeouts_; }

    // True while the control connection is open on this side.
    bool IsOpen() const;
    // IsOpen, after making sure the server has not left an idle connection: between operations a
    // server has nothing to say, so a reply waiting unread (the 421 of its idle time-out) or its
    // close means it has gone. Such a connection is closed here too and false returned.
    bool StillOpen();
    // Connects (through the proxy when one is set) and logs in; a failure leaves it disconnected.
    void Open();
    void ChangeDirectory(const QString& directory);
    void DeleteRemote(const QString& remoteName);
    void RenameRemote(const QString& oldName, const QString& newName);
    void StoreFile(const QString& localFileName, const QString& remoteName);
    // Closes the control connection without a quit command; does nothing when not connected.
    void Close();

    // The last line of the most recent server reply, and its code (0 when none yet).
    QString LastReplyText() const;
    int LastReplyCode() const;

    // Cuts the operation in progress short and makes every later one fail at once with
    // "Operation aborted." until ClearAbort(). Any thread.
    void Abort();
    void ClearAbort();
    // The signal Abort() raises, for a task that runs this client on a thread of its own.
    AbortSignal& SharedAbort() { return abort_; }

    // Holds every operation to `deadline` as well as to its own limits, until cleared.
    void SetCallDeadline(std::optional<Deadline> deadline) { callDeadline_ = deadline; }

private:
    Deadline LimitFrom(std::chrono::milliseconds limit) const;
    void SendCommand(const std::string& line);
    const FtpReply& ReadReply(Deadline deadline);
    // Reads a reply and fails with its last line unless its code is one of `accepted`.
    const FtpReply& Expect(std::initializer_list<int> accepted, Deadline deadline);
    const FtpReply& Command(const std::string& line, std::initializer_list<int> accepted);
    void Login();
    // Runs an exchange; a failure of the network (not a refused reply) closes the connection,
    // since the control channel's replies could no longer be matched to their commands.
    template <typename F> void Guarded(F&& exchange);
    // Asks for a passive data port (EPSV or PASV).
    int EnterPassive(Deadline deadline);
    TcpSocket OpenPassiveData(int port, Deadline deadline);
    // Listens for the server's data connection and names the port to it (EPRT or PORT).
    TcpListener OfferActiveData(Deadline deadline);
    void SendFile(TcpSocket& data, std::FILE* file, Deadline deadline);

    QString host_;
    int port_ = 21;
    QString user_;
    QString password_;
    bool passive_ = false;
    SocksInfo socks_;
    FtpTimeouts timeouts_;
    std::optional<Deadline> callDeadline_;

    TcpSocket control_;
    LineReader reader_;
    FtpReply lastReply_;
    AbortSignal abort_;
};

} // namespace tarvo
