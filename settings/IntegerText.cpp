#include "settings/IntegerText.h"

#include <limits>

namespace tarvo {

ConvertError::ConvertError(const QString& text)
    : std::runtime_error(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString())
{
}

std::optional<std::int64_t> WholeNumber(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    if (i == t.size())
        return std::nullopt;
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 10 - 1;
    std::int64_t value = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        if (value < limit)
            value = value * 10 + (c.unicode() - '0');
    }
    return negative ? -value : value;
}

std::int32_t SaturateToInt(std::int64_t value)
{
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

std::int32_t StrToInt(const QString& text)
{
    const auto value = WholeNumber(text);
    if (!value || *value != SaturateToInt(*value))
        throw ConvertError(text);
    return static_cast<std::int32_t>(*value);
}

} // namespace tarvo
