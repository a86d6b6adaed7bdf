#include "publish/ProxySettings.h"

#include "settings/OptionsValues.h"

namespace tarvo {

void ApplyProxySettings(SocksInfo& socks, bool UseSocks, const QString& SocksHost, int SocksPort,
                        const QString& SocksUser, const QString& SocksPass, const QString& SocksType)
{
    if (!UseSocks) {
        socks.Authentication = saNoAuthentication;
        socks.Host.clear();
        socks.Password.clear();
        socks.UserID.clear();
        socks.Port = 0;
        socks.Version = svNoSocks;
        return;
    }
    socks.Authentication = !SocksUser.isEmpty() && !SocksPass.isEmpty() ? saUsernamePassword : saNoAuthentication;
    socks.Host = SocksHost;
    socks.Password = SocksPass;
    socks.Port = SocksPort;
    socks.UserID = SocksUser;
    if (SocksType == QLatin1String(SocksTypeNone))
        socks.Version = svNoSocks;
    else if (SocksType == QLatin1String(SocksType4))
        socks.Version = svSocks4;
    else if (SocksType == QLatin1String(SocksType4A))
        socks.Version = svSocks4A;
    else if (SocksType == QLatin1String(SocksType5))
        socks.Version = svSocks5;
}

} // namespace tarvo
