#include "capture/FrameDecoder.h"
#include "imaging/JpegErrors.h"

#include <algorithm>
#include <vector>

#include <jerror.h>
#include <libyuv/convert_argb.h>
#include <libyuv/scale_argb.h>

namespace tarvo {

// libyuv's ARGB is QImage::Format_RGB32 in memory (B, G, R, A bytes) only on little-endian machines.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the YUV conversions write little-endian 32-bit pixels");

namespace {

std::size_t Stride(std::size_t bytesPerRow) { return (bytesPerRow + 3) & ~std::size_t(3); }

bool PrepareImage(QImage& out, int w, int h)
{
    if (out.width() != w || out.height() != h || out.format() != QImage::Format_RGB32)
        out = QImage(w, h, QImage::Format_RGB32);
    return !out.isNull();
}

bool DrawRgb(const FrameFormat& f, const std::uint8_t* data, QImage& out)
{
    const int w = f.width(), h = f.height();
    const int bytesPerPixel = f.header.bitCount / 8;
    const std::size_t stride = Stride(std::size_t(w) * bytesPerPixel);
    const bool bottomUp = f.header.height > 0;
    if (bytesPerPixel == 3) // a negative height makes libyuv read the rows from the last up
        return libyuv::RGB24ToARGB(data, int(stride), out.bits(), int(out.bytesPerLine()), w, bottomUp ? -h : h) == 0;
    // 32-bit DIBs leave their fourth byte undefined; the picture's must be opaque.
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = data + stride * std::size_t(bottomUp ? h - 1 - y : y);
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x, src += 4)
            dst[x] = qRgb(src[2], src[1], src[0]);
    }
    return true;
}

// Both YUV layouts are BT.601 limited range (16..235), which is libyuv's I601 matrix.
bool DrawYuy2(const FrameFormat& f, const std::uint8_t* data, QImage& out)
{
    const int w = f.width(), h = f.height();
    return libyuv::YUY2ToARGB(data, int(Stride(std::size_t(w) * 2)), out.bits(), int(out.bytesPerLine()), w, h) == 0;
}

bool DrawI420(const FrameFormat& f, const std::uint8_t* data, QImage& out)
{
    const int w = f.width(), h = f.height();
    const std::size_t yStride = Stride(std::size_t(w));
    const std::size_t cStride = Stride(std::size_t(w + 1) / 2);
    // The luma plane has an even number of rows, as GStreamer lays I420 out.
    const std::uint8_t* uPlane = data + yStride * std::size_t((h + 1) & ~1);
    const std::uint8_t* vPlane = uPlane + cStride * std::size_t((h + 1) / 2);
    return libyuv::I420ToARGB(data, int(yStride), uPlane, int(cStride), vPlane, int(cStride), out.bits(),
                              int(out.bytesPerLine()), w, h) == 0;
}

// Warnings about data outside the picture (stray bytes between markers, odd application
// markers): the picture itself is complete. Every other warning means picture data was lost
// (a truncated frame is padded with grey, a corrupt one resynchronised with missing blocks).
bool HarmlessWarning(int code)
{
    switch (code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
    case JWRN_BOGUS_ICC:
        return true;
    default:
        return false;
    }
}

} // namespace

// The JPEG decompressor lives as long as the decoder, so a stream of MJPEG frames reuses it.
struct FrameDecoder::Jpeg {
    jpeg_decompress_struct info{};
    JpegErrorJump error{};
    int damage = 0; // warnings of the current frame that mean a picture with holes
    std::vector<JSAMPROW> rows;

    Jpeg()
    {
        info.err = JpegErrorsThatJump(error);
        info.client_data = this;
        error.pub.emit_message = [](j_common_ptr c, int level) {
            if (level < 0 && !HarmlessWarning(c->err->msg_code))
                ++static_cast<Jpeg*>(c->client_data)->damage;
        };
        jpeg_create_decompress(&info);
    }
    ~Jpeg() { jpeg_destroy_decompress(&info); }

