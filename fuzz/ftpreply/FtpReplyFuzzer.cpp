// Server bytes through the line splitter and the reply assembler, as the FTP client reads them.
#include "net/FtpReply.h"
#include "net/LineReader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte sets how the bytes arrive: in chunks of 1..16 bytes.
    const std::size_t chunk = data[0] % 16 + 1;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    LineBuffer lines(256);
    FtpReplyAssembler assembler(50);
    try {
        while (!bytes.empty()) {
            const std::size_t n = std::min(chunk, bytes.size());
            lines.Append(bytes.substr(0, n));
            bytes.remove_prefix(n);
            while (auto line = lines.NextLine()) {
                if (line->size() > 257 || line->find('\n') != std::string::npos)
                    std::abort();
                if (assembler.AddLine(*line)) {
                    const FtpReply reply = assembler.Take();
                    if (reply.lines.empty() || reply.lines.size() > 50 || reply.code < 0 || reply.code > 999)
                        std::abort();
                    if (reply.code != 0 && reply.LastLine().size() < 3)
                        std::abort();
                }
            }
        }
    } catch (const NetworkError&) {
    }
    return 0;
}
