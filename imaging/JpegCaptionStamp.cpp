#include "imaging/JpegCaptionStamp.h"
#include "imaging/Caption.h"
#include "imaging/JpegErrors.h"

#include <QImage>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iterator>
#include <memory>
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

// Position in the natural (row by row) order of the k'th coefficient in the zigzag order of the
// data; the extra entries catch a run past the block's end in damaged data.
constexpr int Natural[64 + 16] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63, 63, 63,
    63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

// The canonical codes of one Huffman table, from its bit counts, in the order of its values.
struct HuffmanCodes {
    std::uint8_t sizes[256]{};
    std::uint16_t codes[256]{};
    int count = 0;
    // False for a table no valid picture has.
    bool Make(const JHUFF_TBL& table)
    {
        count = 0;
        for (int length = 1; length <= 16; ++length)
            for (int i = 0; i < table.bits[length]; ++i) {
                if (count >= 256)
                    return false;
                sizes[count++] = std::uint8_t(length);
            }
        std::uint32_t code = 0;
        int size = count ? sizes[0] : 0;
        for (int p = 0; p < count;) {
            while (p < count && sizes[p] == size)
                codes[p++] = std::uint16_t(code++);
            if (code > (1u << size))
                return false;
            code <<= 1;
            ++size;
        }
        return true;
    }
};

// The top bit of each byte of word that is 0xFF: its low seven bits are set, and so is its top
// bit. No carry crosses into the next byte, so each byte is judged alone.
std::uint64_t BytesFF(std::uint64_t word)
{
    return ((word & 0x7F7F7F7F7F7F7F7Full) + 0x0101010101010101ull) & word & 0x8080808080808080ull;
}

std::uint64_t ReadBigEndian64(const std::uint8_t* at)
{
    std::uint64_t word = 0;
    std::memcpy(&word, at, sizeof word);
    return qFromBigEndian(word);
}

// Reads the entropy-coded data of a scan bit by bit, taking out the zero byte after each 0xFF.
// Past the data (a marker, or the end of the bytes) it reads zero bits and notes the overrun.
class ScanReader {
public:
    ScanReader(const std::uint8_t* data, std::size_t size, std::size_t from)
        : data_(data), size_(size), start_(from), pos_(from)
    {
    }

