// The live view against real clients (curl, Python's http.client and raw sockets, headless
// chromium) on a free port: who gets in, what each address answers, the stream, the limits that
// keep a crowd or a trickling client from taking the server, HTTPS, and the page itself.
#include "app/clips/ClipReader.h"
#include "app/clips/ClipWriter.h"
#include "app/liveview/LiveFrameHub.h"
#include "app/liveview/LiveView.h"
#include "capture/CaptureTypes.h"
#include "common/Clock.h"
#include "gst/GstPointers.h"
#include "imaging/JpegWriter.h"
#include "settings/ExtraOptions.h"
#include "settings/PasswordHash.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QImage>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace tarvo {

namespace {
constexpr char User[] = "tarvo";
constexpr char Password[] = "correct horse";
constexpr int StreamFps = 10;

// A camera on its own thread: YUY2 frames at 30 a second whose brightness changes, offered to the
// hub as the frame handler does.
class FakeCamera {
public:
    explicit FakeCamera(LiveFrameHub& hub) : hub_(hub)
    {
        format_.header.compression = FOURCC_YUY2;
        format_.header.width = 320;
        format_.header.height = 240;
        format_.header.bitCount = 16;
        thread_ = std::thread([this] { Run(); });
    }
    ~FakeCamera()
    {
        stop_ = true;
        thread_.join();
    }

private:
    void Run()
    {
        std::vector<std::uint8_t> bytes(320 * 240 * 2);
        for (std::uint8_t n = 0; !stop_; ++n) {
            for (std::size_t i = 0; i < bytes.size(); i += 2) {
                bytes[i] = std::uint8_t(16 + (n + i / 640) % 200);
                bytes[i + 1] = 128;
            }
            FrameBuffer header;
            header.data = bytes.data();
            header.capacity = header.bytesUsed = std::uint32_t(bytes.size());
            hub_.Offer(header, format_);
            std::this_thread::sleep_for(std::chrono::milliseconds(33));
        }
    }
    LiveFrameHub& hub_;
    FrameFormat format_{};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class LiveViewTest : public ::testing::Test {
protected:
    LiveViewTest()
    {
        SetProgramLog(&log);
        QDir().mkpath(program.dir() + "pics");
        QDir().mkpath(program.dir() + "vids");
        QDir().mkpath(program.dir() + "Profiles");
        options.PictureDir = program.dir() + "pics/";
        options.VideoDir = program.dir() + "vids/";
        options.LogfileDir = program.dir();
        WriteFileBytes(program.dir() + "pics/12-08  10.00.00.jpg", "own picture");
        WriteFileBytes(program.dir() + "vids/Tarvo video 001.avi", "own clip");
        WriteFileBytes(program.dir() + "pics/notes.txt", "not Tarvo's");
        WriteFileBytes(program.dir() + "Profiles/Default.pfl", "settings");
        settings.Enabled = true;
        settings.Port = 0;
        settings.StreamFps = StreamFps;
        settings.PasswordHash = PasswordHash::Make(Password).ToString();
    }
    ~LiveViewTest() override
    {
        live.Stop();
        SetProgramLog(nullptr);
    }

    // Starts the live view; the header time is short so a trickling client is seen soon.
    void Start()
    {
        limits.headerTime = std::chrono::milliseconds(1500);
        live.Apply(options, settings, limits);
        ASSERT_TRUE(live.Running()) << log.messages().join('\n').toStdString();
        base = QStringLiteral("%1://127.0.0.1:%2").arg(settings.CertFile.isEmpty() ? "http" : "https").arg(live.Port());
    }

    // Runs one case of live_clients.py; its report is shown when it fails.
    void Clients(const QString& group, const QStringList& extra = {})
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start("/usr/bin/python3", QStringList{SourceDir() + "tests/liveview/live_clients.py", group, base, User, Password} + extra);
        ASSERT_TRUE(p.waitForFinished(int(TestTime(std::chrono::seconds(120)).count()))) << group.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << group.toStdString() << ":\n" << p.readAll().toStdString();
    }

    // curl's status code for the given arguments.
    QString Curl(const QStringList& args)
    {
        QProcess p;
        p.start("curl", QStringList{"-s", "-o", "/dev/null", "-w", "%{http_code}", "--max-time", "60"} + args);
        p.waitForFinished(120000);
        return QString::fromLatin1(p.readAllStandardOutput());
    }

