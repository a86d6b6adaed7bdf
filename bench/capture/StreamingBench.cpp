// CPU cost of streaming the test device at 640x480, 30 fps, to an OnVideoStream that does
// nothing. Each iteration streams for TARVO_STREAM_SECONDS (default 10) of wall-clock time and
// reports the process CPU time used; "cpu_per_60s" scales it to a minute of streaming.
#include "capture/CaptureDevices.h"
#include "capture/VideoCap.h"
#include "settings/PerUserStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <benchmark/benchmark.h>
#include <ctime>

namespace {

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void BM_Stream640x480At30(benchmark::State& state)
{
    int argc = 1;
    char name[] = "capture_bench";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    QTemporaryDir home;
    PerUserStore store(home.path() + "/Tarvo.conf");
    SetProgramStore(&store);

    const int seconds = qEnvironmentVariableIsSet("TARVO_STREAM_SECONDS") ? qEnvironmentVariableIntValue("TARVO_STREAM_SECONDS") : 10;
    std::atomic<long> frames{0};
    TVideoCap cap;
    cap.SetOnVideoStream([&frames](TVideoCap&, const VIDEOHDR&) { ++frames; });
    cap.SetDriverName(TestPatternDeviceName);
    cap.SetDriverOpen(true);
    cap.SetCapToFile(false);
    cap.SetFrameRate(30);
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
    state.counters["frames_per_s"] = double(frames) / (double(seconds) * double(state.iterations()));
    state.counters["cpu_percent"] = 100.0 * cpu / (double(seconds) * double(state.iterations()));
    state.counters["cpu_per_60s"] = cpu / double(state.iterations()) * 60.0 / seconds;
    cap.SetDriverOpen(false);
    SetProgramStore(nullptr);
}

BENCHMARK(BM_Stream640x480At30)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