    // At least 32 bits to read: a code and the value bits after it. Filled on every call, so
    // that passing over codes does not wait on a guess of when the bits run out.
    [[gnu::always_inline]] void Fill()
    {
        // Whole bytes up to 63 bits, as many at once as come before a 0xFF (stuffing or a
        // marker): the common case.
        if (fake_ == 0 && pos_ + 8 <= size_) {
            const std::uint64_t word = ReadBigEndian64(data_ + pos_);
            const std::uint64_t ff = BytesFF(word);
            const int bytes = std::min((63 - bits_) >> 3, ff ? __builtin_clzll(ff) >> 3 : 8);
            const int kept = bits_ + 8 * bytes;
            buffer_ |= (word >> bits_) & ~(~std::uint64_t(0) >> kept);
            bits_ = kept;
            pos_ += std::size_t(bytes);
            loaded_ += std::size_t(bytes);
            if (!ff || bits_ > 48)
                return;
        }
        // Taken and given back by value, so that the reader's state can stay in registers.
        *this = FilledByteByByte(*this);
    }
    std::uint32_t Peek(int n) const { return std::uint32_t(buffer_ >> (64 - n)); }
    void Skip(int n)
    {
        buffer_ <<= n;
        bits_ -= n;
    }
    int Get(int n)
    {
        const auto value = int(Peek(n));
        Skip(n);
        return value;
    }
    // More bits were taken than the data holds.
    bool Overrun() const { return std::int64_t(loaded_ - fake_) * 8 < std::int64_t(loaded_) * 8 - bits_; }
    // The byte that holds the next bit and how many of its bits were read.
    std::pair<std::size_t, int> Position() const
    {
        const int within = (8 - bits_ % 8) % 8;
        std::size_t back = std::size_t((bits_ + 7) / 8); // loaded bytes with bits still unread
        if (back <= fake_)
            return {pos_, back ? within : 0}; // past the data: where it ends
        back -= fake_;
        // Walking back over the data, a zero after 0xFF is the stuffing of one data byte: a
        // data byte 0xFF is always followed by its stuffing, so the pair cannot be read otherwise.
        std::size_t at = pos_;
        for (; back > 0; --back)
            at -= at >= start_ + 2 && data_[at - 1] == 0x00 && data_[at - 2] == 0xFF ? 2 : 1;
        return {at, within};
    }

private:
    [[gnu::noinline]] static ScanReader FilledByteByByte(ScanReader in)
    {
        while (in.bits_ <= 48) {
            std::uint8_t byte = 0;
            if (in.pos_ + 1 < in.size_ && in.data_[in.pos_] == 0xFF) {
                if (in.data_[in.pos_ + 1] == 0x00) {
                    byte = 0xFF;
                    in.pos_ += 2;
                } else {
                    ++in.fake_; // a marker: the data ends here
                }
            } else if (in.pos_ < in.size_ && in.data_[in.pos_] != 0xFF) {
                byte = in.data_[in.pos_++];
            } else {
                ++in.fake_;
            }
            ++in.loaded_;
            in.buffer_ |= std::uint64_t(byte) << (56 - in.bits_);
            in.bits_ += 8;
        }
        return in;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t start_;
    std::size_t pos_;
    std::uint64_t buffer_ = 0;
    int bits_ = 0;
    std::size_t loaded_ = 0;
    std::size_t fake_ = 0;
};

// The value of `size` bits that follow a code: the upper half positive, the lower negative.
int Extend(int value, int size) { return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value; }

// One Huffman table, for reading and for writing.
class HuffmanTable {
public:
    // ac: the table codes AC values, which are passed over by the skip table.
    bool Make(const JHUFF_TBL& table, bool ac)
    {
        HuffmanCodes h;
        if (!h.Make(table))
            return false;
        for (int i = 0; i < h.count; ++i) {
            values_[i] = table.huffval[i];
            size_[values_[i]] = h.sizes[i];
            code_[values_[i]] = h.codes[i];
        }
        int p = 0;
        for (int length = 1; length <= 16; ++length) {
            maxCode_[length] = -1;
            if (table.bits[length] == 0)
                continue;
            offset_[length] = p - int(h.codes[p]);
            p += table.bits[length];
            maxCode_[length] = int(h.codes[p - 1]);
        }
        for (int i = 0; i < h.count; ++i) {
            // Every pattern that begins with the code, whatever follows.
            for (int spare = FastBits - h.sizes[i], fill = 0; spare >= 0 && fill < (1 << spare); ++fill)
                fast_[(h.codes[i] << spare) | fill] = std::uint16_t(h.sizes[i] << 8 | values_[i]);
        }
        if (ac)
            MakeSkips();
        else
            MakeDcSkips(h);
        serial_ = ++made;
        return true;
    }
    // Tells one table's look-ups from another's, also after one was dropped.
    std::uint64_t Serial() const { return serial_; }

    // The AC values the bits of a SkipBits pattern after the first `used` hold whole, codes with
    // their value bits, up to a block's end: the bits after the pattern are unknown.
    struct AcWalk {
        int used = 0;
        int advance = 0; // coefficients, without the end's
        bool end = false;
    };
    AcWalk WalkAc(int pattern, int used) const
    {
        AcWalk walk{used, 0, false};
        while (!walk.end && walk.used < SkipBits) {
            const int known = SkipBits - walk.used;
            const auto [length, symbol] = CodeIn(pattern & ((1 << known) - 1), known);
            if (!length || walk.used + length + (symbol & 15) > SkipBits)
                break;
            walk.used += length + (symbol & 15);
            walk.end = Advance(symbol) == DCTSIZE2;
            if (!walk.end)
                walk.advance += Advance(symbol);
        }
        return walk;
    }
    // The code of a value; size 0: the table has none.
    std::uint8_t Size(int value) const { return size_[value]; }
    std::uint16_t Code(int value) const { return code_[value]; }
    // For passing over an AC table's values: what the next SkipBits bits hold whole, codes
    // with their value bits, up to a block's end. 0 when not even the first value fits.
    // For a DC table: the DC difference the next bits hold, with its code's and value's length.
    std::uint16_t Skip(const ScanReader& in) const { return skip_[in.Peek(SkipBits)]; }
    std::uint16_t SkipAt(int pattern) const { return skip_[pattern]; }
    static int DcSkipBitsOf(std::uint16_t skip) { return skip & 15; }
    static int DcDifferenceOf(std::uint16_t skip) { return std::int16_t(skip) >> 4; }
    static int SkipBitsOf(std::uint16_t skip) { return skip & 15; }
    static int SkipAdvanceOf(std::uint16_t skip) { return (skip >> 4) & 0x7FF; } // without the end
    static bool SkipEndsBlock(std::uint16_t skip) { return skip >> 15; }
    // The coefficients an AC value stands for.
    static int Advance(int symbol)
    {
        const int run = symbol >> 4;
        return symbol & 15 ? run + 1 : run == 15 ? 16 : 64;
    }

