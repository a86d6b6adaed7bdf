#pragma once
// The entropy-coded data of a baseline JPEG scan, read, passed over and written without libjpeg:
// the caption stamp codes a few blocks of a camera's picture anew and copies the rest bit for bit.
#include <QByteArray>
#include <QtEndian>
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio> // jpeglib.h needs FILE declared first
#include <cstring>
#include <utility>
#include <vector>

#include <jpeglib.h>

namespace tarvo {

// The top bit of each byte of word that is 0xFF: its low seven bits are set, and so is its top
// bit. No carry crosses into the next byte, so each byte is judged alone.
inline std::uint64_t BytesFF(std::uint64_t word)
{
    return ((word & 0x7F7F7F7F7F7F7F7Full) + 0x0101010101010101ull) & word & 0x8080808080808080ull;
}

inline std::uint64_t ReadBigEndian64(const std::uint8_t* at)
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
inline int Extend(int value, int size) { return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value; }

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
    // Ends a restart interval: its last byte padded with one bits, then the marker RSTn.
    void PutRestartMarker(int n)
    {
        if (bits_ > 0)
            Put(0xFF, 8 - bits_);
        Reserve(1);
        data_[used_++] = char(0xFF);
        data_[used_++] = char(0xD0 + (n & 7));
    }
    // Bytes as they stand, zero bytes after 0xFF and markers included, at the start of a byte (as
    // after a restart marker).
    void PutBytes(const std::uint8_t* bytes, std::size_t count)
    {
        while (used_ + qsizetype(count) > out_.size())
            Grow();
        std::memcpy(data_ + used_, bytes, count);
        used_ += qsizetype(count);
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

// No block follows whose DC value must stay as it is.
constexpr int AnyNextDc = INT_MIN;

// What coding the band with the picture's own tables gave up: its nonzero values, and of them
// those left out or made smaller (a DC value moved counts as one).
struct CodingLoss {
    long values = 0;
    long lost = 0;
    // A caption that lost this much is no longer legible.
    bool TooMuch() const { return lost * 8 > values; }
};

// The tables of each block of an MCU, in the order of the data, and the scan component whose DC
// value it carries.
struct McuCoding {
    int blocks = 0;
    const BlockStarts* starts[D_MAX_BLOCKS_IN_MCU]{};
    const HuffmanTable* dc[D_MAX_BLOCKS_IN_MCU]{};
    const HuffmanTable* ac[D_MAX_BLOCKS_IN_MCU]{};
    int component[D_MAX_BLOCKS_IN_MCU]{};
};

// The look-ups of a Huffman table, kept for the next pictures on this thread: a camera sends the
// same tables with every frame, and making the look-ups takes as long as passing over a tenth of
// a large picture. Null for a table no valid picture has. A picture has at most eight tables: the
// look-ups outlast its stamp.
const HuffmanTable* LookupsOf(const JHUFF_TBL& table, bool ac);

// The block starts of a pair of tables, kept as their look-ups are (LookupsOf).
const BlockStarts& BlockStartsOf(const HuffmanTable& dc, const HuffmanTable& ac);

// One block; its coefficients go to out unless that is null. False for damaged data.
bool DecodeBlock(ScanReader& in, const HuffmanTable& dc, const HuffmanTable& ac, int& predictor, JCOEF* out);

// One block in the tables' codes. nextDc: the DC value of the component's next block when that
// block keeps its value, which must stay codable after this one's (AnyNextDc when none); a DC
// value is moved as little as that and the table's codes ask. False when the tables lack the
// codes every block needs.
bool EncodeBlock(ScanWriter& out, const HuffmanTable& dc, const HuffmanTable& ac, int& predictor, const JCOEF* block,
                 int nextDc, CodingLoss& loss);

// Passes over whole MCUs, keeping only the DC values: what a caption at the bottom costs. The
// reader works on a copy of its own, which stays in registers.
bool PassOver(ScanReader& reader, const McuCoding& mcu, std::size_t mcus, int* predictors);

// Where each restart interval of a scan's data begins: the first at `from`, each next one after the
// marker that ends the one before, RST0 to RST7 in turn. Empty unless the data holds `intervals`
// of them and a marker of another kind after the last (a picture cut short has none).
std::vector<std::size_t> RestartIntervalStarts(const std::uint8_t* data, std::size_t size, std::size_t from,
                                               std::size_t intervals);

// Copies the data's bits from one place to another (to: the byte after the last, or the end of
// the data); the zero bytes after 0xFF are taken out and put in where the bits now need them.
// Where the data ended: the marker after it, or its end.
std::size_t CopyBits(ScanWriter& writer, const std::uint8_t* data, std::size_t size, std::size_t fromByte, int fromBits,
                     std::size_t toByte, int toBits);

} // namespace tarvo
