// A deliberate, harmless data race: a real pipeline's streaming thread and the GUI thread's event
// loop both write one plain int with nothing ordering them. Built only with ThreadSanitizer, which
// must report it; if it does not, the suppressions hide the very races the suite is meant to find.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <atomic>

namespace tarvo {

namespace {

int unguarded = 0;
// Counters only: relaxed, so they add no ordering that would hide the race on `unguarded`.
std::atomic<int> streamingWrites{0};
std::atomic<int> guiWrites{0};

__attribute__((noinline)) void TouchFromStreamingThread()
{
    ++unguarded;
    streamingWrites.fetch_add(1, std::memory_order_relaxed);
}

__attribute__((noinline)) void TouchFromEventLoop()
{
    ++unguarded;
    guiWrites.fetch_add(1, std::memory_order_relaxed);
}

GstFlowReturn OnSample(GstAppSink* sink, gpointer)
{
    if (GstSample* sample = gst_app_sink_pull_sample(sink))
        gst_sample_unref(sample);
    TouchFromStreamingThread();
    return GST_FLOW_OK;
}

TEST(TsanCanary, StreamingThreadAndEventLoopRaceOnPlainInt)
{
    gst_init(nullptr, nullptr);
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(
        "videotestsrc is-live=true ! video/x-raw,width=64,height=48,framerate=100/1 ! appsink name=sink", &error);
    ASSERT_NE(pipeline, nullptr) << (error ? error->message : "");
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, nullptr, nullptr);
    gst_object_unref(sink);

    QTimer touch;
    QObject::connect(&touch, &QTimer::timeout, [] { TouchFromEventLoop(); });
    touch.start(5);
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    const QDeadlineTimer deadline(60000);
    while ((streamingWrites.load(std::memory_order_relaxed) < 50 || guiWrites.load(std::memory_order_relaxed) < 50)
           && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    touch.stop();
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    EXPECT_GE(streamingWrites.load(), 50);
    EXPECT_GE(guiWrites.load(), 50);
}

} // namespace

} // namespace tarvo
