// The first 12 bytes choose the format (kind, width, height, row order) and whether the frame is
// drawn for a view (and its size); the rest is the frame.
#include "capture/FrameDecoder.h"

#include <cstring>

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 12)
        return 0;
    static const std::uint32_t kinds[] = {BI_RGB, BI_RGB, FOURCC_YUY2, FOURCC_I420, FOURCC_MJPG, 0x12345678};
    FrameFormat format;
    format.header.compression = kinds[data[0] % 6];
    format.header.bitCount = data[0] % 6 == 0 ? 24 : 32;
    std::uint16_t w, h;
    std::memcpy(&w, data + 2, 2);
    std::memcpy(&h, data + 4, 2);
    // Keep pictures small enough that the fuzzer spends its time on parsing, not on allocation.
    format.header.width = int(w % 1024) - (data[1] == 0xFF ? 1024 : 0);
    format.header.height = (data[1] & 1) ? -int(h % 1024) : int(h % 1024);
    static FrameDecoder decoder;
    QImage out;
    if (data[1] & 2)
        decoder.DrawForView(format, data + 12, size - 12, QSize(data[6] + 1, data[7] + 1), out);
    else
        decoder.Draw(format, data + 12, size - 12, out);
    return 0;
}
