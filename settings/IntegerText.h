#pragma once
// Whole numbers typed into edits: the strict conversion of "OK" and the clamping of exit checks.
#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace tarvo {

// A text that is not a whole number where one is required. what() is
// "'<text>' is not a valid integer value".
class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(const QString& text);
};

// Decimal digits with an optional sign, surrounding blanks allowed, within 32 bits; anything else
// (an empty text included) throws ConvertError.
std::int32_t StrToInt(const QString& text);

// The value of a whole-number text of any length, saturated to 64 bits, so an exit check can
// clamp "99999999999" instead of treating it as no number; nothing for other text.
std::optional<std::int64_t> WholeNumber(const QString& text);

// 32-bit result of a derived value, saturated: records read from files are not range-checked.
std::int32_t SaturateToInt(std::int64_t value);

} // namespace tarvo
