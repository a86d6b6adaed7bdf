#include "imaging/JpegScanData.h"

#include <array>
#include <cstdlib>
#include <memory>

namespace tarvo {

namespace {
// Position in the natural (row by row) order of the k'th coefficient in the zigzag order of the
// data; the extra entries catch a run past the block's end in damaged data.
constexpr int Natural[64 + 16] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63, 63, 63,
    63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

int BitLength(int value)
{
    int n = 0;
    for (; value; value >>= 1)
        ++n;
    return n;
}

// The largest size up to `size` the table has a code for (symbol base | size); -1 when none.
int CodedSize(const HuffmanTable& table, int base, int size, int smallest)
{
    for (; size >= smallest; --size)
        if (table.Size(base | size))
            return size;
    return -1;
}

// The value brought within a size: a table made for the picture's own blocks may lack the codes
// of the larger values the caption's edges need; those come out a little weaker.
int Clamp(int value, int size)
{
    const int largest = (1 << size) - 1;
    return std::clamp(value, -largest, largest);
}

// Passes over one block, keeping only its DC value. False for damaged data.
[[gnu::always_inline]] inline bool SkipBlock(ScanReader& in, const BlockStarts& starts, const HuffmanTable& dc,
                                             const HuffmanTable& ac, int& predictor)
{
    in.Fill();
    int k = 1;
    const std::uint32_t start = starts.At(in);
    if (start && 1 + BlockStarts::AdvanceOf(start) + int(BlockStarts::EndsBlock(start)) <= DCTSIZE2) {
        in.Skip(BlockStarts::BitsOf(start));
        predictor += BlockStarts::DifferenceOf(start);
        if (BlockStarts::EndsBlock(start))
            return true;
        k += BlockStarts::AdvanceOf(start);
    } else {
        const int s = dc.Decode(in);
        if (s < 0 || s > 11)
            return false;
        predictor += s ? Extend(in.Get(s), s) : 0;
    }
    for (; k < DCTSIZE2;) {
        // A fill leaves at least 49 bits: room for three skips of SkipBits, taken without
        // waiting on another fill.
        in.Fill();
        int skips = 0;
        for (; skips < 3 && k < DCTSIZE2; ++skips) {
            // A block's end is coded only before its last coefficient: bits that read as one
            // after it belong to the next block.
            const std::uint16_t skip = ac.Skip(in);
            const int end = int(HuffmanTable::SkipEndsBlock(skip));
            if (!skip || k + HuffmanTable::SkipAdvanceOf(skip) + end > DCTSIZE2)
                break;
            in.Skip(HuffmanTable::SkipBitsOf(skip));
            if (end)
                return true;
            k += HuffmanTable::SkipAdvanceOf(skip);
        }
        if (skips == 3 || k >= DCTSIZE2)
            continue;
        // A long code, or values that would run past the block's end: one value at a time. A
        // code and its value bits are at most 31 bits: one fill covers them.
        in.Fill();
        const int symbol = ac.Decode(in);
        if (symbol < 0)
            return false;
        in.Skip(symbol & 15);
        k += HuffmanTable::Advance(symbol);
    }
    return true;
}

// Whether the table has the code for a DC difference.
bool DcCodable(const HuffmanTable& dc, int difference)
{
    const int size = BitLength(std::abs(difference));
    return size <= 11 && dc.Size(size) != 0;
}

// The DC value nearest to wanted that the table can code after predictor, and, when the next
// block of the component keeps its value (nextDc), that leaves that block's difference codable
// too: a table made for the picture's own blocks may lack the sizes a caption's blocks need, and
// the blocks around them must not change. AnyNextDc when there is none within the DC range.
int CodableDc(const HuffmanTable& dc, int predictor, int wanted, int nextDc)
{
    const auto fits = [&](int value) {
        return DcCodable(dc, value - predictor) && (nextDc == AnyNextDc || DcCodable(dc, nextDc - value));
    };
    for (int distance = 0; distance < 4096; ++distance) {
        if (fits(wanted - distance))
            return wanted - distance;
        if (fits(wanted + distance))
            return wanted + distance;
    }
    return AnyNextDc;
}

// The entry of a small per-thread cache that `same` finds, or else the least recently used one,
// to be filled anew (found: false). Either way it is the most recently used one now.
template <typename Entry, std::size_t Size, typename Same>
Entry& CacheEntry(std::array<Entry, Size>& entries, std::uint64_t& asked, Same same, bool& found)
{
    auto entry = std::find_if(entries.begin(), entries.end(), same);
    found = entry != entries.end();
    if (!found)
        entry = std::min_element(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.used < b.used; });
    entry->used = ++asked;
    return *entry;
}
} // namespace

