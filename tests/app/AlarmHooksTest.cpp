// The alarm hooks: the user's command line split without a shell, its fields, the command run one
// at a time within its limit, and desktop notifications through a real D-Bus daemon.
#include "support/TestSupport.h"

#include "app/alarms/AlarmCommand.h"
#include "app/alarms/AlarmHooks.h"
#include "app/alarms/DesktopNotifier.h"
#include "app/alarms/ExecLine.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvo {

namespace {

TEST(ExecLineTest, SplitsLikeADesktopEntry)
{
    struct Case {
        QString line;
        std::optional<QStringList> words;
    };
    const Case cases[] = {
        {"notify-send Tarvo motion", QStringList{"notify-send", "Tarvo", "motion"}},
        {"  cmd\t a   b ", QStringList{"cmd", "a", "b"}},
        {R"(cmd "two words" x)", QStringList{"cmd", "two words", "x"}},
        {R"(cmd "a \"q\" \$HOME \\ \` b")", QStringList{"cmd", R"(a "q" $HOME \ ` b)"}},
        {R"(cmd "" end)", QStringList{"cmd", "", "end"}},
        {R"(cmd pre"mid"post)", QStringList{"cmd", "premidpost"}},
        {"cmd $(rm -rf x); echo", QStringList{"cmd", "$(rm", "-rf", "x);", "echo"}},
        {R"(cmd "unterminated)", std::nullopt},
        {"   ", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitExecLine(c.line), c.words) << c.line.toStdString();
}

TEST(ExecLineTest, FieldsAreReplacedInsideEachWord)
{
    const QDateTime time(QDate(2026, 3, 4), QTime(5, 6, 7), QTimeZone(3600));
    const QStringList out = ExpandAlarmFields({"x", "--file=%f", "%t", "100%%", "%q", "end%"},
                                              "/pics/my pic %t.jpg", time);
    EXPECT_EQ(out, (QStringList{"x", "--file=/pics/my pic %t.jpg", "2026-03-04T05:06:07+01:00", "100%", "%q", "end%"}));
}

class AlarmCommandTest : public ::testing::Test {
protected:
    AlarmCommandTest() { SetProgramLog(&log); }
    ~AlarmCommandTest() override { SetProgramLog(nullptr); }

    // A shell script the command line names; it is the user's program, not a shell around it.
    QString Script(const QString& name, const QString& body)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(("#!/bin/sh\n" + body + "\n").toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    bool WaitUntilIdle(AlarmCommand& command, int ms = 20000)
    {
        return WaitFor([&] { return !command.Running(); }, ms);
    }

    RecordingEventLog log;
    QTemporaryDir dir;
    const QDateTime time{QDate(2026, 12, 8), QTime(4, 5, 6), QTimeZone(0)};
};

TEST_F(AlarmCommandTest, RunsWithThePictureAndTimeAsArguments)
{
    const QString out = dir.filePath("args.txt");
    const QString script = Script("hook.sh", "for a in \"$@\"; do echo \"[$a]\"; done > \"" + out + "\"");
    AlarmCommand command;
    command.Run("\"" + script + "\" --picture %f at %t", "/tmp/pic with blank.jpg", time);
    ASSERT_TRUE(WaitUntilIdle(command));
    EXPECT_EQ(ReadFileBytes(out), "[--picture]\n[/tmp/pic with blank.jpg]\n[at]\n[2026-12-08T04:05:06Z]\n");
    EXPECT_TRUE(log.messages().isEmpty()) << log.messages().join('\n').toStdString();
}

TEST_F(AlarmCommandTest, FailuresAreLoggedAndNeverOverlap)
{
    AlarmCommand command(500);
    // A command that does not end is ended at its limit; an alarm meanwhile is skipped.
    command.Run("\"" + Script("hang.sh", "exec sleep 60") + "\"", "", time);
    command.Run("\"" + Script("other.sh", "exit 0") + "\"", "", time);
    ASSERT_TRUE(WaitUntilIdle(command));
    EXPECT_TRUE(log.contains("Alarm command skipped: the previous one is still running"));
    EXPECT_TRUE(log.contains("Alarm command ended after 0.5 s"));

    command.Run("\"" + Script("fails.sh", "exit 3") + "\"", "", time);
    ASSERT_TRUE(WaitUntilIdle(command));
    EXPECT_TRUE(log.contains("Alarm command exited with status 3"));

    log.clear();
    command.Run(dir.filePath("no-such-program") + " %f", "", time);
    ASSERT_TRUE(WaitUntilIdle(command));
    ASSERT_EQ(log.messages().size(), 1);
    EXPECT_TRUE(log.messages()[0].startsWith("Alarm command could not be started: ")) << log.messages()[0].toStdString();

    command.Run("cmd \"open", "", time);
    EXPECT_FALSE(command.Running());
    EXPECT_TRUE(log.contains("Alarm command could not be started: unbalanced quotes or no program"));
}

// Running, and not a zombie that no one has reaped yet.
bool ProcessAlive(const QByteArray& pid)
{
    const QByteArray stat = ReadFileBytes("/proc/" + pid.trimmed() + "/stat");
    return !stat.isEmpty() && stat.mid(stat.lastIndexOf(')') + 2, 1) != "Z";
}

TEST_F(AlarmCommandTest, TheCommandGetsOnlyItsStandardFilesAndEndsWithWhatItStarted)
{
    // A descriptor left open across exec, as a library's socket is.
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    const auto closeSockets = qScopeGuard([&] { ::close(sockets[0]), ::close(sockets[1]); });
    const QString script = Script("background.sh", "sleep 300 &\n"
                                                   "echo $! > \"$1.pid\"\n"
                                                   "ls /proc/self/fd > \"$1.fds\"\n"
                                                   "exec sleep 300");
    struct Ending {
        const char* name;
        int limitMs;
    };
    // Ended at its limit, and by Tarvo's end while it runs.
    const int shortLimit = int(TestTime(std::chrono::seconds(2)).count());
    for (const Ending& e : {Ending{"limit", shortLimit}, Ending{"exit", AlarmCommand::DefaultTimeLimitMs}}) {
        const QString out = dir.filePath(e.name);
        QByteArray child;
        {
            AlarmCommand command(e.limitMs);
            command.Run("\"" + script + "\" \"" + out + "\"", "", time);
            ASSERT_TRUE(WaitFor([&] { return QFileInfo(out + ".fds").size() > 0; }, 20000)) << e.name;
            child = ReadFileBytes(out + ".pid");
            // ls holds one more: the folder it lists.
            EXPECT_EQ(ReadFileBytes(out + ".fds").toStdString(), "0\n1\n2\n3\n") << e.name;
            if (e.limitMs < AlarmCommand::DefaultTimeLimitMs) {
                ASSERT_TRUE(WaitUntilIdle(command)) << e.name;
            }
        }
        EXPECT_TRUE(WaitFor([&] { return !ProcessAlive(child); }, 20000)) << e.name << " " << child.toStdString();
    }
}

// A private D-Bus daemon for one test, and a notification service on it that records each call.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString summary;
        QString body;
        QVariantMap hints;
        uint replaces = 0;
    };
    std::vector<Call> calls;

public slots:
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        calls.push_back({summary, body, hints, replaces});
        return uint(calls.size());
    }
};

class PrivateBus {
public:
    PrivateBus()
    {
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!daemon_.waitForStarted(5000) || !WaitFor([&] { return daemon_.canReadLine(); }, 10000))
            return;
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        for (const QString& name : names_)
            QDBusConnection::disconnectFromBus(name);
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    bool ok() const { return !address_.isEmpty(); }
    // Each name is a connection of its own, so calls between them pass through the daemon.
    QDBusConnection Connect(const QString& name)
    {
        names_ << name;
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

TEST_F(AlarmCommandTest, NotificationsCarryThePictureAndAMissingServiceIsLoggedOnce)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.ok()) << "dbus-daemon did not start";
    DesktopNotifier notifier(bus.Connect("client"));
    int answers = 0;
    bool lastOk = false;
    QObject::connect(&notifier, &DesktopNotifier::answered, [&](bool ok) { ++answers, lastOk = ok; });

    notifier.Notify("Motion detected", "first", "");
    notifier.Notify("Motion detected", "second", "");
    ASSERT_TRUE(WaitFor([&] { return answers == 2; }));
    EXPECT_FALSE(lastOk);
    ASSERT_EQ(log.messages().size(), 1) << log.messages().join('\n').toStdString();
    EXPECT_TRUE(log.messages()[0].startsWith("Desktop notifications are not available: "));

    NotificationService service;
    QDBusConnection serviceBus = bus.Connect("service");
    ASSERT_TRUE(serviceBus.registerObject("/org/freedesktop/Notifications", &service, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serviceBus.registerService("org.freedesktop.Notifications"));
    notifier.Notify("Motion detected", "Tarvo saw motion", "/pics/alarm 1.jpg");
    ASSERT_TRUE(WaitFor([&] { return answers == 3; }));
    EXPECT_TRUE(lastOk);
    ASSERT_EQ(service.calls.size(), 1u);
    EXPECT_EQ(service.calls[0].summary, "Motion detected");
    EXPECT_EQ(service.calls[0].hints.value("image-path").toString(), "file:///pics/alarm%201.jpg");

    // A warning that gets its picture a moment later replaces itself, even when the picture comes
    // before the service has answered the first call; notifications of other slots stand apart.
    notifier.Notify("Tarvo", "Motion Detected", "", "warning");
    notifier.Notify("Tarvo", "Motion Detected", "/pics/alarm 2.jpg", "warning");
    notifier.Notify("Motion detected", "Tarvo saw motion", "");
    ASSERT_TRUE(WaitFor([&] { return answers == 6; }));
    ASSERT_EQ(service.calls.size(), 4u);
    EXPECT_EQ(service.calls[1].replaces, 0u);
    EXPECT_EQ(service.calls[2].replaces, 0u);
    EXPECT_EQ(service.calls[3].replaces, 2u);
    EXPECT_EQ(service.calls[3].hints.value("image-path").toString(), "file:///pics/alarm%202.jpg");
}

TEST_F(AlarmCommandTest, HooksRunOnlyWhatTheSettingsSwitchOn)
{
    const QString out = dir.filePath("ran.txt");
    AlarmHooks hooks;
    QStringList told; // the live view's strip hears of every alarm
    QObject::connect(&hooks, &AlarmHooks::raised, [&](const QDateTime& t, const QString& picture) {
        told << t.toString(Qt::ISODate) + ' ' + picture;
    });
    AlarmOptions options;
    hooks.Raise(options, time, "x.jpg"); // both off: nothing happens, nothing is logged
    EXPECT_FALSE(hooks.Command().Running());
    EXPECT_EQ(told, QStringList{time.toString(Qt::ISODate) + ' ' + QFileInfo("x.jpg").absoluteFilePath()});
    options.Command = "\"" + Script("hook.sh", "echo \"$1\" > \"" + out + "\"") + "\" %f";
    hooks.Raise(options, time, "relative.jpg");
    ASSERT_TRUE(WaitUntilIdle(hooks.Command()));
    EXPECT_EQ(ReadFileBytes(out).trimmed(), QFileInfo("relative.jpg").absoluteFilePath().toUtf8());
    EXPECT_TRUE(log.messages().isEmpty());
}

} // namespace

#include "AlarmHooksTest.moc"

} // namespace tarvo
