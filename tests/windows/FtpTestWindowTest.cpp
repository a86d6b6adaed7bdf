// The FTP settings test window against a real FTP server (pyftpdlib, support/FtpPeer.h) and a real
// SOCKS 5 proxy (microsocks, started by the publishing tests' peer helpers) on 127.0.0.1.
#include "net/FtpClient.h"
#include "publish/widgets/FtpSettingsTest.h"
#include "publish/widgets/FtpTestWindow.h"
#include "support/ControlNames.h"
#include "support/TestSupport.h"
#include "publish/PublishPeers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace tarvo {

namespace {

const QStringList AllOk = {"Connecting to 127.0.0.1", "  OK", "Uploading test file to 127.0.0.1", "  OK",
                           "Deleting test file", "  OK", "Disconnecting", "  OK"};

class FtpTestWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(server.Port(), 0) << "pyftpdlib did not start"; }

    FtpTestSettings settingsFor(const QString& user, const QString& password) const
    {
        FtpTestSettings s;
        s.host = "127.0.0.1";
        s.port = QString::number(server.Port());
        s.userName = user;
        s.password = password;
        s.passive = true;
        s.socksType = "No SOCKS";
        s.socksPort = "1080";
        return s;
    }

    // Runs the test the way the window does and returns its report.
    QStringList run(const FtpTestSettings& settings)
    {
        FtpClient ftp;
        ftp.Timeouts() = shortLimits();
        QStringList lines;
        RunFtpTest(ftp, settings, program.dir(), [&](const QString& l) { lines << l; });
        EXPECT_FALSE(ftp.IsOpen());
        EXPECT_FALSE(QFile::exists(program.dir() + "test.txt")) << "the local test file is gone";
        return lines;
    }

    static FtpTimeouts shortLimits()
    {
        FtpTimeouts t;
        t.connect = t.reply = t.dataAccept = t.transferStall = std::chrono::seconds(15);
        t.upload = std::chrono::seconds(30);
        return t;
    }

    ScratchProgram program;
    PyFtpServer server{{.keepUploads = true}};
};

} // namespace

TEST_F(FtpTestWindowTest, GoodSettingsPassEveryStepInBothModes)
{
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        FtpTestSettings s = settingsFor("tarvo", "secret");
        s.passive = passive;
        EXPECT_EQ(run(s), AllOk);
        EXPECT_EQ(server.Uploaded("test.txt"), QByteArray("Tarvo FTP settings test file.\r\n"));
        EXPECT_FALSE(QFile::exists(server.Root() + "test.txt")) << "deleted on the server again";
        QFile::remove(server.Root() + "test.txt");
    }
}

TEST_F(FtpTestWindowTest, UploadDirectoryPrefixesTheFileName)
{
    FtpTestSettings s = settingsFor("tarvo", "secret");
    s.upDir = "www";
    EXPECT_EQ(run(s), AllOk);
    EXPECT_EQ(server.Uploaded("www/test.txt"), QByteArray("Tarvo FTP settings test file.\r\n"));
    EXPECT_TRUE(server.Uploaded("test.txt").isEmpty()) << "nothing went to the login directory";
    EXPECT_FALSE(QFile::exists(server.Root() + "www/test.txt"));

    // A directory the server lacks fails the upload and the delete, and the session goes on.
    s.upDir = "missing";
    const QStringList lines = run(s);
    ASSERT_EQ(lines.size(), 8) << lines.join('|').toStdString();
    EXPECT_TRUE(lines[3].startsWith("  Failed! Reply: 550")) << lines[3].toStdString();
    EXPECT_TRUE(lines[5].startsWith("  Failed! Reply: 550")) << lines[5].toStdString();
    EXPECT_EQ(lines[7], "  OK");
}

TEST_F(FtpTestWindowTest, RefusalsAreReportedWithTheServersReply)
{
    // A wrong password ends the list after the login.
    const QStringList wrong = run(settingsFor("tarvo", "wrong"));
    ASSERT_EQ(wrong.size(), 2) << wrong.join('|').toStdString();
    EXPECT_EQ(wrong[0], "Connecting to 127.0.0.1");
    EXPECT_TRUE(wrong[1].startsWith("  Failed! Reply: 530")) << wrong[1].toStdString();

    // A user who may not write: upload and delete fail, the disconnect still runs.
    const QStringList readOnly = run(settingsFor("viewer", "secret"));
    ASSERT_EQ(readOnly.size(), 8) << readOnly.join('|').toStdString();
    EXPECT_EQ(readOnly[2], "Uploading test file to 127.0.0.1");
    EXPECT_TRUE(readOnly[3].startsWith("  Failed! Reply: 550")) << readOnly[3].toStdString();
    EXPECT_EQ(readOnly[4], "Deleting test file");
    EXPECT_TRUE(readOnly[5].startsWith("  Failed! Reply: 550")) << readOnly[5].toStdString();
    EXPECT_EQ(readOnly.mid(6), (QStringList{"Disconnecting", "  OK"}));
}

TEST_F(FtpTestWindowTest, ARefusedConnectionHasNoReplyToShow)
{
    FtpTestSettings s = settingsFor("tarvo", "secret");
    s.port = QString::number(ClosedTcpPort());
    EXPECT_EQ(run(s), (QStringList{"Connecting to 127.0.0.1", "  Failed! Reply: "}));
}