    // The code that begins `known` bits: its length and value; length 0 when they hold none whole.
    std::pair<int, int> CodeIn(int bits, int known) const
    {
        for (int length = 1; length <= known; ++length) {
            const int code = bits >> (known - length);
            if (code <= maxCode_[length])
                return {length, values_[offset_[length] + code]};
        }
        return {0, 0};
    }

    // The next value, or -1 for bits that are no code.
    int Decode(ScanReader& in) const
    {
        if (const std::uint16_t hit = fast_[in.Peek(FastBits)]) {
            in.Skip(hit >> 8);
            return hit & 0xFF;
        }
        for (int length = FastBits + 1; length <= 16; ++length) {
            const auto code = int(in.Peek(length));
            if (code <= maxCode_[length]) {
                in.Skip(length);
                return values_[offset_[length] + code];
            }
        }
        return -1;
    }

private:
    void MakeSkips()
    {
        for (int pattern = 0; pattern < (1 << SkipBits); ++pattern) {
            const AcWalk walk = WalkAc(pattern, 0);
            skip_[pattern] = walk.used ? std::uint16_t(int(walk.end) << 15 | walk.advance << 4 | walk.used) : 0;
        }
    }

    void MakeDcSkips(const HuffmanCodes& h)
    {
        for (int i = 0; i < h.count; ++i) {
            const int size = values_[i];
            const int used = h.sizes[i] + size;
            if (size > 11 || used > SkipBits)
                continue;
            for (int rest = 0; rest < (1 << (SkipBits - h.sizes[i])); ++rest) {
                const int bits = rest >> (SkipBits - used);
                const int difference = size ? Extend(bits, size) : 0;
                skip_[(h.codes[i] << (SkipBits - h.sizes[i])) | rest] = std::uint16_t((difference & 0xFFF) << 4 | used);
            }
        }
    }

    static inline thread_local std::uint64_t made = 0;
    static constexpr int FastBits = 9;

public:
    static constexpr int SkipBits = 12;

private:
    std::uint64_t serial_ = 0;
    std::uint16_t fast_[1 << FastBits]{}; // length << 8 | value for the codes of FastBits or fewer
    std::uint16_t skip_[1 << SkipBits]{};
    int maxCode_[17]{};
    int offset_[17]{};
    std::uint8_t values_[256]{};
    std::uint8_t size_[256]{};
    std::uint16_t code_[256]{};
};

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
    auto found = std::find_if(kept.begin(), kept.end(), same);
    if (found == kept.end()) {
        found = std::min_element(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return a.used < b.used; });
        auto lookups = std::make_unique<HuffmanTable>();
        if (!lookups->Make(table, ac))
            return nullptr;
        std::copy(table.bits, table.bits + 17, found->bits);
        std::copy(table.huffval, table.huffval + count, found->values);
        std::fill(found->values + count, std::end(found->values), 0);
        found->ac = ac;
        found->lookups = std::move(lookups);
    }
    found->used = ++asked;
    return found->lookups.get();
}

// For passing over the start of a block in one look-up: the DC difference the next SkipBits bits
// hold, and the AC values after it that they hold whole. 0 when the DC value does not fit.
class BlockStarts {
public:
    void Make(const HuffmanTable& dc, const HuffmanTable& ac)
    {
        for (int pattern = 0; pattern < (1 << HuffmanTable::SkipBits); ++pattern) {
            const std::uint16_t difference = dc.SkipAt(pattern);
            if (!difference) {
                starts_[pattern] = 0;
                continue;
            }
            const HuffmanTable::AcWalk walk = ac.WalkAc(pattern, HuffmanTable::DcSkipBitsOf(difference));
            starts_[pattern] = std::uint32_t(HuffmanTable::DcDifferenceOf(difference) & 0xFFF) << 20
                | std::uint32_t(walk.advance) << 5 | std::uint32_t(walk.end) << 4 | std::uint32_t(walk.used);
        }
    }
    std::uint32_t At(const ScanReader& in) const { return starts_[in.Peek(HuffmanTable::SkipBits)]; }
    static int BitsOf(std::uint32_t start) { return int(start & 15); }
    static bool EndsBlock(std::uint32_t start) { return (start >> 4) & 1; }
    static int AdvanceOf(std::uint32_t start) { return int((start >> 5) & 0x7FFF); }
    static int DifferenceOf(std::uint32_t start) { return std::int32_t(start) >> 20; }

private:
    std::uint32_t starts_[1 << HuffmanTable::SkipBits]{};
};

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
    auto found = std::find_if(kept.begin(), kept.end(), [&](const Kept& k) {
        return k.starts && k.dc == dc.Serial() && k.ac == ac.Serial();
    });
    if (found == kept.end()) {
        found = std::min_element(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return a.used < b.used; });
        found->starts = std::make_unique<BlockStarts>();
        found->starts->Make(dc, ac);
        found->dc = dc.Serial();
        found->ac = ac.Serial();
    }
    found->used = ++asked;
    return *found->starts;
}

