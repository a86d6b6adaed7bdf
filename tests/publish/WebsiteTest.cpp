// Website publishing against a real FTP server (directly and through a real SOCKS 5 proxy) and a
// local website folder: picture history, temporary name, connection policy and the log lines.
#include "PublishPeers.h"
#include "imaging/FileNaming.h"
#include "imaging/JpegWriter.h"
#include "publish/Website.h"
#include "settings/OptionsValues.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <limits>

namespace tarvo {

using namespace std::chrono_literals;

namespace {

QImage Frame(QRgb colour)
{
    QImage image(80, 60, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Which of red, green and blue a published picture shows.
char ColourOf(const QString& file)
{
    const QImage image(file);
    if (image.isNull())
        return '?';
    const QRgb p = image.pixel(40, 30);
    if (qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60)
        return 'r';
    if (qGreen(p) > 200 && qRed(p) < 60 && qBlue(p) < 60)
        return 'g';
    if (qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60)
        return 'b';
    return '?';
}

class Publishing : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramLog(&log);
        options = DefaultOptions(program.dir());
        options.FTPAddress = "127.0.0.1";
        options.UserName = "tarvo";
        options.Password = "secret";
        options.UpDir = "www";
        options.WPicNaming = NamingFixed;
        options.WPicFixed = "Tarvo";
        options.FileNumber = 3;
        options.Trigger = TriggerMotion;
        options.CaptionWebsite = false;
        options.TmpUpload = false;
        options.UseSocks = false;
        options.LocalSiteDir = program.dir() + "site/";
        QDir(program.dir()).mkdir("site");
        counters.Load();
    }
    void TearDown() override { SetProgramLog(nullptr); }

    void UseServer(int port)
    {
        options.Port = port;
        ConfigureFtpForRun(ftp, options);
        ftp.Timeouts() = {TestTime(3000ms), TestTime(3000ms), TestTime(3000ms), TestTime(3000ms), TestTime(10000ms)};
    }

    // Lines that reached the log file, as "sender|message".
    QStringList FileLines() const
    {
        QStringList out;
        for (const auto& l : log.lines())
            if (l.toFile)
                out << l.sender + "|" + l.msg;
        return out;
    }

    ScratchProgram program;
    FileCounters counters{program.store()};
    RecordingEventLog log;
    OptionsValues options{};
    FtpClient ftp;
    JpegWriter jpeg;
};

struct UploadCase {
    bool passive;
    bool tmpUpload;
    bool viaSocks;
};

class ServerHistory : public Publishing, public ::testing::WithParamInterface<UploadCase> {};

TEST_P(ServerHistory, ThreeUploadsKeepTheLastThreeNewestFirst)
{
    PyFtpServer server;
    ASSERT_TRUE(server.Started());
    std::unique_ptr<SocksProxy> proxy;
    options.PassiveMode = GetParam().passive;
    options.TmpUpload = GetParam().tmpUpload;
    if (GetParam().viaSocks) {
        proxy = std::make_unique<SocksProxy>("cam", "pw");
        ASSERT_TRUE(proxy->Started());
        options.UseSocks = true;
        options.SocksHost = "127.0.0.1";
        options.SocksPort = proxy->Port();
        options.SocksUser = "cam";
        options.SocksPass = "pw";
        options.SocksType = SocksType5;
    }
    UseServer(server.Port());
    const QString www = server.Root() + "www/";

    QImage red = Frame(qRgb(255, 0, 0)), green = Frame(qRgb(0, 255, 0)), blue = Frame(qRgb(0, 0, 255));
    SaveFTPWebsite(ftp, program.dir(), "", red, options, counters, jpeg);
    EXPECT_EQ(QDir(www).entryList(QDir::Files), QStringList{"Tarvo.jpg"});
    SaveFTPWebsite(ftp, program.dir(), "", green, options, counters, jpeg);
    SaveFTPWebsite(ftp, program.dir(), "", blue, options, counters, jpeg);
    EXPECT_EQ(QDir(www).entryList(QDir::Files), (QStringList{"Tarvo.jpg", "Tarvo02.jpg", "Tarvo03.jpg"}));
    EXPECT_EQ(ColourOf(www + "Tarvo.jpg"), 'b');
    EXPECT_EQ(ColourOf(www + "Tarvo02.jpg"), 'g');
    EXPECT_EQ(ColourOf(www + "Tarvo03.jpg"), 'r');

    // Motion trigger: one login and one change of directory for the whole run.
    EXPECT_TRUE(ftp.IsOpen());
    EXPECT_EQ(server.CountCommands("user "), 1);
    EXPECT_EQ(server.CountCommands("CWD www"), 1);
    EXPECT_EQ(server.CountCommands("STOR"), 3);
    EXPECT_EQ(server.CountCommands("RNFR TarvoUp.tmp"), GetParam().tmpUpload ? 3 : 0);
    EXPECT_FALSE(QFile::exists(program.dir() + UploadPictureName));
    EXPECT_EQ(FileLines().count("SaveFTPWebsite|Uploaded file Tarvo.jpg to website"), 3);
    EXPECT_TRUE(log.contains("Connecting to 127.0.0.1"));
    EXPECT_TRUE(log.contains("Connected to 127.0.0.1"));
    EXPECT_TRUE(log.contains("Uploading file Tarvo.jpg to website"));
    EXPECT_EQ(FileLines().filter("Could not").size(), 0) << FileLines().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Modes, ServerHistory,
                         ::testing::Values(UploadCase{true, false, false}, UploadCase{false, false, false},
                                           UploadCase{true, true, false}, UploadCase{false, true, false},
                                           UploadCase{true, true, true}, UploadCase{true, false, true}),
                         [](const auto& info) {
                             return std::string(info.param.passive ? "Passive" : "Active") +
                                    (info.param.tmpUpload ? "Tmp" : "Direct") + (info.param.viaSocks ? "Socks5" : "");
                         });

TEST_F(Publishing, LocalFolderKeepsTheSameHistory)
{
    const QString site = options.LocalSiteDir.str();
    QImage red = Frame(qRgb(255, 0, 0)), green = Frame(qRgb(0, 255, 0)), blue = Frame(qRgb(0, 0, 255));
    SaveLocalWebsite("", red, options, counters, jpeg);
    EXPECT_EQ(QDir(site).entryList(QDir::Files), QStringList{"Tarvo.jpg"});
    SaveLocalWebsite("", green, options, counters, jpeg);
    SaveLocalWebsite("", blue, options, counters, jpeg);
    EXPECT_EQ(QDir(site).entryList(QDir::Files), (QStringList{"Tarvo.jpg", "Tarvo02.jpg", "Tarvo03.jpg"}));
    EXPECT_EQ(ColourOf(site + "Tarvo.jpg"), 'b');
    EXPECT_EQ(ColourOf(site + "Tarvo02.jpg"), 'g');
    EXPECT_EQ(ColourOf(site + "Tarvo03.jpg"), 'r');
    EXPECT_EQ(FileLines().count("SaveLocalWebsite|Picture saved as: " + site + "Tarvo.jpg"), 3);
}

TEST_F(Publishing, ALinkPutUnderTheCurrentNameIsReplacedNeitherWrittenThroughNorPublished)
{
    const QString site = options.LocalSiteDir.str();
    const QString elsewhere = program.dir() + "elsewhere.txt";
    WriteFileBytes(elsewhere, "private");
    QImage red = Frame(qRgb(255, 0, 0));
    for (int history : {1, 3}) {
        ASSERT_TRUE(QFile::link(elsewhere, site + "Tarvo.jpg"));
        options.FileNumber = history;
        SaveLocalWebsite("", red, options, counters, jpeg);
        EXPECT_EQ(ReadFileBytes(elsewhere), "private") << history;
        EXPECT_FALSE(QFileInfo(site + "Tarvo.jpg").isSymLink()) << history;
        EXPECT_EQ(ColourOf(site + "Tarvo.jpg"), 'r') << history;
        EXPECT_NE(ReadFileBytes(site + "Tarvo02.jpg"), "private") << history;
        ASSERT_TRUE(QFile::remove(site + "Tarvo.jpg"));
    }
}

TEST_F(Publishing, HistoryNumbersAndWhenThereIsNone)
{
    const QString site = options.LocalSiteDir.str();
    const auto fill = [&](const QStringList& names) {
        for (const QString& n : names)
            WriteFileBytes(site + n, n.toUtf8());
    };
    options.FileNumber = 12;
    fill({"Tarvo.jpg", "Tarvo02.jpg", "Tarvo09.jpg", "Tarvo11.jpg", "Tarvo12.jpg"});
    RotateLocalHistory(site, options);
    EXPECT_EQ(ReadFileBytes(site + "Tarvo02.jpg"), "Tarvo.jpg");
    EXPECT_EQ(ReadFileBytes(site + "Tarvo03.jpg"), "Tarvo02.jpg");
    EXPECT_EQ(ReadFileBytes(site + "Tarvo10.jpg"), "Tarvo09.jpg");
    EXPECT_EQ(ReadFileBytes(site + "Tarvo12.jpg"), "Tarvo11.jpg");
    EXPECT_EQ(ReadFileBytes(site + "Tarvo.jpg"), "Tarvo.jpg") << "the current picture stays until the new one replaces it";
    EXPECT_EQ(QDir(site).entryList(QDir::Files | QDir::Hidden).size(), 5) << "the oldest was dropped, nothing left over";

    for (auto [number, naming] : {std::pair{1, int(NamingFixed)}, std::pair{3, int(NamingTimed)},
                                  std::pair{3, int(NamingIncrementing)}}) {
        QDir(site).removeRecursively();
        QDir().mkpath(site);
        fill({"Tarvo.jpg", "Tarvo02.jpg"});
        options.FileNumber = number;
        options.WPicNaming = naming;
        RotateLocalHistory(site, options);
        EXPECT_EQ(ReadFileBytes(site + "Tarvo.jpg"), "Tarvo.jpg") << number << " " << naming;
        EXPECT_EQ(ReadFileBytes(site + "Tarvo02.jpg"), "Tarvo02.jpg") << number << " " << naming;
    }

    // A damaged profile's history length still rotates, within a bounded number of steps.
    options.WPicNaming = NamingFixed;
    options.FileNumber = std::numeric_limits<std::int32_t>::max();
    RotateLocalHistory(site, options);
    EXPECT_EQ(ReadFileBytes(site + "Tarvo03.jpg"), "Tarvo02.jpg");
    EXPECT_EQ(ReadFileBytes(site + "Tarvo02.jpg"), "Tarvo.jpg");
}

TEST_F(Publishing, ConnectionPolicyFollowsTheTrigger)
{
    PyFtpServer server;
    ASSERT_TRUE(server.Started());
    struct Case {
        int trigger, minutes, seconds;
        bool staysOpen;
    };
    const Case cases[] = {
        {TriggerTimed, 5, 0, false}, {TriggerTimed, 1, 30, true}, {TriggerTimed, 0, 45, false},
        {TriggerTimed, 2, 0, false}, {TriggerTimed, 1, 0, true},  {TriggerMotion, 5, 0, true},
    };
    for (const auto& c : cases) {
        options.Trigger = c.trigger;
        options.TimedMin = c.minutes;
        options.TimedSec = c.seconds;
        UseServer(server.Port());
        const int loginsBefore = server.CountCommands("user ");
        QImage frame = Frame(qRgb(255, 0, 0));
        SaveFTPWebsite(ftp, program.dir(), "", frame, options, counters, jpeg);
        SaveFTPWebsite(ftp, program.dir(), "", frame, options, counters, jpeg);
        EXPECT_EQ(ftp.IsOpen(), c.staysOpen) << c.trigger << " " << c.minutes << ":" << c.seconds;
        EXPECT_EQ(server.CountCommands("user ") - loginsBefore, c.staysOpen ? 1 : 2);
        CloseFtpAfterRun(ftp);
        EXPECT_FALSE(ftp.IsOpen());
    }
}

TEST_F(Publishing, AConnectionTheServerClosedWhileIdleIsOpenedAgain)
{
    // Real servers end an idle control connection with a 421 reply and close it.
    PyFtpServer server({.idleTimeoutSeconds = 2});
    ASSERT_TRUE(server.Started());
    UseServer(server.Port());
    QImage red = Frame(qRgb(255, 0, 0)), green = Frame(qRgb(0, 255, 0)), blue = Frame(qRgb(0, 0, 255));
    SaveFTPWebsite(ftp, program.dir(), "", red, options, counters, jpeg);
    ASSERT_TRUE(WaitFor([&] { return !server.Replies().filter(QRegularExpression("^421 ")).isEmpty(); }, 30000));

    // Every picture after the quiet period arrives; none is lost to the closed connection.
    SaveFTPWebsite(ftp, program.dir(), "", green, options, counters, jpeg);
    SaveFTPWebsite(ftp, program.dir(), "", blue, options, counters, jpeg);
    EXPECT_EQ(FileLines().filter("Could not"), QStringList());
    EXPECT_EQ(FileLines().count("SaveFTPWebsite|Uploaded file Tarvo.jpg to website"), 3);
    EXPECT_EQ(ColourOf(server.Root() + "www/Tarvo.jpg"), 'b');
    EXPECT_EQ(ColourOf(server.Root() + "www/Tarvo02.jpg"), 'g');
    EXPECT_GE(server.CountCommands("user "), 2);
}

TEST_F(Publishing, UnreachableServerLogsAndDrawsNoName)
{
    options.WPicNaming = NamingIncrementing;
    UseServer(ClosedTcpPort());
    QImage frame = Frame(qRgb(255, 0, 0));
    SaveFTPWebsite(ftp, program.dir(), "", frame, options, counters, jpeg);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].msg, "Connecting to 127.0.0.1");
    EXPECT_FALSE(lines[0].toFile);
    EXPECT_TRUE(lines[1].msg.startsWith("Could not connect to 127.0.0.1. Error: Connection refused"))
        << lines[1].msg.toStdString();
    EXPECT_TRUE(lines[1].toFile);
    EXPECT_EQ(lines[2].msg, "Error: Not connected. Could not upload picture.");
    for (const auto& l : lines)
        EXPECT_EQ(l.sender, "SaveFTPWebsite");
    EXPECT_EQ(counters.Value(FileKind::WebsitePicture), 0);
}