    RecordingEventLog log;
    ScratchProgram program;
    OptionsValues options = DefaultOptions(program.dir());
    LiveViewOptions settings;
    LiveServerConfig limits;
    LiveFrameHub hub;
    LiveView live{hub, program.dir()};
    QString base;
};

// The names of the recent pictures and clips, newest first.
QStringList RecentNames(const LiveStatus& status)
{
    QStringList names;
    for (const QJsonValue& r : QJsonDocument::fromJson(status.Json()).object()["recent"].toArray())
        names.append(r.toObject()["name"].toString());
    return names;
}

int AlarmCount(const LiveStatus& status) { return int(QJsonDocument::fromJson(status.Json()).object()["alarms"].toArray().size()); }

int LinesOf(const QString& path) { return int(ReadFileBytes(path).count('\n')); }

// A clip as the clip writer writes it, ten frames at 10 a second: the first blue, the rest red.
void WriteClip(const QString& path)
{
    ASSERT_TRUE(EnsureGstInit());
    ClipWriter writer;
    ASSERT_TRUE(writer.Open(UniqueFd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600)), path,
                            QSize(160, 120), 10));
    QImage frame(160, 120, QImage::Format_RGB32);
    for (std::uint32_t i = 0; i < 10; ++i) {
        frame.fill(i == 0 ? Qt::blue : Qt::red);
        ASSERT_TRUE(writer.Write(JpegWriter().Compress(frame), i * 100));
    }
    ASSERT_TRUE(writer.Finish()) << writer.Error().toStdString();
}

// The pixels of a picture that are clearly red.
int RedPixels(const QImage& picture)
{
    int red = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            red += c.red() > 180 && c.green() < 80 && c.blue() < 80;
        }
    return red;
}

TEST_F(LiveViewTest, OnlyTheRightUserAndPasswordGetIn)
{
    Start();
    EXPECT_TRUE(log.contains(QStringLiteral("Live view at http://127.0.0.1:%1/").arg(live.Port())));
    struct Case {
        QStringList args;
        const char* code;
    };
    const Case cases[] = {
        {{}, "401"},
        {{"-u", "tarvo:wrong"}, "401"},
        {{"-u", "someone:correct horse"}, "401"},
        {{"-u", "tarvo:correct horse"}, "200"},
        {{"-u", "tarvo:correct horse", "-X", "POST"}, "405"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Curl(c.args + QStringList{base + "/status.json"}), c.code) << c.args.join(' ').toStdString();
    Clients("auth");

    // Only where the server listens beyond this computer does a password sent in the clear matter;
    // the log says so once.
    const QString clear = "Live view: a password came over plain HTTP";
    EXPECT_FALSE(log.messages().join('\n').contains(clear));
    settings.Listen = "0.0.0.0";
    Start();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Curl({"-u", "tarvo:correct horse", base + "/status.json"}), "200");
    EXPECT_EQ(log.messages().filter(clear).size(), 1) << log.messages().join('\n').toStdString();
}

TEST_F(LiveViewTest, AGuesserWaitsItsTurnAndAStrangerLocksNoOneOut)
{
    limits.rememberedAddresses = 4;
    Start();
    Clients("guessing");
    const QStringList failed = log.messages().filter("failed logins");
    EXPECT_EQ(failed.filter("127.0.0.2").size(), 1) << "once a minute: " << failed.join('\n').toStdString();
    EXPECT_TRUE(failed.contains("Live view: 1 failed logins from 127.0.1.3")) << failed.join('\n').toStdString();
    live.Stop();
    EXPECT_TRUE(log.contains("Live view: 2 failed logins from 127.0.0.2")) << "the rest are counted at the stop";
    Start();
    EXPECT_EQ(LiveAuth::AddressGroup(QHostAddress("2001:db8:1:2:aaaa::1")), "2001:db8:1:2::/64");
    EXPECT_EQ(LiveAuth::AddressGroup(QHostAddress("::ffff:192.0.2.7")), "192.0.2.7");
    Clients("flood");
}

