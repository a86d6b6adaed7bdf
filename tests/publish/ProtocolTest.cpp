// The pure protocol pieces: reply assembly, the 227 address, line splitting, the SOCKS messages
// and bytes, and how the profile's proxy fields fill the settings object.
#include "net/FtpReply.h"
#include "net/LineReader.h"
#include "net/Socks.h"
#include "net/TcpSocket.h"
#include "publish/ProxySettings.h"
#include "settings/OptionsValues.h"

#include <gtest/gtest.h>

namespace tarvo {

namespace {

FtpReply Assemble(const std::vector<std::string>& lines, std::size_t* used = nullptr)
{
    FtpReplyAssembler a;
    std::size_t i = 0;
    for (; i < lines.size(); ++i)
        if (a.AddLine(lines[i])) {
            ++i;
            break;
        }
    if (used)
        *used = i;
    return a.Take();
}

TEST(FtpReplyAssembler, FormsOneReplyPerTheLineRules)
{
    struct Case {
        std::vector<std::string> lines;
        int code;
        std::string last;
        std::size_t used;
    };
    const Case cases[] = {
        {{"220 ready"}, 220, "220 ready", 1},
        {{"   230 padded   "}, 230, "230 padded", 1},
        {{"", "  ", "200 after blanks"}, 200, "200 after blanks", 3},
        {{"230-Welcome", "  some text", "230 done", "250 next"}, 230, "230 done", 3},
        // A line starting with other digits and a blank does not end the reply.
        {{"230-Welcome", "220 not mine", "230 done"}, 230, "230 done", 3},
        // "230-" inside the reply does not end it either.
        {{"150-a", "150-b", "150 c"}, 150, "150 c", 3},
        // A line shorter than four characters ends a multi-line reply.
        {{"226-a", "ok"}, 0, "ok", 2},
        {{"226-a", "226"}, 226, "226", 2},
        {{"abc text"}, 0, "abc text", 1},
        {{"55"}, 0, "55", 1},
    };
    for (const auto& c : cases) {
        std::size_t used = 0;
        const FtpReply r = Assemble(c.lines, &used);
        EXPECT_EQ(r.code, c.code) << c.lines.front();
        EXPECT_EQ(r.LastLine(), c.last) << c.lines.front();
        EXPECT_EQ(used, c.used) << c.lines.front();
    }
}

TEST(FtpReplyAssembler, EndlessMultiLineReplyFails)
{
    FtpReplyAssembler a(50);
    EXPECT_FALSE(a.AddLine("220-start"));
    EXPECT_THROW(
        {
            for (int i = 0; i < 100; ++i)
                a.AddLine("more text");
        },
        NetworkError);
}

TEST(PassiveReply, AddressAndPort)
{
    struct Case {
        std::string line;
        std::optional<std::string> address;
        int port;
    };
    const Case cases[] = {
        {"227 Entering Passive Mode (192,168,1,2,19,137)", "192.168.1.2", 5001},
        {"227 Entering Passive Mode (192,168,1,2,19,137).", "192.168.1.2", 5001},
        {"227 =127,0,0,1,4,1", "127.0.0.1", 1025},
        {"227 Entering Passive Mode 10,0,0,7,0,21", "10.0.0.7", 21},
        {"227 ( 1, 2, 3, 4, 5, 6 )", "1.2.3.4", 1286},
        {"227 (1,2,3,4,5,6,7)", "1.2.3.4", 1286},
        {"227 Entering Passive Mode (256,0,0,1,4,1)", std::nullopt, 0},
        {"227 Entering Passive Mode (1,2,3,4,5)", std::nullopt, 0},
        {"227 Entering Passive Mode (a,b,c,d,e,f)", std::nullopt, 0},
        {"227 Entering Passive Mode (1,2,3,4,0,0)", std::nullopt, 0},
        {"227 (0001,2,3,4,5,6)", std::nullopt, 0},
        {"227 (1,2,3,4,5,6", "1.2.3.4", 1286}, // no ")": the text after the last blank, sign skipped
        {"", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        const auto got = ParsePassiveReply(c.line);
        ASSERT_EQ(got.has_value(), c.address.has_value()) << c.line;
        if (got) {
            EXPECT_EQ(got->address, *c.address) << c.line;
            EXPECT_EQ(got->port, c.port) << c.line;
        }
    }
}

TEST(PassiveReply, ExtendedPort)
{
    const std::pair<std::string, std::optional<int>> cases[] = {
        {"229 Entering Extended Passive Mode (|||6446|)", 6446},
        {"229 Entering Extended Passive Mode (!!!65535!)", 65535},
        {"229 (|||1|) trailing text", 1},
        {"229 Entering Extended Passive Mode (|||0|)", std::nullopt},
        {"229 Entering Extended Passive Mode (|||65536|)", std::nullopt},
        {"229 Entering Extended Passive Mode (|||123456|)", std::nullopt},
        {"229 Entering Extended Passive Mode (||6446|)", std::nullopt},
        {"229 Entering Extended Passive Mode (|!|6446|)", std::nullopt},
        {"229 Entering Extended Passive Mode (|||64a6|)", std::nullopt},
        {"229 Entering Extended Passive Mode (|||6446)", std::nullopt},
        {"229 Entering Extended Passive Mode (111644611)", std::nullopt},
        {"229 Entering Extended Passive Mode |||6446|", std::nullopt},
        {"229 (|||)", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [line, port] : cases)
        EXPECT_EQ(ParseExtendedPassiveReply(line), port) << line;
}

TEST(LineBuffer, SplitsAtLineFeedAndDropsOneCarriageReturn)
{
    LineBuffer b;
    b.Append("220 a\r\n230 b\n\r\n250 c\r\r\n33");
    EXPECT_EQ(b.NextLine(), "220 a");
    EXPECT_EQ(b.NextLine(), "230 b");
    EXPECT_EQ(b.NextLine(), "");
    EXPECT_EQ(b.NextLine(), "250 c\r");
    EXPECT_EQ(b.NextLine(), std::nullopt);
    b.Append("1 d\n");
    EXPECT_EQ(b.NextLine(), "331 d");
    b.Append("rest of body");
    EXPECT_EQ(b.TakeRest(), "rest of body");
}

TEST(LineBuffer, OverlongLineFailsWithoutGrowing)
{
    LineBuffer b(100);
    b.Append(std::string(100, 'x'));
    EXPECT_EQ(b.NextLine(), std::nullopt);
    b.Append("y");
    EXPECT_THROW(b.NextLine(), NetworkError);

    LineBuffer c(100);
    c.Append(std::string(150, 'x') + "\n");
    EXPECT_THROW(c.NextLine(), NetworkError);
}

// The proxy side of a handshake, as bytes: what the client sent and what the proxy answers.
class ScriptedChannel final : public ByteChannel {
public:
    explicit ScriptedChannel(std::string replies) : replies_(std::move(replies)) {}
    void Send(std::string_view bytes) override { sent.append(bytes); }
    void ReceiveExact(char* buf, std::size_t len) override
    {
        if (replies_.size() < len)
            throw NetworkError("Connection closed by peer.");
        replies_.copy(buf, len);
        replies_.erase(0, len);
    }
    std::string sent;
    std::size_t Unread() const { return replies_.size(); }

private:
    std::string replies_;
};

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

SocksInfo Proxy(SocksVersion version, const QString& user = {}, const QString& password = {})
{
    SocksInfo s;
    s.Version = version;
    s.UserID = user;
    s.Password = password;
    s.Authentication = !user.isEmpty() && !password.isEmpty() ? saUsernamePassword : saNoAuthentication;
    return s;
}

TEST(SocksHandshake, Socks4SendsResolvedAddressAndUser)
{
    ScriptedChannel ch(Bytes({0, 90, 0, 0, 0, 0, 0, 0}));
    SocksHandshake(ch, Proxy(svSocks4, "cam"), "ftp.example", "192.0.2.7", 21);
    EXPECT_EQ(ch.sent, Bytes({4, 1, 0, 21, 192, 0, 2, 7}) + "cam" + Bytes({0}));
}

TEST(SocksHandshake, Socks4ASendsMarkerAddressAndHostName)
{
    ScriptedChannel ch(Bytes({0, 90, 0, 0, 0, 0, 0, 0}));
    SocksHandshake(ch, Proxy(svSocks4A), "ftp.example", "", 5001);
    EXPECT_EQ(ch.sent, Bytes({4, 1, 19, 137, 0, 0, 0, 1, 0}) + "ftp.example" + Bytes({0}));
}

TEST(SocksHandshake, Socks4ReplyCodes)
{
    const std::pair<int, std::string> cases[] = {
        {91, "Request rejected or failed."},
        {92, "Request rejected because SOCKS server cannot connect."},
        {93, "Request rejected because the client program and identd report different user-ids."},
        {0, "Unknown socks error."},
        {94, "Unknown socks error."},
    };
    for (const auto& [code, message] : cases) {
        ScriptedChannel ch(Bytes({0, code, 0, 0, 0, 0, 0, 0}));
        try {
            SocksHandshake(ch, Proxy(svSocks4A), "h", "", 21);
            ADD_FAILURE() << "code " << code << " accepted";
        } catch (const SocksError& e) {
            EXPECT_EQ(e.what(), message) << code;
        }
    }
}

TEST(SocksHandshake, Socks5WithoutCredentialsOffersMethodZeroAndSendsHostName)
{
    // A user name without a password is no authentication.
    ScriptedChannel ch(Bytes({5, 0}) + Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 21}));
    SocksHandshake(ch, Proxy(svSocks5, "cam", ""), "127.0.0.1", "", 2121);
    EXPECT_EQ(ch.sent, Bytes({5, 1, 0}) + Bytes({5, 1, 0, 3, 9}) + "127.0.0.1" + Bytes({8, 73}));
    EXPECT_EQ(ch.Unread(), 0u);
}

TEST(SocksHandshake, Socks5WithCredentialsAuthenticatesFirst)
{
    ScriptedChannel ch(Bytes({5, 2}) + Bytes({1, 0}) + Bytes({5, 0, 0, 3, 4}) + "abcd" + Bytes({0, 21}));
    SocksHandshake(ch, Proxy(svSocks5, "cam", "pw"), "ftp.example", "", 21);
    EXPECT_EQ(ch.sent, Bytes({5, 1, 2}) + Bytes({1, 3}) + "cam" + Bytes({2}) + "pw" + Bytes({5, 1, 0, 3, 11}) +
                           "ftp.example" + Bytes({0, 21}));
    EXPECT_EQ(ch.Unread(), 0u) << "the bound address is read to its end";
}

TEST(SocksHandshake, Socks5ReadsAnIpv6BoundAddressToItsEnd)
{
    ScriptedChannel ch(Bytes({5, 0}) + Bytes({5, 0, 0, 4}) + std::string(16, '\x01') + Bytes({0, 21}) + "220");
    SocksHandshake(ch, Proxy(svSocks5), "h", "", 21);
    EXPECT_EQ(ch.Unread(), 3u);
}

TEST(SocksHandshake, Socks5Failures)
{
    const std::string granted = Bytes({5, 0});
    struct Case {
        SocksInfo socks;
        std::string replies;
        std::string message;
    };
    std::vector<Case> cases = {
        {Proxy(svSocks5), Bytes({5, 255}), "Invalid socks authentication method."},
        {Proxy(svSocks5, "u", "p"), Bytes({5, 0}), "Invalid socks authentication method."},
        {Proxy(svSocks5), "", "Socks server did not respond."},
        {Proxy(svSocks5, "u", "p"), Bytes({5, 2, 1, 1}), "Authentication error to socks server."},
        {Proxy(svSocks5, "u", "p"), Bytes({5, 2}), "Socks server did not respond."},
        {Proxy(svSocks5), granted, "Socks server did not respond."},
        {Proxy(svSocks5), granted + Bytes({5, 0, 0, 9, 0}), "Unknown socks error."},
    };
    const char* codes[] = {"General SOCKS server failure.", "Connection not allowed by ruleset.",
                           "Network unreachable.", "Host unreachable.", "Connection refused.", "TTL expired.",
                           "Command not supported.", "Address type not supported.", "Unknown socks error."};
    for (int code = 1; code <= 9; ++code)
        cases.push_back({Proxy(svSocks5), granted + Bytes({5, code, 0, 1, 0, 0, 0, 0, 0, 0}), codes[code - 1]});
    for (const auto& c : cases) {
        ScriptedChannel ch(c.replies);
        try {
            SocksHandshake(ch, c.socks, "h", "", 21);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const SocksError& e) {
            EXPECT_EQ(e.what(), c.message);
        }
    }
}

TEST(ApplyProxySettings, FillsTheSettingsObject)
{
    SocksInfo s;
    ApplyProxySettings(s, true, "proxy", 1080, "cam", "pw", SocksType5);
    EXPECT_EQ(s.Version, svSocks5);
    EXPECT_EQ(s.Authentication, saUsernamePassword);
    EXPECT_EQ(s.Host, "proxy");
    EXPECT_EQ(s.Port, 1080);
    EXPECT_EQ(s.UserID, "cam");
    EXPECT_EQ(s.Password, "pw");

    ApplyProxySettings(s, true, "proxy", 1080, "cam", "", SocksType4);
    EXPECT_EQ(s.Version, svSocks4);
    EXPECT_EQ(s.Authentication, saNoAuthentication);

    // A text that is not exactly one of the list's keeps the version of the previous call.
    ApplyProxySettings(s, true, "proxy", 1080, "", "", "socks 5");
    EXPECT_EQ(s.Version, svSocks4);
    ApplyProxySettings(s, true, "proxy", 1080, "", "", SocksType4A);
    EXPECT_EQ(s.Version, svSocks4A);
    ApplyProxySettings(s, true, "proxy", 1080, "", "", SocksTypeNone);
    EXPECT_EQ(s.Version, svNoSocks);

    ApplyProxySettings(s, false, "proxy", 1080, "cam", "pw", SocksType5);
    EXPECT_EQ(s.Version, svNoSocks);
    EXPECT_EQ(s.Authentication, saNoAuthentication);
    EXPECT_TRUE(s.Host.isEmpty());
    EXPECT_TRUE(s.UserID.isEmpty());
    EXPECT_TRUE(s.Password.isEmpty());
    EXPECT_EQ(s.Port, 0);

    SocksInfo fresh;
    ApplyProxySettings(fresh, true, "proxy", 1080, "", "", "SOCKS5");
    EXPECT_EQ(fresh.Version, svNoSocks) << "a new object with an unknown type text uses no proxy";
}

} // namespace

} // namespace tarvo
