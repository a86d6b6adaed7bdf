#include "publish/widgets/FtpSettingsTest.h"

#include "net/FtpClient.h"
#include "publish/ProxySettings.h"
#include "settings/IntegerText.h"

#include <QFile>
#include <exception>

namespace tarvo {

namespace {

// Runs one step and reports "  OK", or "  Failed! Reply: " with the last line the server sent
// (after a network failure that is an earlier reply, or nothing).
template <typename Step>
void Report(FtpClient& ftp, const std::function<void(const QString&)>& addLine, Step&& step)
{
    try {
        step();
        addLine(QStringLiteral("  OK"));
    } catch (const std::exception&) {
        addLine(QStringLiteral("  Failed! Reply: ") + ftp.LastReplyText());
    }
}

// A file that cannot be written makes the upload fail when it opens it.
void WriteTestFile(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(FtpTestFileText);
}

} // namespace

void RunFtpTest(FtpClient& ftp, const FtpTestSettings& settings, const QString& localFolder,
                const std::function<void(const QString&)>& addLine)
{
    const int port = StrToInt(settings.port);
    // Proxy fields are ignored while the proxy box is not ticked, the port included: an emptied
    // port box there must not stop a test that does not use the proxy.
    const int socksPort = settings.useSocks ? StrToInt(settings.socksPort) : 0;

    ftp.SetHost(settings.host);
    ftp.SetPort(port);
    ftp.SetUsername(settings.userName);
    ftp.SetPassword(settings.password);
    ftp.SetPassive(settings.passive);
    ApplyProxySettings(ftp.Socks(), settings.useSocks, settings.socksHost, socksPort,
                       settings.socksUser, settings.socksPass, settings.socksType);

    addLine(QStringLiteral("Connecting to ") + settings.host);
    Report(ftp, addLine, [&] { ftp.Open(); });

    // Unlike website publishing, the test stays in the login directory and names the upload
    // directory in the file name.
    const QString remoteName = settings.upDir.isEmpty()
        ? QString::fromLatin1(FtpTestFileName)
        : settings.upDir + QStringLiteral("/") + QString::fromLatin1(FtpTestFileName);

    if (ftp.IsOpen()) {
        addLine(QStringLiteral("Uploading test file to ") + settings.host);
        const QString localFile = localFolder + QString::fromLatin1(FtpTestFileName);
        WriteTestFile(localFile);
        Report(ftp, addLine, [&] { ftp.StoreFile(localFile, remoteName); });
        QFile::remove(localFile);
    }
    if (ftp.IsOpen()) {
        addLine(QStringLiteral("Deleting test file"));
        Report(ftp, addLine, [&] { ftp.DeleteRemote(remoteName); });
    }
    if (ftp.IsOpen()) {
        addLine(QStringLiteral("Disconnecting"));
        Report(ftp, addLine, [&] { ftp.Close(); });
    }
}

} // namespace tarvo
