#include "ui/ProductSite.h"

#include <QString>
#include <algorithm>
#include <cstdlib>

namespace tarvo {

namespace {

// A decimal port 1..65535, or 0.
int PortNumber(const std::string& digits)
{
    if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    const int port = std::stoi(digits);
    return port >= 1 && port <= 65535 ? port : 0;
}

} // namespace

SiteAddress ParseSiteAddress(const std::string& text)
{
    SiteAddress site;
    site.host = text;
    std::string bracketed; // the host as it stands in a Host field
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close != std::string::npos) {
            site.host = text.substr(1, close - 1);
            bracketed = text.substr(0, close + 1);
            if (close + 1 < text.size() && text[close + 1] == ':') {
                if (const int port = PortNumber(text.substr(close + 2)))
                    site.port = port;
                else
                    site.host = text, bracketed.clear();
            }
        }
    } else if (const std::size_t colon = text.find(':'); colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
        if (const int port = PortNumber(text.substr(colon + 1))) {
            site.host = text.substr(0, colon);
            site.port = port;
        }
    }
    if (bracketed.empty())
        bracketed = std::count(site.host.begin(), site.host.end(), ':') >= 2 ? "[" + site.host + "]" : site.host;
    site.hostHeader = site.port == 80 ? bracketed : bracketed + ":" + std::to_string(site.port);
    return site;
}

SiteAddress ProductSite()
{
    const char* override = std::getenv("TARVO_UPDATE_HOST");
    return ParseSiteAddress(override && *override ? override : kProductSiteHost);
}

QUrl ProductPageUrl(const SiteAddress& site)
{
    return QUrl("http://" + QString::fromStdString(site.hostHeader) + "/tarvo");
}

} // namespace tarvo