TEST_F(LiveViewTest, EachAddressAnswersAndNothingOutsideTarvosOwnFiles)
{
    FakeCamera camera(hub);
    Start();
    LiveStatus& status = live.Status();
    status.NoteAutoCapturing(true);
    status.NoteAlarm(ProgramClock().now(), program.dir() + "pics/12-08  10.00.00.jpg");
    Clients("routes", {"12-08  10.00.00.jpg", "Tarvo video 001.avi"});
    Clients("traversal", {"notes.txt"});
}

TEST_F(LiveViewTest, TheStreamSendsWholePicturesAtTheChosenRate)
{
    FakeCamera camera(hub);
    Start();
    Clients("stream", {QString::number(StreamFps)});
}

TEST_F(LiveViewTest, ACrowdGetsBusyAnswersAndATricklingClientIsClosed)
{
    FakeCamera camera(hub);
    Start();
    Clients("crowd", {"40", "32", QString::number(limits.perAddressConnections)});
    Clients("trickle");
}

TEST_F(LiveViewTest, HttpsWithTheUsersCertificate)
{
    const QString cert = program.dir() + "cert.pem";
    const QString key = program.dir() + "key.pem";
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                              "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert});
    ASSERT_TRUE(openssl.waitForFinished(120000) && openssl.exitCode() == 0) << openssl.readAllStandardError().toStdString();
    settings.CertFile = cert;
    settings.KeyFile = key;
    FakeCamera camera(hub);
    Start();
    EXPECT_TRUE(live.Url().startsWith("https://"));
    Clients("tls", {cert});
}

TEST_F(LiveViewTest, UnsafeOrBrokenSettingsLeaveTheServerOff)
{
    struct Case {
        const char* listen;
        bool password;
        const char* cert;
        const char* logged;
    };
    const Case cases[] = {
        {"0.0.0.0", false, "", "without a password"},
        {"::", false, "", "without a password"},
        {"192.0.2.1", true, "", "cannot be taken"},
        {"not an address", true, "", "not an address"},
        {"127.0.0.1", true, "/nonexistent/cert.pem", "certificate or key file cannot be read"},
    };
    const QString hash = settings.PasswordHash;
    for (const Case& c : cases) {
        log.clear();
        settings.Listen = c.listen;
        settings.PasswordHash = c.password ? hash : QString();
        settings.CertFile = settings.KeyFile = c.cert;
        live.Apply(options, settings);
        EXPECT_FALSE(live.Running()) << c.listen;
        EXPECT_TRUE(log.messages().join('\n').contains(c.logged)) << c.listen << ": " << log.messages().join('\n').toStdString();
    }
    settings = LiveViewOptions{};
    settings.Enabled = true;
    settings.PasswordHash = "pbkdf2-sha256$10$c2FsdHNhbHRzYWx0c2FsdA==$" + QByteArray(32, 'k').toBase64();
    live.Apply(options, settings);
    EXPECT_FALSE(live.Running()) << "too few iterations are no password";

    // A second server never shares the port of one running.
    settings.PasswordHash = hash;
    Start();
    LiveFrameHub otherHub;
    LiveView other{otherHub, program.dir()};
    settings.Port = live.Port();
    log.clear();
    other.Apply(options, settings);
    EXPECT_FALSE(other.Running());
    EXPECT_TRUE(log.contains(QStringLiteral("Live view not started: port %1 cannot be taken").arg(live.Port())))
        << log.messages().join('\n').toStdString();
}

TEST_F(LiveViewTest, AFifoAmongThePicturesIsNoPictureAndHoldsNothingUp)
{
    const QString fifo = "12-08  10.00.01.jpg";
    ASSERT_EQ(mkfifo(QFile::encodeName(program.dir() + "pics/" + fifo).constData(), 0600), 0);
    Start();
    Clients("fifo", {program.dir() + "pics", fifo, "12-08  10.00.00.jpg"});
    const auto stopping = std::chrono::steady_clock::now();
    live.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, TestTime(std::chrono::seconds(5)));
}

