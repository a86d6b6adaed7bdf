// A motion run's frame thread at 640x480 and 30 frames a second while the live view streams to 0, 1
// and 20 viewers: the frame thread hands every frame to the live view and takes a motion sample
// (decode and grid comparison, as the frame handler does) whenever 200 ms of capture time passed.
// Reports the process's CPU per wall second, the spacing of the samples in wall time, the hand-over
// call's 99th percentile and longest time, and the pictures the viewers received.
#include "app/liveview/LiveFrameHub.h"
#include "app/liveview/LiveView.h"
#include "capture/FrameDecoder.h"
#include "imaging/MotionDetection.h"
#include "settings/OptionsValues.h"

#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <netinet/in.h>
#include <optional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tarvo {

namespace {
using Clock = std::chrono::steady_clock;
constexpr int Width = 640, Height = 480, CameraFps = 30, StreamFps = 5;
constexpr auto RunTime = std::chrono::seconds(10);

double ProcessCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A viewer: reads the stream as fast as it comes and counts the parts' boundaries.
void View(int port, std::atomic<bool>& stop, std::atomic<long>& parts)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval t{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        const char request[] = "GET /stream.mjpg HTTP/1.1\r\nHost: bench\r\n\r\n";
        ::send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
        std::vector<char> buf(64 * 1024);
        while (!stop) {
            const ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
            if (n == 0)
                break;
            for (ssize_t i = 0; i + 1 < n; ++i)
                parts += buf[i] == '\xff' && buf[i + 1] == '\xd8';
        }
    }
    ::close(fd);
}

void BM_MotionRunWithViewers(benchmark::State& state)
{
    const int viewers = int(state.range(0));
    FrameFormat format;
    format.header.width = Width;
    format.header.height = Height;
    format.header.compression = FOURCC_YUY2;
    format.header.bitCount = 16;
    std::vector<std::uint8_t> frame(FrameDecoder::ExpectedSize(format));
    OptionsValues options = DefaultOptions(QString()); // no folder is used
    options.CaptionWebsite = true; // the encoder's full work: decode, caption, JPEG
    options.Mark = false;
    options.MDUserDefinedArea = false;
    const MotionSetup setup = MakeMotionSetup(Width, Height, options, ThresholdForSensitivity(51));

    LiveFrameHub hub;
    LiveView live(hub, QString());
    LiveViewOptions settings;
    settings.Enabled = true;
    settings.Port = 0;
    settings.StreamFps = StreamFps;
    live.Apply(options, settings);
    if (!live.Running()) {
        state.SkipWithError("the live view did not start");
        return;
    }
    std::atomic<bool> stop{false};
    std::atomic<long> parts{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < viewers; ++i)
        clients.emplace_back(View, live.Port(), std::ref(stop), std::ref(parts));

    for (auto _ : state) {
        FrameDecoder decoder;
        QImage current, previous;
        std::vector<double> spacing;
        std::vector<double> offerUs;
        const double cpu0 = ProcessCpuSeconds();
        const auto start = Clock::now();
        std::optional<Clock::time_point> lastSample;
        std::uint32_t lastSampleMs = 0;
        for (int n = 0; Clock::now() - start < RunTime; ++n) {
            const auto due = start + std::chrono::microseconds(n * 1000000LL / CameraFps);
            std::this_thread::sleep_until(due);
            for (std::size_t i = 0; i < frame.size(); i += 2)
                frame[i] = std::uint8_t(i / 1280 + n);
            FrameBuffer header;
            header.data = frame.data();
            header.capacity = header.bytesUsed = std::uint32_t(frame.size());
            header.capturedMs = std::uint32_t(n * 1000 / CameraFps);
            const auto t0 = Clock::now();
            hub.Offer(header, format);
            offerUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
            if (header.capturedMs - lastSampleMs > 200) {
                lastSampleMs = header.capturedMs;
                const auto now = Clock::now();
                if (lastSample)
                    spacing.push_back(std::chrono::duration<double, std::milli>(now - *lastSample).count());
                lastSample = now;
                decoder.Draw(format, frame.data(), frame.size(), current);
                if (!previous.isNull())
                    benchmark::DoNotOptimize(DetectMotion(current, previous, setup, AlarmOptions{}));
                std::swap(current, previous);
            }
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        std::sort(spacing.begin(), spacing.end());
        std::sort(offerUs.begin(), offerUs.end());
        state.counters["cpu_percent"] = 100 * (ProcessCpuSeconds() - cpu0) / wall;
        state.counters["sample_ms_median"] = spacing.empty() ? 0 : spacing[spacing.size() / 2];
        state.counters["sample_ms_max"] = spacing.empty() ? 0 : spacing.back();
        state.counters["offer_us_p99"] = offerUs[offerUs.size() * 99 / 100];
        state.counters["offer_us_max"] = offerUs.back();
        state.counters["pictures_per_viewer_s"] = viewers ? double(parts.exchange(0)) / viewers / wall : 0;
    }
    stop = true;
    for (std::thread& c : clients)
        c.join();
    live.Stop();
}

BENCHMARK(BM_MotionRunWithViewers)->Arg(0)->Arg(1)->Arg(20)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
} // namespace

} // namespace tarvo

using namespace tarvo;

int main(int argc, char** argv)
{
    // The caption draws text, which needs a GUI application; no window is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
