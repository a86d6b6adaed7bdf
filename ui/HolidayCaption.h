#pragma once
// The About window's greeting on holidays: "Merry Christmas!" on 24 and 25 December, "Happy New
// Year!" on 1 January; nothing on other days (the caption is then left as it is).
#include <QDate>
#include <QString>
#include <optional>

namespace tarvo {

inline std::optional<QString> HolidayCaption(const QDate& today)
{
    if (today.month() == 12 && (today.day() == 24 || today.day() == 25))
        return QStringLiteral("Merry Christmas!");
    if (today.month() == 1 && today.day() == 1)
        return QStringLiteral("Happy New Year!");
    return std::nullopt;
}

} // namespace tarvo
