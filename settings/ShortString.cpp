#include "settings/ShortString.h"

#include <algorithm>
#include <cstring>

namespace tarvo {

std::size_t Utf8PrefixLength(std::string_view utf8, std::size_t maxBytes)
{
    if (utf8.size() <= maxBytes)
        return utf8.size();
    std::size_t n = maxBytes;
    // Step back over continuation bytes (10xxxxxx) so the cut lands before a lead byte.
    while (n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

QString ShortString::str() const { return QString::fromUtf8(chars, len); }

void ShortString::setBytes(std::string_view utf8)
{
    const std::size_t n = Utf8PrefixLength(utf8, sizeof chars);
    std::memcpy(chars, utf8.data(), n);
    len = static_cast<std::uint8_t>(n);
}

void ShortString::set(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    setBytes(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

} // namespace tarvo
