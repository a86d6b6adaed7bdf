#include "imaging/JpegWriter.h"
#include "imaging/JpegErrors.h"
#include "common/SafeFileWrite.h"

#include <algorithm>

namespace tarvo {

namespace {
// Owns the compressor for one call.
struct Compressor : JpegCompressorOwner {
    JpegErrorJump err{};
};

// Compresses straight into a QByteArray that doubles when full.
struct ByteArrayDestination {
    jpeg_destination_mgr pub;
    QByteArray* out;
};

void InitDestination(j_compress_ptr) {}

boolean EmptyDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<ByteArrayDestination*>(cinfo->dest);
    const qsizetype used = dest->out->size();
    dest->out->resize(used * 2);
    dest->pub.next_output_byte = reinterpret_cast<JOCTET*>(dest->out->data()) + used;
    dest->pub.free_in_buffer = size_t(used);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<ByteArrayDestination*>(cinfo->dest);
    dest->out->resize(dest->out->size() - qsizetype(dest->pub.free_in_buffer));
}

// The only function that libjpeg may jump out of; it holds no object with a destructor.
bool RunCompression(Compressor& c, ByteArrayDestination& dest, const QImage& rgb32, int quality)
{
    c.cinfo.err = JpegErrorsThatJump(c.err);
    if (setjmp(c.err.jump))
        return false;
    jpeg_create_compress(&c.cinfo);
    c.created = true;
    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyDestination;
    dest.pub.term_destination = TermDestination;
    dest.pub.next_output_byte = reinterpret_cast<JOCTET*>(dest.out->data());
    dest.pub.free_in_buffer = size_t(dest.out->size());
    c.cinfo.dest = &dest.pub;

    c.cinfo.image_width = JDIMENSION(rgb32.width());
    c.cinfo.image_height = JDIMENSION(rgb32.height());
    // QImage::Format_RGB32 is B, G, R, X in memory on little-endian machines: libjpeg-turbo reads
    // it directly, without a conversion pass.
    c.cinfo.input_components = 4;
    c.cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&c.cinfo);
    jpeg_set_quality(&c.cinfo, quality, TRUE); // TRUE: quantisation tables stay baseline
    jpeg_start_compress(&c.cinfo, TRUE);
    while (c.cinfo.next_scanline < c.cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb32.constScanLine(int(c.cinfo.next_scanline)));
        jpeg_write_scanlines(&c.cinfo, &row, 1);
    }
    jpeg_finish_compress(&c.cinfo);
    return true;
}
} // namespace

void JpegWriter::SetQuality(int quality)
{
    quality_.store(std::clamp(quality, 1, 100), std::memory_order_relaxed);
}

QByteArray JpegWriter::Compress(const QImage& image, QString* error) const
{
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("Empty picture");
        return {};
    }
    const QImage rgb32 = image.format() == QImage::Format_RGB32 ? image
                                                                 : image.convertToFormat(QImage::Format_RGB32);
    QByteArray out;
    out.resize(qsizetype(rgb32.width()) * rgb32.height() / 4 + 4096); // most q90 pictures fit
    ByteArrayDestination dest{{}, &out};
    Compressor c;
    if (!RunCompression(c, dest, rgb32, Quality())) {
        if (error)
            *error = QString::fromLocal8Bit(c.err.message);
        return {};
    }
    return out;
}

bool JpegWriter::WriteFile(const QImage& image, const QString& fileName, QString* error) const
{
    const QByteArray bytes = Compress(image, error);
    return !bytes.isEmpty() && WriteFileReplacing(fileName, bytes, error);
}

} // namespace tarvo
