#pragma once
// SOCKS 4, 4A and 5 for the FTP connections: the settings object every connection carries and the
// handshakes that turn a TCP connection to the proxy into a connection to the target.
#include "net/TcpSocket.h"

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo {

enum SocksVersion { svNoSocks, svSocks4, svSocks4A, svSocks5 };
enum SocksAuthentication { saNoAuthentication, saUsernamePassword };

struct SocksInfo {
    SocksVersion Version = svNoSocks;
    SocksAuthentication Authentication = saNoAuthentication;
    QString Host;
    int Port = 0;
    QString UserID;
    QString Password;
};

// The failure of a handshake; what() is one of the fixed SOCKS messages.
class SocksError : public NetworkError {
public:
    using NetworkError::NetworkError;
};

// The byte stream a handshake talks over; a TcpSocket in the program, scripted bytes in the fuzzer.
class ByteChannel {
public:
    virtual ~ByteChannel() = default;
    virtual void Send(std::string_view bytes) = 0;
    // Throws NetworkError when fewer than len bytes arrive.
    virtual void ReceiveExact(char* buf, std::size_t len) = 0;
};

// Asks the proxy at the other end of channel to connect to targetHost:targetPort. For SOCKS 4
// targetAddress4 must be the target's IPv4 address in dotted form; the other versions ignore it.
void SocksHandshake(ByteChannel& channel, const SocksInfo& socks, const std::string& targetHost,
                    const std::string& targetAddress4, int targetPort);

// Messages of the reply codes.
const char* Socks4ReplyMessage(std::uint8_t code);      // nullptr for 90 (granted)
const char* Socks5ReplyMessage(std::uint8_t code);      // nullptr for 0 (succeeded)
// Bytes of a SOCKS 5 connect reply still to read after its first five; -1 for an unknown
// address type.
int Socks5ReplyRemainder(std::uint8_t addressType, std::uint8_t fifthByte);

// Connects to host:port, through the proxy when socks.Version is not svNoSocks.
TcpSocket ConnectVia(const SocksInfo& socks, const std::string& host, int port, Deadline deadline,
                     const AbortSignal* abort = nullptr);

} // namespace tarvo
