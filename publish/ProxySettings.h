#pragma once
// The profile's six proxy fields turned into the SOCKS settings object of the FTP connections.
#include "net/Socks.h"

#include <QString>

namespace tarvo {

// Fills the settings object from the profile's proxy fields. A SocksType that is not exactly one
// of the four list texts leaves Version as it was.
void ApplyProxySettings(SocksInfo& socks, bool UseSocks, const QString& SocksHost, int SocksPort,
                        const QString& SocksUser, const QString& SocksPass, const QString& SocksType);

} // namespace tarvo
