// The About window and the new-version check against real HTTP servers on 127.0.0.1.
#include "HttpTestServers.h"
#include "common/Clock.h"
#include "support/FixedClock.h"
#include "support/ControlNames.h"
#include "support/TestSupport.h"
#include "ui/VersionFile.h"
#include "ui/widgets/ClickableLabel.h"
#include "ui/widgets/AboutWindow.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

namespace tarvo {

namespace {

const QString kChecking = "Checking for newer version...";
const QString kLatest = "You are using the latest version of Tarvo.";

// Records every result text the check puts into the window, in order.
class RecordingAbout : public AboutWindow {
public:
    void ShowResult(const QString& text) override
    {
        results << text;
        AboutWindow::ShowResult(text);
    }
    QStringList results;
};

class UpdateCheckTest : public ::testing::Test {
protected:
    UpdateCheckTest() { SetProgramLog(&log); }
    ~UpdateCheckTest() override { SetProgramLog(nullptr); }

    void PointAt(int port, std::chrono::milliseconds reply = std::chrono::milliseconds(20000))
    {
        UpdateCheckConfig config = about.updateCheckConfig();
        config.site = ParseSiteAddress("127.0.0.1:" + std::to_string(port));
        config.timeouts.connect = std::chrono::milliseconds(20000);
        config.timeouts.reply = reply;
        about.SetUpdateCheckConfig(config);
    }
    // Runs one check to its end; the event loop goes on meanwhile.
    void RunCheck()
    {
        about.CheckForUpdate();
        ASSERT_TRUE(WaitFor([&] { return !about.CheckRunning(); }, 60000));
    }
    void ExpectLogged(const QStringList& messages)
    {
        EXPECT_EQ(log.messages(), messages);
        for (const auto& line : log.lines()) {
            EXPECT_TRUE(line.toFile) << line.msg.toStdString();
            EXPECT_EQ(line.sender, "CheckForUpdate");
        }
    }
    // A failed check: only the first log line, the result emptied in a visible window.
    void ExpectFailedCheck()
    {
        ExpectLogged({kChecking});
        EXPECT_EQ(about.results, (QStringList{kChecking, QString()}));
        EXPECT_EQ(about.CheckResult(), QString());
    }

