#pragma once
// Wave playback for the alarm and click sounds. Play returns at once; a sound asked for while
// another plays is skipped; a file that cannot be found plays the bundled alarm sound instead.
// Nothing is reported, and a machine without an audio device neither blocks nor crashes.
#include <QString>
#include <memory>

namespace tarvo {

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void Play(const QString& file) = 0; // any thread
};

// Where a sound file is looked for: a relative name is taken from the program folder programDir
// (ending in '/'), where the bundled sounds live, whatever the current folder is.
QString SoundPath(const QString& programDir, const QString& file);

// The file actually played for a request: the file itself (SoundPath) when it exists, else
// programDir + "alarm.wav"; empty when neither exists.
QString ResolveSoundFile(const QString& programDir, const QString& file);

// Plays through a GStreamer playbin on a worker thread of its own.
class GstSoundPlayer final : public SoundPlayer {
public:
    // programDir: the program folder the sounds are resolved in. audioSink: a gst-launch
    // description of the sink to use ("fakesink sync=true" in tests); empty for the system's
    // default output.
    explicit GstSoundPlayer(const QString& programDir, const QString& audioSink = {});
    ~GstSoundPlayer() override; // stops a sound that still plays
    GstSoundPlayer(const GstSoundPlayer&) = delete;
    GstSoundPlayer& operator=(const GstSoundPlayer&) = delete;

    void Play(const QString& file) override;
    bool Playing() const;
    int SoundsStarted() const; // sounds accepted so far (skipped ones not counted)

private:
    struct Worker;
    std::unique_ptr<Worker> worker_;
};

// Plays a wave file through the player, a relative name from the program folder programDir.
void PlayWave(SoundPlayer& player, const QString& programDir, const QString& file);

} // namespace tarvo
