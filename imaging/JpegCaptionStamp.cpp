#include "imaging/JpegCaptionStamp.h"
#include "imaging/Caption.h"
#include "imaging/JpegErrors.h"

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

namespace tarvo {

namespace {
// Larger than any camera's picture; a damaged header may claim far more.
constexpr JDIMENSION MaxSide = 16384;

struct Decompressor {
    jpeg_decompress_struct cinfo{};
    bool created = false;
    Decompressor() = default;
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    ~Decompressor()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
};

// Compresses into a buffer libjpeg allocates with malloc.
struct Compressor {
    jpeg_compress_struct cinfo{};
    bool created = false;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    Compressor() = default;
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
    ~Compressor()
    {
        if (created)
            jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
};

// One stamp. The picture's coefficients stay in `picture`; the band is the rows of MCUs under
// the caption, carried as a small JPEG picture of its own (the picture's blocks, the picture's
// tables) so that libjpeg turns it into pixels and the drawn pixels back into blocks.
struct Stamp {
    JpegErrorJump err{};
    Decompressor picture;
    Compressor band;
    Decompressor bandPixels;
    Compressor drawn;
    Decompressor drawnBlocks;
    Compressor out;
    jvirt_barray_ptr* pictureCoefs = nullptr;
    jvirt_barray_ptr bandCoefs[MAX_COMPONENTS]{};
    JDIMENSION firstRow = 0; // the band's first MCU row in the picture
    JDIMENSION rows = 0;     // ... and its MCU rows
    JDIMENSION bandHeight = 0;
    Stamp() = default;
    Stamp(const Stamp&) = delete;
    Stamp& operator=(const Stamp&) = delete;
};

JDIMENSION RoundUp(JDIMENSION value, int multiple) { return (value + JDIMENSION(multiple) - 1) / JDIMENSION(multiple) * JDIMENSION(multiple); }

JBLOCKROW BlockRow(j_decompress_ptr cinfo, jvirt_barray_ptr array, JDIMENSION row, bool writable)
{
    return (*cinfo->mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(cinfo), array, row, 1, writable)[0];
}

// Each function below is one that libjpeg may jump out of: none holds an object with a destructor.

bool ReadPicture(Stamp& s, const QByteArray& jpeg)
{
    jpeg_decompress_struct& c = s.picture.cinfo;
    c.err = JpegErrorsThatJump(s.err);
    if (setjmp(s.err.jump))
        return false;
    jpeg_create_decompress(&c);
    s.picture.created = true;
    jpeg_mem_src(&c, reinterpret_cast<const unsigned char*>(jpeg.constData()), static_cast<unsigned long>(jpeg.size()));
    if (jpeg_read_header(&c, TRUE) != JPEG_HEADER_OK)
        return false;
    const bool colour = c.num_components == 3 && c.jpeg_color_space == JCS_YCbCr;
    const bool grey = c.num_components == 1 && c.jpeg_color_space == JCS_GRAYSCALE;
    if (!(colour || grey) || c.image_width > MaxSide || c.image_height > MaxSide || c.data_precision != 8)
        return false;
    s.pictureCoefs = jpeg_read_coefficients(&c);
    // A warning means damaged data that libjpeg made up for: such a picture is left as it came.
    return s.pictureCoefs != nullptr && s.err.pub.num_warnings == 0;
}

bool WriteBand(Stamp& s)
{
    jpeg_decompress_struct& p = s.picture.cinfo;
    jpeg_compress_struct& c = s.band.cinfo;
    c.err = &s.err.pub;
    if (setjmp(s.err.jump))
        return false;
    jpeg_create_compress(&c);
    s.band.created = true;
    jpeg_mem_dest(&c, &s.band.buffer, &s.band.size);
    jpeg_copy_critical_parameters(&p, &c);
    c.image_height = s.bandHeight;
    for (int ci = 0; ci < p.num_components; ++ci) {
        const jpeg_component_info& comp = p.comp_info[ci];
        s.bandCoefs[ci] = (*c.mem->request_virt_barray)(reinterpret_cast<j_common_ptr>(&c), JPOOL_IMAGE, FALSE,
                                                         RoundUp(comp.width_in_blocks, comp.h_samp_factor),
                                                         s.rows * JDIMENSION(comp.v_samp_factor), JDIMENSION(comp.v_samp_factor));
    }
    jpeg_write_coefficients(&c, s.bandCoefs);
    for (int ci = 0; ci < p.num_components; ++ci) {
        const jpeg_component_info& comp = p.comp_info[ci];
        const JDIMENSION v = JDIMENSION(comp.v_samp_factor);
        const std::size_t bytes = RoundUp(comp.width_in_blocks, comp.h_samp_factor) * sizeof(JBLOCK);
        for (JDIMENSION r = 0; r < s.rows * v; ++r) {
            JBLOCKROW to = (*c.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&c), s.bandCoefs[ci], r, 1, TRUE)[0];
            std::memcpy(to, BlockRow(&p, s.pictureCoefs[ci], s.firstRow * v + r, false), bytes);
        }
    }
    jpeg_finish_compress(&c);
    return true;
}

bool DecodeBand(Stamp& s, QImage& pixels)
{
    jpeg_decompress_struct& c = s.bandPixels.cinfo;
    c.err = &s.err.pub;
    if (setjmp(s.err.jump))
        return false;
    jpeg_create_decompress(&c);
    s.bandPixels.created = true;
    jpeg_mem_src(&c, s.band.buffer, s.band.size);
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_EXT_BGRX; // QImage::Format_RGB32 on little-endian machines
    c.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&c);
    if (int(c.output_width) != pixels.width() || int(c.output_height) != pixels.height())
        return false;
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = pixels.scanLine(int(c.output_scanline));
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    return true;
}

// The drawn band encoded with the picture's tables; its blocks of the changed MCUs replace the
// picture's.
bool TakeDrawnBlocks(Stamp& s, const QImage& pixels, const std::vector<char>& changed, JDIMENSION columns)
{
    jpeg_decompress_struct& p = s.picture.cinfo;
    jpeg_compress_struct& c = s.drawn.cinfo;
    jpeg_decompress_struct& d = s.drawnBlocks.cinfo;
    c.err = &s.err.pub;
    d.err = &s.err.pub;
    if (setjmp(s.err.jump))
        return false;
    jpeg_create_compress(&c);
    s.drawn.created = true;
    jpeg_mem_dest(&c, &s.drawn.buffer, &s.drawn.size);
    jpeg_copy_critical_parameters(&p, &c);
    c.image_height = s.bandHeight;
    c.in_color_space = JCS_EXT_BGRX;
    c.input_components = 4;
    c.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.constScanLine(int(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);

    jpeg_create_decompress(&d);
    s.drawnBlocks.created = true;
    jpeg_mem_src(&d, s.drawn.buffer, s.drawn.size);
    jpeg_read_header(&d, TRUE);
    jvirt_barray_ptr* drawnCoefs = jpeg_read_coefficients(&d);
    for (JDIMENSION row = 0; row < s.rows; ++row) {
        for (JDIMENSION column = 0; column < columns; ++column) {
            if (!changed[row * columns + column])
                continue;
            for (int ci = 0; ci < p.num_components; ++ci) {
                const jpeg_component_info& comp = p.comp_info[ci];
                const auto h = JDIMENSION(comp.h_samp_factor);
                const auto v = JDIMENSION(comp.v_samp_factor);
                const JDIMENSION width = RoundUp(comp.width_in_blocks, comp.h_samp_factor);
                for (JDIMENSION by = 0; by < v; ++by) {
                    JBLOCKROW to = BlockRow(&p, s.pictureCoefs[ci], (s.firstRow + row) * v + by, true);
                    JBLOCKROW from = BlockRow(&d, drawnCoefs[ci], row * v + by, false);
                    for (JDIMENSION bx = column * h; bx < std::min(width, (column + 1) * h); ++bx)
                        std::memcpy(to[bx], from[bx], sizeof(JBLOCK));
                }
            }
        }
    }
    return true;
}

bool WritePicture(Stamp& s)
{
    jpeg_compress_struct& c = s.out.cinfo;
    c.err = &s.err.pub;
    if (setjmp(s.err.jump))
        return false;
    jpeg_create_compress(&c);
    s.out.created = true;
    jpeg_mem_dest(&c, &s.out.buffer, &s.out.size);
    jpeg_copy_critical_parameters(&s.picture.cinfo, &c);
    jpeg_write_coefficients(&c, s.pictureCoefs);
    jpeg_finish_compress(&c);
    return true;
}
} // namespace

QByteArray StampJpegCaption(const QByteArray& jpeg, const OptionsValues& options, const QDateTime& moment,
                            const QLocale& locale)
{
    const int captionHeight = CaptionHeight(options);
    if (captionHeight <= 0)
        return jpeg;
    try {
        Stamp s;
        if (!ReadPicture(s, jpeg))
            return {};
        const jpeg_decompress_struct& p = s.picture.cinfo;
        const auto width = int(p.image_width);
        const auto height = int(p.image_height);
        const int mcuWidth = p.max_h_samp_factor * DCTSIZE;
        const int mcuHeight = p.max_v_samp_factor * DCTSIZE;
        // The MCU rows the caption covers, at the top or the bottom edge.
        const int from = options.CapTop ? 0 : std::max(0, height - captionHeight);
        const int to = options.CapTop ? std::min(height, captionHeight) : height;
        s.firstRow = JDIMENSION(from / mcuHeight);
        s.rows = JDIMENSION((to + mcuHeight - 1) / mcuHeight) - s.firstRow;
        s.bandHeight = JDIMENSION(std::min(height, int(s.firstRow + s.rows) * mcuHeight)) - s.firstRow * JDIMENSION(mcuHeight);
        QImage pixels(width, int(s.bandHeight), QImage::Format_RGB32);
        if (pixels.isNull() || !WriteBand(s) || !DecodeBand(s, pixels))
            return {};
        const QImage before = pixels.copy();
        DrawCaptionAt(pixels, options, moment, locale);
        if (pixels.format() != QImage::Format_RGB32)
            return {};

        // The MCUs the caption changed; every other block keeps its coefficients.
        const auto columns = JDIMENSION((width + mcuWidth - 1) / mcuWidth);
        std::vector<char> changed(std::size_t(s.rows) * columns, 0);
        bool any = false;
        for (int y = 0; y < int(s.bandHeight); ++y) {
            const uchar* a = before.constScanLine(y);
            const uchar* b = pixels.constScanLine(y);
            if (std::memcmp(a, b, std::size_t(width) * 4) == 0)
                continue;
            for (JDIMENSION column = 0; column < columns; ++column) {
                const int x = int(column) * mcuWidth;
                const std::size_t bytes = std::size_t(std::min(mcuWidth, width - x)) * 4;
                if (std::memcmp(a + x * 4, b + x * 4, bytes) != 0) {
                    changed[std::size_t(y / mcuHeight) * columns + column] = 1;
                    any = true;
                }
            }
        }
        if (!any)
            return jpeg;
        if (!TakeDrawnBlocks(s, pixels, changed, columns) || !WritePicture(s))
            return {};
        return QByteArray(reinterpret_cast<const char*>(s.out.buffer), qsizetype(s.out.size));
    } catch (const std::exception&) {
        return {}; // no memory for the band: the picture stays as it came
    }
}

} // namespace tarvo
