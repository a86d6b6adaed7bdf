// File names by time, by counter and fixed; the counters wrap at 999 and survive a restart.
#include "common/Clock.h"
#include "support/FixedClock.h"
#include "imaging/FileNaming.h"
#include "settings/PerUserStore.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <thread>

namespace tarvo {

namespace {
OptionsValues Incrementing()
{
    OptionsValues o = DefaultOptions(QString()); // names use no folder
    o.LPicNaming = NamingIncrementing;
    o.WPicNaming = NamingIncrementing;
    o.VidNaming = NamingIncrementing;
    return o;
}
} // namespace

TEST(NumberFormatting, PadsWithZeros)
{
    struct Case {
        int n, width;
        const char* expected;
    };
    for (const Case c : {Case{7, 3, "007"}, Case{1234, 3, "1234"}, Case{0, 3, "000"}, Case{999, 3, "999"},
                         Case{5, 2, "05"}, Case{42, 5, "00042"}, Case{-5, 3, "-005"}})
        EXPECT_EQ(ZeroPad(c.n, c.width), c.expected) << c.n << "/" << c.width;
    for (const Case c : {Case{9, 0, "09"}, Case{0, 0, "00"}, Case{10, 0, "10"}, Case{100, 0, "100"}})
        EXPECT_EQ(TwoDigits(c.n), c.expected) << c.n;
}

TEST(TimedFileName, MonthDayTwoBlanksAndTwentyFourHourTime)
{
    EXPECT_EQ(TimedFileName(QDateTime(QDate(2026, 12, 6), QTime(15, 7, 9))), "12-06  15.07.09");
    EXPECT_EQ(TimedFileName(QDateTime(QDate(2027, 1, 2), QTime(0, 0, 0))), "01-02  00.00.00");

    FixedClock clock(QDateTime(QDate(2026, 3, 4), QTime(23, 59, 58)));
    SetProgramClock(&clock);
    ScratchProgram program;
    FileCounters counters(program.store());
    OptionsValues o = DefaultOptions(program.dir());
    EXPECT_EQ(MakeFileName(FileKind::LocalPicture, o, counters), "03-04  23.59.58");
    EXPECT_EQ(MakeFileName(FileKind::VideoFile, o, counters), "03-04  23.59.58");
    o.WPicNaming = NamingTimed;
    EXPECT_EQ(MakeFileName(FileKind::WebsitePicture, o, counters), "03-04  23.59.58");
    SetProgramClock(nullptr);
}

TEST(MakeFileName, FixedAndUnknownSchemes)
{
    ScratchProgram program;
    FileCounters counters(program.store());
    OptionsValues o = DefaultOptions(program.dir());
    o.LPicNaming = NamingFixed;
    o.LPicFixed = "front door";
    o.WPicFixed = "webcam";
    EXPECT_EQ(MakeFileName(FileKind::LocalPicture, o, counters), "front door");
    EXPECT_EQ(MakeFileName(FileKind::WebsitePicture, o, counters), "webcam");
    o.VidNaming = NamingFixed; // videos have no fixed name
    EXPECT_EQ(MakeFileName(FileKind::VideoFile, o, counters), "");
    o.LPicNaming = 0;
    o.WPicNaming = 4;
    EXPECT_EQ(MakeFileName(FileKind::LocalPicture, o, counters), "");
    EXPECT_EQ(MakeFileName(FileKind::WebsitePicture, o, counters), "");
}

TEST(MakeFileName, CountersAdvanceWrapAfter999AndAreStored)
{
    ScratchProgram program;
    FileCounters counters(program.store());
    const OptionsValues o = Incrementing();
    counters.Set(FileKind::LocalPicture, 998);
    counters.Set(FileKind::WebsitePicture, 0);
    counters.Set(FileKind::VideoFile, 41);

    EXPECT_EQ(MakeFileName(FileKind::LocalPicture, o, counters), "Tarvo picture 998");
    EXPECT_EQ(MakeFileName(FileKind::LocalPicture, o, counters), "Tarvo picture 999");
    EXPECT_EQ(program.store().ReadInteger("LPicCount", -1), 1000); // the next number, before wrapping
    EXPECT_EQ(MakeFileName(FileKind::LocalPicture, o, counters), "Tarvo picture 000");
    EXPECT_EQ(program.store().ReadInteger("LPicCount", -1), 1);

    // Each kind has its own counter and value.
    EXPECT_EQ(MakeFileName(FileKind::WebsitePicture, o, counters), "Tarvo000");
    EXPECT_EQ(MakeFileName(FileKind::VideoFile, o, counters), "Tarvo video 041");
    EXPECT_EQ(program.store().ReadInteger("WPicCount", -1), 1);
    EXPECT_EQ(program.store().ReadInteger("VidCount", -1), 42);
    EXPECT_EQ(counters.Value(FileKind::LocalPicture), 1);
}

TEST(MakeFileName, NumberingContinuesAfterARestart)
{
    ScratchProgram program;
    const OptionsValues o = Incrementing();
    const QString storePath = program.store().path();
    {
        PerUserStore firstRun(storePath);
        FileCounters counters(firstRun);
        firstRun.WriteInteger("LPicCount", 17);
        firstRun.WriteString("WPicCount", "1000");
        firstRun.WriteString("VidCount", "not a number");
        counters.Load();
        EXPECT_EQ(MakeFileName(FileKind::LocalPicture, o, counters), "Tarvo picture 017");
        EXPECT_EQ(MakeFileName(FileKind::WebsitePicture, o, counters), "Tarvo000");
        EXPECT_EQ(MakeFileName(FileKind::VideoFile, o, counters), "Tarvo video 000");
        counters.Set(FileKind::LocalPicture, 500); // forgotten at exit
    }
    PerUserStore secondRun(storePath);
    FileCounters counters(secondRun);
    counters.Load();
    EXPECT_EQ(MakeFileName(FileKind::LocalPicture, o, counters), "Tarvo picture 018");
    EXPECT_EQ(MakeFileName(FileKind::WebsitePicture, o, counters), "Tarvo001");
    EXPECT_EQ(MakeFileName(FileKind::VideoFile, o, counters), "Tarvo video 001");
}

TEST(MakeFileName, DamagedCounterStartsAgainAtZero)
{
    ScratchProgram program;
    FileCounters counters(program.store());
    program.store().WriteInteger("LPicCount", -7);
    counters.Load();
    EXPECT_EQ(MakeFileName(FileKind::LocalPicture, Incrementing(), counters), "Tarvo picture 000");
}

TEST(MakeFileName, TwoThreadsNeverDrawTheSameNumber)
{
    // The frame thread names triggered pictures while the GUI thread names manual ones.
    ScratchProgram program;
    FileCounters counters(program.store());
    const OptionsValues o = Incrementing();
    counters.Set(FileKind::LocalPicture, 0);
    QStringList a, b;
    std::thread other([&] {
        for (int i = 0; i < 200; ++i)
            a << MakeFileName(FileKind::LocalPicture, o, counters);
    });
    for (int i = 0; i < 200; ++i)
        b << MakeFileName(FileKind::LocalPicture, o, counters);
    other.join();
    QStringList all = a + b;
    all.removeDuplicates();
    EXPECT_EQ(all.size(), 400);
    // The other thread's numbers reach the store on this thread.
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(program.store().ReadInteger("LPicCount", -1), 400);
}

TEST(IsMadeFileName, KnowsEveryNameMakeFileNameGivesAndNothingElse)
{
    ScratchProgram program;
    FileCounters counters(program.store());
    FixedClock clock(QDateTime(QDate(2028, 2, 29), QTime(0, 0, 0)));
    SetProgramClock(&clock);
    OptionsValues o = DefaultOptions(program.dir());
    o.LPicFixed = "front door";
    const FileKind kinds[] = {FileKind::LocalPicture, FileKind::WebsitePicture, FileKind::VideoFile};
    for (const std::int32_t scheme : {NamingTimed, NamingIncrementing, NamingFixed}) {
        o.LPicNaming = o.WPicNaming = o.VidNaming = scheme;
        for (const FileKind kind : kinds) {
            for (const int counter : {0, 999}) {
                counters.Set(kind, counter);
                const QString name = MakeFileName(kind, o, counters);
                EXPECT_TRUE(name.isEmpty() ? kind == FileKind::VideoFile : IsMadeFileName(kind, name, o)) << name.toStdString();
            }
        }
        clock.set(QDateTime(QDate(2027, 12, 31), QTime(23, 59, 59)));
    }
    SetProgramClock(nullptr);

    struct Miss {
        FileKind kind;
        const char* name;
    };
    for (const Miss m : {Miss{FileKind::LocalPicture, ""}, Miss{FileKind::LocalPicture, "Tarvo picture 01"},
                         Miss{FileKind::LocalPicture, "Tarvo picture 1000"}, Miss{FileKind::LocalPicture, "Tarvo picture 0a1"},
                         Miss{FileKind::LocalPicture, "tarvo picture 001"}, Miss{FileKind::LocalPicture, "Tarvo video 001"},
                         Miss{FileKind::LocalPicture, "front door 2"}, Miss{FileKind::VideoFile, "Tarvo"},
                         Miss{FileKind::WebsitePicture, "front door"}, Miss{FileKind::LocalPicture, "12-06 15.07.09"},
                         Miss{FileKind::LocalPicture, "13-01  00.00.00"}, Miss{FileKind::LocalPicture, "02-30  00.00.00"},
                         Miss{FileKind::LocalPicture, "12-06  15.60.00"}, Miss{FileKind::VideoFile, "12-06  15.07.09 "},
                         Miss{FileKind::VideoFile, "Tarvo video ٠٠١"}})
        EXPECT_FALSE(IsMadeFileName(m.kind, QString::fromUtf8(m.name), o)) << m.name;
}

} // namespace tarvo
