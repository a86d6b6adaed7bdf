// Any proxy answer to the SOCKS 4, 4A and 5 handshakes: either connected or a SOCKS/network error,
// never more bytes read than the proxy sent.
#include "net/Socks.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace tarvo {

namespace {

class FuzzChannel final : public ByteChannel {
public:
    explicit FuzzChannel(std::string replies) : replies_(std::move(replies)) {}
    void Send(std::string_view bytes) override { sent_ += bytes.size(); }
    void ReceiveExact(char* buf, std::size_t len) override
    {
        if (replies_.size() < len)
            throw NetworkError("Connection closed by peer.");
        replies_.copy(buf, len);
        replies_.erase(0, len);
    }

private:
    std::string replies_;
    std::size_t sent_ = 0;
};

} // namespace

} // namespace tarvo

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    SocksInfo socks;
    socks.Version = static_cast<SocksVersion>(1 + data[0] % 3);
    socks.Authentication = data[0] & 0x10 ? saUsernamePassword : saNoAuthentication;
    socks.UserID = QStringLiteral("cam");
    socks.Password = QStringLiteral("pw");
    FuzzChannel channel(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    try {
        SocksHandshake(channel, socks, "ftp.example", "192.0.2.1", 21);
    } catch (const NetworkError&) {
    }
    return 0;
}
