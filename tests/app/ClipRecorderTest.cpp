// Motion clips apart from the engine, on real GStreamer: the pre-alarm buffer's bounds, frames
// dropped by a writer that cannot keep up, a disk that fills up during a clip, a sound source
// that falls silent, what lies in the video folder already, and the pictures' captions.
#include "app/clips/ClipFiles.h"
#include "app/clips/ClipRecorder.h"
#include "capture/CaptureDevices.h"
#include "common/SafeFileWrite.h"
#include "gst/GstPointers.h"
#include "imaging/Caption.h"
#include "imaging/FileNaming.h"
#include "imaging/JpegWriter.h"

#include "support/FixedClock.h"
#include "support/FrameFormatOf.h"
#include "support/TestSupport.h"
#include "support/VideoProbe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QThread>
#include <functional>
#include <memory>
#include <utility>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tarvo {

namespace {

TEST(PreAlarmBufferTest, TheOldestPicturesGoFirstWhenTimeOrBytesRunOut)
{
    struct Case {
        const char* what;
        std::uint32_t spanMs;
        std::size_t byteLimit;
        std::vector<std::uint32_t> kept; // capture times left after frames at 0, 250, ..., 2000 ms
    };
    const Case cases[] = {
        {"a second of pictures", 1000, 1 << 20, {1000, 1250, 1500, 1750, 2000}},
        {"three pictures' bytes", 10000, 3 * 100, {1500, 1750, 2000}},
        {"a picture larger than the bound", 10000, 99, {}},
        {"no seconds before the alarm", 0, 1 << 20, {}},
    };
    for (const Case& c : cases) {
        PreAlarmBuffer buffer(c.spanMs, c.byteLimit);
        for (std::uint32_t t = 0; t <= 2000; t += 250) {
            buffer.Push({QByteArray(100, char(t / 250)), t});
            EXPECT_LE(buffer.Bytes(), c.byteLimit) << c.what;
        }
        EXPECT_EQ(buffer.Frames(), c.kept.size()) << c.what;
        std::vector<std::uint32_t> times;
        for (const ClipFrame& f : buffer.TakeAll())
            times.push_back(f.timeMs);
        EXPECT_EQ(times, c.kept) << c.what;
        EXPECT_EQ(buffer.Bytes(), 0u);
        EXPECT_EQ(buffer.Frames(), 0u);
    }
}

class ClipRecorderTest : public ::testing::Test {
protected:
    static constexpr int Width = 320;
    static constexpr int Height = 240;

    ClipRecorderTest()
    {
        EnsureGstInit();
        SetProgramLog(&log);
        options = DefaultOptions(program.dir());
        options.VideoDir = program.dir() + "videos/";
        QDir().mkpath(options.VideoDir.str());
        options.VidNaming = NamingIncrementing;
        options.FrameRate = 15;
        options.Trigger = TriggerMotion;
        // The clips' timing is what most cases check: a sanitizer's slow captioning would make
        // the writer leave frames out. The caption's own case switches it on.
        options.CaptionLocal = false;
        clips.Enabled = true;
        clips.PreSeconds = 1;
        clips.PostSeconds = 1;
    }
    ~ClipRecorderTest() override { SetProgramLog(nullptr); }

    // The engine keeps one recorder on the heap for the program's life; the tests too make each one
    // on the heap, so no recorder takes over a stack slot that an earlier one's threads wrote.
    ClipRecorder& NewRecorder(ClipRecorder::Limits limits = {})
    {
        recorder_.reset();
        recorder_ = std::make_unique<ClipRecorder>(limits);
        return *recorder_;
    }

