// One motion sample as the frame handler takes it: the frame converted into the current picture,
// the grid comparison with the reference, and the second conversion into the new reference; at
// 640x480 and 1920x1080 in each format the capture back-end delivers.
#include "capture/FrameDecoder.h"
#include "imaging/JpegWriter.h"
#include "imaging/MotionDetection.h"
#include "settings/OptionsValues.h"

#include <QImage>
#include <benchmark/benchmark.h>
#include <vector>

namespace tarvo {

namespace {

enum Kind { YUY2, I420, MJPG };
const char* const KindNames[] = {"YUY2", "I420", "MJPG"};

FrameFormat Format(Kind kind, int w, int h)
{
    FrameFormat f;
    f.header.width = w;
    f.header.height = h;
    f.header.compression = kind == YUY2 ? FOURCC_YUY2 : kind == I420 ? FOURCC_I420 : FOURCC_MJPG;
    f.header.bitCount = kind == YUY2 ? 16 : kind == I420 ? 12 : 24;
    return f;
}

// A camera-like picture with detail in every channel.
QImage Scene(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb((x * 7 + y) & 255, (x ^ y) & 255, (x * y / 64) & 255);
    }
    return img;
}

std::vector<std::uint8_t> FrameBytes(Kind kind, const FrameFormat& format)
{
    if (kind == MJPG) {
        JpegWriter writer;
        writer.SetQuality(85);
        const QByteArray jpeg = writer.Compress(Scene(format.width(), format.height()));
        return {jpeg.begin(), jpeg.end()};
    }
    std::vector<std::uint8_t> data(FrameDecoder::ExpectedSize(format));
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t((i * 7) ^ (i >> 9));
    return data;
}

void BM_MotionSample(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    const auto kind = Kind(state.range(2));
    const FrameFormat format = Format(kind, w, h);
    const std::vector<std::uint8_t> data = FrameBytes(kind, format);

    OptionsValues options = DefaultOptions(QString()); // no folder is used
    options.Mark = false;
    options.MDUserDefinedArea = false;
    const MotionSetup setup = MakeMotionSetup(w, h, options, ThresholdForSensitivity(51));

    FrameDecoder decoder;
    QImage current(w, h, QImage::Format_RGB32);
    QImage previous(w, h, QImage::Format_RGB32);
    decoder.Draw(format, data.data(), data.size(), previous);
    for (auto _ : state) {
        bool ok = decoder.Draw(format, data.data(), data.size(), current);
        benchmark::DoNotOptimize(DetectMotion(current, previous, setup, AlarmOptions{}));
        ok = decoder.Draw(format, data.data(), data.size(), previous) && ok;
        if (!ok)
            state.SkipWithError("decode failed");
    }
    state.SetLabel(KindNames[kind]);
    state.SetItemsProcessed(state.iterations());
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (int kind : {YUY2, I420, MJPG}) {
        b->Args({640, 480, kind});
        b->Args({1920, 1080, kind});
    }
}

BENCHMARK(BM_MotionSample)->Apply(Sizes)->Unit(benchmark::kMillisecond);

} // namespace

} // namespace tarvo

using namespace tarvo;

BENCHMARK_MAIN();
