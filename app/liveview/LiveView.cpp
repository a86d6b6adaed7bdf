#include "app/liveview/LiveView.h"

#include "app/liveview/LiveFrameHub.h"
#include "common/EventLog.h"
#include "imaging/JpegWriter.h"

#include <QFile>
#include <QHostAddress>
#include <QImage>
#include <QNetworkInterface>
#include <QRandomGenerator>

namespace tarvo {

namespace {
const QString Sender = QStringLiteral("LiveView");

void Log(const QString& msg) { ProgramLog().WriteLog(msg, true, Sender); }

// The picture shown before the camera gave one: the offline picture, else a plain grey one.
QByteArray Placeholder(const QString& programDir)
{
    QFile offline(programDir + QStringLiteral("offline.jpg"));
    if (offline.open(QIODevice::ReadOnly))
        return offline.readAll();
    QImage grey(320, 240, QImage::Format_RGB32);
    grey.fill(QColor(64, 64, 64));
    return JpegWriter().Compress(grey);
}

// The host part of the address to open: for "every address" the machine's first address on the
// home network, since that is what another device types.
QString UrlHost(const QString& listen)
{
    QHostAddress address(listen);
    if (address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6) {
        for (const QHostAddress& a : QNetworkInterface::allAddresses())
            if (!a.isLoopback() && a.protocol() == QAbstractSocket::IPv4Protocol)
                return a.toString();
        return QStringLiteral("localhost");
    }
    return address.protocol() == QAbstractSocket::IPv6Protocol ? '[' + address.toString() + ']' : address.toString();
}

bool ReadFile(const QString& name, QByteArray& bytes)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return !bytes.isEmpty();
}
} // namespace

LiveView::LiveView(LiveFrameHub& frames, const QString& programDir)
    : frames_(frames), programDir_(programDir), routes_(frames, status_) {}

LiveView::~LiveView() { Stop(); }

void LiveView::SetControl(LiveControl control) { routes_.SetControl(&controlContext_, std::move(control)); }

void LiveView::Stop()
{
    const bool wasRunning = Running();
    // Streams see the stop before the hub wakes them, so none repeats its last frame in a loop.
    routes_.stopping = true;
    frames_.Stop();
    if (server_)
        server_->Stop();
    server_.reset();
    auth_.reset();
    url_.clear();
    if (wasRunning)
        Log(QStringLiteral("Live view stopped"));
}

void LiveView::Apply(const OptionsValues& options, const LiveViewOptions& settings, LiveServerConfig limits)
{
    Stop();
    status_.Configure(options);
    if (!settings.Enabled)
        return;
    std::optional<PasswordHash> hash;
    if (!settings.PasswordHash.isEmpty()) {
        hash = PasswordHash::Parse(settings.PasswordHash);
        if (!hash) {
            Log(QStringLiteral("Live view not started: its password setting is damaged; set the password again."));
            return;
        }
    }
    if (!hash && LiveServer::BeyondLoopback(settings.Listen)) {
        Log(QStringLiteral("Live view not started: it would be open to the network without a password. Set a password or listen on 127.0.0.1."));
        return;
    }
    limits.listen = settings.Listen.trimmed();
    limits.port = settings.Port;
    const bool tls = !settings.CertFile.isEmpty() || !settings.KeyFile.isEmpty();
    if (tls && (!ReadFile(settings.CertFile, limits.certPem) || !ReadFile(settings.KeyFile, limits.keyPem))) {
        Log(QStringLiteral("Live view not started: the certificate or key file cannot be read."));
        return;
    }
    routes_.SetPlaceholder(Placeholder(programDir_));
    // New at every start: a page of an earlier run (or a copy of its token) controls nothing.
    QByteArray token(16, Qt::Uninitialized);
    QRandomGenerator::system()->generate(token.begin(), token.end());
    routes_.SetToken(token.toHex());
    auth_ = std::make_unique<LiveAuth>(settings.User, hash, limits.rememberedAddresses);
    server_ = std::make_unique<LiveServer>(routes_, *auth_);
    QString error;
    if (!server_->Start(limits, error)) {
        server_.reset();
        auth_.reset();
        Log(QStringLiteral("Live view not started: %1").arg(error));
        return;
    }
    frames_.Start(options, settings.StreamFps);
    url_ = QStringLiteral("%1://%2:%3/").arg(tls ? "https" : "http", UrlHost(limits.listen)).arg(server_->Port());
    Log(QStringLiteral("Live view at %1").arg(url_));
}

} // namespace tarvo
