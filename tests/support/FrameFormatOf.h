#pragma once
// A video format as the capture back-end reports it, with only the fields the decoders read set;
// shared by the tests and the benchmarks.
#include "capture/CaptureTypes.h"

namespace tarvo {

inline FrameFormat FrameFormatOf(std::uint32_t compression, int width, int height, int bitsPerPixel = 0)
{
    FrameFormat f;
    f.header.compression = compression;
    f.header.width = width;
    f.header.height = height;
    f.header.bitCount = std::uint16_t(bitsPerPixel);
    return f;
}

} // namespace tarvo
