#include "ui/VersionFile.h"

#include <QLocale>
#include <algorithm>

namespace tarvo {

namespace {

// The `count` characters after the first `marker`, when all are ASCII digits.
std::optional<std::string_view> DigitsAfter(std::string_view text, std::string_view marker, std::size_t count)
{
    const std::size_t at = text.find(marker);
    if (at == std::string_view::npos || text.size() - at - marker.size() < count)
        return std::nullopt;
    const std::string_view digits = text.substr(at + marker.size(), count);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return digits;
}

int Number(std::string_view digits)
{
    int n = 0;
    for (char c : digits)
        n = n * 10 + (c - '0');
    return n;
}

} // namespace

std::optional<RemoteVersion> ParseVersionFile(std::string_view text)
{
    const auto version = DigitsAfter(text, "%ver%", 3);
    const auto date = DigitsAfter(text, "%date%", 8);
    if (!version || !date)
        return std::nullopt;
    const QDate released(Number(date->substr(4, 4)), Number(date->substr(2, 2)), Number(date->substr(0, 2)));
    if (!released.isValid())
        return std::nullopt;
    RemoteVersion remote;
    remote.number = Number(*version);
    remote.text = QString::fromLatin1(version->substr(0, 1)) + "." + QString::fromLatin1(version->substr(1, 2));
    remote.released = released;
    return remote;
}

QString NewVersionMessage(const RemoteVersion& remote)
{
    return "New version available since " + QLocale::system().toString(remote.released, QLocale::ShortFormat) + ": "
        + remote.text + ". Visit the Tarvo website for more information.";
}

} // namespace tarvo
