// FrameDecoder per frame, for each format the back-end delivers, at 640x480 and 1920x1080.
#include "capture/FrameDecoder.h"
#include "tests/support/FrameFormatOf.h"

#include <QBuffer>
#include <QImage>
#include <benchmark/benchmark.h>
#include <vector>

namespace tarvo {

namespace {

// A camera-like picture, so the JPEG has realistic detail.
QImage Scene(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 7 + y) & 255, (x ^ y) & 255, (x * y / 64) & 255));
    return img;
}

// A view of bound (empty: the full picture, as the frame handler decodes it).
void Run(benchmark::State& state, const FrameFormat& format, const std::vector<std::uint8_t>& data, QSize bound)
{
    FrameDecoder decoder;
    QImage out;
    for (auto _ : state) {
        if (!decoder.DrawForView(format, data.data(), data.size(), bound, out))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Decode(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    const auto kind = state.range(2);
    std::vector<std::uint8_t> data;
    FrameFormat format;
    switch (kind) {
    case 0:
        format = FrameFormatOf(BI_RGB, w, h, 24);
        data.assign(FrameDecoder::ExpectedSize(format), 0x55);
        break;
    case 1:
        format = FrameFormatOf(FOURCC_YUY2, w, h, 16);
        data.assign(FrameDecoder::ExpectedSize(format), 0x70);
        break;
    case 2:
        format = FrameFormatOf(FOURCC_I420, w, h, 12);
        data.assign(FrameDecoder::ExpectedSize(format), 0x70);
        break;
    default: {
        format = FrameFormatOf(FOURCC_MJPG, w, h, 24);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        Scene(w, h).save(&buffer, "JPEG", 85);
        data.assign(jpeg.begin(), jpeg.end());
    }
    }
    static const char* names[] = {"RGB24", "YUY2", "I420", "MJPG"};
    // A fourth argument d > 0 decodes for a preview of 1/d of the frame's size.
    const int d = int(state.range(3));
    const QSize bound = d > 0 ? QSize(w / d, h / d) : QSize();
    state.SetLabel(QString("%1%2").arg(names[kind], d > 0 ? QString(" for a %1x%2 view").arg(w / d).arg(h / d) : QString())
                       .toStdString());
    Run(state, format, data, bound);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (int kind = 0; kind < 4; ++kind) {
        b->Args({640, 480, kind, 0});
        b->Args({1920, 1080, kind, 0});
    }
    for (int kind : {1, 3})
        b->Args({1920, 1080, kind, 2});
}

BENCHMARK(BM_Decode)->Apply(Sizes)->Unit(benchmark::kMillisecond);

} // namespace

} // namespace tarvo