TEST_F(LiveViewTest, TheAlarmStripOutlivesARestartAndForgetsTheDayBefore)
{
    const QDateTime now = QDateTime::currentDateTime();
    LiveStatus first;
    first.Configure(options);
    first.NoteAlarm(now.addSecs(-25 * 3600), program.dir() + "pics/old.jpg");
    first.NoteAlarm(now.addSecs(-3600), program.dir() + "pics/12-08  10.00.00.jpg");
    first.NoteAlarm(now, QString());
    EXPECT_TRUE(QFileInfo(first.AlarmsFile()).absolutePath() == QFileInfo(program.dir() + "Log.txt").absolutePath());

    first.Flush();
    LiveStatus second;
    second.Configure(options);
    const QJsonArray alarms = QJsonDocument::fromJson(second.Json()).object()["alarms"].toArray();
    ASSERT_EQ(alarms.size(), 2);
    EXPECT_EQ(alarms[0].toObject()["file"].toString(), "12-08  10.00.00.jpg");
    EXPECT_EQ(alarms[1].toObject()["file"].toString(), "");
    EXPECT_EQ(qint64(alarms[1].toObject()["time"].toDouble()), now.toMSecsSinceEpoch());
}

TEST_F(LiveViewTest, TheAlarmListStaysSmallAtAnyAlarmRate)
{
    // An alarm at every second for two hours: the strip keeps one every ten seconds.
    const QDateTime now = QDateTime::currentDateTime();
    LiveStatus status;
    status.Configure(options);
    for (int s = 2 * 3600; s > 0; --s)
        status.NoteAlarm(now.addSecs(-s), program.dir() + "pics/12-08  10.00.00.jpg");
    EXPECT_EQ(AlarmCount(status), 2 * 360);
    // A clock that keeps going back defeats the spacing; the count still stays bounded.
    for (int ms = 0; ms < 3500; ++ms)
        status.NoteAlarm(now.addMSecs(-ms), QString());
    EXPECT_EQ(AlarmCount(status), int(LiveStatus::MaxAlarms));
    status.Flush();
    EXPECT_LE(LinesOf(status.AlarmsFile()), int(2 * LiveStatus::MaxAlarms)) << "the file is written afresh when it grows";
    LiveStatus restarted;
    restarted.Configure(options);
    EXPECT_EQ(AlarmCount(restarted), int(LiveStatus::MaxAlarms));
}

TEST_F(LiveViewTest, APlantedAlarmsFileIsNeitherFollowedNorWaitedOn)
{
    const QString alarms = program.dir() + "LiveViewAlarms.txt";
    const QString target = program.dir() + "elsewhere.txt";
    const QByteArray planted = QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + "\tplanted.jpg\n";
    WriteFileBytes(target, planted);
    ASSERT_TRUE(QFile::link(target, alarms));
    {
        LiveStatus status;
        status.Configure(options);
        status.NoteAlarm(QDateTime::currentDateTime(), QString());
        EXPECT_EQ(AlarmCount(status), 1) << "nothing is read through the link";
    }
    EXPECT_EQ(ReadFileBytes(target), planted) << "nothing is written through the link";
    ASSERT_TRUE(QFile::remove(alarms));
    ASSERT_EQ(mkfifo(QFile::encodeName(alarms).constData(), 0600), 0);
    LiveStatus status;
    status.Configure(options);
    status.NoteAlarm(QDateTime::currentDateTime(), QString());
    status.Flush(); // returns: the FIFO is neither read nor written
    EXPECT_EQ(AlarmCount(status), 1);
}

