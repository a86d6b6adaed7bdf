#pragma once
// Where the product web site is: our own host, or the host (and port) named by the environment
// variable TARVO_UPDATE_HOST, so a test can point the version check at a server of its own.
#include <QUrl>
#include <string>

namespace tarvo {

struct SiteAddress {
    std::string host;       // for connecting: a name or a numeric address, without brackets
    int port = 80;
    std::string hostHeader; // for the Host field and links: host, with ":port" when not 80
};

inline constexpr const char* kProductSiteHost = "www.tarvo.example";
inline constexpr const char* kVersionFilePath = "/tarvo/ver.txt";

// "host", "host:port", "[v6 address]" or "[v6 address]:port"; an unusable port leaves the
// whole text as the host name, which then simply fails to connect.
SiteAddress ParseSiteAddress(const std::string& text);
// The product site, with TARVO_UPDATE_HOST applied.
SiteAddress ProductSite();
// The page the About window opens: the site's "/tarvo".
QUrl ProductPageUrl(const SiteAddress& site);

} // namespace tarvo