// Writes entropy-coded data after what out holds, putting a zero byte after each 0xFF.
class ScanWriter {
public:
    explicit ScanWriter(QByteArray& out) : out_(out), used_(out.size()) { Grow(); }
    void Put(std::uint32_t value, int count)
    {
        buffer_ = (buffer_ << count) | (value & ((1u << count) - 1));
        bits_ += count;
        while (bits_ >= 8) {
            const auto byte = char((buffer_ >> (bits_ - 8)) & 0xFF);
            if (used_ + 2 > out_.size())
                Grow();
            data_[used_++] = byte;
            if (byte == char(0xFF))
                data_[used_++] = '\0';
            bits_ -= 8;
        }
    }
    // Sixty-four bits, with room made beforehand (Reserve).
    void PutWord(std::uint64_t word)
    {
        const std::uint64_t out = bits_ ? (buffer_ << (64 - bits_)) | (word >> bits_) : word;
        buffer_ = word; // its last bits_ bits wait for the next
        if (BytesFF(out)) {
            for (int shift = 56; shift >= 0; shift -= 8) {
                const auto byte = char((out >> shift) & 0xFF);
                data_[used_++] = byte;
                if (byte == char(0xFF))
                    data_[used_++] = '\0';
            }
            return;
        }
        const std::uint64_t stored = qToBigEndian(out);
        std::memcpy(data_ + used_, &stored, sizeof stored);
        used_ += 8;
    }
    // Eight bits, with room made beforehand for count of them (Reserve).
    void PutByte(std::uint8_t value)
    {
        buffer_ = (buffer_ << 8) | value;
        const auto byte = char((buffer_ >> bits_) & 0xFF);
        data_[used_++] = byte;
        if (byte == char(0xFF))
            data_[used_++] = '\0';
    }
    void Reserve(qsizetype bytes)
    {
        while (used_ + 2 * bytes + 2 > out_.size())
            Grow();
    }
    // Pads the last byte with one bits, as the standard asks.
    void Finish()
    {
        if (bits_ > 0)
            Put(0xFF, 8 - bits_);
        out_.resize(used_);
    }

private:
    void Grow()
    {
        out_.resize(std::max<qsizetype>(used_ + 4096, out_.size() * 2));
        data_ = out_.data();
    }

    QByteArray& out_;
    qsizetype used_;
    char* data_ = nullptr;
    std::uint64_t buffer_ = 0;
    int bits_ = 0;
};

