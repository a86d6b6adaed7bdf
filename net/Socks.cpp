#include "net/Socks.h"

#include <arpa/inet.h>
#include <sys/socket.h>

namespace tarvo {

const char* Socks4ReplyMessage(std::uint8_t code)
{
    switch (code) {
    case 90: return nullptr;
    case 91: return "Request rejected or failed.";
    case 92: return "Request rejected because SOCKS server cannot connect.";
    case 93: return "Request rejected because the client program and identd report different user-ids.";
    default: return "Unknown socks error.";
    }
}

const char* Socks5ReplyMessage(std::uint8_t code)
{
    static const char* const messages[] = {
        nullptr,
        "General SOCKS server failure.",
        "Connection not allowed by ruleset.",
        "Network unreachable.",
        "Host unreachable.",
        "Connection refused.",
        "TTL expired.",
        "Command not supported.",
        "Address type not supported.",
    };
    return code < std::size(messages) ? messages[code] : "Unknown socks error.";
}

int Socks5ReplyRemainder(std::uint8_t addressType, std::uint8_t fifthByte)
{
    switch (addressType) {
    case 1: return 5;              // 3 more address bytes + port
    case 3: return fifthByte + 2;  // the name + port
    case 4: return 17;             // 15 more address bytes + port
    default: return -1;
    }
}

namespace {

std::string Port16(int port)
{
    return {static_cast<char>((port >> 8) & 0xff), static_cast<char>(port & 0xff)};
}

// Length-prefixed field of the SOCKS 5 messages; the protocol's one length byte caps it at 255.
std::string Counted(const QString& text)
{
    std::string bytes = text.toStdString();
    if (bytes.size() > 255)
        bytes.resize(255);
    return static_cast<char>(bytes.size()) + bytes;
}

void Socks4Handshake(ByteChannel& channel, const SocksInfo& socks, const std::string& targetHost,
                     const std::string& targetAddress4, int targetPort)
{
    std::string request{4, 1};
    request += Port16(targetPort);
    in_addr addr{};
    if (socks.Version == svSocks4A) {
        request += std::string{0, 0, 0, 1};
    } else {
        if (::inet_pton(AF_INET, targetAddress4.c_str(), &addr) != 1)
            throw SocksError("Request rejected or failed.");
        request.append(reinterpret_cast<const char*>(&addr), 4);
    }
    std::string user = socks.UserID.toStdString();
    if (user.size() > 255)
        user.resize(255);
    request += user;
    request += '\0';
    if (socks.Version == svSocks4A) {
        request += targetHost;
        request += '\0';
    }
    channel.Send(request);

    char reply[8];
    channel.ReceiveExact(reply, sizeof reply);
    if (const char* message = Socks4ReplyMessage(static_cast<std::uint8_t>(reply[1])))
        throw SocksError(message);
}

// Reads n bytes of a proxy reply, turning a missing answer into the proxy's own message.
void ReceiveReply(ByteChannel& channel, char* buf, std::size_t n)
{
    try {
        channel.ReceiveExact(buf, n);
    } catch (const SocksError&) {
        throw;
    } catch (const NetworkError& e) {
        if (std::string_view(e.what()) == "Operation aborted.")
            throw;
        throw SocksError("Socks server did not respond.");
    }
}

void Socks5Handshake(ByteChannel& channel, const SocksInfo& socks, const std::string& targetHost, int targetPort)
{
    const char method = socks.Authentication == saUsernamePassword ? 2 : 0;
    channel.Send(std::string{5, 1, method});
    char chosen[2];
    ReceiveReply(channel, chosen, 2);
    if (chosen[1] != method)
        throw SocksError("Invalid socks authentication method.");

    if (method == 2) {
        channel.Send('\x01' + Counted(socks.UserID) + Counted(socks.Password));
        char status[2];
        ReceiveReply(channel, status, 2);
        if (status[1] != 0)
            throw SocksError("Authentication error to socks server.");
    }

    std::string request{5, 1, 0, 3};
    request += Counted(QString::fromStdString(targetHost));
    request += Port16(targetPort);
    channel.Send(request);
    char reply[5];
    ReceiveReply(channel, reply, 5);
    if (const char* message = Socks5ReplyMessage(static_cast<std::uint8_t>(reply[1])))
        throw SocksError(message);
    const int rest = Socks5ReplyRemainder(static_cast<std::uint8_t>(reply[3]), static_cast<std::uint8_t>(reply[4]));
    // A bound address of an unknown type has no known length, so the stream cannot be resynchronised.
    if (rest < 0)
        throw SocksError("Unknown socks error.");
    char discard[260];
    ReceiveReply(channel, discard, static_cast<std::size_t>(rest));
}

class SocketChannel final : public ByteChannel {
public:
    SocketChannel(TcpSocket& socket, Deadline deadline) : socket_(socket), deadline_(deadline) {}
    void Send(std::string_view bytes) override { socket_.SendAll(bytes, deadline_); }
    void ReceiveExact(char* buf, std::size_t len) override { socket_.ReceiveExact(buf, len, deadline_); }

private:
    TcpSocket& socket_;
    Deadline deadline_;
};

} // namespace

void SocksHandshake(ByteChannel& channel, const SocksInfo& socks, const std::string& targetHost,
                    const std::string& targetAddress4, int targetPort)
{
    switch (socks.Version) {
    case svNoSocks: return;
    case svSocks4:
    case svSocks4A: Socks4Handshake(channel, socks, targetHost, targetAddress4, targetPort); return;
    case svSocks5: Socks5Handshake(channel, socks, targetHost, targetPort); return;
    }
}

TcpSocket ConnectVia(const SocksInfo& socks, const std::string& host, int port, Deadline deadline,
                     const AbortSignal* abort)
{
    if (socks.Version == svNoSocks)
        return TcpSocket::Connect(host, port, deadline, abort);
    if (port < 1 || port > 65535)
        throw NetworkError("Invalid port " + std::to_string(port) + ".");
    // SOCKS 4 carries an IPv4 address that the program resolves itself.
    std::string address4;
    if (socks.Version == svSocks4)
        address4 = ResolveHost(host, AF_INET, deadline, abort).front().numeric;
    TcpSocket s = TcpSocket::Connect(socks.Host.toStdString(), socks.Port, deadline, abort);
    SocketChannel channel(s, deadline);
    SocksHandshake(channel, socks, host, address4, port);
    return s;
}

} // namespace tarvo
