#pragma once
// Turns the bytes of one captured frame into a picture. One decoder per thread; it keeps its
// working state between frames so that decoding a stream allocates nothing per frame.
//
// Layouts (rows padded to 4 bytes, as the back-end delivers them):
//  - BI_RGB, 24 or 32 bits: a DIB, bottom-up when height > 0, top-down when negative;
//  - YUY2: packed 4:2:2; I420/IYUV: three planes Y, U, V, the luma plane with an even number of
//    rows, the chroma planes of (width+1)/2 x (height+1)/2;
//  - MJPG: one JPEG picture, which must have the format's size. Warnings about bytes outside the
//    picture are accepted; a truncated or corrupt picture is refused.
#include "capture/CaptureTypes.h"

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarvo {

class FrameDecoder {
public:
    FrameDecoder();
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;

    // out becomes an RGB32 picture of the format's width x height (reusing its memory when it
    // already has that size). False, with out unspecified, on a short buffer, a damaged or
    // truncated JPEG, an unknown format or an implausible size.
    bool Draw(const FrameFormat& format, const std::uint8_t* data, std::size_t size, QImage& out);

    // A picture of the frame for a view of the given size: the frame scaled down at the cheapest
    // stage when the view is smaller (MJPEG: by the JPEG decoder itself, to the smallest power-of-two
    // fraction that still fills the view; other formats: converted, then scaled to the view's size),
    // else the same as Draw.
    bool DrawForView(const FrameFormat& format, const std::uint8_t* data, std::size_t size, QSize bound, QImage& out);

    // The JPEG decoder's scaling for a view: the largest of 1, 2, 4 and 8 that still fills bound.
    static int JpegScaleDenominator(QSize frame, QSize bound);

    // Bytes a frame of this format needs (0 for MJPEG, whose size varies, and unknown formats).
    static std::size_t ExpectedSize(const FrameFormat& format);

    // Largest width or height accepted.
    static constexpr int MaxDimension = 16384;

private:
    struct Jpeg;
    std::unique_ptr<Jpeg> jpeg_;
    QImage full_; // a raw frame at full size before it is scaled for a view
};

} // namespace tarvo