    void Start(ClipRecorder& recorder, std::uint32_t compression, const QString& soundSource = {})
    {
        recorder.Start(
            clips, options, FrameFormatOf(compression, Width, Height, 16), jpeg, counters,
            [this](const QString& file) { saved << file; }, soundSource);
    }
    // Hands frames with capture times from `from` on, 66 ms apart, each from the alarmFrame'th on
    // a motion sample that saw motion, until stop() or `frames` frames; returns the time after the last.
    static std::uint32_t Feed(ClipRecorder& recorder, std::vector<std::uint8_t>& bytes, std::uint32_t from, int frames,
                              const std::function<bool()>& stop = [] { return false; }, int alarmFrame = 0)
    {
        std::uint32_t t = from;
        for (int i = 0; i < frames && !stop(); ++i, t += 66) {
            FrameBuffer header;
            header.data = bytes.data();
            header.capacity = header.bytesUsed = std::uint32_t(bytes.size());
            header.capturedMs = t;
            recorder.AddFrame(header);
            if (i >= alarmFrame)
                recorder.NoteMotion(t, i == alarmFrame);
        }
        return t;
    }
    // Noise, which hardly compresses: a JPEG picture of about a byte per pixel.
    static std::vector<std::uint8_t> NoiseJpeg(int width, int height)
    {
        QImage noise(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                noise.setPixel(x, y, QRandomGenerator::global()->generate());
        JpegWriter writer;
        writer.SetQuality(100);
        const QByteArray jpeg = writer.Compress(noise);
        return {jpeg.begin(), jpeg.end()};
    }
    // A small JPEG picture, which the writer thread hands on as it is.
    static std::vector<std::uint8_t> GreyJpeg()
    {
        QImage grey(Width, Height, QImage::Format_RGB32);
        grey.fill(Qt::gray);
        const QByteArray jpeg = JpegWriter().Compress(grey);
        return {jpeg.begin(), jpeg.end()};
    }
    QStringList Videos(QDir::Filters filter = QDir::Files) const
    {
        return QDir(options.VideoDir.str()).entryList(filter | QDir::NoDotAndDotDot);
    }

    ScratchProgram program;
    FileCounters counters{program.store()};
    RecordingEventLog log;
    OptionsValues options;
    ClipOptions clips;
    JpegWriter jpeg;
    QStringList saved; // the writer thread reports while the test thread waits in Stop
    std::unique_ptr<ClipRecorder> recorder_; // last, so it goes before what it reports to
};

TEST_F(ClipRecorderTest, AnArmedAlarmBeginsAClipThatMotionLengthensUpToItsLongest)
{
    struct Mark {
        std::uint32_t timeMs;
        bool armed;
    };
    struct Case {
        const char* what;
        std::vector<Mark> marks;
        std::vector<double> seconds; // the clips' lengths
    };
    // One second before, one after the last motion, five at most; frames 66 ms apart for 12 s.
    const auto motion = [](std::uint32_t from, std::uint32_t to) {
        std::vector<Mark> marks;
        for (std::uint32_t t = from; t <= to; t += 200)
            marks.push_back({t, false});
        return marks;
    };
    const auto join = [](std::vector<Mark> a, const std::vector<Mark>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Case cases[] = {
        {"disarmed motion lengthens the clip and begins none",
         join(join({{1000, false}, {3000, true}}, motion(3200, 5000)), {{9000, false}}), {4.0}},
        {"a clip ends at its longest", join({{3000, true}}, motion(3200, 11000)), {5.0}},
        {"an armed alarm after the clip begins another", join(join({{2000, true}}, motion(2200, 2200)), {{8000, true}}),
         {2.2, 2.0}},
    };
    clips.MaxSeconds = 5;
    std::vector<std::uint8_t> bytes = GreyJpeg();
    for (const Case& c : cases) {
        saved.clear();
        ClipRecorder& recorder = NewRecorder();
        Start(recorder, FOURCC_MJPG);
        std::size_t next = 0;
        for (std::uint32_t t = 0; t <= 12000; t += 66) {
            FrameBuffer header{bytes.data(), std::uint32_t(bytes.size()), std::uint32_t(bytes.size()), t, 0, 0};
            recorder.AddFrame(header);
            for (; next < c.marks.size() && c.marks[next].timeMs <= t; ++next)
                recorder.NoteMotion(t, c.marks[next].armed);
            QThread::msleep(1);
        }
        recorder.Stop();
        ASSERT_EQ(std::size_t(saved.size()), c.seconds.size()) << c.what << log.messages().join("\n").toStdString();
        for (std::size_t i = 0; i < c.seconds.size(); ++i) {
            const ProbedVideo video = ProbeVideo(saved[qsizetype(i)]);
            ASSERT_TRUE(video.ok) << c.what;
            EXPECT_NEAR(video.durationSeconds, c.seconds[i], 0.25) << c.what << ", clip " << i;
        }
    }
}

TEST_F(ClipRecorderTest, ClipsCarryTheSourcesSoundInStepWithThePicturesAndGoOnWithoutASourceThatFails)
{
    struct Case {
        const char* what;
        QString source;
        bool inStep;              // the sound lasts as long as the pictures
        const char* soundCodec;   // none: not looked at
    };
    const Case cases[] = {
        {"the test tone", ClipRecorder::SoundSourceFor(TestPatternDeviceName), true, "pcm_s16le"},
        {"a source that cannot start", "filesrc location=" + program.dir() + "no-microphone ! wavparse", false, ""},
        // A tenth of a second of sound, then nothing: the clip goes on without it.
        {"a source that falls silent", "audiotestsrc is-live=true num-buffers=4", false, nullptr},
    };
    clips.Audio = true;
    std::vector<std::uint8_t> bytes = GreyJpeg();
    for (const Case& c : cases) {
        saved.clear();
        log.clear();
        ClipRecorder& recorder = NewRecorder();
        Start(recorder, FOURCC_MJPG, c.source);
        // Frames at the camera's pace, stamped like the camera's: the sound comes in real time.
        QElapsedTimer clock;
        clock.start();
        std::uint32_t alarmMs = 0;
        const auto clipSaved = [&] { return !log.messages().filter("Motion clip saved as: ").isEmpty(); };
        for (std::uint32_t t = 0; t < 4000 && !clipSaved(); t = std::uint32_t(clock.elapsed())) {
            FrameBuffer header{bytes.data(), std::uint32_t(bytes.size()), std::uint32_t(bytes.size()), t, 0, 0};
            recorder.AddFrame(header);
            if (t >= 1500 && alarmMs == 0)
                recorder.NoteMotion(alarmMs = t, true);
            QThread::msleep(40);
        }
        recorder.Stop();
        const QStringList lines = log.messages();
        ASSERT_EQ(saved.size(), 1) << c.what << lines.join("\n").toStdString();
        const ProbedVideo video = ProbeVideo(saved.front());
        ASSERT_TRUE(video.ok) << c.what;
        EXPECT_EQ(lines.filter("Motion clips are recorded without sound: ").size(), c.inStep ? 0 : 1)
            << c.what << lines.join("\n").toStdString();
        if (c.soundCodec) {
            EXPECT_EQ(video.soundCodec, c.soundCodec) << c.what;
        }
        if (!c.inStep)
            continue;
        const double pictures = video.frameTimes.back() + 1.0 / options.FrameRate;
        EXPECT_NEAR(video.soundSeconds, pictures, 0.5) << c.what;
    }
}

TEST_F(ClipRecorderTest, AWriterThatCannotKeepUpDropsFramesAndSaysSoOncePerClip)
{
    // A queue of one frame: the writer thread turns each raw frame into a JPEG picture while the
    // camera side hands the next ones over at once.
    ClipRecorder& recorder = NewRecorder({1, std::size_t(64) << 20, PreAlarmBuffer::DefaultByteLimit});
    Start(recorder, FOURCC_YUY2);
    ASSERT_TRUE(recorder.Active());
    std::vector<std::uint8_t> yuy2(std::size_t(Width) * Height * 2, 0x80);
    std::uint32_t t = Feed(recorder, yuy2, 0, 200);
    // Quiet frames past PostSeconds end the first clip; the second alarm begins another.
    const auto firstSaved = [&] { return log.messages().filter("Motion clip saved as: ").size() == 1; };
    ASSERT_TRUE(WaitFor([&] {
        FrameBuffer header{yuy2.data(), std::uint32_t(yuy2.size()), std::uint32_t(yuy2.size()), t += 66, 0, 0};
        recorder.AddFrame(header);
        return firstSaved();
    }, 60000)) << log.messages().join("\n").toStdString();
    Feed(recorder, yuy2, t, 200);
    recorder.Stop();

    const QStringList lines = log.messages();
    ASSERT_EQ(lines.filter("Motion clip saved as: ").size(), 2) << lines.join("\n").toStdString();
    EXPECT_EQ(lines.filter("Motion clip drops frames").size(), 2) << lines.join("\n").toStdString();
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(Videos(QDir::Files | QDir::Hidden).size(), 2) << "no temporary file is left";
    for (const QString& file : saved)
        EXPECT_TRUE(Videos().contains(QFileInfo(file).fileName())) << file.toStdString();
    for (const QString& file : saved)
        EXPECT_TRUE(ProbeVideo(file).ok) << file.toStdString();
}

TEST_F(ClipRecorderTest, ADiskThatFillsUpDuringAClipLeavesNoClipBehind)
{
    const QString mountPoint = program.dir() + "small";
    QDir().mkpath(mountPoint);
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", mountPoint}) != 0)
        GTEST_SKIP() << "a small file system cannot be mounted here";
    struct Unmount {
        QString at;
        ~Unmount() { QProcess::execute("umount", {at}); }
    } unmount{mountPoint};
    options.VideoDir = mountPoint + '/';

    // A few dozen pictures fill the megabyte.
    std::vector<std::uint8_t> bytes = NoiseJpeg(Width, Height);
    ASSERT_GT(bytes.size(), 50000u);

    ClipRecorder& recorder = NewRecorder();
    Start(recorder, FOURCC_MJPG);
    const auto failed = [&] { return log.messages().filter("Motion clip could not be written").size() > 0; };
    Feed(recorder, bytes, 0, 1000000, [&] {
        QThread::msleep(2);
        return failed();
    });
    recorder.Stop();
    EXPECT_TRUE(failed()) << log.messages().join("\n").toStdString();
    EXPECT_TRUE(log.messages().filter("Motion clip saved as: ").isEmpty());
    EXPECT_TRUE(saved.isEmpty());
    EXPECT_EQ(Videos(QDir::Files | QDir::Hidden), QStringList()) << "neither a clip nor its temporary file";
}

TEST_F(ClipRecorderTest, ASourceThatFallsSilentUnderLargePicturesHoldsNeitherTheClipNorTheStop)
{
    // Over 400 KB a picture at 15 a second: a muxer waiting for sound that never comes would hold
    // more than the writer lets GStreamer keep within a second and a half.
    constexpr int Wide = 1024;
    constexpr int High = 576;
    std::vector<std::uint8_t> bytes = NoiseJpeg(Wide, High);
    ASSERT_GT(bytes.size(), 400000u);
    clips.Audio = true;
    clips.MaxSeconds = 5;
    ClipRecorder& recorder = NewRecorder();
    recorder.Start(
        clips, options, FrameFormatOf(FOURCC_MJPG, Wide, High, 16), jpeg, counters, [this](const QString& file) { saved << file; },
        "audiotestsrc is-live=true num-buffers=4");
    const auto ended = [&] {
        const QStringList lines = log.messages();
        return !lines.filter("Motion clip saved as: ").isEmpty() || !lines.filter("Motion clip could not be written").isEmpty();
    };
    // Frames at the camera's pace, each seeing motion; the first after half a second is the alarm.
    QElapsedTimer clock;
    clock.start();
    bool alarmed = false;
    for (std::uint32_t t = 0; t < 30000 && !ended(); t = std::uint32_t(clock.elapsed())) {
        FrameBuffer header{bytes.data(), std::uint32_t(bytes.size()), std::uint32_t(bytes.size()), t, 0, 0};
        recorder.AddFrame(header);
        if (t >= 500)
            recorder.NoteMotion(t, !std::exchange(alarmed, true));
        QThread::msleep(66);
    }
    QElapsedTimer stopping;
    stopping.start();
    recorder.Stop();
    EXPECT_LT(stopping.elapsed(), TestTime(ClipRecorder::StopLimit + std::chrono::seconds(2)).count());
    const QStringList lines = log.messages();
    ASSERT_TRUE(ended()) << lines.join("\n").toStdString();
    EXPECT_EQ(lines.filter("Motion clips are recorded without sound: ").size(), 1) << lines.join("\n").toStdString();
    for (const QString& file : saved)
        EXPECT_TRUE(ProbeVideo(file).ok) << file.toStdString();
    EXPECT_TRUE(Videos(QDir::Files | QDir::Hidden).filter(".part").isEmpty());
}

TEST_F(ClipRecorderTest, ALinkPlantedAtTheNextClipsTemporaryNameLeavesItsTargetAlone)
{
    const QDateTime now(QDate(2026, 5, 4), QTime(3, 2, 1));
    FixedClock clock(now);
    SetProgramClock(&clock);
    const auto restore = qScopeGuard([] { SetProgramClock(nullptr); });
    options.VidNaming = NamingTimed;
    const QString target = program.dir() + "target";
    WriteFileBytes(target, "not a clip");
    ASSERT_TRUE(QFile::link(target, ClipTempPath(options, {TimedFileName(now), now})));

    std::vector<std::uint8_t> bytes = GreyJpeg();
    ClipRecorder& recorder = NewRecorder();
    Start(recorder, FOURCC_MJPG);
    Feed(recorder, bytes, 0, 60);
    recorder.Stop();
    EXPECT_EQ(ReadFileBytes(target), "not a clip");
    ASSERT_EQ(saved.size(), 1) << log.messages().join("\n").toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(saved.front()).constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << saved.front().toStdString();
    // Private while written, then readable like every file the user saves.
    EXPECT_EQ(st.st_mode & 0777, NewFileMode());
    EXPECT_TRUE(ProbeVideo(saved.front()).ok) << saved.front().toStdString();
}

// The JPEG pictures of an MJPEG AVI file, in the order they are played.
QList<QByteArray> AviPictures(const QString& file)
{
    const QByteArray avi = ReadFileBytes(file);
    QList<QByteArray> pictures;
    for (qsizetype at = avi.indexOf("00db"); at >= 0 && at + 8 <= avi.size(); at = avi.indexOf("00db", at + 4)) {
        const auto* size = reinterpret_cast<const uchar*>(avi.constData() + at + 4);
        const qsizetype bytes = size[0] | size[1] << 8 | size[2] << 16 | qsizetype(size[3]) << 24;
        if (bytes > 2 && at + 8 + bytes <= avi.size() && avi.mid(at + 8, 2) == "\xFF\xD8")
            pictures << avi.mid(at + 8, bytes);
    }
    return pictures;
}

TEST_F(ClipRecorderTest, AClipsFirstAndLastPicturesCarryCaptionsOneClipLengthApart)
{
    // The alarm's frame is taken at half past a second, so that the moments of the pictures lie
    // well inside their seconds.
    const QDateTime now(QDate(2026, 5, 4), QTime(3, 2, 1, 500));
    FixedClock clock(now);
    SetProgramClock(&clock);
    const auto restore = qScopeGuard([] { SetProgramClock(nullptr); });
    clips.MaxSeconds = 5;
    options.CaptionLocal = true;
    std::vector<std::uint8_t> bytes = GreyJpeg();
    const QImage grey = QImage::fromData(bytes.data(), int(bytes.size())).convertToFormat(QImage::Format_RGB32);
    ClipRecorder& recorder = NewRecorder();
    Start(recorder, FOURCC_MJPG);
    // The alarm at 1980 ms of capture time, the clip's first picture a second before it, its last
    // five seconds after that (the clip's longest), 3960 ms after the alarm. Handed over slowly
    // enough for the writer to take every frame.
    Feed(recorder, bytes, 0, 120, [] {
        QThread::msleep(5);
        return false;
    }, 30);
    recorder.Stop();
    ASSERT_FALSE(saved.isEmpty()) << log.messages().join("\n").toStdString();
    ASSERT_TRUE(log.messages().filter("drops frames").isEmpty());
    const QList<QByteArray> pictures = AviPictures(saved.front());
    ASSERT_GE(pictures.size(), 2);

    const auto difference = [](const QImage& a, const QImage& b) {
        qint64 sum = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
        return sum;
    };
    // The second whose caption the picture shows: the one whose drawing it is nearest to, and
    // nearer to that than to the picture without a caption.
    const auto shownSecond = [&](const QByteArray& jpeg) {
        const QImage picture = QImage::fromData(jpeg).convertToFormat(QImage::Format_RGB32);
        int best = -1;
        qint64 nearest = difference(picture, grey);
        for (int second = -2; second <= 8; ++second) {
            QImage drawn = grey;
            DrawCaptionAt(drawn, options, now.addSecs(second), QLocale::system());
            if (const qint64 d = difference(picture, drawn); d < nearest) {
                nearest = d;
                best = second;
            }
        }
        return best;
    };
    EXPECT_EQ(shownSecond(pictures.front()), -1);
    EXPECT_EQ(shownSecond(pictures.back()), clips.MaxSeconds - 1);
}

TEST_F(ClipRecorderTest, TheStartRemovesTheTemporaryFilesOfUnfinishedClipsAndNothingElse)
{
    const QString dir = options.VideoDir.str();
    const QStringList ours = {".05-04  03.02.01.avi.part", "." + options.VidPrefix.str() + "007.avi.part"};
    QStringList kept = {".holiday.avi.part", "05-04  03.02.01.avi.part", ".05-04  03.02.01.avi", "05-04  03.02.01.avi"};
    for (const QString& name : ours + kept)
        WriteFileBytes(dir + name, "a clip's bytes");
    // The file of a clip that another Tarvo is writing into this folder.
    ClipName writing{"05-04  03.02.02", {}};
    QString path;
    const UniqueFd held = CreateClipTemp(options, counters, writing, &path, nullptr);
    ASSERT_TRUE(held.Valid());
    kept << QFileInfo(path).fileName();

    ClipRecorder& recorder = NewRecorder();
    Start(recorder, FOURCC_MJPG);
    recorder.Stop();
    kept.sort();
    EXPECT_EQ(Videos(QDir::Files | QDir::Hidden), kept);
}
} // namespace

} // namespace tarvo