TEST_F(LiveViewTest, RecentFilesAreThoseTarvoSavedLessThoseItRemoved)
{
    LiveStatus status;
    status.Configure(options);
    status.Flush();
    const QString later = "12-08  10.00.05.jpg";
    WriteFileBytes(program.dir() + "pics/" + later, "later");
    QFile newest(program.dir() + "pics/" + later);
    ASSERT_TRUE(newest.open(QIODevice::ReadWrite) && newest.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    newest.close();
    EXPECT_EQ(RecentNames(status).size(), 2) << "the folders are not listed for each request";
    status.NoteFileSaved(program.dir() + "pics/" + later);
    status.Flush();
    EXPECT_EQ(RecentNames(status).first(), later);
    ASSERT_TRUE(QFile::remove(program.dir() + "pics/" + later));
    status.NoteFileRemoved(CanonicalDir(program.dir() + "pics") + '/' + later);
    status.Flush();
    EXPECT_EQ(RecentNames(status).size(), 2);
}

TEST_F(LiveViewTest, ThePageShowsTheStreamAndTheStripAndWithoutAPasswordOnlyByAddress)
{
    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty())
        GTEST_SKIP() << "chromium is not installed";
    settings.PasswordHash.clear(); // this computer only: no password needed
    FakeCamera camera(hub);
    Start();
    live.Status().NoteAlarm(ProgramClock().now().addSecs(-600), program.dir() + "pics/12-08  10.00.00.jpg");
    QProcess browser;
    browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + program.dir() + "chromium",
                             "--virtual-time-budget=4000", "--timeout=15000", "--dump-dom", base + "/"});
    ASSERT_TRUE(browser.waitForFinished(int(TestTime(std::chrono::seconds(120)).count())));
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    EXPECT_TRUE(dom.contains(R"(id="live" src="stream.mjpg")")) << dom.toStdString();
    EXPECT_TRUE(dom.contains(R"(class="alarm")")) << "the alarm is marked on the strip";
    EXPECT_TRUE(dom.contains(R"(href="recent/12-08%20%2010.00.00.jpg")")) << "the picture is among the recent ones";
    EXPECT_TRUE(dom.contains("Auto-capturing off"));

    // Without a password, a request must name the server by its address: a page elsewhere that
    // points a name of its own at this computer gets nothing.
    EXPECT_EQ(Curl({"-H", "Host: attacker.example", base + "/status.json"}), "403");
    EXPECT_EQ(Curl({"-H", "Host: localhost:8081", base + "/status.json"}), "200");
    EXPECT_EQ(Curl({"-g", QStringLiteral("http://[::1]:%1/status.json").arg(live.Port())}), "000") << "it listens on 127.0.0.1 alone";
}
TEST_F(LiveViewTest, AClipPlaysOnThePageAndAClipFileIsReadWarily)
{
    const QString clip = program.dir() + "vids/Tarvo video 002.avi";
    WriteClip(clip);
    ClipReader reader;
    ASSERT_TRUE(reader.Open(clip));
    EXPECT_EQ(reader.Frames(), 10u);
    EXPECT_EQ(reader.FrameUs(), 100000);
    QByteArray jpeg;
    ASSERT_TRUE(reader.ReadFrame(9, jpeg));
    EXPECT_GT(RedPixels(QImage::fromData(jpeg)), 160 * 120 / 2);

    // Cut short, or changed after it was opened: only whole frames are read, nothing past the end.
    const QByteArray bytes = ReadFileBytes(clip);
    const QString cut = program.dir() + "cut.avi";
    WriteFileBytes(cut, bytes.left(bytes.size() / 2));
    ClipReader shortened;
    ASSERT_TRUE(shortened.Open(cut));
    EXPECT_GT(shortened.Frames(), 0u);
    EXPECT_LT(shortened.Frames(), 10u);
    for (std::size_t i = 0; i < shortened.Frames(); ++i)
        EXPECT_TRUE(shortened.ReadFrame(i, jpeg)) << i;
    WriteFileBytes(cut, QByteArray(bytes.size(), 'x'));
    EXPECT_FALSE(shortened.ReadFrame(0, jpeg));
    // A link is not followed.
    ASSERT_TRUE(QFile::link(clip, program.dir() + "vids/Tarvo video 003.avi"));
    EXPECT_FALSE(ClipReader().Open(program.dir() + "vids/Tarvo video 003.avi"));

    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty())
        GTEST_SKIP() << "chromium is not installed: the clip is not played in a browser";
    settings.PasswordHash.clear();
    Start();
    live.Status().NoteFileSaved(clip);
    live.Status().Flush();
    // The page opened at a clip's link plays it in the clip's tile: red, where its poster is blue.
    const QString shot = program.dir() + "page.png";
    QProcess browser;
    browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars", "--user-data-dir=" + program.dir() + "chromium",
                             "--window-size=400,1600", "--virtual-time-budget=8000", "--timeout=20000", "--screenshot=" + shot,
                             base + "/#clip=Tarvo%20video%20002.avi"});
    ASSERT_TRUE(browser.waitForFinished(int(TestTime(std::chrono::seconds(120)).count())));
    EXPECT_GT(RedPixels(QImage(shot)), 2000) << "the clip's frames are shown";
}
} // namespace

} // namespace tarvo