TEST_F(Publishing, ServerRefusalsAreLoggedWithTheirReplies)
{
    PyFtpServer server;
    ASSERT_TRUE(server.Started());
    QImage frame = Frame(qRgb(255, 0, 0));

    options.Password = "wrong";
    UseServer(server.Port());
    SaveFTPWebsite(ftp, program.dir(), "", frame, options, counters, jpeg);
    ASSERT_EQ(FileLines().size(), 2);
    EXPECT_TRUE(FileLines()[0].startsWith("SaveFTPWebsite|Could not connect to 127.0.0.1. Error: 530 ")) << FileLines()[0].toStdString();
    EXPECT_EQ(FileLines()[1], "SaveFTPWebsite|Error: Not connected. Could not upload picture.");

    // A missing directory: the picture goes to the login directory.
    log.clear();
    options.Password = "secret";
    options.UpDir = "nope";
    UseServer(server.Port());
    SaveFTPWebsite(ftp, program.dir(), "", frame, options, counters, jpeg);
    EXPECT_EQ(FileLines().first(), "SaveFTPWebsite|Could not change to directory: nope");
    EXPECT_TRUE(QFile::exists(server.Root() + "Tarvo.jpg"));
    ftp.Close();

    // A user who may not write: STOR refused, and with the temporary name no rename either.
    log.clear();
    options.UserName = "reader";
    options.UpDir = "www";
    UseServer(server.Port());
    SaveFTPWebsite(ftp, program.dir(), "", frame, options, counters, jpeg);
    ASSERT_EQ(FileLines().size(), 1);
    EXPECT_TRUE(FileLines()[0].startsWith("SaveFTPWebsite|Could not upload Tarvo.jpg. Error: 550 "));
    log.clear();
    options.TmpUpload = true;
    SaveFTPWebsite(ftp, program.dir(), "", frame, options, counters, jpeg);
    ASSERT_EQ(FileLines().size(), 1);
    EXPECT_TRUE(FileLines()[0].startsWith("SaveFTPWebsite - TmpUpload|Could not upload TarvoUp.tmp. Error: 550 "));
    EXPECT_EQ(server.CountCommands("RNFR TarvoUp.tmp"), 0);
    EXPECT_FALSE(log.messages().join('\n').contains("Uploaded file"));
    EXPECT_FALSE(QFile::exists(program.dir() + UploadPictureName));
}

