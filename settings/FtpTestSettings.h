#pragma once
// The FTP and proxy settings of the setup dialog and the firewall/proxy window as typed, before
// they are accepted, for the FTP settings test.
#include <QString>

namespace tarvo {

// The ports are texts: they are converted only when the test runs.
struct FtpTestSettings {
    QString host;
    QString port;
    QString userName;
    QString password;
    bool passive = false;
    QString upDir;
    bool useSocks = false;
    QString socksHost;
    QString socksPort;
    QString socksUser;
    QString socksPass;
    QString socksType;
};

} // namespace tarvo
