#include "app/clips/ClipSound.h"

#include "app/clips/ClipWriter.h"
#include "common/ThreadHandOver.h"

#include <chrono>
#include <gst/app/gstappsink.h>
#include <utility>

namespace tarvo {

namespace {
// A source that neither starts nor fails within this time is taken as failed.
constexpr GstClockTime StartLimit = 5 * GST_SECOND;
} // namespace

std::int64_t SteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool ClipSound::Start(const QString& source)
{
    Stop();
    const QByteArray description =
        (source + QStringLiteral(" ! audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=%1,channels=1,"
                                 "layout=interleaved ! appsink name=pcm sync=false")
                      .arg(Rate))
            .toUtf8();
    GstElement* pipeline = LaunchPipeline(description, &error_);
    if (!pipeline)
        return false;
    pipeline_.reset(pipeline);
    bus_.reset(gst_element_get_bus(pipeline));
    GstElementPtr sink(gst_bin_get_by_name(GST_BIN(pipeline), "pcm"));
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* appsink, gpointer self) {
        const HandOverScope streaming(self);
        GstSamplePtr sample(gst_app_sink_pull_sample(appsink));
        GstBuffer* buffer = sample ? gst_sample_get_buffer(sample.get()) : nullptr;
        GstMapInfo map;
        if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ))
            return GST_FLOW_OK;
        // Stamped on arrival, like the frames: the chunk's first sample is its length ago.
        const auto lengthMs = std::int64_t(map.size / BytesPerSample) * 1000 / Rate;
        static_cast<ClipSound*>(self)->Add({QByteArray(reinterpret_cast<const char*>(map.data), qsizetype(map.size)),
                                            SteadyMs() - lengthMs});
        gst_buffer_unmap(buffer, &map);
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(sink.get()), &callbacks, this, nullptr);
    {
        std::lock_guard lock(mutex_);
        lastArrivalMs_ = SteadyMs();
    }
    HandOverRelease(this); // to the pipeline's threads, pooled ones that ran earlier pipelines included
    const bool started = gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE &&
                         gst_element_get_state(pipeline, nullptr, nullptr, StartLimit) != GST_STATE_CHANGE_FAILURE;
    GstMessagePtr message(gst_bus_pop_filtered(bus_.get(), GST_MESSAGE_ERROR));
    if (!started || message) {
        error_ = message ? BusErrorText(message.get()) : QStringLiteral("the sound source did not start");
        Stop();
        return false;
    }
    return true;
}

void ClipSound::Stop()
{
    // Stopping the pipeline joins its thread: no chunk comes afterwards.
    bus_.reset();
    if (pipeline_) {
        pipeline_.reset();
        HandOverAcquire(this);
    }
    std::lock_guard lock(mutex_);
    chunks_.clear();
    bytes_ = 0;
    dropped_ = false;
}

void ClipSound::Add(SoundChunk chunk)
{
    std::lock_guard lock(mutex_);
    lastArrivalMs_ = SteadyMs();
    if (bytes_ + std::size_t(chunk.pcm.size()) > byteLimit_) {
        dropped_ = true;
        return;
    }
    bytes_ += std::size_t(chunk.pcm.size());
    chunks_.push_back(std::move(chunk));
}

std::deque<SoundChunk> ClipSound::Take(bool* dropped)
{
    std::lock_guard lock(mutex_);
    *dropped = std::exchange(dropped_, false);
    bytes_ = 0;
    return std::exchange(chunks_, {});
}

QString ClipSound::Failure()
{
    if (!bus_)
        return {};
    GstMessagePtr message(gst_bus_pop_filtered(bus_.get(), GST_MESSAGE_ERROR));
    if (message)
        return BusErrorText(message.get());
    std::lock_guard lock(mutex_);
    return SteadyMs() - lastArrivalMs_ > SilenceLimitMs ? QStringLiteral("the sound source sends nothing") : QString();
}

} // namespace tarvo