    RecordingEventLog log;
    RecordingAbout about;
};

TEST_F(UpdateCheckTest, ANewerVersionOpensTheAboutWindowWithTheRelease)
{
    HttpPeer site = HttpPeer::Files();
    ASSERT_TRUE(site.Started());
    site.WriteFile("tarvo/ver.txt", "Tarvo version file\r\n%ver%127\r\n%date%01052003\r\n");
    PointAt(site.port());

    ASSERT_FALSE(about.isVisible());
    RunCheck();
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(about.CheckResult(), NewVersionMessage({127, "1.27", QDate(2003, 5, 1)}));
    EXPECT_TRUE(about.CheckResult().startsWith("New version available since "));
    EXPECT_TRUE(about.CheckResult().endsWith(": 1.27. Visit the Tarvo website for more information."));
    ExpectLogged({kChecking, "New version found: 1.27"});

    // The automatic check of a first start, with the About window open: closing the window while
    // the check runs does not end it.
    log.clear();
    about.AboutWindow::ShowResult(QString());
    about.CheckForUpdate();
    about.findChild<QPushButton*>(kAboutOkButton)->click();
    ASSERT_FALSE(about.isVisible());
    ASSERT_TRUE(WaitFor([&] { return !about.CheckRunning(); }, 60000));
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(about.CheckResult(), NewVersionMessage({127, "1.27", QDate(2003, 5, 1)}));
    ExpectLogged({kChecking, "New version found: 1.27"});
}

TEST_F(UpdateCheckTest, AnEqualOrOlderVersionIsTheLatest)
{
    HttpPeer site = HttpPeer::Files();
    ASSERT_TRUE(site.Started());
    PointAt(site.port());
    // Markers in any order; only the first of each counts.
    for (const QByteArray& file : {QByteArray("%ver%126%date%01012005"), QByteArray("%date%01012001 text %ver%125 %ver%999")}) {
        site.WriteFile("tarvo/ver.txt", file);
        log.clear();
        about.results.clear();

        about.hide();
        about.AboutWindow::ShowResult("earlier result");
        RunCheck();
        EXPECT_FALSE(about.isVisible()) << file.constData();
        EXPECT_EQ(about.CheckResult(), "earlier result") << file.constData();
        ExpectLogged({kChecking, kLatest});

        log.clear();
        about.show();
        RunCheck();
        EXPECT_EQ(about.results, (QStringList{kChecking, kLatest})) << file.constData();
        EXPECT_EQ(about.CheckResult(), kLatest);
        ExpectLogged({kChecking, kLatest});
    }
}

TEST_F(UpdateCheckTest, TheButtonRunsTheCheckShowingProgressInTheWindow)
{
    HttpPeer site = HttpPeer::Scripted(
        "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n"
        "7\r\n%date%3\r\n"
        "4;x=y\r\n1122\r\n"
        "d\r\n010 %ver%200 \r\n"
        "0\r\n\r\n");
    ASSERT_TRUE(site.Started());
    PointAt(site.port());
    about.show();
    about.findChild<QPushButton*>(kAboutCheckButton)->click();
    ASSERT_TRUE(WaitFor([&] { return !about.CheckRunning(); }, 60000));
    EXPECT_EQ(about.results.value(0), kChecking);
    EXPECT_EQ(about.CheckResult(), NewVersionMessage({200, "2.00", QDate(2010, 12, 31)}));
    ExpectLogged({kChecking, "New version found: 2.00"});
    EXPECT_EQ(site.Requests(),
        "GET /tarvo/ver.txt HTTP/1.1\r\n"
        "Host: 127.0.0.1:" + QByteArray::number(site.port()) + "\r\n"
        "Accept: text/html, */*\r\n"
        "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n\r\n");
}

TEST_F(UpdateCheckTest, ABodyReadToTheCloseCounts)
{
    HttpPeer site = HttpPeer::Scripted("HTTP/1.0 200 OK\r\n\r\n%ver%127%date%01052003");
    ASSERT_TRUE(site.Started());
    PointAt(site.port());
    RunCheck();
    ExpectLogged({kChecking, "New version found: 1.27"});
}

TEST_F(UpdateCheckTest, RedirectsAndErrorStatusesAreFailedChecks)
{
    HttpPeer files = HttpPeer::Files();
    ASSERT_TRUE(files.Started());
    // The file server answers a folder with a redirection to its listing.
    files.WriteFile("tarvo/ver.txt/index.html", "%ver%999%date%01012030");
    files.WriteFile("elsewhere/ver.txt", "%ver%999%date%01012030");
    HttpPeer redirect = HttpPeer::Scripted("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:"
        + QByteArray::number(files.port()) + "/elsewhere/ver.txt\r\nContent-Length: 22\r\n\r\n%ver%999%date%01012030");
    HttpPeer serverError = HttpPeer::Scripted("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 22\r\n\r\n%ver%999%date%01012030");
    HttpPeer empty = HttpPeer::Files();
    ASSERT_TRUE(redirect.Started() && serverError.Started() && empty.Started());

    about.show();
    for (const auto& [name, port] : {std::pair{"folder redirect", files.port()}, std::pair{"302", redirect.port()},
             std::pair{"500", serverError.port()}, std::pair{"404", empty.port()}}) {
        log.clear();
        about.results.clear();
        about.AboutWindow::ShowResult("earlier result");
        PointAt(port);
        RunCheck();
        SCOPED_TRACE(name);
        ExpectFailedCheck();
    }
    EXPECT_TRUE(about.isVisible());
}

TEST_F(UpdateCheckTest, SilentBrokenAndAbsentServersAreFailedChecks)
{
    HttpPeer silent = HttpPeer::Silent();
    HttpPeer cut = HttpPeer::Scripted("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n%ver%127%date%01052003");
    HttpPeer garbage = HttpPeer::Scripted("%ver%127%date%01052003\r\n\r\n");
    ASSERT_TRUE(silent.Started() && cut.Started() && garbage.Started());
    const int closedPort = ClosedTcpPort();

    about.show();
    for (const auto& [name, port] : {std::pair{"silent", silent.port()}, std::pair{"cut short", cut.port()},
             std::pair{"not http", garbage.port()}, std::pair{"refused", closedPort}}) {
        log.clear();
        about.results.clear();
        PointAt(port, std::chrono::milliseconds(1500));
        RunCheck();
        SCOPED_TRACE(name);
        ExpectFailedCheck();
    }
}

TEST_F(UpdateCheckTest, AnUnreadableVersionFileIsAFailedCheckWithALogLine)
{
    HttpPeer site = HttpPeer::Files();
    ASSERT_TRUE(site.Started());
    PointAt(site.port());
    about.show();
    // The parser's own tests hold every broken form; here it is the check's answer to one.
    for (const QByteArray& file : {QByteArray("%ver%127 but no date"), QByteArray("%ver%127%date%31022003")}) {
        site.WriteFile("tarvo/ver.txt", file);
        log.clear();
        about.results.clear();
        RunCheck();
        EXPECT_EQ(about.results, (QStringList{kChecking, QString()})) << file.constData();
        ExpectLogged({kChecking, "The version file of the Tarvo website could not be read"});
    }
}

TEST_F(UpdateCheckTest, TheWindowStaysResponsiveAndClosingItAbandonsTheCheck)
{
    HttpPeer silent = HttpPeer::Silent();
    ASSERT_TRUE(silent.Started());
    PointAt(silent.port(), std::chrono::milliseconds(60000));
    about.show();
    about.findChild<QPushButton*>(kAboutCheckButton)->click();
    EXPECT_EQ(about.CheckResult(), kChecking);
    ASSERT_TRUE(WaitFor([&] { return silent.Requests().contains("GET /tarvo/ver.txt"); }, 30000));
    // The event loop goes on while the check waits on the site.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(10);
    EXPECT_TRUE(WaitFor([&] { return ticks >= 5; }));
    EXPECT_TRUE(about.CheckRunning());

    QElapsedTimer closing;
    closing.start();
    about.findChild<QPushButton*>(kAboutOkButton)->click();
    EXPECT_FALSE(about.CheckRunning()) << "the fetch's thread has ended when the window is closed";
    EXPECT_LT(closing.elapsed(), 30000) << "closing aborted the fetch instead of waiting out its limit";
    QCoreApplication::processEvents();
    EXPECT_EQ(about.results, QStringList{kChecking}) << "the abandoned check reports nothing";
    ExpectLogged({kChecking});

    // A window destroyed during a check gets no late call.
    auto other = std::make_unique<RecordingAbout>();
    other->SetUpdateCheckConfig(about.updateCheckConfig());
    other->CheckForUpdate();
    ASSERT_TRUE(WaitFor([&] { return silent.Requests().count("GET /tarvo/ver.txt") == 2; }, 30000));
    other.reset();
    QCoreApplication::processEvents();
}

class AboutWindowTest : public ::testing::Test {
protected:
    ~AboutWindowTest() override { SetProgramClock(nullptr); }
    FixedClock clock{QDateTime(QDate(2024, 6, 14), QTime(12, 0))};
};

TEST_F(AboutWindowTest, ShowsTheVersionAndGreetsOnHolidaysOnly)
{
    SetProgramClock(&clock);
    AboutWindow about;
    EXPECT_EQ(about.size(), QSize(362, 230));
    EXPECT_EQ(about.TitleLine(), "Tarvo...");
    about.show();
    EXPECT_EQ(about.TitleLine(), "Tarvo v. 1.26");
    EXPECT_EQ(about.windowTitle(), "About...");
    EXPECT_EQ(about.findChild<QPushButton*>(kAboutCheckButton)->text(), "Check for new version");
    EXPECT_EQ(about.CheckResult(), QString());

    struct Visit {
        QDate day;
        const char* caption;
    };
    // A holiday caption stays until the program ends.
    for (const Visit& v : {Visit{QDate(2024, 12, 24), "Merry Christmas!"}, Visit{QDate(2024, 12, 28), "Merry Christmas!"},
             Visit{QDate(2025, 1, 1), "Happy New Year!"}, Visit{QDate(2025, 1, 2), "Happy New Year!"},
             Visit{QDate(2025, 12, 25), "Merry Christmas!"}}) {
        about.findChild<QPushButton*>(kAboutOkButton)->click();
        EXPECT_FALSE(about.isVisible());
        clock.set(QDateTime(v.day, QTime(23, 59, 59)));
        about.show();
        EXPECT_EQ(about.windowTitle(), v.caption) << v.day.toString().toStdString();
    }
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST_F(AboutWindowTest, TheSiteAddressOpensTheProductPage)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    AboutWindow about;
    UpdateCheckConfig config = about.updateCheckConfig();
    config.site = ParseSiteAddress("127.0.0.1:8123");
    about.SetUpdateCheckConfig(config);
    about.show();
    EXPECT_EQ(about.SiteAddress(), "http://127.0.0.1:8123/tarvo");
    auto* link = about.findChild<ClickableLabel*>(kAboutSiteLink);
    ASSERT_NE(link, nullptr);
    const QPointF at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, link->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, link->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(link, &press);
    QApplication::sendEvent(link, &release);
    QDesktopServices::unsetUrlHandler("http");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls.front(), QUrl("http://127.0.0.1:8123/tarvo"));
}

} // namespace

#include "UpdateCheckTest.moc"

} // namespace tarvo
