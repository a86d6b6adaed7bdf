#include "net/FtpClient.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tarvo {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A CR or LF in a command argument would end the command early and smuggle in another one.
void RefuseLineBreaks(const QString& text, const char* what)
{
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0)))
        throw FtpError(QStringLiteral("Invalid character in %1.").arg(QLatin1String(what)));
}

std::string Utf8(const QString& s) { return s.toStdString(); }

bool IsIPv6(const std::string& numericAddress) { return numericAddress.find(':') != std::string::npos; }

bool Accepts(std::initializer_list<int> accepted, int code)
{
    return std::find(accepted.begin(), accepted.end(), code) != accepted.end();
}

} // namespace

FtpError::FtpError(const QString& message) : std::runtime_error(message.toStdString()) {}

FtpClient::FtpClient() = default;
FtpClient::~FtpClient() = default;

bool FtpClient::IsOpen() const { return control_.IsOpen(); }

bool FtpClient::StillOpen()
{
    if (control_.HasInputOrHangUp())
        control_.Close();
    return control_.IsOpen();
}

QString FtpClient::LastReplyText() const { return QString::fromUtf8(lastReply_.LastLine()); }

int FtpClient::LastReplyCode() const { return lastReply_.code; }

void FtpClient::Abort() { abort_.Raise(); }

void FtpClient::ClearAbort() { abort_.Clear(); }

void FtpClient::Close() { control_.Close(); }

Deadline FtpClient::LimitFrom(std::chrono::milliseconds limit) const
{
    const Deadline own = DeadlineIn(limit);
    return callDeadline_ ? std::min(own, *callDeadline_) : own;
}

template <typename F> void FtpClient::Guarded(F&& exchange)
{
    if (!control_.IsOpen())
        throw FtpError(QStringLiteral("Not connected."));
    try {
        exchange();
    } catch (const NetworkError& e) {
        control_.Close();
        throw FtpError(QString::fromUtf8(e.what()));
    }
}

void FtpClient::SendCommand(const std::string& line)
{
    control_.SendAll(line + "\r\n", LimitFrom(timeouts_.reply));
}

const FtpReply& FtpClient::ReadReply(Deadline deadline)
{
    FtpReplyAssembler assembler;
    while (!assembler.AddLine(reader_.ReadLine(control_, deadline))) {
    }
    lastReply_ = assembler.Take();
    // 421: the server closes the connection after this reply. Closing this side as well makes the
    // next operation reconnect instead of running into the dead socket.
    if (lastReply_.code == 421)
        control_.Close();
    return lastReply_;
}

const FtpReply& FtpClient::Expect(std::initializer_list<int> accepted, Deadline deadline)
{
    const FtpReply& reply = ReadReply(deadline);
    if (!Accepts(accepted, reply.code))
        throw FtpError(QString::fromUtf8(reply.LastLine()));
    return reply;
}

const FtpReply& FtpClient::Command(const std::string& line, std::initializer_list<int> accepted)
{
    SendCommand(line);
    return Expect(accepted, LimitFrom(timeouts_.reply));
}

void FtpClient::Open()
{
    control_.Close();
    reader_.Clear();
    RefuseLineBreaks(user_, "the user name");
    RefuseLineBreaks(password_, "the password");
    try {
        control_ = ConnectVia(socks_, Utf8(host_), port_, LimitFrom(timeouts_.connect), &abort_);
        Expect({220}, LimitFrom(timeouts_.reply)); // greeting
        Login();
        Command("type I", {200});
        Command("syst", {200, 215, 500}); // asked for, as servers expect it; the answer is not used
    } catch (const NetworkError& e) {
        control_.Close();
        throw FtpError(QString::fromUtf8(e.what()));
    } catch (...) {
        control_.Close();
        throw;
    }
}

void FtpClient::Login()
{
    // 230 right after the user name: the server wants no password.
    if (Command("user " + Utf8(user_), {230, 331}).code == 331)
        Command("pass " + Utf8(password_), {230});
}

void FtpClient::ChangeDirectory(const QString& directory)
{
    RefuseLineBreaks(directory, "the directory name");
    Guarded([&] { Command("CWD " + Utf8(directory), {250}); });
}

void FtpClient::DeleteRemote(const QString& remoteName)
{
    RefuseLineBreaks(remoteName, "the remote file name");
    Guarded([&] { Command("DELE " + Utf8(remoteName), {250}); });
}

