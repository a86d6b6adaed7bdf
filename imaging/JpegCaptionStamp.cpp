#include "imaging/JpegCaptionStamp.h"
#include "imaging/Caption.h"
#include "imaging/JpegErrors.h"
#include "imaging/JpegScanData.h"

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iterator>
#include <tuple>
#include <utility>
#include <vector>

namespace tarvo {

namespace {
// Larger than any camera's picture; a damaged header may claim far more.
constexpr JDIMENSION MaxSide = 16384;

using Decompressor = JpegDecompressorOwner;

// Compresses into a buffer libjpeg allocates with malloc.
struct Compressor : JpegCompressorOwner {
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    ~Compressor() { std::free(buffer); }
};

// The MCU rows under the caption. Only the piece of them the caption may draw on, some MCU
// columns, is turned into pixels; its blocks are kept component after component, row after row.
struct Band {
    JDIMENSION firstRow = 0; // in the picture
    JDIMENSION rows = 0;
    JDIMENSION height = 0; // pixels
    JDIMENSION firstColumn = 0; // the piece's MCU columns
    JDIMENSION pieceColumns = 0;
    JDIMENSION pieceWidth = 0; // pixels
    std::vector<char> changed; // for each MCU of the piece, row after row: the caption drew on it
    // Whether the caption drew on an MCU of the band.
    bool Drawn(JDIMENSION row, JDIMENSION column) const
    {
        return column >= firstColumn && column < firstColumn + pieceColumns
            && changed[std::size_t(row) * pieceColumns + column - firstColumn];
    }
    JDIMENSION columns[MAX_COMPONENTS]{}; // blocks in a row of the piece
    std::vector<JCOEF> coefficients[MAX_COMPONENTS];
    // For each row, the blocks of the MCU that follows its piece in the data, in the data's order.
    std::vector<JCOEF> followers;
    JBLOCKROW Row(int ci, JDIMENSION row)
    {
        return reinterpret_cast<JBLOCKROW>(coefficients[ci].data() + std::size_t(row) * columns[ci] * DCTSIZE2);
    }
};

// Where a picture's data is at the start of an MCU: the byte holding its first bit, the bits of
// that byte before it, and the DC values its blocks are coded against.
struct DataPoint {
    JDIMENSION mcu = 0; // in the picture, row after row
    std::size_t byte = 0;
    int bits = 0;
    int predictors[MAX_COMPONENTS]{};
};

// A picture's restart intervals: runs of MCUs whose data begins at a byte of its own, coded
// against DC values of zero, after the restart marker that ends the run before.
struct RestartIntervals {
    JDIMENSION mcus = 0; // in each; 0: the picture's data is one run
    std::vector<std::size_t> starts; // the byte each begins at
    // Where the data of each interval that the band's reading left ends (mcu: the first after it).
    std::vector<DataPoint> ends;
    // Which interval an MCU is in, and whether one begins with it after another.
    std::size_t Of(JDIMENSION mcu) const { return mcus ? mcu / mcus : 0; }
    bool BeginsAt(JDIMENSION mcu) const { return mcus && mcu > 0 && mcu % mcus == 0; }
};

// The stretches of the band's data coded anew, for pictures whose other blocks are copied through
// bit for bit: each row's piece, and the MCU after it, whose first blocks are coded against the
// piece's DC values. Coded exactly as it was, that MCU leaves the DC values as they were for the
// blocks copied after it.
struct Splice {
    const JHUFF_TBL* dcTables[NUM_HUFF_TBLS]{}; // the tables the data is coded with, by their numbers
    const JHUFF_TBL* acTables[NUM_HUFF_TBLS]{};
    const HuffmanTable* dc[NUM_HUFF_TBLS]{}; // ... made for reading and writing
    const HuffmanTable* ac[NUM_HUFF_TBLS]{};
    std::vector<DataPoint> recoded;   // where each stretch begins and where it ends, in turn
    JDIMENSION totalMcus = 0;
    RestartIntervals intervals;
};

// One stamp. The band is carried as a small JPEG picture of its own (the picture's blocks and
// tables) so that libjpeg turns it into pixels and the drawn pixels back into blocks.
struct Stamp {
    JpegErrorJump err{};
    Decompressor picture;
    Compressor band;
    Decompressor bandPixels;
    Compressor drawn;
    Decompressor drawnBlocks;
    Compressor out;
    Compressor standard; // holds the standard Huffman tables, when the picture lacks tables
    jvirt_barray_ptr* pictureCoefs = nullptr;
    jvirt_barray_ptr bandCoefs[MAX_COMPONENTS]{};
    Band blocks;
    Stamp() = default;
    Stamp(const Stamp&) = delete;
    Stamp& operator=(const Stamp&) = delete;
};

JDIMENSION RoundUp(JDIMENSION value, int multiple) { return (value + JDIMENSION(multiple) - 1) / JDIMENSION(multiple) * JDIMENSION(multiple); }

JBLOCKROW BlockRow(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION row, bool writable)
{
    return (*cinfo->mem->access_virt_barray)(cinfo, array, row, 1, writable)[0];
}

// Each function below that calls libjpeg may be jumped out of: none holds an object with a
// destructor.

// The drawn blocks are quantised again with the picture's own tables: a table missing or with a
// zero step (which a decoder takes, multiplying) would make the encoder divide by zero.
bool QuantisationUsable(const jpeg_decompress_struct& c)
{
    for (int ci = 0; ci < c.num_components; ++ci) {
        const int slot = c.comp_info[ci].quant_tbl_no;
        const JQUANT_TBL* table = slot >= 0 && slot < NUM_QUANT_TBLS ? c.quant_tbl_ptrs[slot] : nullptr;
        if (!table || std::find(std::begin(table->quantval), std::end(table->quantval), 0) != std::end(table->quantval))
            return false;
    }
    return true;
}

bool ReadHeader(Stamp& s, const QByteArray& jpeg)
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
    return (colour || grey) && c.image_width <= MaxSide && c.image_height <= MaxSide && c.data_precision == 8
        && QuantisationUsable(c);
}

// The picture's blocks through libjpeg; the piece's are copied out, or with back, copied in.
bool ReadCoefficients(Stamp& s)
{
    jpeg_decompress_struct& c = s.picture.cinfo;
    if (setjmp(s.err.jump))
        return false;
    s.pictureCoefs = jpeg_read_coefficients(&c);
    // A warning means damaged data that libjpeg made up for: such a picture is left as it came.
    return s.pictureCoefs != nullptr && s.err.pub.num_warnings == 0;
}

bool CopyBand(Stamp& s, bool back)
{
    jpeg_decompress_struct& c = s.picture.cinfo;
    if (setjmp(s.err.jump))
        return false;
    for (int ci = 0; ci < c.num_components; ++ci) {
        const auto v = JDIMENSION(c.comp_info[ci].v_samp_factor);
        const auto h = JDIMENSION(c.comp_info[ci].h_samp_factor);
        const std::size_t bytes = s.blocks.columns[ci] * sizeof(JBLOCK);
        for (JDIMENSION r = 0; r < s.blocks.rows * v; ++r) {
            JBLOCKROW picture = BlockRow(reinterpret_cast<j_common_ptr>(&c), s.pictureCoefs[ci], s.blocks.firstRow * v + r, back)
                + s.blocks.firstColumn * h;
            if (back)
                std::memcpy(picture, s.blocks.Row(ci, r), bytes);
            else
                std::memcpy(s.blocks.Row(ci, r), picture, bytes);
        }
    }
    return true;
}

// A compressor of a picture of the band's size with the picture's tables. Called only from a
// function that libjpeg may jump back to.
// A compressor into memory with the picture's size, components and tables.
void CreatePictureCompressor(Stamp& s, Compressor& compressor)
{
    jpeg_compress_struct& c = compressor.cinfo;
    c.err = &s.err.pub;
    jpeg_create_compress(&c);
    compressor.created = true;
    jpeg_mem_dest(&c, &compressor.buffer, &compressor.size);
    jpeg_copy_critical_parameters(&s.picture.cinfo, &c);
}

// The same, as large as the band's piece.
void CreateBandCompressor(Stamp& s, Compressor& compressor)
{
    CreatePictureCompressor(s, compressor);
    compressor.cinfo.image_width = s.blocks.pieceWidth;
    compressor.cinfo.image_height = s.blocks.height;
}

bool WriteBand(Stamp& s)
{
    jpeg_decompress_struct& p = s.picture.cinfo;
    jpeg_compress_struct& c = s.band.cinfo;
    if (setjmp(s.err.jump))
        return false;
    CreateBandCompressor(s, s.band);
    for (int ci = 0; ci < p.num_components; ++ci) {
        const auto v = JDIMENSION(p.comp_info[ci].v_samp_factor);
        s.bandCoefs[ci] = (*c.mem->request_virt_barray)(reinterpret_cast<j_common_ptr>(&c), JPOOL_IMAGE, FALSE,
                                                         s.blocks.pieceColumns * JDIMENSION(p.comp_info[ci].h_samp_factor),
                                                         s.blocks.rows * v, v);
    }
    jpeg_write_coefficients(&c, s.bandCoefs);
    for (int ci = 0; ci < p.num_components; ++ci) {
        const auto h = JDIMENSION(p.comp_info[ci].h_samp_factor);
        const auto v = JDIMENSION(p.comp_info[ci].v_samp_factor);
        for (JDIMENSION r = 0; r < s.blocks.rows * v; ++r)
            std::memcpy(BlockRow(reinterpret_cast<j_common_ptr>(&c), s.bandCoefs[ci], r, true),
                        s.blocks.Row(ci, r), s.blocks.pieceColumns * h * sizeof(JBLOCK));
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

// The drawn piece encoded with the picture's quantisation tables; its blocks of the changed MCUs
// (changed: a flag for each MCU of the piece, row after row) replace the band's.
bool TakeDrawnBlocks(Stamp& s, const QImage& pixels, const std::vector<char>& changed)
{
    jpeg_decompress_struct& p = s.picture.cinfo;
    jpeg_compress_struct& c = s.drawn.cinfo;
    jpeg_decompress_struct& d = s.drawnBlocks.cinfo;
    d.err = &s.err.pub;
    if (setjmp(s.err.jump))
        return false;
    CreateBandCompressor(s, s.drawn);
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
    const JDIMENSION columns = s.blocks.pieceColumns;
    for (JDIMENSION row = 0; row < s.blocks.rows; ++row) {
        for (JDIMENSION column = 0; column < columns; ++column) {
            if (!changed[row * columns + column])
                continue;
            for (int ci = 0; ci < p.num_components; ++ci) {
                const auto h = JDIMENSION(p.comp_info[ci].h_samp_factor);
                const auto v = JDIMENSION(p.comp_info[ci].v_samp_factor);
                const JDIMENSION width = std::min(columns * h, RoundUp(d.comp_info[ci].width_in_blocks, int(h)));
                for (JDIMENSION by = 0; by < v; ++by) {
                    JBLOCKROW to = s.blocks.Row(ci, row * v + by);
                    JBLOCKROW from = BlockRow(reinterpret_cast<j_common_ptr>(&d), drawnCoefs[ci], row * v + by, false);
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
    if (setjmp(s.err.jump))
        return false;
    CreatePictureCompressor(s, s.out);
    jpeg_write_coefficients(&c, s.pictureCoefs);
    jpeg_finish_compress(&c);
    return true;
}

// The Huffman tables the picture's data is coded with: its own, or where it has none (many
// cameras leave them out of their frames), the standard tables, which decoders then take.
bool FindScanTables(Stamp& s, Splice& splice)
{
    const jpeg_decompress_struct& p = s.picture.cinfo;
    jpeg_compress_struct& c = s.standard.cinfo;
    c.err = &s.err.pub;
    if (setjmp(s.err.jump))
        return false;
    for (int slot = 0; slot < NUM_HUFF_TBLS; ++slot) {
        splice.dcTables[slot] = p.dc_huff_tbl_ptrs[slot];
        splice.acTables[slot] = p.ac_huff_tbl_ptrs[slot];
        const bool standardSlot = slot < 2; // luminance and chrominance
        if (!standardSlot || (splice.dcTables[slot] && splice.acTables[slot]))
            continue;
        if (!s.standard.created) {
            jpeg_create_compress(&c);
            s.standard.created = true;
            c.in_color_space = JCS_YCbCr;
            c.input_components = 3;
            jpeg_set_defaults(&c);
        }
        if (!splice.dcTables[slot])
            splice.dcTables[slot] = c.dc_huff_tbl_ptrs[slot];
        if (!splice.acTables[slot])
            splice.acTables[slot] = c.ac_huff_tbl_ptrs[slot];
    }
    return true;
}

// A baseline picture with all components in one scan: its data can be read and written block by
// block here, so the blocks outside the band are copied bit for bit.
bool CanSplice(const jpeg_decompress_struct& p, const Splice& splice)
{
    if (p.progressive_mode || p.arith_code || p.comps_in_scan != p.num_components)
        return false;
    if (p.num_components == 1 && (p.comp_info[0].h_samp_factor != 1 || p.comp_info[0].v_samp_factor != 1))
        return false;
    for (int i = 0; i < p.comps_in_scan; ++i) {
        const jpeg_component_info* comp = p.cur_comp_info[i];
        // The scan header names its tables with four bits each; libjpeg checks them only when it
        // decodes, which a spliced picture never does.
        if (!comp || comp->dc_tbl_no < 0 || comp->dc_tbl_no >= NUM_HUFF_TBLS || comp->ac_tbl_no < 0
            || comp->ac_tbl_no >= NUM_HUFF_TBLS || !splice.dcTables[comp->dc_tbl_no] || !splice.acTables[comp->ac_tbl_no])
            return false;
    }
    return true;
}

// The blocks of one MCU of a scan, in the order of the data: each scan component's blocks in
// it. visit(i, by, bx) for the i'th component of the scan, the block's place in the MCU.
template <typename Visit>
bool ForEachBlockOfMcu(const jpeg_decompress_struct& p, Visit visit)
{
    for (int i = 0; i < p.comps_in_scan; ++i) {
        const auto h = JDIMENSION(p.cur_comp_info[i]->h_samp_factor);
        const auto v = JDIMENSION(p.cur_comp_info[i]->v_samp_factor);
        for (JDIMENSION by = 0; by < v; ++by)
            for (JDIMENSION bx = 0; bx < h; ++bx)
                if (!visit(i, by, bx))
                    return false;
    }
    return true;
}

int BlocksInMcu(const jpeg_decompress_struct& p)
{
    int blocks = 0;
    for (int i = 0; i < p.comps_in_scan; ++i)
        blocks += p.cur_comp_info[i]->h_samp_factor * p.cur_comp_info[i]->v_samp_factor;
    return blocks;
}

// How an MCU of the band (its row in the band) is coded in the stamped picture.
enum class Recoding { Copied, Piece, Follower };

Recoding RecodingOf(const Band& band, JDIMENSION mcuColumns, JDIMENSION row, JDIMENSION column)
{
    const JDIMENSION pieceEnd = band.firstColumn + band.pieceColumns;
    if (column >= band.firstColumn && column < pieceEnd)
        return Recoding::Piece;
    // After the piece in its row, or where the piece ends the row, first in the next row.
    if (column == pieceEnd || (column == 0 && pieceEnd == mcuColumns && row > 0))
        return Recoding::Follower;
    return Recoding::Copied;
}

// Where a block of a recoded MCU is kept: n counts the MCU's blocks in the data's order.
JCOEF* RecodedBlock(const jpeg_decompress_struct& p, Band& band, Recoding recoding, JDIMENSION row, JDIMENSION column,
                    int i, JDIMENSION by, JDIMENSION bx, int n)
{
    if (recoding == Recoding::Follower)
        return band.followers.data() + (std::size_t(row) * std::size_t(BlocksInMcu(p)) + std::size_t(n)) * DCTSIZE2;
    const jpeg_component_info* comp = p.cur_comp_info[i];
    const auto h = JDIMENSION(comp->h_samp_factor);
    const auto v = JDIMENSION(comp->v_samp_factor);
    return band.Row(comp->component_index, row * v + by)[(column - band.firstColumn) * h + bx];
}

// Reads the data up to the band's end: the blocks before the band are only passed over (from the
// start of the band's restart interval, when the picture has them), and so are the band's that are
// copied; the recoded ones are kept.
bool ReadBand(const jpeg_decompress_struct& p, const QByteArray& jpeg, JDIMENSION mcuColumns, JDIMENSION totalRows,
              Band& band, Splice& splice)
{
    for (int i = 0; i < p.comps_in_scan; ++i) {
        const jpeg_component_info* comp = p.cur_comp_info[i];
        splice.dc[comp->dc_tbl_no] = LookupsOf(*splice.dcTables[comp->dc_tbl_no], false);
        splice.ac[comp->ac_tbl_no] = LookupsOf(*splice.acTables[comp->ac_tbl_no], true);
        if (!splice.dc[comp->dc_tbl_no] || !splice.ac[comp->ac_tbl_no])
            return false;
    }
    const auto dc = [&](int slot) -> const HuffmanTable& { return *splice.dc[slot]; };
    const auto ac = [&](int slot) -> const HuffmanTable& { return *splice.ac[slot]; };
    if (BlocksInMcu(p) > D_MAX_BLOCKS_IN_MCU)
        return false;
    McuCoding mcu;
    ForEachBlockOfMcu(p, [&](int i, JDIMENSION, JDIMENSION) {
        mcu.dc[mcu.blocks] = &dc(p.cur_comp_info[i]->dc_tbl_no);
        mcu.ac[mcu.blocks] = &ac(p.cur_comp_info[i]->ac_tbl_no);
        mcu.starts[mcu.blocks] = &BlockStartsOf(*mcu.dc[mcu.blocks], *mcu.ac[mcu.blocks]);
        mcu.component[mcu.blocks++] = i;
        return true;
    });
    const auto* data = reinterpret_cast<const std::uint8_t*>(jpeg.constData());
    const auto size = std::size_t(jpeg.size());
    const JDIMENSION total = splice.totalMcus = totalRows * mcuColumns;
    const JDIMENSION bandStart = band.firstRow * mcuColumns;
    const JDIMENSION bandEnd = (band.firstRow + band.rows) * mcuColumns;
    RestartIntervals& runs = splice.intervals;
    runs.mcus = p.restart_interval;
    const auto scan = std::size_t(p.src->next_input_byte - data);
    if (runs.mcus && (runs.starts = RestartIntervalStarts(data, size, scan, (total + runs.mcus - 1) / runs.mcus)).empty())
        return false;
    ScanReader in(data, size, runs.mcus ? runs.starts[runs.Of(bandStart)] : scan);
    int predictors[MAX_COMPONENTS]{};
    if (!PassOver(in, mcu, bandStart - JDIMENSION(runs.Of(bandStart)) * runs.mcus, predictors))
        return false;
    // On into the interval that begins with MCU next; where the data of the one before ends is kept.
    const auto restart = [&](JDIMENSION next) {
        if (in.Overrun())
            return false;
        DataPoint end;
        end.mcu = next;
        std::tie(end.byte, end.bits) = in.Position();
        runs.ends.push_back(end);
        in = ScanReader(data, size, runs.starts[runs.Of(next)]);
        std::fill(std::begin(predictors), std::end(predictors), 0);
        return true;
    };
    splice.recoded.clear();
    const auto mark = [&](JDIMENSION row, JDIMENSION column) {
        DataPoint point;
        point.mcu = (band.firstRow + row) * mcuColumns + column;
        std::tie(point.byte, point.bits) = in.Position();
        std::copy(std::begin(predictors), std::end(predictors), point.predictors);
        splice.recoded.push_back(point);
    };
    bool recoding = false;
    for (JDIMENSION row = 0; row < band.rows; ++row)
        for (JDIMENSION column = 0; column < mcuColumns; ++column) {
            const Recoding how = RecodingOf(band, mcuColumns, row, column);
            if ((how != Recoding::Copied) != recoding) {
                mark(row, column);
                recoding = !recoding;
            }
            int n = 0;
            const bool read = how == Recoding::Copied
                ? PassOver(in, mcu, 1, predictors)
                : ForEachBlockOfMcu(p, [&](int i, JDIMENSION by, JDIMENSION bx) {
                      const jpeg_component_info* comp = p.cur_comp_info[i];
                      return DecodeBlock(in, dc(comp->dc_tbl_no), ac(comp->ac_tbl_no), predictors[i],
                                         RecodedBlock(p, band, how, row, column, i, by, bx, n++));
                  });
            const JDIMENSION next = bandStart + row * mcuColumns + column + 1;
            if (!read || (next < total && runs.BeginsAt(next) && !restart(next)))
                return false;
        }
    if (recoding)
        mark(band.rows, 0);
    // The data after the band is copied bit for bit up to the end of the interval the band ends
    // in, which is found by passing over the rest of it, and byte for byte after that.
    const JDIMENSION intervalEnd = runs.mcus ? std::min(total, JDIMENSION(runs.Of(bandEnd) + 1) * runs.mcus) : total;
    if (!runs.BeginsAt(bandEnd) && intervalEnd < total
        && !(PassOver(in, mcu, intervalEnd - bandEnd, predictors) && restart(intervalEnd)))
        return false;
    return !in.Overrun() && !splice.recoded.empty();
}

// Copies the data from one point to the next, or to its end when there is no next: bit for bit
// within a restart interval. From the start of an interval, where the data is at a byte's start
// here as in the picture, it is copied byte for byte, markers and all; from within one, bit for bit
// up to its end, then the restart marker, then byte for byte. Where the data ended, as CopyBits
// tells it; 0 when the end of an interval it crosses is not known.
std::size_t CopyOnward(ScanWriter& writer, const std::uint8_t* data, std::size_t size, const DataPoint& from,
                       const DataPoint* to, const RestartIntervals& runs)
{
    const std::size_t interval = runs.Of(from.mcu);
    const std::size_t toByte = to ? to->byte : size;
    const int toBits = to ? to->bits : 0;
    const bool crosses = runs.mcus && (to ? runs.Of(to->mcu) > interval : interval + 1 < runs.starts.size());
    if (!crosses) // also from the data's end, where no interval begins
        return CopyBits(writer, data, size, from.byte, from.bits, toByte, toBits);
    std::size_t bytesFrom = from.byte;
    if (from.mcu % runs.mcus != 0) {
        const auto end = std::find_if(runs.ends.begin(), runs.ends.end(),
                                      [&](const DataPoint& e) { return e.mcu == (interval + 1) * runs.mcus; });
        if (end == runs.ends.end())
            return 0;
        CopyBits(writer, data, size, from.byte, from.bits, end->byte, end->bits);
        writer.PutRestartMarker(int(interval));
        bytesFrom = runs.starts[interval + 1];
    }
    writer.PutBytes(data + bytesFrom, toByte - bytesFrom);
    if (toBits > 0)
        writer.Put(std::uint32_t(data[toByte] >> (8 - toBits)), toBits);
    return toByte;
}

// The picture with the band's recoded MCUs coded anew in their place: the data before the first
// is kept, the rest copied bit for bit. Empty when the picture's tables cannot code the band.
StampedJpeg SpliceBand(const jpeg_decompress_struct& p, const QByteArray& jpeg, JDIMENSION mcuColumns, Band& band,
                      const Splice& splice)
{
    const auto dc = [&](int slot) -> const HuffmanTable& { return *splice.dc[slot]; };
    const auto ac = [&](int slot) -> const HuffmanTable& { return *splice.ac[slot]; };
    const auto* data = reinterpret_cast<const std::uint8_t*>(jpeg.constData());
    const auto size = std::size_t(jpeg.size());
    const DataPoint& first = splice.recoded.front();
    QByteArray out;
    out.reserve(qsizetype(size - first.byte) + qsizetype(size - first.byte) / 8 + 4096);
    ScanWriter writer(out);
    if (first.bits > 0)
        writer.Put(std::uint32_t(data[first.byte] >> (8 - first.bits)), first.bits);
    const JDIMENSION bandStart = band.firstRow * mcuColumns;
    const RestartIntervals& runs = splice.intervals;
    std::size_t dataEnd = size;
    CodingLoss loss;
    for (std::size_t r = 0; r < splice.recoded.size(); r += 2) {
        const DataPoint& from = splice.recoded[r];
        const DataPoint& to = splice.recoded[r + 1];
        // The blocks copied before the stretch left the DC values as they were.
        int predictors[MAX_COMPONENTS];
        std::copy(std::begin(from.predictors), std::end(from.predictors), predictors);
        // Each scan component's blocks in the order of the data, with whether the caption drew on
        // them: a block it did not draw on keeps its DC value, unless a restart interval begins
        // with it, which codes it against zero.
        struct RecodedBlockOf {
            const JCOEF* coefficients;
            bool drawn;
            bool restarts;
        };
        std::vector<RecodedBlockOf> order[MAX_COMPS_IN_SCAN];
        for (JDIMENSION mcu = from.mcu - bandStart; mcu < to.mcu - bandStart; ++mcu) {
            const JDIMENSION row = mcu / mcuColumns;
            const JDIMENSION column = mcu % mcuColumns;
            const Recoding how = RecodingOf(band, mcuColumns, row, column);
            const bool drawn = how == Recoding::Piece && band.Drawn(row, column);
            int n = 0;
            const bool restarts = runs.BeginsAt(bandStart + mcu);
            ForEachBlockOfMcu(p, [&](int i, JDIMENSION by, JDIMENSION bx) {
                order[i].push_back({RecodedBlock(p, band, how, row, column, i, by, bx, n++), drawn,
                                    restarts && by == 0 && bx == 0});
                return true;
            });
        }
        std::size_t next[MAX_COMPS_IN_SCAN]{};
        const auto code = [&](int i, JDIMENSION, JDIMENSION) {
            const jpeg_component_info* comp = p.cur_comp_info[i];
            const std::size_t at = next[i]++;
            const bool followed = at + 1 < order[i].size() && !order[i][at + 1].drawn && !order[i][at + 1].restarts;
            return EncodeBlock(writer, dc(comp->dc_tbl_no), ac(comp->ac_tbl_no), predictors[i], order[i][at].coefficients,
                               followed ? order[i][at + 1].coefficients[0] : AnyNextDc, loss);
        };
        for (JDIMENSION mcu = from.mcu; mcu < to.mcu; ++mcu) {
            if (!ForEachBlockOfMcu(p, code))
                return {};
            if (mcu + 1 < splice.totalMcus && runs.BeginsAt(mcu + 1)) {
                writer.PutRestartMarker(int(runs.Of(mcu)));
                std::fill(std::begin(predictors), std::end(predictors), 0);
            }
        }
        // The blocks copied after the stretch are coded against the DC values it leaves (zero
        // where a restart interval begins with them).
        const bool blocksFollow = to.mcu < splice.totalMcus;
        if (loss.TooMuch() || (blocksFollow && !std::equal(std::begin(predictors), std::end(predictors), to.predictors)))
            return {};
        const bool last = r + 2 >= splice.recoded.size();
        const DataPoint* copyTo = last ? nullptr : &splice.recoded[r + 2];
        const std::size_t ended = CopyOnward(writer, data, size, to, copyTo, runs);
        if (ended == 0)
            return {};
        // A picture cut after the band: its data ends where blocks should follow.
        if (last && blocksFollow && ended == to.byte && to.bits == 0)
            return {};
        if (last)
            dataEnd = ended;
    }
    writer.Finish();
    out.append(jpeg.constData() + dataEnd, qsizetype(size - dataEnd));
    return {qsizetype(first.byte), std::move(out)};
}
} // namespace

StampedJpeg StampJpegCaptionInParts(const QByteArray& jpeg, const OptionsValues& options, const QDateTime& moment,
                                    const QLocale& locale)
{
    const StampedJpeg unchanged{jpeg.size(), {}};
    if (SplitCaptionLines(options.CaptionText.str()).isEmpty())
        return unchanged;
    try {
        Stamp s;
        if (!ReadHeader(s, jpeg))
            return {};
        const jpeg_decompress_struct& p = s.picture.cinfo;
        const auto width = int(p.image_width);
        const auto height = int(p.image_height);
        const int mcuWidth = p.max_h_samp_factor * DCTSIZE;
        const int mcuHeight = p.max_v_samp_factor * DCTSIZE;
        const auto mcuColumns = JDIMENSION((width + mcuWidth - 1) / mcuWidth);
        const auto totalRows = JDIMENSION((height + mcuHeight - 1) / mcuHeight);
        const QRect area = CaptionArea(options, QSize(width, height), moment, locale);
        if (area.isEmpty())
            return unchanged;
        // The MCU rows the caption covers, at the top or the bottom edge. Under a caption at the
        // top one row more, which is not drawn on: the rows after it keep their DC predictions.
        const int from = options.CapTop ? 0 : area.top();
        const int to = options.CapTop ? std::min(height, area.bottom() + 1 + mcuHeight) : height;
        Band& band = s.blocks;
        band.firstRow = JDIMENSION(from / mcuHeight);
        band.rows = JDIMENSION((to + mcuHeight - 1) / mcuHeight) - band.firstRow;
        band.height = JDIMENSION(std::min(height, int(band.firstRow + band.rows) * mcuHeight)) - band.firstRow * JDIMENSION(mcuHeight);
        // Only the MCU columns under the caption's lines are turned into pixels and drawn on.
        band.firstColumn = JDIMENSION(area.left() / mcuWidth);
        band.pieceColumns = std::min(mcuColumns, JDIMENSION(area.right() / mcuWidth + 1)) - band.firstColumn;
        band.pieceWidth = JDIMENSION(std::min(width, int(band.firstColumn + band.pieceColumns) * mcuWidth)) - band.firstColumn * JDIMENSION(mcuWidth);
        for (int ci = 0; ci < p.num_components; ++ci) {
            const jpeg_component_info& comp = p.comp_info[ci];
            band.columns[ci] = band.pieceColumns * JDIMENSION(comp.h_samp_factor);
            band.coefficients[ci].assign(std::size_t(band.columns[ci]) * band.rows * JDIMENSION(comp.v_samp_factor) * DCTSIZE2, 0);
        }
        band.followers.resize(std::size_t(band.rows) * std::size_t(BlocksInMcu(p)) * DCTSIZE2);
        Splice splice;
        const bool spliced = FindScanTables(s, splice) && CanSplice(p, splice);

        if (spliced ? !ReadBand(p, jpeg, mcuColumns, totalRows, band, splice)
                    : !ReadCoefficients(s) || !CopyBand(s, false))
            return {};

        const auto pieceWidth = int(band.pieceWidth);
        QImage pixels(pieceWidth, int(band.height), QImage::Format_RGB32);
        if (pixels.isNull() || !WriteBand(s) || !DecodeBand(s, pixels))
            return {};
        const QImage before = pixels.copy();
        DrawCaptionInPiece(pixels, QPoint(int(band.firstColumn) * mcuWidth, int(band.firstRow) * mcuHeight),
                           QSize(width, height), options, moment, locale);
        // The MCUs the caption changed; every other block keeps its coefficients.
        std::vector<char>& changed = band.changed;
        changed.assign(std::size_t(band.rows) * band.pieceColumns, 0);
        bool any = false;
        for (int y = 0; y < int(band.height); ++y) {
            const uchar* a = before.constScanLine(y);
            const uchar* b = pixels.constScanLine(y);
            if (std::memcmp(a, b, std::size_t(pieceWidth) * 4) == 0)
                continue;
            for (JDIMENSION column = 0; column < band.pieceColumns; ++column) {
                const int x = int(column) * mcuWidth;
                const std::size_t bytes = std::size_t(std::min(mcuWidth, pieceWidth - x)) * 4;
                if (std::memcmp(a + x * 4, b + x * 4, bytes) != 0) {
                    changed[std::size_t(y / mcuHeight) * band.pieceColumns + column] = 1;
                    any = true;
                }
            }
        }
        if (!any)
            return unchanged;
        if (!TakeDrawnBlocks(s, pixels, changed))
            return {};
        if (spliced) {
            StampedJpeg out = SpliceBand(p, jpeg, mcuColumns, band, splice);
            if (!out.Failed())
                return out;
            // The band cannot be put in place: the picture's own Huffman tables cannot code it,
            // or the picture was cut after it. The whole picture goes through libjpeg, which
            // codes it anew with the standard tables, or turns the cut picture away.
            if (!ReadCoefficients(s))
                return {};
        }
        if (!CopyBand(s, true) || !WritePicture(s))
            return {};
        return {0, QByteArray(reinterpret_cast<const char*>(s.out.buffer), qsizetype(s.out.size))};
    } catch (const std::exception&) {
        return {}; // no memory for the band: the picture stays as it came
    }
}

QByteArray StampJpegCaption(const QByteArray& jpeg, const OptionsValues& options, const QDateTime& moment,
                            const QLocale& locale)
{
    const StampedJpeg stamped = StampJpegCaptionInParts(jpeg, options, moment, locale);
    if (stamped.rest.isEmpty())
        return stamped.kept ? jpeg : QByteArray();
    return jpeg.left(stamped.kept) + stamped.rest;
}

} // namespace tarvo
