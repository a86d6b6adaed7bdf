// The FTP client against real servers (pyftpdlib, vsftpd, microsocks in front) and, for replies
// no real server gives, a scripted one.
#include "PublishPeers.h"
#include "net/FtpClient.h"
#include "publish/ProxySettings.h"
#include "settings/OptionsValues.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <atomic>
#include <csignal>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <tuple>

namespace tarvo {

using namespace std::chrono_literals;

namespace {

QByteArray RandomBytes(int size)
{
    std::mt19937 gen(size);
    QByteArray b(size, '\0');
    for (auto& c : b)
        c = static_cast<char>(gen());
    return b;
}

class LocalFiles {
public:
    QString Make(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir_.path() + "/" + name;
        WriteFileBytes(path, bytes);
        return path;
    }

private:
    QTemporaryDir dir_;
};

void ShortLimits(FtpClient& ftp, std::chrono::milliseconds limit = 1500ms)
{
    limit = TestTime(limit);
    ftp.Timeouts() = {limit, limit, limit, limit, limit * 3};
}

void PointAt(FtpClient& ftp, int port, const QString& user = "tarvo", const QString& password = "secret")
{
    ftp.SetHost("127.0.0.1");
    ftp.SetPort(port);
    ftp.SetUsername(user);
    ftp.SetPassword(password);
}

// What a failing call said; empty when it did not fail.
template <typename F> QString FailureOf(F&& call)
{
    try {
        call();
    } catch (const FtpError& e) {
        return e.Message();
    }
    return {};
}

class RealServer : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Started()) << "pyftpdlib did not start";
        PointAt(ftp, server.Port());
        ftp.SetPassive(GetParam());
    }
    PyFtpServer server;
    FtpClient ftp;
    LocalFiles files;
};

TEST_P(RealServer, UploadsRenamesAndDeletesInTheDirectory)
{
    ftp.Open();
    ASSERT_TRUE(ftp.IsOpen());
    ftp.ChangeDirectory("www");
    const QByteArray picture = RandomBytes(700 * 1024 + 13);
    ftp.StoreFile(files.Make("pic.jpg", picture), "a.jpg");
    EXPECT_EQ(ReadFileBytes(server.Root() + "www/a.jpg"), picture);

    // A second STOR replaces the file, a rename replaces another name.
    ftp.StoreFile(files.Make("small.jpg", "tiny"), "a.jpg");
    EXPECT_EQ(ReadFileBytes(server.Root() + "www/a.jpg"), "tiny");
    ftp.RenameRemote("a.jpg", "b.jpg");
    EXPECT_FALSE(QFile::exists(server.Root() + "www/a.jpg"));
    EXPECT_EQ(ReadFileBytes(server.Root() + "www/b.jpg"), "tiny");
    ftp.DeleteRemote("b.jpg");
    EXPECT_FALSE(QFile::exists(server.Root() + "www/b.jpg"));
    EXPECT_EQ(ftp.LastReplyCode(), 250);

    const QStringList sent = server.Commands();
    EXPECT_TRUE(sent.contains("user tarvo"));
    EXPECT_TRUE(sent.contains("type I"));
    EXPECT_TRUE(sent.contains("syst"));
    EXPECT_EQ(server.CountCommands(GetParam() ? "PASV" : "PORT 127,0,0,1,"), 2);
    ftp.Close();
    EXPECT_FALSE(ftp.IsOpen());
    ftp.Close(); // closing a closed client does nothing
}

TEST_P(RealServer, RefusalsCarryTheRepliesLastLine)
{
    ftp.SetPassword("wrong");
    EXPECT_TRUE(FailureOf([&] { ftp.Open(); }).startsWith("530 ")) << ftp.LastReplyText().toStdString();
    EXPECT_FALSE(ftp.IsOpen()) << "a failed login ends disconnected";

    ftp.SetPassword("secret");
    ftp.Open();
    EXPECT_TRUE(FailureOf([&] { ftp.ChangeDirectory("missing"); }).startsWith("550 "));
    EXPECT_TRUE(FailureOf([&] { ftp.DeleteRemote("missing.jpg"); }).startsWith("550 "));
    EXPECT_TRUE(FailureOf([&] { ftp.RenameRemote("missing.jpg", "other.jpg"); }).startsWith("550 "));
    EXPECT_EQ(server.CountCommands("RNTO"), 0) << "no RNTO after a refused RNFR";
    EXPECT_TRUE(ftp.IsOpen()) << "a refused command keeps the connection";

    const QString missing = FailureOf([&] { ftp.StoreFile("/nonexistent/UpPic.jpg", "x.jpg"); });
    EXPECT_TRUE(missing.startsWith("Cannot open file /nonexistent/UpPic.jpg")) << missing.toStdString();
    EXPECT_EQ(server.CountCommands("STOR"), 0) << "the local file is opened before any command";
    EXPECT_EQ(server.CountCommands("PASV") + server.CountCommands("PORT"), 0);
}

