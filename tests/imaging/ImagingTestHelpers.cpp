#include "ImagingTestHelpers.h"
#include "imaging/JpegErrors.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>

namespace tarvo {

namespace {
struct Decompressor {
    jpeg_decompress_struct cinfo{};
    JpegErrorJump err{};
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
};

// Reads the picture's facts, and its pixels or, with blocks given, its coefficients.
bool Read(Decompressor& d, const QByteArray& bytes, JpegFacts& facts, JpegBlocks* blocks = nullptr)
{
    d.cinfo.err = JpegErrorsThatJump(d.err);
    if (setjmp(d.err.jump))
        return false;
    jpeg_create_decompress(&d.cinfo);
    jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    jpeg_read_header(&d.cinfo, TRUE);
    facts.baseline = !d.cinfo.progressive_mode && !d.cinfo.arith_code && d.cinfo.data_precision == 8;
    facts.width = int(d.cinfo.image_width);
    facts.height = int(d.cinfo.image_height);
    facts.lumaDcStep = d.cinfo.quant_tbl_ptrs[0] ? d.cinfo.quant_tbl_ptrs[0]->quantval[0] : 0;
    if (blocks) {
        jvirt_barray_ptr* arrays = jpeg_read_coefficients(&d.cinfo);
        blocks->warnings = int(d.err.pub.num_warnings);
        blocks->mcuWidth = d.cinfo.max_h_samp_factor * DCTSIZE;
        blocks->mcuHeight = d.cinfo.max_v_samp_factor * DCTSIZE;
        for (int ci = 0; ci < d.cinfo.num_components; ++ci) {
            const jpeg_component_info& comp = d.cinfo.comp_info[ci];
            JpegBlocks::Component& c = blocks->components.emplace_back();
            c.h = comp.h_samp_factor;
            c.v = comp.v_samp_factor;
            c.columns = int(d.cinfo.MCUs_per_row) * c.h;
            c.rows = int(d.cinfo.total_iMCU_rows) * c.v;
            for (int r = 0; r < c.rows; ++r) {
                JBLOCKROW row = (*d.cinfo.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&d.cinfo), arrays[ci],
                                                                   JDIMENSION(r), 1, FALSE)[0];
                for (int b = 0; b < c.columns; ++b)
                    c.coefficients.insert(c.coefficients.end(), row[b], row[b] + DCTSIZE2);
            }
        }
        return true;
    }
    jpeg_start_decompress(&d.cinfo);
    // libjpeg's own pool, freed with the decompressor: nothing here may need a destructor.
    JSAMPARRAY row = (*d.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.cinfo), JPOOL_IMAGE,
                                                  d.cinfo.output_width * JDIMENSION(d.cinfo.output_components), 1);
    while (d.cinfo.output_scanline < d.cinfo.output_height)
        jpeg_read_scanlines(&d.cinfo, row, 1);
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

} // namespace

namespace {
// libjpeg's own transcoding, as jpegtran does it: the same blocks, with restart markers (after
// every `mcus` MCUs, or every MCU row) or with tables of their own.
enum class Recoding { RestartMarkers, OptimisedTables };

bool Transcode(Decompressor& d, JpegCompressorOwner& c, const QByteArray& bytes, Recoding recoding, unsigned mcus,
               unsigned char** out, unsigned long* size)
{
    d.cinfo.err = JpegErrorsThatJump(d.err);
    c.cinfo.err = &d.err.pub;
    if (setjmp(d.err.jump))
        return false;
    jpeg_create_decompress(&d.cinfo);
    jpeg_create_compress(&c.cinfo);
    c.created = true;
    jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    jpeg_read_header(&d.cinfo, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&d.cinfo);
    jpeg_mem_dest(&c.cinfo, out, size);
    jpeg_copy_critical_parameters(&d.cinfo, &c.cinfo);
    if (recoding == Recoding::RestartMarkers && mcus)
        c.cinfo.restart_interval = mcus;
    else if (recoding == Recoding::RestartMarkers)
        c.cinfo.restart_in_rows = 1;
    else
        c.cinfo.optimize_coding = TRUE;
    jpeg_write_coefficients(&c.cinfo, arrays);
    jpeg_finish_compress(&c.cinfo);
    return true;
}

QByteArray Recoded(const QByteArray& jpeg, Recoding recoding, unsigned mcus = 0)
{
    unsigned char* out = nullptr;
    unsigned long size = 0;
    QByteArray result;
    {
        Decompressor d;
        JpegCompressorOwner c;
        if (Transcode(d, c, jpeg, recoding, mcus, &out, &size))
            result = QByteArray(reinterpret_cast<const char*>(out), qsizetype(size));
    }
    std::free(out);
    return result;
}

} // namespace

QByteArray WithRestartMarkers(const QByteArray& jpeg, unsigned mcus) { return Recoded(jpeg, Recoding::RestartMarkers, mcus); }

QByteArray WithOptimisedTables(const QByteArray& jpeg) { return Recoded(jpeg, Recoding::OptimisedTables); }

JpegBlocks ReadJpegBlocks(const QByteArray& bytes)
{
    JpegBlocks blocks;
    JpegFacts facts;
    Decompressor d;
    if (!Read(d, bytes, facts, &blocks))
        blocks.components.clear();
    return blocks;
}

JpegFacts InspectJpeg(const QByteArray& bytes)
{
    JpegFacts facts;
    Decompressor d;
    facts.decoded = Read(d, bytes, facts);
    // A baseline frame starts with the SOF0 marker.
    facts.baseline = facts.baseline && bytes.contains(QByteArray("\xFF\xC0", 2));
    return facts;
}

int ExpectedLumaDcStep(int quality)
{
    const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    return std::clamp((16 * scale + 50) / 100, 1, 255);
}

std::optional<bool> CjpegAccepts(const QString& file)
{
    const QString cjpeg = QStandardPaths::findExecutable("cjpeg");
    if (cjpeg.isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(cjpeg, {"-outfile", "/dev/null", file});
    if (!p.waitForFinished(60000))
        return false;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QImage TestPattern(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.setPixel(x, y, qRgb((x * 255) / std::max(1, width - 1), (y * 255) / std::max(1, height - 1),
                                    ((x + y) * 7) & 0xFF));
    return img;
}

QStringList FileNamesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace tarvo