int BitLength(int value)
{
    int n = 0;
    for (; value; value >>= 1)
        ++n;
    return n;
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

// No block follows whose DC value must stay as it is.
constexpr int AnyNextDc = INT_MIN;

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

// What coding the band with the picture's own tables gave up: its nonzero values, and of them
// those left out or made smaller (a DC value moved counts as one).
struct CodingLoss {
    long values = 0;
    long lost = 0;
    // A caption that lost this much is no longer legible.
    bool TooMuch() const { return lost * 8 > values; }
};

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

// A baseline picture with all components in one scan and no restart markers: its data can be
// read and written block by block here, so the blocks outside the band are copied bit for bit.
bool CanSplice(const jpeg_decompress_struct& p, const Splice& splice)
{
    if (p.progressive_mode || p.arith_code || p.restart_interval != 0 || p.comps_in_scan != p.num_components)
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

// The MCU rows' blocks of one scan, in the order of the data. visit(i, blockRow, blockColumn).
template <typename Visit>
bool ForEachBlock(const jpeg_decompress_struct& p, JDIMENSION fromRow, JDIMENSION toRow, JDIMENSION mcuColumns, Visit visit)
{
    for (JDIMENSION row = fromRow; row < toRow; ++row)
        for (JDIMENSION column = 0; column < mcuColumns; ++column)
            if (!ForEachBlockOfMcu(p, [&](int i, JDIMENSION by, JDIMENSION bx) {
                    return visit(i, row * JDIMENSION(p.cur_comp_info[i]->v_samp_factor) + by,
                                 column * JDIMENSION(p.cur_comp_info[i]->h_samp_factor) + bx);
                }))
                return false;
    return true;
}

// The tables of each block of an MCU, in the order of the data, and the scan component whose DC
// value it carries.
struct McuCoding {
    int blocks = 0;
    const BlockStarts* starts[D_MAX_BLOCKS_IN_MCU]{};
    const HuffmanTable* dc[D_MAX_BLOCKS_IN_MCU]{};
    const HuffmanTable* ac[D_MAX_BLOCKS_IN_MCU]{};
    int component[D_MAX_BLOCKS_IN_MCU]{};
};

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

// Reads the data up to the band's end: the blocks before the band are only passed over, and so
// are the band's that are copied; the recoded ones are kept.
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
    ScanReader in(data, std::size_t(jpeg.size()), std::size_t(p.src->next_input_byte - data));
    int predictors[MAX_COMPONENTS]{};
    if (!PassOver(in, mcu, std::size_t(band.firstRow) * mcuColumns, predictors))
        return false;
    splice.totalMcus = totalRows * mcuColumns;
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
            const bool read = ForEachBlockOfMcu(p, [&](int i, JDIMENSION by, JDIMENSION bx) {
                const jpeg_component_info* comp = p.cur_comp_info[i];
                const HuffmanTable& dcTable = dc(comp->dc_tbl_no);
                const HuffmanTable& acTable = ac(comp->ac_tbl_no);
                if (how == Recoding::Copied)
                    return SkipBlock(in, *mcu.starts[n++], dcTable, acTable, predictors[i]);
                return DecodeBlock(in, dcTable, acTable, predictors[i],
                                   RecodedBlock(p, band, how, row, column, i, by, bx, n++));
            });
            if (!read)
                return false;
        }
    if (recoding)
        mark(band.rows, 0);
    return !in.Overrun() && !splice.recoded.empty();
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
    std::size_t dataEnd = size;
    CodingLoss loss;
    for (std::size_t r = 0; r < splice.recoded.size(); r += 2) {
        const DataPoint& from = splice.recoded[r];
        const DataPoint& to = splice.recoded[r + 1];
        // The blocks copied before the stretch left the DC values as they were.
        int predictors[MAX_COMPONENTS];
        std::copy(std::begin(from.predictors), std::end(from.predictors), predictors);
        // Each scan component's blocks in the order of the data, with whether the caption drew on
        // them: a block it did not draw on keeps its DC value.
        struct RecodedBlockOf {
            const JCOEF* coefficients;
            bool drawn;
        };
        std::vector<RecodedBlockOf> order[MAX_COMPS_IN_SCAN];
        for (JDIMENSION mcu = from.mcu - bandStart; mcu < to.mcu - bandStart; ++mcu) {
            const JDIMENSION row = mcu / mcuColumns;
            const JDIMENSION column = mcu % mcuColumns;
            const Recoding how = RecodingOf(band, mcuColumns, row, column);
            const bool drawn = how == Recoding::Piece && band.Drawn(row, column);
            int n = 0;
            ForEachBlockOfMcu(p, [&](int i, JDIMENSION by, JDIMENSION bx) {
                order[i].push_back({RecodedBlock(p, band, how, row, column, i, by, bx, n++), drawn});
                return true;
            });
        }
        std::size_t next[MAX_COMPS_IN_SCAN]{};
        const auto code = [&](int i, JDIMENSION, JDIMENSION) {
            const jpeg_component_info* comp = p.cur_comp_info[i];
            const std::size_t at = next[i]++;
            const bool followed = at + 1 < order[i].size() && !order[i][at + 1].drawn;
            return EncodeBlock(writer, dc(comp->dc_tbl_no), ac(comp->ac_tbl_no), predictors[i], order[i][at].coefficients,
                               followed ? order[i][at + 1].coefficients[0] : AnyNextDc, loss);
        };
        for (JDIMENSION mcu = from.mcu; mcu < to.mcu; ++mcu)
            if (!ForEachBlockOfMcu(p, code))
                return {};
        // The blocks copied after the stretch are coded against the DC values it leaves.
        const bool blocksFollow = to.mcu < splice.totalMcus;
        if (loss.TooMuch() || (blocksFollow && !std::equal(std::begin(predictors), std::end(predictors), to.predictors)))
            return {};
        const bool last = r + 2 >= splice.recoded.size();
        const DataPoint* copyTo = last ? nullptr : &splice.recoded[r + 2];
        const std::size_t ended = CopyBits(writer, data, size, to.byte, to.bits, copyTo ? copyTo->byte : size,
                                           copyTo ? copyTo->bits : 0);
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