// The look-ups of a Huffman table, kept for the next pictures on this thread: a camera sends the
// same tables with every frame, and making the look-ups takes as long as passing over a tenth of
// a large picture. Null for a table no valid picture has. A picture has at most eight tables: the
// look-ups outlast its stamp.
const HuffmanTable* LookupsOf(const JHUFF_TBL& table, bool ac)
{
    struct Kept {
        std::uint8_t bits[17]{};
        std::uint8_t values[256]{};
        bool ac = false;
        std::uint64_t used = 0;
        std::unique_ptr<HuffmanTable> lookups;
    };
    thread_local std::array<Kept, 16> kept;
    thread_local std::uint64_t asked = 0;
    int count = 0;
    for (int length = 1; length <= 16; ++length)
        count += table.bits[length];
    if (count > 256)
        return nullptr;
    const auto same = [&](const Kept& k) {
        return k.lookups && k.ac == ac && std::equal(k.bits, k.bits + 17, table.bits)
            && std::equal(k.values, k.values + count, table.huffval);
    };
    bool found = false;
    Kept& entry = CacheEntry(kept, asked, same, found);
    if (!found) {
        auto lookups = std::make_unique<HuffmanTable>();
        if (!lookups->Make(table, ac))
            return nullptr;
        std::copy(table.bits, table.bits + 17, entry.bits);
        std::copy(table.huffval, table.huffval + count, entry.values);
        std::fill(entry.values + count, std::end(entry.values), 0);
        entry.ac = ac;
        entry.lookups = std::move(lookups);
    }
    return entry.lookups.get();
}

// The block starts of a pair of tables, kept as their look-ups are (LookupsOf).
const BlockStarts& BlockStartsOf(const HuffmanTable& dc, const HuffmanTable& ac)
{
    struct Kept {
        std::uint64_t dc = 0, ac = 0;
        std::uint64_t used = 0;
        std::unique_ptr<BlockStarts> starts;
    };
    thread_local std::array<Kept, 8> kept;
    thread_local std::uint64_t asked = 0;
    bool found = false;
    Kept& entry = CacheEntry(kept, asked, [&](const Kept& k) {
        return k.starts && k.dc == dc.Serial() && k.ac == ac.Serial();
    }, found);
    if (!found) {
        entry.starts = std::make_unique<BlockStarts>();
        entry.starts->Make(dc, ac);
        entry.dc = dc.Serial();
        entry.ac = ac.Serial();
    }
    return *entry.starts;
}

// One block; its coefficients go to out unless that is null. False for damaged data.
bool DecodeBlock(ScanReader& in, const HuffmanTable& dc, const HuffmanTable& ac, int& predictor, JCOEF* out)
{
    in.Fill();
    const int s = dc.Decode(in);
    if (s < 0 || s > 11)
        return false;
    predictor += s ? Extend(in.Get(s), s) : 0;
    if (out) {
        std::fill(out, out + DCTSIZE2, JCOEF(0));
        out[0] = JCOEF(predictor);
    }
    for (int k = 1; k < DCTSIZE2;) {
        in.Fill();
        const int symbol = ac.Decode(in);
        if (symbol < 0)
            return false;
        const int run = symbol >> 4;
        const int size = symbol & 15;
        if (size == 0) {
            if (run != 15)
                break; // the end of the block
            k += 16;
            continue;
        }
        k += run;
        const int value = Extend(in.Get(size), size);
        if (out)
            out[Natural[std::min(k, 63 + 16)]] = JCOEF(value);
        ++k;
    }
    return true;
}

