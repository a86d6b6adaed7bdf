#pragma once
// The version file on the product web site: "%ver%" followed by the latest version as three
// digits without the point (127 for 1.27) and "%date%" followed by its release date as DDMMYYYY,
// anywhere in the text; only the first occurrence of each marker counts.
#include <QDate>
#include <QString>
#include <optional>
#include <string_view>

namespace tarvo {

struct RemoteVersion {
    int number = 0;      // 127
    QString text;        // "1.27"
    QDate released;
};

// Nothing when a marker is missing, its digits are short or not numeric, or the date is impossible.
std::optional<RemoteVersion> ParseVersionFile(std::string_view text);

// "New version available since <short date>: 1.27. Visit the Tarvo website for more information."
QString NewVersionMessage(const RemoteVersion& remote);

} // namespace tarvo
