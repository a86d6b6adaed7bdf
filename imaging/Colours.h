#pragma once
// Conversions between the settings' colour values (0x00BBGGRR, red in the low byte) and Qt's.
#include "settings/OptionsValues.h"

#include <QColor>
#include <QRgb>
#include <cstdint>

namespace tarvo {

// A pixel as the motion comparison reads it: 0x00BBGGRR, so that blue is the most significant byte.
constexpr std::int32_t ToColorRef(QRgb rgb)
{
    return static_cast<std::int32_t>(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

inline QColor ToQColor(Colour c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

inline Colour ToColour(const QColor& c)
{
    return Colour(c.red()) | (Colour(c.green()) << 8) | (Colour(c.blue()) << 16);
}

} // namespace tarvo