void FtpClient::RenameRemote(const QString& oldName, const QString& newName)
{
    RefuseLineBreaks(oldName, "the remote file name");
    RefuseLineBreaks(newName, "the remote file name");
    Guarded([&] {
        Command("RNFR " + Utf8(oldName), {350});
        Command("RNTO " + Utf8(newName), {250});
    });
}

// Behind a proxy the client cannot know the server's address family; PASV serves there as it
// always has, since only the port of the reply is used.
int FtpClient::EnterPassive(Deadline deadline)
{
    const bool extended = socks_.Version == svNoSocks && IsIPv6(control_.PeerAddress());
    SendCommand(extended ? "EPSV" : "PASV");
    const std::string line = Expect({extended ? 229 : 227}, deadline).LastLine();
    std::optional<int> port;
    if (extended)
        port = ParseExtendedPassiveReply(line);
    else if (const auto target = ParsePassiveReply(line))
        port = target->port;
    if (!port)
        throw FtpError(QStringLiteral("Malformed passive reply: %1").arg(QString::fromUtf8(line)));
    return *port;
}

TcpSocket FtpClient::OpenPassiveData(int port, Deadline deadline)
{
    // The data connection goes to the control connection's server whatever address the 227
    // names, so a server cannot direct the upload to a third host.
    const std::string server = socks_.Version == svNoSocks ? control_.PeerAddress() : Utf8(host_);
    return ConnectVia(socks_, server, port, deadline, &abort_);
}

TcpListener FtpClient::OfferActiveData(Deadline deadline)
{
    const std::string local = control_.LocalAddress();
    TcpListener listener = TcpListener::Listen(local, &abort_);
    const int port = listener.Port();
    if (IsIPv6(local)) {
        SendCommand("EPRT |2|" + local + "|" + std::to_string(port) + "|");
    } else {
        std::string hostPort = local;
        std::replace(hostPort.begin(), hostPort.end(), '.', ',');
        SendCommand("PORT " + hostPort + "," + std::to_string(port / 256) + "," + std::to_string(port % 256));
    }
    Expect({200}, deadline);
    return listener;
}

void FtpClient::SendFile(TcpSocket& data, std::FILE* file, Deadline deadline)
{
    std::string chunk(64 * 1024, '\0');
    for (;;) {
        const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), file);
        if (n > 0)
            data.SendAllWithStallLimit({chunk.data(), n}, timeouts_.transferStall, deadline);
        if (n < chunk.size()) {
            if (std::ferror(file))
                throw NetworkError("Could not read the local file.");
            break;
        }
    }
    data.Close();
}

void FtpClient::StoreFile(const QString& localFileName, const QString& remoteName)
{
    RefuseLineBreaks(remoteName, "the remote file name");
    if (!control_.IsOpen())
        throw FtpError(QStringLiteral("Not connected."));
    FilePtr file(std::fopen(localFileName.toLocal8Bit().constData(), "rb"));
    if (!file)
        throw FtpError(QStringLiteral("Cannot open file %1: %2").arg(localFileName, QString::fromUtf8(std::strerror(errno))));

    const Deadline uploadEnd = LimitFrom(timeouts_.upload);
    const auto within = [&](std::chrono::milliseconds limit) { return std::min(LimitFrom(limit), uploadEnd); };
    Guarded([&] {
        TcpSocket data;
        if (passive_) {
            const int port = EnterPassive(within(timeouts_.reply));
            SendCommand("STOR " + Utf8(remoteName));
            data = OpenPassiveData(port, within(timeouts_.connect));
            Expect({110, 125, 150}, within(timeouts_.reply));
        } else {
            TcpListener listener = OfferActiveData(within(timeouts_.reply));
            SendCommand("STOR " + Utf8(remoteName));
            Expect({125, 150}, within(timeouts_.reply));
            // Without a proxy the data connection can only come from the control connection's
            // server; through one, the server's address is not known here.
            const std::string server = socks_.Version == svNoSocks ? control_.PeerAddress() : std::string();
            data = listener.Accept(within(timeouts_.dataAccept), server);
        }
        SendFile(data, file.get(), uploadEnd);
        // 426 (transfer aborted) is taken back by a following 226 on some servers.
        if (Expect({225, 226, 250, 426}, within(timeouts_.reply)).code == 426)
            Expect({226}, within(timeouts_.reply));
    });
}

} // namespace tarvo
