#pragma once
// Length-prefixed text field of the settings record: byte 0 is the length (0..255), then the
// UTF-8 bytes. Bytes after the text belong to no value; they are kept as they are.
#include <QString>
#include <cstdint>
#include <string_view>

namespace tarvo {

struct ShortString {
    std::uint8_t len;
    char chars[255];

    QString str() const;
    std::string_view bytes() const { return {chars, len}; }
    // Stores text, cut to 255 bytes without splitting a UTF-8 character.
    void set(const QString& text);
    void setBytes(std::string_view utf8);
    ShortString& operator=(const QString& text) { set(text); return *this; }
    ShortString& operator=(const char* text) { set(QString::fromUtf8(text)); return *this; }
    bool operator==(const QString& text) const { return str() == text; }
};
static_assert(sizeof(ShortString) == 256);
static_assert(alignof(ShortString) == 1);

// One-byte Boolean of the record. Kept as a byte so that any value read from a file is defined
// (non-zero reads as true); writers store only 0 and 1.
struct Flag {
    std::uint8_t value;
    operator bool() const { return value != 0; }
    Flag& operator=(bool b) { value = b ? 1 : 0; return *this; }
};
static_assert(sizeof(Flag) == 1);

// Length of the longest prefix of utf8 that is at most maxBytes and ends on a character boundary.
std::size_t Utf8PrefixLength(std::string_view utf8, std::size_t maxBytes);

} // namespace tarvo
