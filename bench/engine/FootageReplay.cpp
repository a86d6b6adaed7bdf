// Plays an MJPEG AVI through the motion comparison the way the frame handler samples a camera:
// a sample when a frame's time lies more than 200 ms after the last sample's, the first five
// only building the reference, each frame decoded as the engine decodes it. Tells how many
// samples were motion before and after a moment (a hand reaching in), how long after that moment
// the first motion came, the alarms a 5 s re-arm lets through, and the CPU time of decoding and
// comparing. The demuxing is not counted: a camera hands its frames over. With --meter it also
// tells the largest group of changed points seen before and after the moment, as the scene meter
// shows them: a second's change (its cost then counts too).
//
// footage_replay CLIP [--from SECONDS] [--sensitivity N] [--points N] [--group N]
//                     [--light PERCENT] [--area L,T,R,B] [--meter 1] [--trace 1]
#include "capture/FrameDecoder.h"
#include "imaging/MotionDetection.h"
#include "settings/OptionsValues.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <ctime>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <optional>

namespace tarvo {
namespace {

constexpr std::uint32_t SceneMeterSpacingMs = 1000;
const char* const VerdictNames[] = {"still", "motion", "light"};

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Replay {
    int frames = 0, samples = 0, compared = 0;
    int motionBefore = 0, motionAfter = 0, comparedAfter = 0, lightChanges = 0;
    int alarmsBefore = 0, alarmsAfter = 0;
    std::optional<double> firstAfter; // seconds after the moment
    double longestStill = 0;          // longest stretch without motion after the moment, seconds
    std::int64_t groupBefore = 0, groupAfter = 0;
    double cpu = 0;
};

int Run(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: footage_replay CLIP [--from S] [--sensitivity N] [--points N] [--group N] "
                             "[--light PERCENT] [--area L,T,R,B]\n");
        return 2;
    }
    const QString clip = args.takeFirst();
    double from = 1e9;
    OptionsValues options = DefaultOptions(QString()); // no folder is used
    options.Mark = false;
    AlarmOptions alarms;
    bool meter = false, trace = false;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        const QString& key = args[i];
        const QString& value = args[i + 1];
        if (key == "--from")
            from = value.toDouble();
        else if (key == "--sensitivity")
            options.Sensitivity = value.toInt();
        else if (key == "--points")
            alarms.MinChangedPoints = value.toInt();
        else if (key == "--trace")
            trace = value.toInt() != 0;
        else if (key == "--meter")
            meter = value.toInt() != 0;
        else if (key == "--group")
            alarms.MinGroupPoints = value.toInt();
        else if (key == "--light")
            alarms.IgnoreLightChange = true, alarms.LightChangePercent = value.toInt();
        else if (key == "--area") {
            const QStringList c = value.split(',');
            options.MDUserDefinedArea = c.size() == 4;
            if (c.size() == 4)
                options.MDbeginX = c[0].toInt(), options.MDbeginY = c[1].toInt(), options.MDendX = c[2].toInt(),
                options.MDendY = c[3].toInt();
        }
    }

    gst_init(nullptr, nullptr);
    GError* error = nullptr;
    const QByteArray description =
        "filesrc location=\"" + clip.toUtf8() + "\" ! avidemux ! image/jpeg ! appsink name=out sync=false";
    GstElement* pipeline = gst_parse_launch(description.constData(), &error);
    if (!pipeline) {
        std::fprintf(stderr, "%s\n", error ? error->message : "no pipeline");
        return 1;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);

    FrameDecoder decoder;
    FrameFormat format;
    std::optional<MotionSetup> setup;
    QImage current, previous;
    Replay r;
    std::optional<std::uint32_t> lastSample;
    QImage meterReference;
    std::uint32_t meterTime = 0;
    double lastMotionAfter = from, armedAt = 0;
    while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink))) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        ++r.frames;
        const auto ms = std::uint32_t(GST_BUFFER_PTS(buffer) / GST_MSECOND);
        if (lastSample && ms - *lastSample <= 200) {
            gst_sample_unref(sample);
            continue;
        }
        lastSample = ms;
        const double seconds = ms / 1000.0;
        if (!setup) {
            const GstStructure* caps = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
            int w = 0, h = 0;
            gst_structure_get_int(caps, "width", &w);
            gst_structure_get_int(caps, "height", &h);
            format.header.width = w;
            format.header.height = h;
            format.header.compression = FOURCC_MJPG;
            format.header.bitCount = 24;
            setup = MakeMotionSetup(w, h, options, ThresholdForSensitivity(options.Sensitivity));
        }
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        const double cpu0 = CpuSeconds();
        const bool decoded = decoder.Draw(format, map.data, map.size, current);
        std::optional<MotionVerdict> verdict;
        if (decoded && meter && ms - meterTime >= SceneMeterSpacingMs) {
            if (!meterReference.isNull()) {
                const std::int64_t group =
                    CountChangedPoints(current, meterReference, setup->Grid, setup->Threshold, GridReading{true}).LargestGroup;
                std::int64_t& most = seconds >= from ? r.groupAfter : r.groupBefore;
                most = std::max(most, group);
            }
            meterReference = current.copy();
            meterTime = ms;
        }
        if (decoded && ++r.samples > 5) {
            std::optional<MotionComparison> traced;
            if (trace)
                traced = CountChangedPoints(current, previous, setup->Grid, setup->Threshold, GridReading{true});
            verdict = DetectMotion(current, previous, *setup, alarms);
            if (traced)
                std::printf("%7.3f s: %lld changed, largest group %lld, gain %.2f: %s\n", seconds,
                            (long long)traced->ChangedPoints, (long long)traced->LargestGroup,
                            double(MeasureLightGain(current, previous, setup->Grid)), VerdictNames[int(*verdict)]);
        }
        std::swap(current, previous);
        r.cpu += CpuSeconds() - cpu0;
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
        if (!verdict)
            continue;
        const bool after = seconds >= from;
        ++r.compared;
        r.comparedAfter += after;
        r.lightChanges += *verdict == MotionVerdict::LightChange;
        if (after)
            r.longestStill = std::max(r.longestStill, seconds - lastMotionAfter);
        if (*verdict != MotionVerdict::Motion)
            continue;
        (after ? r.motionAfter : r.motionBefore)++;
        if (after) {
            lastMotionAfter = seconds;
            if (!r.firstAfter)
                r.firstAfter = seconds - from;
        }
        if (seconds >= armedAt) {
            (after ? r.alarmsAfter : r.alarmsBefore)++;
            armedAt = seconds + options.RearmSec;
        }
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);

    std::printf("frames %d samples %d compared %d | before: motion %d alarms %d | after: motion %d of %d alarms %d first %s "
                "longest still %.1f s | light changes %d | largest group %lld / %lld | cpu %.3f s\n",
                r.frames, r.samples, r.compared, r.motionBefore, r.alarmsBefore, r.motionAfter, r.comparedAfter, r.alarmsAfter,
                r.firstAfter ? QByteArray::number(*r.firstAfter, 'f', 2).append(" s").constData() : "none",
                r.longestStill, r.lightChanges, (long long)r.groupBefore, (long long)r.groupAfter, r.cpu);
    return 0;
}

} // namespace
} // namespace tarvo

int main(int argc, char** argv) { return tarvo::Run(argc, argv); }
