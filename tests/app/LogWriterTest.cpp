#include "app/core/LogWriter.h"

#include "support/TestSupport.h"
#include "common/Clock.h"
#include "support/FixedClock.h"
#include "common/UniqueFd.h"

#include <QDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <QLocale>
#include <gtest/gtest.h>
#include <thread>

namespace tarvo {

namespace {
class RecordingSink final : public StatusSink {
public:
    void SetStatusText(const QString& text) override { texts.push_back(text); }
    QString current() const { return texts.empty() ? QString() : texts.back(); }
    std::vector<QString> texts;
};

const QString hyphens = QString(38, QChar('-'));

class LogWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        logDir = program.dir() + "Log/";
        QDir().mkpath(logDir);
        writer.SetLogSettings(true, logDir);
        SetProgramClock(&clock);
    }
    void TearDown() override { SetProgramClock(nullptr); }

    QString logText() const { return QString::fromUtf8(ReadFileBytes(logDir + "Log.txt")); }
    QString timeText() const { return QLocale::system().toString(clock.now().time(), LongTimeFormat()); }
    QString headerText(bool debug) const
    {
        const QDateTime now = clock.now();
        return "\r\n" + hyphens + "\r\n" + QLocale::system().toString(now.date(), QLocale::ShortFormat) + " " + timeText()
            + ": Program Start\r\n" + hyphens + "\r\n" + (debug ? "DebugLog enabled\r\n" : "");
    }

    ScratchProgram program;
    QString logDir;
    FixedClock clock{QDateTime(QDate(2024, 3, 5), QTime(13, 4, 5))};
    RecordingSink sink;
    LogWriter writer{sink};
};

TEST_F(LogWriterTest, LoggingOffLeavesNoTraceAtAll)
{
    writer.SetLogSettings(false, logDir);
    writer.WriteLog("Picture saved as: a.jpg", true, "TForm1.SavePic");
    EXPECT_FALSE(QFile::exists(logDir + "Log.txt"));
    EXPECT_TRUE(sink.texts.empty());
    EXPECT_FALSE(writer.ClearStatusbar().isActive());
    EXPECT_TRUE(writer.FirstLogWrite());
}

TEST_F(LogWriterTest, FirstCallWritesTheHeaderButAStatusOnlyMessageStaysOutOfTheFile)
{
    writer.WriteLog("Loading driver...", false, "Options - SetActive");
    EXPECT_EQ(logText(), headerText(false));
    EXPECT_EQ(sink.current(), "Loading driver...");
    EXPECT_FALSE(writer.FirstLogWrite());

    writer.WriteLog("Loaded profile: Default", true, "Options - SetActive");
    EXPECT_EQ(logText(), headerText(false) + timeText() + ": Loaded profile: Default\r\n");
    EXPECT_EQ(writer.LogFileName(), logDir + "Log.txt");
}

TEST_F(LogWriterTest, DebugModeLogsAgainstTheProfileAndNamesTheSender)
{
    writer.SetLogSettings(false, logDir);
    writer.SetDebugLog(true);
    writer.WriteLog("Preview on", false, "TForm1.Preview1Click");
    EXPECT_EQ(logText(), headerText(true) + timeText() + ": Preview on (Sender : TForm1.Preview1Click)\r\n");
    EXPECT_EQ(sink.current(), "Preview on (Sender : TForm1.Preview1Click)");
}

TEST_F(LogWriterTest, DebugSwitchedOnAfterActivationLeavesTheEarlyLinesPlain)
{
    writer.WriteLog("Loaded profile: Default", true, "Options - SetActive");
    writer.SetDebugLog(true);
    writer.WriteLog("Loaded driver: Test pattern", true, "TForm1.DriverTimerTimer");
    EXPECT_EQ(logText(), headerText(false) + timeText() + ": Loaded profile: Default\r\n" + timeText()
                             + ": Loaded driver: Test pattern (Sender : TForm1.DriverTimerTimer)\r\n");
}

TEST_F(LogWriterTest, ControlCharactersFromPeersNeverStartALineOrReachATerminal)
{
    const QString bad = QString(QChar(0xFFFD));
    struct Case {
        QString reply;
        QString logged;
    };
    const Case cases[] = {
        {"550 denied\r10:00:00: Motion detected", "550 denied" + bad + "10:00:00: Motion detected"},
        {"550 a\r\nb\nc", "550 a" + bad + bad + "b" + bad + "c"},
        {"421 \x1b]0;owned\x07\x1b[2J", "421 " + bad + "]0;owned" + bad + bad + "[2J"},
        {QString("550 nul") + QChar(0) + QChar(0x7F) + QChar(0x9B) + "x", "550 nul" + bad + bad + bad + "x"},
        {"550 tab\tand \u00e4\u20ac <img src=\"x\">", "550 tab\tand \u00e4\u20ac <img src=\"x\">"},
    };
    writer.SetDebugLog(true);
    for (const Case& c : cases) {
        writer.WriteLog("Could not upload Tarvo.jpg. Error: " + c.reply, true, "FTP\r\nforged");
        const QString line = "Could not upload Tarvo.jpg. Error: " + c.logged + " (Sender : FTP" + bad + bad + "forged)";
        EXPECT_TRUE(logText().endsWith(timeText() + ": " + line + "\r\n")) << c.reply.toStdString();
        EXPECT_EQ(sink.current(), line);
    }
    writer.ShowStatusText("hint\x1b[1m");
    EXPECT_EQ(sink.current(), "hint" + bad + "[1m");
}