TEST_F(Publishing, SilentServerEndsWithinTheTimeLimits)
{
    ScriptedServer server([](ScriptedPeer& p) { p.ReadToClose(); });
    UseServer(server.Port());
    ftp.Timeouts() = {1000ms, 1000ms, 1000ms, 1000ms, 3000ms};
    QImage frame = Frame(qRgb(255, 0, 0));
    SaveFTPWebsite(ftp, program.dir(), "", frame, options, counters, jpeg);
    ASSERT_EQ(FileLines().size(), 2);
    EXPECT_TRUE(FileLines()[0].startsWith("SaveFTPWebsite|Could not connect to 127.0.0.1. Error: Timed out"));
    EXPECT_FALSE(ftp.IsOpen());
}

TEST_F(Publishing, AFrameThatCannotBeWrittenIsNotUploaded)
{
    PyFtpServer server;
    ASSERT_TRUE(server.Started());
    UseServer(server.Port());
    QImage none;
    SaveFTPWebsite(ftp, program.dir(), "", none, options, counters, jpeg);
    EXPECT_TRUE(FileLines().contains("SaveFTPWebsite|Could not upload Tarvo.jpg. Error: No picture to save."))
        << FileLines().join('\n').toStdString();
    EXPECT_EQ(server.CountCommands("STOR"), 0);
    EXPECT_TRUE(ftp.IsOpen());

    // Locally an old picture of the same name does not turn a failed write into a success.
    const QString old = options.LocalSiteDir.str() + "Tarvo.jpg";
    options.FileNumber = 1;
    WriteFileBytes(old, "old picture");
    SaveLocalWebsite("", none, options, counters, jpeg);
    EXPECT_TRUE(FileLines().contains("SaveLocalWebsite|Could not save file: " + old));
    EXPECT_EQ(ReadFileBytes(old), "old picture");
}

