// The sound player plays for real through GStreamer (into a fake audio sink, or whatever output the
// machine has), returns at once, skips sounds while one plays and falls back to the alarm sound.
#include "sound/SoundPlayer.h"
#include "support/RecordingSoundPlayer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace tarvo {

namespace {
// A PCM wave file of silence: 8 kHz, mono, 8 bits.
void WriteSilence(const QString& file, int seconds)
{
    const quint32 samples = 8000u * quint32(seconds);
    QByteArray wav(44, '\0');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, wav.data() + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, wav.data() + at); };
    wav.replace(0, 4, "RIFF");
    put32(4, 36 + samples);
    wav.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1); // PCM
    put16(22, 1);
    put32(24, 8000);
    put32(28, 8000);
    put16(32, 1);
    put16(34, 8);
    wav.replace(36, 4, "data");
    put32(40, samples);
    wav.append(QByteArray(int(samples), char(0x80)));
    WriteFileBytes(file, wav);
}
const QString FakeOutput = QStringLiteral("fakesink sync=true");
} // namespace

TEST(ResolveSoundFile, FallsBackToTheBundledAlarm)
{
    ScratchProgram program;
    const QString own = program.dir() + "bell.wav";
    WriteSilence(own, 1);
    EXPECT_EQ(ResolveSoundFile(program.dir(), own), own);
    EXPECT_EQ(ResolveSoundFile(program.dir(), program.dir() + "missing.wav"), ""); // and no alarm.wav either
    EXPECT_EQ(ResolveSoundFile(program.dir(), program.dir()), "");                 // a folder is no sound
    WriteSilence(program.dir() + "alarm.wav", 1);
    EXPECT_EQ(ResolveSoundFile(program.dir(), program.dir() + "missing.wav"), program.dir() + "alarm.wav");
    EXPECT_EQ(ResolveSoundFile(program.dir(), ""), program.dir() + "alarm.wav");

    // A relative name is taken from the program folder, not from the current one.
    WriteSilence(program.dir() + "click.wav", 1);
    const QString cwd = QDir::currentPath();
    QTemporaryDir elsewhere;
    QDir::setCurrent(elsewhere.path());
    WriteSilence("click.wav", 1);
    const QString resolved = ResolveSoundFile(program.dir(), "click.wav");
    QDir::setCurrent(cwd);
    EXPECT_EQ(resolved, program.dir() + "click.wav");
}

TEST(GstSoundPlayer, SkipsNewSoundsWhileOnePlaysAndStopsWhenDestroyed)
{
    ScratchProgram program;
    WriteSilence(program.dir() + "long.wav", 60);
    WriteSilence(program.dir() + "alarm.wav", 1);
    auto player = std::make_unique<GstSoundPlayer>(program.dir(), FakeOutput);
    player->Play(program.dir() + "long.wav");
    EXPECT_TRUE(player->Playing());
    player->Play(program.dir() + "alarm.wav");
    player->Play(program.dir() + "missing.wav");
    EXPECT_EQ(player->SoundsStarted(), 1);
    player.reset(); // must not wait out the minute of silence
}

TEST(GstSoundPlayer, PlaysToTheEndThenAcceptsTheNextSound)
{
    ScratchProgram program;
    WriteSilence(program.dir() + "alarm.wav", 1);
    GstSoundPlayer player(program.dir(), FakeOutput);
    player.Play(program.dir() + "no such sound.wav"); // plays the alarm instead
    EXPECT_EQ(player.SoundsStarted(), 1);
    ASSERT_TRUE(WaitFor([&] { return !player.Playing(); }, 60000));
    player.Play(program.dir() + "alarm.wav");
    EXPECT_EQ(player.SoundsStarted(), 2);
    ASSERT_TRUE(WaitFor([&] { return !player.Playing(); }, 60000));
}

TEST(GstSoundPlayer, NothingToPlayLeavesThePlayerFree)
{
    ScratchProgram program; // no alarm.wav in this program folder
    GstSoundPlayer player(program.dir(), FakeOutput);
    player.Play(program.dir() + "missing.wav");
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.SoundsStarted(), 0);
    // A broken sink description and a file that is no sound end the sound instead of hanging.
    WriteFileBytes(program.dir() + "alarm.wav", "not a wave file");
    player.Play(program.dir() + "alarm.wav");
    ASSERT_TRUE(WaitFor([&] { return !player.Playing(); }, 60000));
    GstSoundPlayer broken(program.dir(), QStringLiteral("no-such-element-anywhere"));
    broken.Play(program.dir() + "alarm.wav");
    ASSERT_TRUE(WaitFor([&] { return !broken.Playing(); }, 60000));
}

TEST(GstSoundPlayer, DefaultOutputNeverBlocks)
{
    // Whatever the machine has (often no audio device at all in a build): Play returns at once
    // and the player becomes free again.
    ScratchProgram program;
    WriteSilence(program.dir() + "alarm.wav", 1);
    GstSoundPlayer player(program.dir());
    player.Play(program.dir() + "alarm.wav");
    EXPECT_TRUE(WaitFor([&] { return !player.Playing(); }, 120000));
}

TEST(PlayWave, TakesRelativeNamesFromTheProgramFolder)
{
    ScratchProgram program;
    RecordingSoundPlayer recording;
    PlayWave(recording, program.dir(), "click.wav");
    PlayWave(recording, program.dir(), "/x/alarm.wav");
    EXPECT_EQ(recording.played(), (QStringList{program.dir() + "click.wav", "/x/alarm.wav"}));
}

} // namespace tarvo
