// Any 227 reply text: either no address, or a dotted IPv4 address and a port 1..65535; any 229
// reply text: either no port or a port 1..65535.
#include "net/FtpReply.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    if (const auto target = ParsePassiveReply(line)) {
        in_addr addr{};
        if (::inet_pton(AF_INET, target->address.c_str(), &addr) != 1)
            std::abort();
        if (target->port < 1 || target->port > 65535)
            std::abort();
    }
    if (const auto port = ParseExtendedPassiveReply(line))
        if (*port < 1 || *port > 65535)
            std::abort();
    return 0;
}