TEST_F(Publishing, OfflinePictureIsPublishedUnchangedFtpFirst)
{
    PyFtpServer server;
    ASSERT_TRUE(server.Started());
    options.OfflinePicName = program.dir() + "offline.jpg";
    WriteFileBytes(options.OfflinePicName.str(), "offline picture bytes, not re-encoded");
    options.WebsiteFTP = true;
    options.WebsiteLocal = true;
    options.CaptionWebsite = true;
    options.FileNumber = 1;
    UseServer(server.Port());
    UploadOfflinePic(ftp, program.dir(), options, counters);

    const QByteArray original = ReadFileBytes(options.OfflinePicName.str());
    EXPECT_EQ(original, "offline picture bytes, not re-encoded") << "the offline picture stays in place";
    EXPECT_EQ(ReadFileBytes(server.Root() + "www/Tarvo.jpg"), original);
    EXPECT_EQ(ReadFileBytes(options.LocalSiteDir.str() + "Tarvo.jpg"), original);
    const QStringList lines = FileLines();
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[0], "TForm1.UploadOfflinePic|Uploading offline picture");
    EXPECT_EQ(lines[1], "SaveFTPWebsite|Uploaded file Tarvo.jpg to website");
    EXPECT_EQ(lines[2], "SaveLocalWebsite|Picture saved as: " + options.LocalSiteDir.str() + "Tarvo.jpg");

    log.clear();
    options.WebsiteFTP = false;
    options.WebsiteLocal = false;
    UploadOfflinePic(ftp, program.dir(), options, counters);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(Publishing, RunConfigurationFillsTheClient)
{
    options.Password = "";
    options.PassiveMode = true;
    options.Port = 2121;
    options.UseSocks = true;
    options.SocksHost = "proxy";
    options.SocksPort = 1080;
    options.SocksType = SocksType4A;
    ftp.Abort();
    ConfigureFtpForRun(ftp, options);
    EXPECT_EQ(ftp.Host(), "127.0.0.1");
    EXPECT_EQ(ftp.Port(), 2121);
    EXPECT_TRUE(ftp.Passive());
    EXPECT_EQ(ftp.Socks().Version, svSocks4A);
    EXPECT_EQ(ftp.Socks().Host, "proxy");
    EXPECT_TRUE(FileLines().contains("TForm1.Video1VideoStream - UploadPic|Password for server not specified"));
    // The abort of an earlier stop is cleared: a refused connection, not "Operation aborted.".
    ftp.SetPort(ClosedTcpPort());
    ftp.Socks().Version = svNoSocks;
    try {
        ftp.Open();
        ADD_FAILURE();
    } catch (const FtpError& e) {
        EXPECT_NE(e.Message(), "Operation aborted.");
    }
}

} // namespace

} // namespace tarvo
