// Picture processing costs: one motion comparison (and one under each alarm rule), one local
// picture (caption + JPEG q90 + file), the JPEG encoder against libjpeg-turbo's own cjpeg on the
// same pixels and quality, and the caption stamped into a camera's JPEG picture as it goes into
// a motion clip.
#include "common/EventLog.h"
#include "imaging/MotionDetection.h"
#include "imaging/FileNaming.h"
#include "imaging/JpegCaptionStamp.h"
#include "imaging/JpegWriter.h"
#include "imaging/PictureSaving.h"
#include "settings/PerUserStore.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace tarvo {

namespace {
// A camera-like frame: the bundled example picture scaled up, with a little sensor noise.
QImage CameraFrame(int width, int height, quint32 seed)
{
    QImage base(QStringLiteral(TARVO_SOURCE_DIR "/assets/example.bmp"));
    if (base.isNull()) {
        base = QImage(320, 240, QImage::Format_RGB32);
        base.fill(Qt::darkCyan);
    }
    QImage frame = base.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32);
    QRandomGenerator noise(seed);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(frame.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(noise.bounded(7)) - 3;
            auto ch = [n](int v) { return std::clamp(v + n, 0, 255); };
            line[x] = qRgb(ch(qRed(line[x])), ch(qGreen(line[x])), ch(qBlue(line[x])));
        }
    }
    return frame;
}

void CompareMotionOnGrid(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    QImage current = CameraFrame(w, h, 1);
    const QImage previous = CameraFrame(w, h, 2);
    OptionsValues o = DefaultOptions(QString()); // no folder is used
    const DetectionGrid grid = MakeDetectionGrid(w, h, o);
    for (auto _ : state)
        benchmark::DoNotOptimize(CompareOnGrid(current, previous, grid, ThresholdForSensitivity(51), {}));
    state.counters["points"] = double(grid.Columns) * grid.Rows;
}

// The frame handler's comparison under the alarm rules (0: the defaults, 1: a group of 4 points,
// 2: the group and the light filter) of a person walking in while the light rises by half, so
// that every rule has work to do.
void JudgeMotionRules(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    const QImage previous = CameraFrame(w, h, 2);
    QImage lit = CameraFrame(w, h, 1);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(lit.scanLine(y));
        for (int x = 0; x < w; ++x) {
            auto ch = [](int v) { return std::min(255, v * 3 / 2); };
            line[x] = (x > w / 3 && x < w / 2 && y > h / 4) ? qRgb(200, 40, 0)
                                                             : qRgb(ch(qRed(line[x])), ch(qGreen(line[x])), ch(qBlue(line[x])));
        }
    }
    OptionsValues o = DefaultOptions(QString()); // no folder is used
    o.Mark = false;
    const MotionSetup setup = MakeMotionSetup(w, h, o, ThresholdForSensitivity(51));
    AlarmOptions alarms;
    alarms.MinGroupPoints = state.range(2) >= 1 ? 4 : 1;
    alarms.IgnoreLightChange = state.range(2) == 2;
    QImage current = lit;
    for (auto _ : state)
        benchmark::DoNotOptimize(DetectMotion(current, previous, setup, alarms));
}

void LocalPicture(benchmark::State& state)
{
    QTemporaryDir dir;
    OptionsValues o = DefaultOptions(dir.path() + "/"); // caption on, JPEG
    o.PictureDir = dir.path() + "/";
    o.LPicNaming = NamingFixed;
    PerUserStore store(dir.path() + "/Tarvo.conf");
    FileCounters counters(store);
    JpegWriter jpeg;
    jpeg.SetQuality(90);
    const QImage frame = CameraFrame(int(state.range(0)), int(state.range(1)), 3);
    for (auto _ : state) {
        QImage copy = frame;
        copy.detach(); // the frame handler hands over a fresh frame each time
        SavePic(copy, o, counters, jpeg);
    }
}

void JpegWriterFile(benchmark::State& state)
{
    QTemporaryDir dir;
    JpegWriter writer;
    writer.SetQuality(90);
    const QImage frame = CameraFrame(int(state.range(0)), int(state.range(1)), 4);
    const QString file = dir.path() + "/out.jpg";
    for (auto _ : state)
        benchmark::DoNotOptimize(writer.WriteFile(frame, file));
}

// The encoder alone, in memory: what the file benchmarks spend besides writing and syncing.
void JpegCompress(benchmark::State& state)
{
    JpegWriter writer;
    writer.SetQuality(90);
    const QImage frame = CameraFrame(int(state.range(0)), int(state.range(1)), 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(writer.Compress(frame));
}

// One picture of a motion clip: the default caption (at the bottom edge, or with the third
// argument 1 at the top) into a q90 picture of the scene, or into the camera's picture in the
// file TARVO_BENCH_JPEG (the size arguments then only name the run).
void StampClipPicture(benchmark::State& state)
{
    JpegWriter writer;
    writer.SetQuality(90);
    QFile file(qEnvironmentVariable("TARVO_BENCH_JPEG"));
    const QByteArray jpeg = file.open(QIODevice::ReadOnly)
                              ? file.readAll()
                              : writer.Compress(CameraFrame(int(state.range(0)), int(state.range(1)), 5));
    OptionsValues o = DefaultOptions(QString());
    o.CapTop = state.range(2) != 0;
    const QDateTime moment = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    for (auto _ : state) {
        // In the two parts a clip takes: the camera's bytes before the caption are not copied.
        const StampedJpeg stamped = StampJpegCaptionInParts(jpeg, o, moment, locale);
        if (stamped.rest.isEmpty()) {
            state.SkipWithError("the picture was not stamped");
            break;
        }
    }
    state.counters["kB"] = double(jpeg.size()) / 1000;
}

// cjpeg as a user would run it on a PPM of the same pixels: process start, reading, encoding,
// writing.
void CjpegFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QImage frame = CameraFrame(int(state.range(0)), int(state.range(1)), 4);
    const QByteArray ppm = (dir.path() + "/in.ppm").toLocal8Bit();
    const QByteArray out = (dir.path() + "/out.jpg").toLocal8Bit();
    frame.convertToFormat(QImage::Format_RGB888).save(QString::fromLocal8Bit(ppm), "PPM");
    std::string quality = "90", outfile = "-outfile";
    std::string exe = "cjpeg", qopt = "-quality";
    std::vector<char*> argv = {exe.data(), qopt.data(), quality.data(), outfile.data(),
                               const_cast<char*>(out.constData()), const_cast<char*>(ppm.constData()), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawnp(&pid, "cjpeg", nullptr, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("cjpeg is not installed (libjpeg-turbo-progs)");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("cjpeg failed");
            break;
        }
    }
}

void Sizes(benchmark::internal::Benchmark* b)
{
    b->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
    b->Repetitions(7)->ReportAggregatesOnly(true)->UseRealTime(); // cjpeg's time is a child's
}
} // namespace

BENCHMARK(CompareMotionOnGrid)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(JudgeMotionRules)
    ->ArgsProduct({{640}, {480}, {0, 1, 2}})
    ->ArgsProduct({{1920}, {1080}, {0, 1, 2}})
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(LocalPicture)->Apply(Sizes);
BENCHMARK(JpegWriterFile)->Apply(Sizes);
BENCHMARK(JpegCompress)->Apply(Sizes);
BENCHMARK(CjpegFile)->Apply(Sizes);
BENCHMARK(StampClipPicture)
    ->Args({640, 480, 0})
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

} // namespace tarvo

using namespace tarvo;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the caption needs the font database
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
