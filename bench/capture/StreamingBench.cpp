// CPU cost of streaming the test device at 640x480, 30 fps, to an OnVideoStream that does
// nothing. Each iteration streams for TARVO_STREAM_SECONDS (default 10) of wall-clock time and
// reports the process CPU time used; "cpu_per_60s" scales it to a minute of streaming.
// BM_PreviewClip: the preview alone, scaled into a 960x540 view, while the test device plays the
// MJPEG clip TARVO_BENCH_CLIP (named ...-WxH-FPS.avi, bench/wholerun/make-clips.sh) as a camera.
#include "capture/CaptureDevices.h"
#include "capture/CaptureDevice.h"
#include "capture/GstCaptureBackend.h"
#include "capture/widgets/VideoView.h"
#include "settings/PerUserStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <benchmark/benchmark.h>
#include <ctime>

namespace tarvo {

namespace {

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

QApplication& App()
{
    static int argc = 1;
    static char name[] = "capture_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

int StreamSeconds()
{
    return qEnvironmentVariableIsSet("TARVO_STREAM_SECONDS") ? qEnvironmentVariableIntValue("TARVO_STREAM_SECONDS") : 10;
}

// Streams for the given seconds per iteration while the event loop runs; process CPU seconds used.
double StreamFor(benchmark::State& state, CaptureDevice& cap, int seconds)
{
    double cpu = 0;
    for (auto _ : state) {
        const double start = ProcessCpuSeconds();
        cap.StartSequence();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < seconds * 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(20);
        }
        cap.StopSequence();
        cpu += ProcessCpuSeconds() - start;
    }
    state.counters["cpu_percent"] = 100.0 * cpu / (double(seconds) * double(state.iterations()));
    state.counters["cpu_per_60s"] = cpu / double(state.iterations()) * 60.0 / seconds;
    return cpu;
}

void BM_Stream640x480At30(benchmark::State& state)
{
    App();
    QTemporaryDir home;
    PerUserStore store(home.path() + "/Tarvo.conf");

    const int seconds = StreamSeconds();
    std::atomic<long> frames{0};
    GstCaptureBackend backend(store);
    CaptureDevice cap(backend);
    cap.SetOnVideoStream([&frames](CaptureDevice&, const FrameBuffer&) { ++frames; });
    cap.SetDriverName(TestPatternDeviceName);
    cap.SetDriverOpen(true);
    cap.SetCapToFile(false);
    cap.SetFrameRate(30);
    StreamFor(state, cap, seconds);
    state.counters["frames_per_s"] = double(frames) / (double(seconds) * double(state.iterations()));
    cap.SetDriverOpen(false);
}

void BM_PreviewClip(benchmark::State& state)
{
    const QString clip = qEnvironmentVariable("TARVO_BENCH_CLIP");
    const auto m = QRegularExpression("(\\d+)x(\\d+)-(\\d+)\\.avi$").match(clip);
    if (!m.hasMatch()) {
        state.SkipWithError("TARVO_BENCH_CLIP names no clip-WxH-FPS.avi");
        return;
    }
    App();
    QTemporaryDir home;
    PerUserStore store(home.path() + "/Tarvo.conf");
    store.WriteString("Capture-TestPattern/Format", "MJPG");
    store.WriteInteger("Capture-TestPattern/Width", m.captured(1).toInt());
    store.WriteInteger("Capture-TestPattern/Height", m.captured(2).toInt());
    store.WriteInteger("Capture-TestPattern/Fps", m.captured(3).toInt());
    qputenv("TARVO_TEST_SOURCE", QFile::encodeName(clip)); // for as long as the device is used
    GstCaptureBackend backend(store);

    CaptureDevice cap(backend);
    VideoView view(cap);
    view.resize(960, 540);
    view.show();
    std::atomic<long> frames{0};
    cap.SetOnVideoStream([&frames](CaptureDevice&, const FrameBuffer&) { ++frames; });
    cap.SetPreviewScaleToWindow(true);
    cap.SetDriverName(TestPatternDeviceName);
    cap.SetDriverOpen(true);
    cap.SetCapToFile(false);
    cap.SetFrameRate(m.captured(3).toInt());
    cap.SetPreviewRate(m.captured(3).toInt());
    cap.SetVideoPreview(true);
    StreamFor(state, cap, StreamSeconds());
    state.counters["frames_per_s"] = double(frames) / (double(StreamSeconds()) * double(state.iterations()));
    cap.SetDriverOpen(false);
}

BENCHMARK(BM_Stream640x480At30)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_PreviewClip)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

} // namespace tarvo

using namespace tarvo;

BENCHMARK_MAIN();
