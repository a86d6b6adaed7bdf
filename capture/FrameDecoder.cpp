#include "capture/FrameDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace {

std::size_t Stride(std::size_t bytesPerRow) { return (bytesPerRow + 3) & ~std::size_t(3); }

inline std::uint8_t Clip(int v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// BT.601 limited range, 8-bit fixed point.
inline QRgb YuvToRgb(int y, int u, int v)
{
    const int c = (y - 16) * 298 + 128;
    const int d = u - 128;
    const int e = v - 128;
    return qRgb(Clip((c + 409 * e) >> 8), Clip((c - 100 * d - 208 * e) >> 8), Clip((c + 516 * d) >> 8));
}

bool PrepareImage(QImage& out, int w, int h)
{
    if (out.width() != w || out.height() != h || out.format() != QImage::Format_RGB32)
        out = QImage(w, h, QImage::Format_RGB32);
    return !out.isNull();
}

bool DrawRgb(const FrameFormat& f, const std::uint8_t* data, QImage& out)
{
    const int w = f.width(), h = f.height();
    const int bytesPerPixel = f.bmiHeader.biBitCount / 8;
    const std::size_t stride = Stride(std::size_t(w) * bytesPerPixel);
    const bool bottomUp = f.bmiHeader.biHeight > 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = data + stride * std::size_t(bottomUp ? h - 1 - y : y);
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x, src += bytesPerPixel)
            dst[x] = qRgb(src[2], src[1], src[0]);
    }
    return true;
}

bool DrawYuy2(const FrameFormat& f, const std::uint8_t* data, QImage& out)
{
    const int w = f.width(), h = f.height();
    const std::size_t stride = Stride(std::size_t(w) * 2);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = data + stride * std::size_t(y);
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        int x = 0;
        for (; x + 1 < w; x += 2, src += 4) {
            dst[x] = YuvToRgb(src[0], src[1], src[3]);
            dst[x + 1] = YuvToRgb(src[2], src[1], src[3]);
        }
        if (x < w)
            dst[x] = YuvToRgb(src[0], src[1], src[3]);
    }
    return true;
}

bool DrawI420(const FrameFormat& f, const std::uint8_t* data, QImage& out)
{
    const int w = f.width(), h = f.height();
    const std::size_t yStride = Stride(std::size_t(w));
    const std::size_t cStride = Stride(std::size_t(w + 1) / 2);
    // The luma plane has an even number of rows, as GStreamer lays I420 out.
    const std::uint8_t* uPlane = data + yStride * std::size_t((h + 1) & ~1);
    const std::uint8_t* vPlane = uPlane + cStride * std::size_t((h + 1) / 2);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* yRow = data + yStride * std::size_t(y);
        const std::uint8_t* uRow = uPlane + cStride * std::size_t(y / 2);
        const std::uint8_t* vRow = vPlane + cStride * std::size_t(y / 2);
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x)
            dst[x] = YuvToRgb(yRow[x], uRow[x / 2], vRow[x / 2]);
    }
    return true;
}

} // namespace

// The JPEG decompressor lives as long as the decoder, so a stream of MJPEG frames reuses it.
struct FrameDecoder::Jpeg {
    struct ErrorManager {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
        int warnings = 0;
    };
    jpeg_decompress_struct info{};
    ErrorManager error{};

    Jpeg()
    {
        info.err = jpeg_std_error(&error.pub);
        error.pub.error_exit = [](j_common_ptr c) {
            std::longjmp(reinterpret_cast<ErrorManager*>(c->err)->jump, 1);
        };
        // Warnings mean damaged data (a truncated frame is padded with grey): count them, so
        // such a frame is reported as a failure instead of a half-grey picture.
        error.pub.emit_message = [](j_common_ptr c, int level) {
            if (level < 0)
                ++reinterpret_cast<ErrorManager*>(c->err)->warnings;
        };
        error.pub.output_message = [](j_common_ptr) {};
        jpeg_create_decompress(&info);
    }
    ~Jpeg() { jpeg_destroy_decompress(&info); }

    // Only plain C data lives between setjmp and longjmp here, so the jump skips no destructor.
    bool Decode(const std::uint8_t* data, std::size_t size, int w, int h, QImage& out)
    {
        error.warnings = 0;
        if (setjmp(error.jump)) {
            jpeg_abort_decompress(&info);
            return false;
        }
        jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
        if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || int(info.image_width) != w ||
            int(info.image_height) != h) {
            jpeg_abort_decompress(&info);
            return false;
        }
        info.out_color_space = JCS_EXT_BGRX; // QImage::Format_RGB32's byte order
        info.dct_method = JDCT_ISLOW;
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = out.scanLine(int(info.output_scanline));
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        return error.warnings == 0;
    }
};

FrameDecoder::FrameDecoder() : jpeg_(std::make_unique<Jpeg>()) {}
FrameDecoder::~FrameDecoder() = default;

std::size_t FrameDecoder::ExpectedSize(const FrameFormat& format)
{
    const std::size_t w = std::size_t(format.width());
    const std::size_t h = std::size_t(format.height());
    switch (format.bmiHeader.biCompression) {
    case BI_RGB:
        if (format.bmiHeader.biBitCount != 24 && format.bmiHeader.biBitCount != 32)
            return 0;
        return Stride(w * (format.bmiHeader.biBitCount / 8)) * h;
    case FOURCC_YUY2: return Stride(w * 2) * h;
    case FOURCC_I420:
    case FOURCC_IYUV: return Stride(w) * ((h + 1) & ~std::size_t(1)) + 2 * Stride((w + 1) / 2) * ((h + 1) / 2);
    default: return 0;
    }
}

bool FrameDecoder::Draw(const FrameFormat& format, const std::uint8_t* data, std::size_t size, QImage& out)
{
    const int w = format.width(), h = format.height();
    if (!data || w <= 0 || h <= 0 || w > MaxDimension || h > MaxDimension)
        return false;
    const std::uint32_t compression = format.bmiHeader.biCompression;
    if (compression == FOURCC_MJPG) {
        if (size == 0 || !PrepareImage(out, w, h))
            return false;
        return jpeg_->Decode(data, size, w, h, out);
    }
    const std::size_t expected = ExpectedSize(format);
    if (expected == 0 || size < expected || !PrepareImage(out, w, h))
        return false;
    switch (compression) {
    case BI_RGB: return DrawRgb(format, data, out);
    case FOURCC_YUY2: return DrawYuy2(format, data, out);
    default: return DrawI420(format, data, out);
    }
}