TEST_F(LogWriterTest, FolderWithoutTrailingSlashGluesTheFileNameOn)
{
    writer.SetLogSettings(true, program.dir() + "Log");
    writer.WriteLog("x", true, "s");
    EXPECT_TRUE(QFile::exists(program.dir() + "LogLog.txt"));
    EXPECT_FALSE(QFile::exists(logDir + "Log.txt"));
}

TEST_F(LogWriterTest, UnopenableLogKeepsRetryingTheHeaderAndLeavesTheClearTimerAlone)
{
    writer.SetLogSettings(true, program.dir() + "Missing/");
    writer.WriteLog("Motion detected", true, "TForm1.Video1VideoStream");
    EXPECT_EQ(sink.current(), "Could not open the logfile " + program.dir() + "Missing/Log.txt");
    EXPECT_TRUE(writer.FirstLogWrite());
    EXPECT_FALSE(writer.ClearStatusbar().isActive());

    QDir().mkpath(program.dir() + "Missing");
    writer.WriteLog("Motion detected", true, "TForm1.Video1VideoStream");
    EXPECT_FALSE(writer.FirstLogWrite());
    EXPECT_TRUE(QString::fromUtf8(ReadFileBytes(program.dir() + "Missing/Log.txt")).endsWith(": Motion detected\r\n"));
}

TEST_F(LogWriterTest, LineThatCannotBeWrittenIsReportedAndTheCallerGoesOn)
{
    writer.WriteLog("first", true, "s");
    ASSERT_TRUE(QDir(logDir).removeRecursively());
    writer.WriteLog("Picture saved as: a.jpg", true, "TForm1.SavePic");
    EXPECT_EQ(sink.current(), "Could not write to the logfile " + logDir + "Log.txt");
    EXPECT_TRUE(writer.ClearStatusbar().isActive());
    // The run keeps its file name even when the folder setting changes later.
    QDir().mkpath(logDir);
    writer.SetLogSettings(true, program.dir());
    writer.WriteLog("again", true, "s");
    EXPECT_EQ(logText(), timeText() + ": again\r\n");
}

TEST_F(LogWriterTest, ALinkOrFifoPutUnderTheLogsNameIsNeverWrittenTo)
{
    const QString logFile = logDir + "Log.txt";
    const QString elsewhere = program.dir() + "elsewhere.txt";
    WriteFileBytes(elsewhere, "not the log");
    ASSERT_TRUE(QFile::link(elsewhere, logFile));
    writer.WriteLog("Motion detected", true, "s");
    EXPECT_EQ(ReadFileBytes(elsewhere), "not the log");
    EXPECT_EQ(sink.current(), "Could not open the logfile " + logFile);

    ASSERT_TRUE(QFile::remove(logFile));
    ASSERT_EQ(::mkfifo(QFile::encodeName(logFile).constData(), 0600), 0);
    const UniqueFd reader(::open(QFile::encodeName(logFile).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(reader.Valid());
    writer.WriteLog("Motion detected", true, "s");
    char byte = 0;
    EXPECT_LE(::read(reader.Get(), &byte, 1), 0) << "a line went into the FIFO";
    EXPECT_EQ(sink.current(), "Could not open the logfile " + logFile);
}

TEST_F(LogWriterTest, StatusTextClearsAfterTheMostRecentMessage)
{
    QTimer& clear = writer.ClearStatusbar();
    EXPECT_EQ(clear.interval(), 10000);
    writer.WriteLog("one", false, "s");
    ASSERT_TRUE(clear.isActive());
    ASSERT_TRUE(WaitFor([&] { return clear.remainingTime() < 8000; }, 30000));
    writer.WriteLog("two", false, "s");
    EXPECT_GT(clear.remainingTime(), 8000) << "a new message restarts the ten seconds";

    clear.setInterval(50);
    writer.WriteLog("three", false, "s");
    ASSERT_TRUE(WaitFor([&] { return sink.current().isEmpty(); }));
    EXPECT_FALSE(clear.isActive());
}

TEST_F(LogWriterTest, LinesFromManyThreadsStayWholeAndReachTheStatusBarOnTheGuiThread)
{
    constexpr int threads = 4;
    constexpr int perThread = 200;
    writer.WriteLog("start", true, "s");
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                writer.WriteLog(QString("thread %1 line %2 %3").arg(t).arg(i).arg(QString(100, 'x')), true, "frame");
        });
    for (auto& w : workers)
        w.join();
    ASSERT_TRUE(WaitFor([&] { return sink.texts.size() == 1 + threads * perThread; }));

    const QStringList lines = logText().split("\r\n", Qt::SkipEmptyParts);
    int eventLines = 0;
    for (const QString& line : lines) {
        if (!line.contains("thread "))
            continue;
        ++eventLines;
        EXPECT_TRUE(line.startsWith(timeText() + ": thread ")) << line.toStdString();
        EXPECT_TRUE(line.endsWith(QString(100, 'x'))) << line.toStdString();
    }
    EXPECT_EQ(eventLines, threads * perThread);
}

TEST(LongTimeFormat, CarriesNoTimeZone)
{
    const QString format = LongTimeFormat();
    EXPECT_FALSE(format.isEmpty());
    EXPECT_TRUE(format.contains("ss"));
    EXPECT_FALSE(format.endsWith(' '));
    const QString shown = QLocale::system().toString(QTime(1, 2, 3), format);
    EXPECT_TRUE(shown.contains("02")) << shown.toStdString();
}
} // namespace

} // namespace tarvo