// One block in the table's codes; nextDc as for CodableDc. False when the tables lack the codes
// every block needs.
bool EncodeBlock(ScanWriter& out, const HuffmanTable& dc, const HuffmanTable& ac, int& predictor, const JCOEF* block,
                 int nextDc, CodingLoss& loss)
{
    const int value = CodableDc(dc, predictor, block[0], nextDc);
    if (value == AnyNextDc)
        return false;
    ++loss.values;
    loss.lost += value != block[0];
    const int diff = value - predictor;
    const int dcSize = BitLength(std::abs(diff));
    predictor = value;
    out.Put(dc.Code(dcSize), dc.Size(dcSize));
    if (dcSize)
        out.Put(std::uint32_t(diff < 0 ? diff - 1 : diff), dcSize);
    int run = 0;
    for (int k = 1; k < DCTSIZE2; ++k) {
        const int value = block[Natural[k]];
        if (value == 0) {
            ++run;
            continue;
        }
        // A table made for the picture's own blocks may lack the code for a value after this run,
        // or for a run of sixteen zeros (a smooth picture has no long runs): the value is left out.
        const int size = CodedSize(ac, (run & 15) << 4, std::min(BitLength(std::abs(value)), 10), 1);
        ++loss.values;
        if (size < 0 || (run > 15 && !ac.Size(0xF0))) {
            ++loss.lost;
            ++run;
            continue;
        }
        for (; run > 15; run -= 16)
            out.Put(ac.Code(0xF0), ac.Size(0xF0));
        const int coded = Clamp(value, size);
        loss.lost += coded != value;
        out.Put(ac.Code(run << 4 | size), ac.Size(run << 4 | size));
        out.Put(std::uint32_t(coded < 0 ? coded - 1 : coded), size);
        run = 0;
    }
    if (run > 0) {
        if (!ac.Size(0x00))
            return false;
        out.Put(ac.Code(0x00), ac.Size(0x00));
    }
    return true;
}

// Passes over whole MCUs, keeping only the DC values: what a caption at the bottom costs. The
// reader works on a copy of its own, which stays in registers.
bool PassOver(ScanReader& reader, const McuCoding& mcu, std::size_t mcus, int* predictors)
{
    ScanReader in = reader;
    for (std::size_t m = 0; m < mcus; ++m)
        for (int b = 0; b < mcu.blocks; ++b)
            if (!SkipBlock(in, *mcu.starts[b], *mcu.dc[b], *mcu.ac[b], predictors[mcu.component[b]]))
                return false;
    reader = in;
    return true;
}

std::vector<std::size_t> RestartIntervalStarts(const std::uint8_t* data, std::size_t size, std::size_t from,
                                               std::size_t intervals)
{
    std::vector<std::size_t> starts;
    if (from > size || intervals == 0)
        return starts;
    starts.reserve(std::min(intervals, (size - from) / 2 + 1)); // a marker takes two bytes
    starts.push_back(from);
    for (std::size_t at = from;;) {
        const auto* ff = static_cast<const std::uint8_t*>(std::memchr(data + at, 0xFF, size - at));
        if (!ff || ff + 1 >= data + size)
            return {};
        at = std::size_t(ff - data);
        const std::uint8_t next = data[at + 1];
        if (next == 0x00) { // a data byte 0xFF
            at += 2;
        } else if (next == 0xFF) { // fill before a marker
            ++at;
        } else if (next >= 0xD0 && next <= 0xD7) {
            if (starts.size() == intervals || next != 0xD0 + (starts.size() - 1) % 8)
                return {};
            at += 2;
            starts.push_back(at);
        } else {
            return starts.size() == intervals ? starts : std::vector<std::size_t>{};
        }
    }
}

// Copies the data's bits from one place to another (to: the byte after the last, or the end of
// the data); the zero bytes after 0xFF are taken out and put in where the bits now need them.
// Where the data ended: the marker after it, or its end.
std::size_t CopyBits(ScanWriter& writer, const std::uint8_t* data, std::size_t size, std::size_t fromByte, int fromBits,
                     std::size_t toByte, int toBits)
{
    const auto step = [&](std::size_t at) { return at + (data[at] == 0xFF ? 2 : 1); };
    toByte = std::min(toByte, size);
    if (fromByte >= toByte) {
        if (fromByte == toByte && toBits > fromBits && toByte < size)
            writer.Put(std::uint32_t(data[fromByte] >> (8 - toBits)), toBits - fromBits);
        return std::min(fromByte, size);
    }
    std::size_t at = fromByte;
    if (fromBits > 0) {
        writer.Put(data[at], 8 - fromBits);
        at = step(at);
    }
    constexpr std::size_t Chunk = 4096;
    while (at < toByte) {
        const std::size_t chunkEnd = std::min(toByte, at + Chunk);
        writer.Reserve(qsizetype(chunkEnd - at) + 1);
        while (at < chunkEnd) {
            if (at + 8 <= chunkEnd) {
                const std::uint64_t word = ReadBigEndian64(data + at);
                if (!BytesFF(word)) {
                    writer.PutWord(word);
                    at += 8;
                    continue;
                }
            }
            const std::uint8_t byte = data[at];
            if (byte == 0xFF && (at + 1 >= size || data[at + 1] != 0x00))
                return at; // the marker after the data
            writer.PutByte(byte);
            at = step(at);
        }
    }
    if (toBits > 0 && at < size)
        writer.Put(std::uint32_t(data[at] >> (8 - toBits)), toBits);
    return at;
}

} // namespace tarvo