TEST_F(FtpTestWindowTest, ProxyFieldsCountOnlyWhenTheBoxIsTicked)
{
    SocksProxy proxy;
    ASSERT_TRUE(proxy.Started()) << "microsocks did not start";

    // Unticked: whatever is typed in the proxy window, the port box included, is ignored.
    FtpTestSettings s = settingsFor("tarvo", "secret");
    s.socksHost = "127.0.0.1";
    s.socksPort = "";
    s.socksType = "SOCKS 5";
    EXPECT_EQ(run(s), AllOk);

    // Ticked: the test goes through the proxy, passive data connection included.
    s.useSocks = true;
    s.socksPort = QString::number(proxy.Port());
    EXPECT_EQ(run(s), AllOk);

    // Ticked with a proxy that is not there: the connection fails.
    s.socksPort = QString::number(ClosedTcpPort());
    EXPECT_EQ(run(s), (QStringList{"Connecting to 127.0.0.1", "  Failed! Reply: "}));
}

TEST_F(FtpTestWindowTest, WindowRunsTheTestOnEveryShowing)
{
    FtpTestWindow::Hooks hooks;
    FtpTestSettings typed = settingsFor("tarvo", "secret");
    QStringList errors;
    hooks.settings = [&] { return typed; };
    hooks.showError = [&](const QString& e) { errors << e; };
    hooks.localFolder = program.dir();
    FtpTestWindow window(hooks);
    window.Client().Timeouts() = shortLimits();
    EXPECT_EQ(window.windowTitle(), "Testing FTP settings...");
    EXPECT_EQ(window.findChild<QPushButton*>(kFtpTestOkButton)->text(), "OK");

    window.show();
    window.hide();
    EXPECT_FALSE(window.TestPending()) << "closed before it began, the test does not run";

    window.show();
    EXPECT_TRUE(window.findChild<QPlainTextEdit*>(kFtpTestReport)->isReadOnly());
    ASSERT_TRUE(WaitFor([&] { return window.ReportLines().size() == 8; }, 60000))
        << window.ReportLines().join('\n').toStdString();
    EXPECT_EQ(window.ReportLines(), AllOk);
    window.findChild<QPushButton*>(kFtpTestOkButton)->click();
    EXPECT_FALSE(window.isVisible());

    // The settings are read anew at each showing, and the list starts empty.
    typed.password = "wrong";
    window.show();
    EXPECT_TRUE(window.ReportLines().isEmpty());
    ASSERT_TRUE(WaitFor([&] { return window.ReportLines().join('\n').contains("Failed"); }, 60000));
    EXPECT_TRUE(window.ReportLines().join('\n').startsWith("Connecting to 127.0.0.1\n  Failed! Reply: 530"));
    window.hide();

    // A port that is no number stops the test before anything is sent.
    typed.port = "21x";
    window.show();
    ASSERT_TRUE(WaitFor([&] { return !errors.isEmpty(); }, 60000));
    EXPECT_EQ(errors, QStringList{"'21x' is not a valid integer value"});
    EXPECT_TRUE(window.ReportLines().isEmpty());
    EXPECT_FALSE(window.Client().IsOpen());
}

TEST_F(FtpTestWindowTest, StaysResponsiveDuringTheTestAndClosesAtOnce)
{
    // A server that accepts and never greets: the test waits on it for its full limit.
    ScriptedServer silent([](ScriptedPeer& p) { p.ReadToClose(); });
    FtpTestWindow::Hooks hooks;
    FtpTestSettings typed = settingsFor("tarvo", "secret");
    typed.port = QString::number(silent.Port());
    hooks.settings = [&] { return typed; };
    hooks.localFolder = program.dir();
    auto window = std::make_unique<FtpTestWindow>(hooks);
    window->Client().Timeouts().connect = window->Client().Timeouts().reply = std::chrono::seconds(60);

    window->show();
    ASSERT_TRUE(WaitFor([&] { return silent.Connections() == 1; }, 30000));
    ASSERT_TRUE(WaitFor([&] { return window->ReportLines() == QStringList{"Connecting to 127.0.0.1"}; }));
    // The event loop goes on while the test waits on the server.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(10);
    EXPECT_TRUE(WaitFor([&] { return ticks >= 5; }));
    EXPECT_TRUE(window->TestRunning());

    QElapsedTimer closing;
    closing.start();
    window->findChild<QPushButton*>(kFtpTestOkButton)->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->TestRunning()) << "the test's thread has ended when the window is closed";
    EXPECT_LT(closing.elapsed(), 30000) << "closing aborted the test instead of waiting out its limit";
    QCoreApplication::processEvents();
    EXPECT_EQ(window->ReportLines(), QStringList{"Connecting to 127.0.0.1"}) << "no line of the aborted test arrives";
    EXPECT_FALSE(window->Client().IsOpen());

    // Destroyed in the middle of a test, the window gets no late call.
    window->show();
    ASSERT_TRUE(WaitFor([&] { return silent.Connections() == 2; }, 30000));
    window.reset();
    QCoreApplication::processEvents();
}

} // namespace tarvo