    // Decodes a w x h picture straight into out's pixels: exactly when denominator is 0, else for a
    // view at 1/denominator of its size (the DCT scaling of the decoder, which skips most of the work).
    // Only plain C data lives between setjmp and longjmp here, so the jump skips no destructor.
    bool Decode(const std::uint8_t* data, std::size_t size, int w, int h, int denominator, QImage& out)
    {
        damage = 0;
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
        // Pictures that are compared and saved are decoded exactly; a view's picture takes the
        // faster transform and chroma upsampling, which a viewer cannot tell apart.
        const bool forView = denominator > 0;
        info.dct_method = forView ? JDCT_IFAST : JDCT_ISLOW;
        info.do_fancy_upsampling = forView ? FALSE : TRUE;
        info.scale_num = 1;
        info.scale_denom = unsigned(std::max(denominator, 1));
        jpeg_calc_output_dimensions(&info);
        if (!PrepareImage(out, int(info.output_width), int(info.output_height))) {
            jpeg_abort_decompress(&info);
            return false;
        }
        std::uint8_t* bits = out.bits();
        const std::size_t stride = std::size_t(out.bytesPerLine());
        rows.resize(info.output_height);
        for (std::size_t y = 0; y < rows.size(); ++y)
            rows[y] = bits + y * stride;
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height)
            jpeg_read_scanlines(&info, rows.data() + info.output_scanline, info.output_height - info.output_scanline);
        jpeg_finish_decompress(&info);
        return damage == 0;
    }
};

FrameDecoder::FrameDecoder() : jpeg_(std::make_unique<Jpeg>()) {}
FrameDecoder::~FrameDecoder() = default;

std::size_t FrameDecoder::ExpectedSize(const FrameFormat& format)
{
    const std::size_t w = std::size_t(format.width());
    const std::size_t h = std::size_t(format.height());
    switch (format.header.compression) {
    case BI_RGB:
        if (format.header.bitCount != 24 && format.header.bitCount != 32)
            return 0;
        return Stride(w * (format.header.bitCount / 8)) * h;
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
    const std::uint32_t compression = format.header.compression;
    if (compression == FOURCC_MJPG)
        return size != 0 && jpeg_->Decode(data, size, w, h, 0, out);
    const std::size_t expected = ExpectedSize(format);
    if (expected == 0 || size < expected || !PrepareImage(out, w, h))
        return false;
    switch (compression) {
    case BI_RGB: return DrawRgb(format, data, out);
    case FOURCC_YUY2: return DrawYuy2(format, data, out);
    default: return DrawI420(format, data, out);
    }
}

int FrameDecoder::JpegScaleDenominator(QSize frame, QSize bound)
{
    int denominator = 1;
    // libjpeg rounds scaled sizes up, so a picture of ceil(size / d) still fills the bound.
    for (int d = 2; d <= 8; d *= 2)
        if ((frame.width() + d - 1) / d >= bound.width() && (frame.height() + d - 1) / d >= bound.height())
            denominator = d;
    return denominator;
}

bool FrameDecoder::DrawForView(const FrameFormat& format, const std::uint8_t* data, std::size_t size, QSize bound,
                               QImage& out)
{
    const QSize frame(format.width(), format.height());
    const bool smaller = bound.width() > 0 && bound.height() > 0 &&
                         (bound.width() < frame.width() || bound.height() < frame.height());
    if (!smaller)
        return Draw(format, data, size, out);
    if (format.header.compression == FOURCC_MJPG) {
        if (!data || size == 0 || frame.width() > MaxDimension || frame.height() > MaxDimension)
            return false;
        return jpeg_->Decode(data, size, frame.width(), frame.height(), JpegScaleDenominator(frame, bound), out);
    }
    // Raw frames are converted whole and scaled once, so the view draws them without scaling.
    if (!Draw(format, data, size, full_) || !PrepareImage(out, bound.width(), bound.height()))
        return false;
    return libyuv::ARGBScale(full_.constBits(), int(full_.bytesPerLine()), frame.width(), frame.height(), out.bits(),
                             int(out.bytesPerLine()), bound.width(), bound.height(), libyuv::kFilterBilinear) == 0;
}

} // namespace tarvo