TEST_P(RealServer, LineBreaksInNamesAreRefusedBeforeSending)
{
    ftp.Open();
    ftp.StoreFile(files.Make("keep.jpg", "keep"), "keep.jpg");
    for (const QString& name : {QString("a.jpg\r\nDELE keep.jpg"), QString("a.jpg\nDELE keep.jpg"), QString("a\rb")}) {
        EXPECT_FALSE(FailureOf([&] { ftp.DeleteRemote(name); }).isEmpty());
        EXPECT_FALSE(FailureOf([&] { ftp.RenameRemote("keep.jpg", name); }).isEmpty());
        EXPECT_FALSE(FailureOf([&] { ftp.StoreFile(files.Make("k", "k"), name); }).isEmpty());
        EXPECT_FALSE(FailureOf([&] { ftp.ChangeDirectory(name); }).isEmpty());
    }
    EXPECT_EQ(server.CountCommands("DELE"), 0);
    EXPECT_EQ(server.CountCommands("RNFR"), 0);
    EXPECT_TRUE(QFile::exists(server.Root() + "keep.jpg"));
    ftp.Close();

    ftp.SetUsername("tarvo\r\nDELE keep.jpg");
    EXPECT_EQ(FailureOf([&] { ftp.Open(); }), "Invalid character in the user name.");
    EXPECT_EQ(server.CountCommands("user"), 1) << "the refused login never reached the server";
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, RealServer, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

// Over IPv6 the data connection is negotiated with EPSV / EPRT, which carry IPv6; PASV and PORT
// stay for IPv4. "localhost" is whatever this machine makes of it.
class OverEitherFamily : public ::testing::TestWithParam<std::tuple<const char*, bool>> {};

TEST_P(OverEitherFamily, UploadsNegotiateTheDataConnectionForTheFamily)
{
    const auto [host, passive] = GetParam();
    if (!HasIpv6Loopback() && std::string(host) == "::1")
        GTEST_SKIP() << "this machine has no IPv6 loopback address ::1";
    // The server listens on the first address the name resolves to.
    PyFtpServer server({host});
    ASSERT_TRUE(server.Started()) << "pyftpdlib did not start on " << host;
    const std::string address = server.Address().toStdString();
    LocalFiles files;
    FtpClient ftp;
    ShortLimits(ftp, 5000ms);
    PointAt(ftp, server.Port());
    ftp.SetHost(host);
    ftp.SetPassive(passive);
    ftp.Open();
    const QByteArray bytes = RandomBytes(200 * 1024 + passive);
    ftp.StoreFile(files.Make("p.jpg", bytes), "v6.jpg");
    EXPECT_EQ(ReadFileBytes(server.Root() + "v6.jpg"), bytes);
    ftp.Close();

    const bool ipv6 = address.find(':') != std::string::npos;
    const QString expected = passive ? (ipv6 ? "EPSV" : "PASV") : (ipv6 ? "EPRT |2|" + QString::fromStdString(address) + "|" : "PORT ");
    EXPECT_EQ(server.CountCommands(expected), 1) << server.Commands().join('|').toStdString();
    for (const char* other : {"EPSV", "EPRT", "PASV", "PORT"}) {
        if (!expected.startsWith(other)) {
            EXPECT_EQ(server.CountCommands(other), 0) << other;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Hosts, OverEitherFamily,
                         ::testing::Combine(::testing::Values("::1", "localhost"), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == std::string("::1") ? "Ipv6Loopback" : "Localhost") +
                                    (std::get<1>(info.param) ? "Passive" : "Active");
                         });

TEST(FtpClientNetwork, AnAddressThatDropsTheAttemptLeavesTimeForTheNext)
{
    if (!HasIpv6Loopback())
        GTEST_SKIP() << "this machine has no IPv6 loopback address ::1";
    // The same port on both addresses of one name: the first drops the attempt, the second answers.
    TcpListener answering = TcpListener::Listen("::1");
    DroppingListener dropping("127.0.0.1", answering.Port());
    if (!dropping.Started())
        GTEST_SKIP() << "port " << answering.Port() << " is taken on 127.0.0.1";
    const std::vector<ResolvedAddress> addresses{{AF_INET, "127.0.0.1"}, {AF_INET6, "::1"}};
    const Deadline deadline = DeadlineIn(4s);
    TcpSocket s = TcpSocket::ConnectAny(addresses, "dual", answering.Port(), deadline);
    EXPECT_EQ(s.PeerAddress(), "::1");
    EXPECT_LT(SteadyClock::now(), deadline) << "the first address had only its share of the time";
    EXPECT_EQ(answering.Accept(DeadlineIn(5s)).PeerAddress(), "::1");

    // With nothing answering, the attempt ends at its limit with the name in the message.
    try {
        TcpSocket::ConnectAny({addresses[0]}, "dual", answering.Port(), DeadlineIn(500ms));
        ADD_FAILURE() << "connected to a dropping address";
    } catch (const NetworkError& e) {
        EXPECT_EQ(std::string(e.what()), "Timed out connecting to dual:" + std::to_string(answering.Port()) + ".");
    }
}

TEST(FtpClientNetwork, RefusedConnectionAndOperationsWhileClosed)
{
    FtpClient ftp;
    ShortLimits(ftp);
    PointAt(ftp, ClosedTcpPort());
    const QString refused = FailureOf([&] { ftp.Open(); });
    EXPECT_TRUE(refused.startsWith("Connection refused")) << refused.toStdString();
    EXPECT_FALSE(ftp.IsOpen());
    EXPECT_EQ(FailureOf([&] { ftp.ChangeDirectory("www"); }), "Not connected.");
    EXPECT_EQ(FailureOf([&] { ftp.DeleteRemote("a"); }), "Not connected.");
    ftp.Close();
}

TEST(FtpClientScripted, LoginWithoutPasswordAndMultiLineReplies)
{
    ScriptedServer server([](ScriptedPeer& p) {
        p.Send("220-Welcome\r\n  to the\r\n\r\n220 scripted server\r\n");
        p.ReadLine();
        p.Send("230-No password\r\n230-needed\r\n230 here\r\n");
        p.ReadLine();
        p.Send("200 ok\r\n");
        p.ReadLine();
        p.Send("500 syst unknown\r\n");
        p.ReadLine();
        p.Send("250-Directory\r\n250 changed\r\n");
        p.ReadToClose();
    });
    FtpClient ftp;
    ShortLimits(ftp);
    PointAt(ftp, server.Port(), "anonymous");
    ftp.Open();
    ftp.ChangeDirectory("www");
    EXPECT_EQ(ftp.LastReplyText(), "250 changed");
    ftp.Close();
    ASSERT_TRUE(WaitFor([&] { return server.Received().size() >= 4; }));
    EXPECT_EQ(server.Received(), (std::vector<std::string>{"user anonymous", "type I", "syst", "CWD www"}));
}

// Stores one small file as f.jpg in passive mode on the server at port; returns StoreFile's failure text.
QString PassiveStoreFailure(int port, const QByteArray& contents)
{
    LocalFiles files;
    FtpClient ftp;
    ShortLimits(ftp);
    ftp.SetPassive(true);
    PointAt(ftp, port);
    ftp.Open();
    return FailureOf([&] { ftp.StoreFile(files.Make("f.jpg", contents), "f.jpg"); });
}

// A passive upload whose final reply comes from script; returns StoreFile's failure text.
QString PassiveUploadEndingWith(const std::string& finalReplies, std::string* received = nullptr)
{
    ScriptedServer server([&](ScriptedPeer& p) {
        ScriptLogin(p);
        ScriptedListener data;
        p.ReadLine(); // PASV
        // An address other than the server's: the client must still connect to 127.0.0.1.
        p.Send("227 Entering Passive Mode (10,1,2,3," + std::to_string(data.Port() / 256) + "," +
               std::to_string(data.Port() % 256) + ")\r\n");
        p.ReadLine(); // STOR
        auto conn = data.Accept(server.StopFlag());
        p.Send("150 go ahead\r\n");
        if (conn && received)
            *received = conn->ReadToClose();
        p.Send(finalReplies);
        p.ReadToClose();
    });
    return PassiveStoreFailure(server.Port(), "picture bytes");
}

TEST(FtpClientScripted, FinalReplyOfAnUpload)
{
    std::string received;
    EXPECT_EQ(PassiveUploadEndingWith("226 done\r\n", &received), "");
    EXPECT_EQ(received, "picture bytes") << "the data went to the control connection's server";
    EXPECT_EQ(PassiveUploadEndingWith("426 aborted\r\n226 but complete\r\n"), "");
    EXPECT_EQ(PassiveUploadEndingWith("426 aborted\r\n451 local error\r\n"), "451 local error");
    EXPECT_EQ(PassiveUploadEndingWith("552 quota\r\n"), "552 quota");
    EXPECT_EQ(PassiveUploadEndingWith("250-Multi\r\n250 line done\r\n"), "");
}

TEST(FtpClientScripted, MalformedPassiveReplyFailsWithoutStor)
{
    ScriptedServer server([](ScriptedPeer& p) {
        ScriptLogin(p);
        p.ReadLine();
        p.Send("227 Entering Passive Mode (999,1,2,3,4,5)\r\n");
        p.ReadToClose();
    });
    EXPECT_EQ(PassiveStoreFailure(server.Port(), "x"),
              "Malformed passive reply: 227 Entering Passive Mode (999,1,2,3,4,5)");
    EXPECT_FALSE(server.ReceivedStartingWith("STOR"));
}

// Servers that misbehave on the control connection: each must end in an error, disconnected.
TEST(FtpClientScripted, BrokenControlConnectionsEndInErrors)
{
    struct Case {
        const char* name;
        std::function<void(ScriptedPeer&)> script;
        QString expectedStart;
    };
    const Case cases[] = {
        {"silent", [](ScriptedPeer& p) { p.ReadToClose(); }, "Timed out"},
        {"no line end", [](ScriptedPeer& p) { p.Send("220 never ends"); p.ReadToClose(); }, "Timed out"},
        {"closes", [](ScriptedPeer& p) { p.Send("220 hi"); p.Close(); }, "Connection closed by peer."},
        {"overlong line", [](ScriptedPeer& p) { p.Send(std::string(64 * 1024, 'x')); p.ReadToClose(); },
         "Line too long."},
        {"endless reply",
         [](ScriptedPeer& p) {
             p.Send("220-start\r\n");
             for (int i = 0; i < 5000; ++i)
                 p.Send("220-more\r\n");
             p.ReadToClose();
         },
         "Reply has too many lines."},
        {"trickle",
         [](ScriptedPeer& p) {
             // One byte at a time keeps the connection busy, but a reply has one time limit.
             for (char c : std::string("220 a slow greeting that takes far too long\r\n")) {
                 p.Send(std::string(1, c));
                 std::this_thread::sleep_for(100ms);
             }
             p.ReadToClose();
         },
         "Timed out"},
        {"silent after user",
         [](ScriptedPeer& p) {
             p.Send("220 hi\r\n");
             p.ReadToClose();
         },
         "Timed out"},
    };
    for (const auto& c : cases) {
        ScriptedServer server(c.script);
        FtpClient ftp;
        ShortLimits(ftp, 1000ms);
        PointAt(ftp, server.Port());
        const QString failure = FailureOf([&] { ftp.Open(); });
        EXPECT_TRUE(failure.startsWith(c.expectedStart)) << c.name << ": " << failure.toStdString();
        EXPECT_FALSE(ftp.IsOpen()) << c.name;
        ftp.Close();
    }
}

TEST(FtpClientScripted, SilentFinalReplyClosesTheConnection)
{
    ScriptedServer server([&](ScriptedPeer& p) {
        ScriptLogin(p);
        ScriptedListener data;
        p.ReadLine();
        p.Send("227 (127,0,0,1," + std::to_string(data.Port() / 256) + "," + std::to_string(data.Port() % 256) + ")\r\n");
        p.ReadLine();
        auto conn = data.Accept(server.StopFlag());
        p.Send("150 go\r\n");
        if (conn)
            conn->ReadToClose();
        p.ReadToClose(); // no final reply
    });
    LocalFiles files;
    FtpClient ftp;
    ShortLimits(ftp, 1000ms);
    ftp.SetPassive(true);
    PointAt(ftp, server.Port());
    ftp.Open();
    EXPECT_TRUE(FailureOf([&] { ftp.StoreFile(files.Make("f", "x"), "f.jpg"); }).startsWith("Timed out"));
    EXPECT_FALSE(ftp.IsOpen()) << "a late reply could otherwise answer the next command";
}

TEST(FtpClientScripted, A421ReplyClosesTheConnection)
{
    ScriptedServer server([](ScriptedPeer& p) {
        ScriptLogin(p);
        p.ReadLine(); // CWD
        p.Send("421 Service not available, closing control connection.\r\n");
        p.Close();
    });
    FtpClient ftp;
    ShortLimits(ftp);
    PointAt(ftp, server.Port());
    ftp.Open();
    EXPECT_EQ(FailureOf([&] { ftp.ChangeDirectory("www"); }), "421 Service not available, closing control connection.");
    EXPECT_FALSE(ftp.IsOpen()) << "the next operation must reconnect, not run into the closed connection";
}

TEST(FtpClientScripted, ActiveModeTakesTheDataConnectionOnlyFromTheServer)
{
    std::string stranger = "not read";
    std::string data;
    std::atomic<bool> done{false};
    ScriptedServer server([&](ScriptedPeer& p) {
        ScriptLogin(p);
        const std::string port = p.ReadLine(); // PORT h1,h2,h3,h4,p1,p2
        int n[6] = {};
        std::sscanf(port.c_str(), "PORT %d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]);
        // Another host of the loopback network is first at the port.
        auto intruder = ConnectScripted(n[4] * 256 + n[5], server.StopFlag(), "127.0.0.2");
        p.Send("200 ok\r\n");
        p.ReadLine(); // STOR
        p.Send("150 go\r\n");
        if (auto conn = ConnectScripted(n[4] * 256 + n[5], server.StopFlag()))
            data = conn->ReadToClose();
        if (intruder)
            stranger = intruder->ReadToClose();
        done = true;
        p.Send("226 done\r\n");
        p.ReadToClose();
    });
    LocalFiles files;
    FtpClient ftp;
    ShortLimits(ftp, 5000ms);
    PointAt(ftp, server.Port());
    ftp.Open();
    EXPECT_EQ(FailureOf([&] { ftp.StoreFile(files.Make("f.jpg", "picture bytes"), "f.jpg"); }), "");
    ftp.Close();
    ASSERT_TRUE(PollUntil([&] { return done.load(); }));
    EXPECT_EQ(data, "picture bytes");
    EXPECT_EQ(stranger, "") << "the stranger was closed without a byte";
}

// The server takes the data connection and then stops reading or drops it.
QString ActiveUploadAgainst(const std::function<void(ScriptedPeer& data)>& dataSide, FtpTimeouts limits)
{
    ScriptedServer server([&](ScriptedPeer& p) {
        ScriptLogin(p);
        const std::string port = p.ReadLine(); // PORT h1,h2,h3,h4,p1,p2
        p.Send("200 ok\r\n");
        p.ReadLine(); // STOR
        p.Send("150 go\r\n");
        int n[6] = {};
        std::sscanf(port.c_str(), "PORT %d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]);
        if (auto data = ConnectScripted(n[4] * 256 + n[5], server.StopFlag()))
            dataSide(*data);
        p.ReadToClose();
    });
    LocalFiles files;
    FtpClient ftp;
    ftp.Timeouts() = limits;
    PointAt(ftp, server.Port());
    ftp.Open();
    // Larger than what the loopback socket buffers hold, so the server's reading decides.
    static const QByteArray big = RandomBytes(24 * 1024 * 1024);
    return FailureOf([&] { ftp.StoreFile(files.Make("big.jpg", big), "big.jpg"); });
}

TEST(FtpClientScripted, StalledOrDroppedTransfersEndInErrors)
{
    const FtpTimeouts limits{2000ms, 2000ms, 2000ms, 1000ms, 30000ms};
    EXPECT_TRUE(ActiveUploadAgainst([](ScriptedPeer& d) { d.ReadBytes(1); std::this_thread::sleep_for(4s); }, limits)
                    .startsWith("Timed out"));

    // A server that keeps reading, slowly, is held to the limit of the whole upload.
    const FtpTimeouts overall{2000ms, 2000ms, 2000ms, 2000ms, 2500ms};
    EXPECT_TRUE(ActiveUploadAgainst(
                    [](ScriptedPeer& d) {
                        for (int i = 0; i < 60; ++i) {
                            d.ReadBytes(64 * 1024);
                            std::this_thread::sleep_for(100ms);
                        }
                    },
                    overall)
                    .startsWith("Timed out"));

    // A peer closing in mid-transfer must not kill the process, even with SIGPIPE's default action.
    const auto previous = std::signal(SIGPIPE, SIG_DFL);
    const QString dropped = ActiveUploadAgainst([](ScriptedPeer& d) { d.ReadBytes(1000); d.Close(); }, limits);
    std::signal(SIGPIPE, previous);
    EXPECT_FALSE(dropped.isEmpty());
}

TEST(FtpClientScripted, AbortFromAnotherThreadCutsAnUploadShort)
{
    ScriptedServer server([](ScriptedPeer& p) {
        ScriptLogin(p);
        p.ReadLine(); // PORT
        p.Send("200 ok\r\n");
        p.ReadLine(); // STOR
        p.ReadToClose(); // never answers
    });
    LocalFiles files;
    FtpClient ftp;
    ftp.Timeouts() = {5000ms, 120000ms, 120000ms, 120000ms, 600000ms};
    PointAt(ftp, server.Port());
    ftp.Open();
    std::thread stopper([&] {
        PollUntil([&] { return server.ReceivedStartingWith("STOR"); }, 30000);
        ftp.Abort();
    });
    const QString failure = FailureOf([&] { ftp.StoreFile(files.Make("f", "x"), "f.jpg"); });
    stopper.join();
    EXPECT_EQ(failure, "Operation aborted.");
    EXPECT_FALSE(ftp.IsOpen());
    EXPECT_EQ(FailureOf([&] { ftp.Open(); }), "Operation aborted.") << "the abort holds until cleared";
    ftp.ClearAbort();
}

TEST(FtpClientSocks, Socks4AndRefusalsThroughAScriptedProxy)
{
    // The proxy grants the connection and then speaks FTP itself.
    std::string request;
    ScriptedServer proxy([&](ScriptedPeer& p) {
        request = p.ReadBytes(9);
        request += p.ReadBytes(10); // "127.0.0.1" + 0 for SOCKS 4A
        p.Send(std::string{0, 90, 0, 0, 0, 0, 0, 0});
        ScriptLogin(p);
        p.ReadToClose();
    });
    FtpClient ftp;
    ShortLimits(ftp);
    PointAt(ftp, 2121);
    ApplyProxySettings(ftp.Socks(), true, "127.0.0.1", proxy.Port(), "", "", SocksType4A);
    ftp.Open();
    EXPECT_TRUE(ftp.IsOpen());
    ftp.Close();
    EXPECT_EQ(request, std::string({4, 1, 8, 73, 0, 0, 0, 1, 0}) + "127.0.0.1" + std::string(1, '\0'));

    ScriptedServer refusing([](ScriptedPeer& p) {
        p.ReadBytes(9);
        p.Send(std::string{0, 92, 0, 0, 0, 0, 0, 0});
        p.ReadToClose();
    });
    ApplyProxySettings(ftp.Socks(), true, "127.0.0.1", refusing.Port(), "", "", SocksType4);
    EXPECT_EQ(FailureOf([&] { ftp.Open(); }), "Request rejected because SOCKS server cannot connect.");
    EXPECT_FALSE(ftp.IsOpen());
}

// Reads a SOCKS 5 greeting and connect request without authentication and grants it; returns
// the requested "host:port".
std::string GrantSocks5(ScriptedPeer& p)
{
    p.ReadBytes(3);
    p.Send(std::string{5, 0});
    const std::string head = p.ReadBytes(5);
    const std::string host = p.ReadBytes(static_cast<unsigned char>(head[4]));
    const std::string port = p.ReadBytes(2);
    p.Send(std::string{5, 0, 0, 1, 127, 0, 0, 1, 0, 0});
    return host + ":" + std::to_string(static_cast<unsigned char>(port[0]) * 256 + static_cast<unsigned char>(port[1]));
}

TEST(FtpClientSocks, PassiveDataConnectionUsesTheSameProxy)
{
    std::atomic<int> connection{0};
    std::atomic<bool> dataDone{false};
    std::mutex mutex;
    std::vector<std::string> targets;
    std::string data;
    ScriptedServer proxy([&](ScriptedPeer& p) {
        const bool control = connection++ == 0;
        const std::string target = GrantSocks5(p);
        {
            std::lock_guard lock(mutex);
            targets.push_back(target);
        }
        if (!control) {
            std::string received = p.ReadToClose();
            std::lock_guard lock(mutex);
            data = std::move(received);
            dataDone = true;
            return;
        }
        ScriptLogin(p);
        p.ReadLine(); // PASV naming another host: the data must still go to the control's server
        p.Send("227 Entering Passive Mode (10,9,8,7,19,137)\r\n");
        p.ReadLine(); // STOR
        p.Send("150 go\r\n");
        // The data connection arrives as a second proxy connection while this one waits.
        PollUntil([&] { return dataDone.load(); });
        p.Send("226 done\r\n");
        p.ReadToClose();
    });
    LocalFiles files;
    FtpClient ftp;
    ShortLimits(ftp, 5000ms);
    ftp.SetHost("localhost");
    ftp.SetPort(2121);
    ftp.SetUsername("tarvo");
    ftp.SetPassword("secret");
    ftp.SetPassive(true);
    ApplyProxySettings(ftp.Socks(), true, "127.0.0.1", proxy.Port(), "", "", SocksType5);
    ftp.Open();
    ftp.StoreFile(files.Make("f.jpg", "through the proxy"), "f.jpg");
    ftp.Close();
    std::lock_guard lock(mutex);
    EXPECT_EQ(targets, (std::vector<std::string>{"localhost:2121", "localhost:5001"}));
    EXPECT_EQ(data, "through the proxy");
}

class ThroughMicrosocks : public ::testing::TestWithParam<bool> {};

TEST_P(ThroughMicrosocks, PassiveAndActiveUploadsReachTheServer)
{
    const bool withPassword = GetParam();
    PyFtpServer server;
    SocksProxy proxy(withPassword ? "cam" : "", withPassword ? "pw" : "");
    ASSERT_TRUE(server.Started());
    ASSERT_TRUE(proxy.Started()) << "microsocks did not start";
    LocalFiles files;
    FtpClient ftp;
    ShortLimits(ftp, 5000ms);
    PointAt(ftp, server.Port());
    ApplyProxySettings(ftp.Socks(), true, "127.0.0.1", proxy.Port(), withPassword ? "cam" : "",
                       withPassword ? "pw" : "", SocksType5);
    // Passive data connections go through the proxy too; active ones come from the server directly.
    for (bool passive : {true, false}) {
        ftp.SetPassive(passive);
        ftp.Open();
        const QByteArray bytes = RandomBytes(300 * 1024 + passive);
        ftp.StoreFile(files.Make("p.jpg", bytes), "via-proxy.jpg");
        EXPECT_EQ(ReadFileBytes(server.Root() + "via-proxy.jpg"), bytes) << passive;
        ftp.Close();
    }

    if (withPassword) {
        ftp.Socks().Password = "wrong";
        EXPECT_EQ(FailureOf([&] { ftp.Open(); }), "Authentication error to socks server.");
        ApplyProxySettings(ftp.Socks(), true, "127.0.0.1", proxy.Port(), "", "", SocksType5);
        EXPECT_EQ(FailureOf([&] { ftp.Open(); }), "Invalid socks authentication method.");
    }
}

INSTANTIATE_TEST_SUITE_P(Auth, ThroughMicrosocks, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WithPassword" : "Open"; });

TEST(FtpClientVsftpd, SmokeUploadPassiveAndActive)
{
    VsftpServer server;
    if (!server.Started())
        GTEST_SKIP() << "vsftpd cannot run here";
    LocalFiles files;
    for (bool passive : {true, false}) {
        FtpClient ftp;
        ShortLimits(ftp, 5000ms);
        PointAt(ftp, server.Port(), "anonymous", "tarvo@");
        ftp.SetPassive(passive);
        ftp.Open();
        ftp.ChangeDirectory("incoming");
        const QByteArray bytes = RandomBytes(200 * 1024 + (passive ? 1 : 2));
        const QString name = passive ? "passive.jpg" : "active.jpg";
        ftp.StoreFile(files.Make(name, bytes), name);
        EXPECT_EQ(ReadFileBytes(server.UploadDir() + name), bytes) << name.toStdString();
        ftp.Close();
    }
}

} // namespace

} // namespace tarvo
