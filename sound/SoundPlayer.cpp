#include "sound/SoundPlayer.h"
#include "gst/GstPointers.h"

#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tarvo {

namespace {
// A sound that neither ends nor fails (a stuck output) releases the player after this long.
constexpr auto LongestSound = std::chrono::minutes(5);
constexpr GstClockTime PollInterval = 100 * GST_MSECOND;
} // namespace

QString SoundPath(const QString& programDir, const QString& file)
{
    if (file.isEmpty() || QFileInfo(file).isAbsolute())
        return file;
    return programDir + file;
}

QString ResolveSoundFile(const QString& programDir, const QString& file)
{
    const QString path = SoundPath(programDir, file);
    if (!path.isEmpty() && QFileInfo(path).isFile())
        return QFileInfo(path).absoluteFilePath();
    const QString fallback = programDir + QStringLiteral("alarm.wav");
    return QFileInfo(fallback).isFile() ? fallback : QString();
}

struct GstSoundPlayer::Worker {
    QString programDir;
    QString audioSink;
    std::atomic<bool> playing{false};
    std::atomic<int> started{0};
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::condition_variable wake;
    QString pending; // guarded by mutex
    std::thread thread;

    void Run()
    {
        for (;;) {
            QString file;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [&] { return stopping.load() || !pending.isEmpty(); });
                if (stopping)
                    return;
                file.swap(pending);
            }
            PlayToEnd(file);
            playing = false;
        }
    }

    void PlayToEnd(const QString& file)
    {
        if (!EnsureGstInit())
            return;
        GstElementPtr playbin(gst_element_factory_make("playbin", nullptr));
        if (!playbin)
            return;
        gst_object_ref_sink(playbin.get());
        if (!audioSink.isEmpty()) {
            GError* raw = nullptr;
            GstElement* sink = gst_parse_bin_from_description(audioSink.toUtf8().constData(), TRUE, &raw);
            const GErrorPtr error(raw);
            if (!sink)
                return;
            g_object_set(playbin.get(), "audio-sink", sink, nullptr); // playbin takes the floating reference
        }
        const GCharPtr uri(gst_filename_to_uri(QFile::encodeName(file).constData(), nullptr));
        if (!uri)
            return;
        g_object_set(playbin.get(), "uri", uri.get(), nullptr);
        const GstBusPtr bus(gst_element_get_bus(playbin.get()));

        if (gst_element_set_state(playbin.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
            const auto deadline = std::chrono::steady_clock::now() + LongestSound;
            while (!stopping && std::chrono::steady_clock::now() < deadline) {
                const GstMessagePtr msg(gst_bus_timed_pop_filtered(
                    bus.get(), PollInterval, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
                if (msg)
                    break; // the end, or no output device: either way the player is free again
            }
        }
        gst_element_set_state(playbin.get(), GST_STATE_NULL);
    }
};

GstSoundPlayer::GstSoundPlayer(const QString& programDir, const QString& audioSink) : worker_(std::make_unique<Worker>())
{
    worker_->programDir = programDir;
    worker_->audioSink = audioSink;
    worker_->thread = std::thread([w = worker_.get()] { w->Run(); });
}

GstSoundPlayer::~GstSoundPlayer()
{
    {
        std::lock_guard lock(worker_->mutex);
        worker_->stopping = true;
    }
    worker_->wake.notify_all();
    worker_->thread.join();
}

void GstSoundPlayer::Play(const QString& file)
{
    if (worker_->playing.exchange(true))
        return; // a sound still plays: this one is skipped, not queued
    const QString resolved = ResolveSoundFile(worker_->programDir, file);
    if (resolved.isEmpty()) {
        worker_->playing = false;
        return;
    }
    ++worker_->started;
    {
        std::lock_guard lock(worker_->mutex);
        worker_->pending = resolved;
    }
    worker_->wake.notify_one();
}

bool GstSoundPlayer::Playing() const { return worker_->playing; }

int GstSoundPlayer::SoundsStarted() const { return worker_->started; }

void PlayWave(SoundPlayer& player, const QString& programDir, const QString& file)
{
    player.Play(SoundPath(programDir, file));
}

} // namespace tarvo
