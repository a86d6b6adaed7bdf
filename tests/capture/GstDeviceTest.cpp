// The GStreamer back-end on its built-in test device: frames, still pictures, AVI files read
// back by GStreamer's discoverer, preview, time limit and a lost device.
#include "support/TestSupport.h"
#include "capture/CaptureDevices.h"
#include "capture/FrameDecoder.h"
#include "capture/GstCaptureBackend.h"
#include "gst/GstPointers.h"
#include "capture/CaptureDevice.h"
#include "capture/widgets/CaptureDialogs.h"
#include "capture/widgets/VideoView.h"
#include "settings/PerUserStore.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QSpinBox>
#include <QTimer>
#include <QFile>
#include <QProcess>
#include <QUrl>
#include <QtEndian>
#include <gst/app/gstappsink.h>
#include <gst/pbutils/pbutils.h>
#include <functional>
#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace tarvo {

namespace {

struct Discovered {
    bool ok = false;
    int width = 0, height = 0;
    QString videoCaps;
    int audioStreams = 0, channels = 0, rate = 0, depth = 0;
    GstClockTime duration = 0;
};

Discovered Discover(const QString& file)
{
    Discovered d;
    GError* raw = nullptr;
    std::unique_ptr<GstDiscoverer, GstObjectUnref> discoverer(gst_discoverer_new(10 * GST_SECOND, &raw));
    GErrorPtr error(raw);
    if (!discoverer)
        return d;
    std::unique_ptr<GstDiscovererInfo, GstObjectUnref> info(gst_discoverer_discover_uri(
        discoverer.get(), QUrl::fromLocalFile(file).toString().toUtf8().constData(), &raw));
    error.reset(raw);
    if (!info || gst_discoverer_info_get_result(info.get()) != GST_DISCOVERER_OK)
        return d;
    d.ok = true;
    d.duration = gst_discoverer_info_get_duration(info.get());
    GList* videos = gst_discoverer_info_get_video_streams(info.get());
    if (videos) {
        auto* v = GST_DISCOVERER_VIDEO_INFO(videos->data);
        d.width = int(gst_discoverer_video_info_get_width(v));
        d.height = int(gst_discoverer_video_info_get_height(v));
        GstCapsPtr caps(gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(v)));
        GCharPtr text(gst_caps_to_string(caps.get()));
        d.videoCaps = text.get();
    }
    gst_discoverer_stream_info_list_free(videos);
    GList* audios = gst_discoverer_info_get_audio_streams(info.get());
    d.audioStreams = int(g_list_length(audios));
    if (audios) {
        auto* a = GST_DISCOVERER_AUDIO_INFO(audios->data);
        d.channels = int(gst_discoverer_audio_info_get_channels(a));
        d.rate = int(gst_discoverer_audio_info_get_sample_rate(a));
        d.depth = int(gst_discoverer_audio_info_get_depth(a));
    }
    gst_discoverer_stream_info_list_free(audios);
    return d;
}

// The JPEG frames of an MJPEG AVI file as its demuxer hands them out.
std::vector<QByteArray> JpegFramesOf(const QString& file)
{
    std::vector<QByteArray> out;
    GError* raw = nullptr;
    GstElementPtr pipeline(gst_parse_launch("filesrc name=src ! avidemux ! image/jpeg ! appsink name=out sync=false", &raw));
    GErrorPtr error(raw);
    if (!pipeline)
        return out;
    GstElementPtr src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
    g_object_set(src.get(), "location", QFile::encodeName(file).constData(), nullptr);
    GstElementPtr sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "out"));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    while (GstSample* raw = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 10 * GST_SECOND)) {
        GstSamplePtr sample(raw);
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample.get());
        if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            out.emplace_back(reinterpret_cast<const char*>(map.data), qsizetype(map.size));
            gst_buffer_unmap(buffer, &map);
        }
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return out;
}

// What OnVideoStream saw, written on the streaming thread.
struct FrameLog {
    std::mutex mutex;
    std::vector<std::uint32_t> times;
    std::vector<std::uint32_t> sizes;
    std::vector<QByteArray> bytes;
    int decoded = 0;
    int undecodable = 0;
    std::size_t count()
    {
        std::lock_guard lock(mutex);
        return times.size();
    }
};

class GstDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramLog(&log);
        cap.SetOnStatus([this](CaptureDevice&) { ++statusEvents; });
    }
    void TearDown() override { SetProgramLog(nullptr); }

    void ConnectTestDevice(bool decodeFrames = false)
    {
        cap.SetOnVideoStream([this, decodeFrames, decoder = std::make_shared<FrameDecoder>(),
                              format = std::make_shared<FrameFormat>()](CaptureDevice&, const FrameBuffer& h) {
            std::lock_guard lock(frames.mutex);
            frames.times.push_back(h.capturedMs);
            frames.sizes.push_back(h.bytesUsed);
            if (decodeFrames) {
                QImage picture;
                (decoder->Draw(*videoFormat, h.data, h.bytesUsed, picture) ? frames.decoded : frames.undecodable)++;
            }
        });
        cap.SetDriverName(TestPatternDeviceName);
        ASSERT_GE(cap.DriverIndex(), 0);
        cap.SetDriverOpen(true);
        ASSERT_TRUE(cap.DriverOpen());
        ASSERT_TRUE(cap.ReadVideoFormat(*videoFormat));
    }

    void SetTestDeviceMode(const char* format, int width, int height, int fps = 30)
    {
        program.store().WriteString("Capture-TestPattern/Format", format);
        program.store().WriteInteger("Capture-TestPattern/Width", width);
        program.store().WriteInteger("Capture-TestPattern/Height", height);
        program.store().WriteInteger("Capture-TestPattern/Fps", fps);
    }

    // A short MJPEG recording of the test device at 640x480, 30 fps.
    QString RecordTestFile()
    {
        ConnectTestDevice();
        const QString file = dir.filePath("loop.avi");
        cap.SetVideoFileName(file);
        cap.SetCapToFile(true);
        cap.SetFrameRate(30);
        EXPECT_TRUE(cap.StartSequence());
        EXPECT_TRUE(WaitFor([&] { return frames.count() >= 10; }, 20000));
        EXPECT_TRUE(cap.StopSequence());
        cap.SetDriverOpen(false);
        return file;
    }

    // The test device of a back-end listing it with TARVO_TEST_SOURCE naming the file (set while
    // the player lives: the back-end lists its devices again when its list is old); keeps the
    // bytes of every frame it streams.
    struct FilePlayer {
        FilePlayer(KeyValueStore& store, const QString& file)
        {
            qputenv("TARVO_TEST_SOURCE", QFile::encodeName(file));
            backend = std::make_unique<GstCaptureBackend>(store);
            cap = std::make_unique<CaptureDevice>(*backend);
            cap->SetOnVideoStream([this](CaptureDevice&, const FrameBuffer& h) {
                std::lock_guard lock(played.mutex);
                played.times.push_back(h.capturedMs);
                played.bytes.emplace_back(reinterpret_cast<const char*>(h.data), qsizetype(h.bytesUsed));
            });
            cap->SetDriverName(TestPatternDeviceName);
            cap->SetDriverOpen(true);
            cap->SetCapToFile(false);
        }
        ~FilePlayer() { qunsetenv("TARVO_TEST_SOURCE"); }
        FrameLog played; // outlives the device that writes it
        std::unique_ptr<GstCaptureBackend> backend;
        std::unique_ptr<CaptureDevice> cap;
    };

    ScratchProgram program;
    QTemporaryDir dir;
    RecordingEventLog log;
    GstCaptureBackend backend{program.store()};
    CaptureDevice cap{backend};
    WindowDriverDialogs dialogs{nullptr};
    FrameLog frames;
    std::shared_ptr<FrameFormat> videoFormat = std::make_shared<FrameFormat>();
    int statusEvents = 0;
};

TEST_F(GstDeviceTest, TestDeviceIsListedAfterTheCameras)
{
    const QStringList drivers = ListCaptureDrivers(backend);
    ASSERT_FALSE(drivers.isEmpty());
    EXPECT_TRUE(drivers.last().startsWith("Test pattern ")) << drivers.join(", ").toStdString();
    EXPECT_LE(drivers.size(), 10);
}

TEST_F(GstDeviceTest, StreamingDeliversEveryFrameWithRisingTimes)
{
    ConnectTestDevice();
    EXPECT_EQ(videoFormat->width(), 640);
    EXPECT_EQ(videoFormat->height(), 480);
    EXPECT_EQ(videoFormat->header.compression, FOURCC_YUY2);
    EXPECT_EQ(cap.ImageWidth(), 640);

    cap.SetCapToFile(false);
    cap.SetFrameRate(30);
    ASSERT_TRUE(cap.StartSequence());
    EXPECT_TRUE(cap.SequenceRunning());
    ASSERT_TRUE(WaitFor([&] { return frames.count() >= 15; }, 20000));
    EXPECT_TRUE(cap.StopSequence());
    EXPECT_FALSE(cap.SequenceRunning());

    std::lock_guard lock(frames.mutex);
    for (std::size_t i = 1; i < frames.times.size(); ++i)
        EXPECT_LT(frames.times[i - 1], frames.times[i]) << i;
    for (auto size : frames.sizes)
        EXPECT_EQ(size, 640u * 480u * 2u);
    EXPECT_FALSE(QFile::exists("Video.avi")) << "streaming writes no file";
}

TEST_F(GstDeviceTest, FramesOfEveryDeviceFormatReachTheHandlerUndecodedAndDecodable)
{
    struct Case {
        const char* format;
        int width, height;
        std::uint32_t fourcc;
    };
    // Odd sizes check that the decoder reads GStreamer's row padding and plane layout.
    for (const auto& c : {Case{"MJPG", 320, 240, FOURCC_MJPG}, Case{"I420", 161, 121, FOURCC_I420},
                          Case{"YUY2", 161, 121, FOURCC_YUY2}}) {
        program.store().WriteString("Capture-TestPattern/Format", c.format);
        program.store().WriteInteger("Capture-TestPattern/Width", c.width);
        program.store().WriteInteger("Capture-TestPattern/Height", c.height);
        program.store().WriteInteger("Capture-TestPattern/Fps", 30);
        cap.SetDriverOpen(false);
        ConnectTestDevice(true);
        EXPECT_EQ(videoFormat->header.compression, c.fourcc) << c.format;
        EXPECT_EQ(videoFormat->width(), c.width) << c.format;
        EXPECT_EQ(videoFormat->height(), c.height) << c.format;
        {
            std::lock_guard lock(frames.mutex);
            frames.decoded = frames.undecodable = 0;
        }
        cap.SetCapToFile(false);
        const std::size_t before = frames.count();
        ASSERT_TRUE(cap.StartSequence());
        ASSERT_TRUE(WaitFor([&] { return frames.count() >= before + 5; }, 20000)) << c.format;
        cap.StopSequence();
        std::lock_guard lock(frames.mutex);
        EXPECT_GE(frames.decoded, 5) << c.format;
        EXPECT_EQ(frames.undecodable, 0) << c.format;
        if (c.fourcc != FOURCC_MJPG) {
            EXPECT_EQ(frames.sizes.back(), FrameDecoder::ExpectedSize(*videoFormat)) << "the device's own layout";
        }
    }
}

TEST_F(GstDeviceTest, SingleImageIsAnUncompressedBmpOfTheFrameSize)
{
    ConnectTestDevice();
    EXPECT_TRUE(cap.GrabOneFrame());
    cap.SetSingleImageFile(dir.filePath("Capture.bmp"));
    ASSERT_TRUE(cap.SaveSingleImage());
    const QByteArray bmp = ReadFileBytes(dir.filePath("Capture.bmp"));
    ASSERT_GT(bmp.size(), 54);
    EXPECT_TRUE(bmp.startsWith("BM"));
    EXPECT_EQ(bmp[28], 24) << "24 bits per pixel";
    EXPECT_EQ(bmp.size(), 54 + 640 * 3 * 480);
    const QImage read(dir.filePath("Capture.bmp"));
    EXPECT_EQ(read.size(), QSize(640, 480));

    cap.SetSingleImageFile(dir.filePath("no-such-folder/Capture.bmp"));
    EXPECT_FALSE(cap.SaveSingleImage());
}

TEST_F(GstDeviceTest, RecordingsAreFinishedAviFilesWithTheRequestedSound)
{
    ConnectTestDevice();
    struct Case {
        const char* name;
        bool audio;
        int channels, sampleRate, resolution; // the settings' encoding
        int expectChannels, expectRate, expectDepth;
    };
    for (const auto& c : {Case{"silent.avi", false, 0, 0, 0, 0, 0, 0}, Case{"mono8.avi", true, 0, 0, 0, 1, 8000, 8},
                          Case{"stereo16.avi", true, 1, 2, 1, 2, 22050, 16}}) {
        const QString file = dir.filePath(c.name);
        cap.SetVideoFileName(file);
        cap.SetCapToFile(true);
        cap.SetCapAudio(c.audio);
        cap.CapAudioFormat() = TAudioFormat::FromSettings(c.channels, c.sampleRate, c.resolution);
        const std::size_t before = frames.count();
        ASSERT_TRUE(cap.StartSequence()) << c.name;
        ASSERT_TRUE(WaitFor([&] { return frames.count() >= before + 10; }, 20000)) << "frames reach the handler";
        ASSERT_TRUE(cap.StopSequence()) << c.name;

        const Discovered d = Discover(file);
        ASSERT_TRUE(d.ok) << c.name;
        EXPECT_EQ(d.width, 640) << c.name;
        EXPECT_EQ(d.height, 480) << c.name;
        EXPECT_TRUE(d.videoCaps.startsWith("image/jpeg")) << d.videoCaps.toStdString();
        EXPECT_GT(d.duration, 0u) << c.name;
        EXPECT_EQ(d.audioStreams, c.audio ? 1 : 0) << c.name;
        if (c.audio) {
            EXPECT_EQ(d.channels, c.expectChannels) << c.name;
            EXPECT_EQ(d.rate, c.expectRate) << c.name;
            EXPECT_EQ(d.depth, c.expectDepth) << c.name;
        }
    }
    // After recording the device streams on for the preview.
    EXPECT_TRUE(cap.GrabOneFrame());
}

TEST_F(GstDeviceTest, TimeLimitEndsTheRecording)
{
    ConnectTestDevice();
    cap.SetVideoFileName(dir.filePath("limited.avi"));
    cap.SetCapToFile(true);
    cap.SetCapTimeLimit(1);
    ASSERT_TRUE(cap.StartSequence());
    const int before = statusEvents;
    ASSERT_TRUE(WaitFor([&] { return !cap.SequenceRunning(); }, 30000));
    EXPECT_TRUE(WaitFor([&] { return statusEvents > before; }, 10000));
    EXPECT_TRUE(Discover(dir.filePath("limited.avi")).ok);
    // The recording ended well, so the user's stop after it says so; a further stop has nothing
    // to end.
    EXPECT_TRUE(cap.StopSequence());
    EXPECT_FALSE(cap.StopSequence());
}

TEST_F(GstDeviceTest, LostDeviceEndsTheSequenceAndCanBeUsedAgain)
{
    ConnectTestDevice();
    cap.SetCapToFile(false);
    ASSERT_TRUE(cap.StartSequence());
    ASSERT_TRUE(WaitFor([&] { return frames.count() >= 2; }, 20000));
    const int before = statusEvents;
    cap.SimulateDeviceLost();
    ASSERT_TRUE(WaitFor([&] { return statusEvents > before; }, 10000));
    EXPECT_FALSE(cap.SequenceRunning());
    EXPECT_FALSE(log.messages().filter("Video capture stopped: ").isEmpty()) << log.messages().join("\n").toStdString();

    // Streaming again reopens the device.
    const std::size_t seen = frames.count();
    ASSERT_TRUE(cap.StartSequence());
    EXPECT_TRUE(WaitFor([&] { return frames.count() >= seen + 3; }, 20000));
    cap.StopSequence();

    cap.SetDriverOpen(false);
    cap.SetDriverOpen(true);
    EXPECT_TRUE(cap.GrabOneFrame());
}

TEST_F(GstDeviceTest, ARecordingTornDownByItsDeviceOrItsOwnerIsAFinishedFile)
{
    ConnectTestDevice();
    const std::pair<const char*, std::function<void()>> endings[] = {
        {"lost.avi",
         [this] {
             const int before = statusEvents;
             cap.SimulateDeviceLost();
             ASSERT_TRUE(WaitFor([&] { return statusEvents > before; }, 10000));
         }},
        {"disconnected.avi", [this] { cap.SetDriverOpen(false); }},
    };
    for (const auto& [name, end] : endings) {
        if (!cap.DriverOpen())
            cap.SetDriverOpen(true);
        const QString file = dir.filePath(name);
        cap.SetVideoFileName(file);
        cap.SetCapToFile(true);
        const std::size_t before = frames.count();
        ASSERT_TRUE(cap.StartSequence()) << name;
        ASSERT_TRUE(WaitFor([&] { return frames.count() >= before + 10; }, 20000)) << name;
        end();
        EXPECT_FALSE(cap.SequenceRunning()) << name;
        // Only end-of-stream writes the frame count into the main header and appends the index.
        const QByteArray avi = ReadFileBytes(file);
        const qsizetype header = avi.indexOf("avih");
        ASSERT_GE(header, 0) << name;
        const QByteArray totalFrames = avi.mid(header + 8 + 16, 4);
        ASSERT_EQ(totalFrames.size(), 4) << name;
        EXPECT_GE(qFromLittleEndian<quint32>(totalFrames.constData()), 10u) << name;
        EXPECT_GT(avi.indexOf("idx1"), header) << name;
    }
}

// Answers the next modal dialog: `choose` sets its controls, then it is accepted.
void AnswerDialog(const QString& objectName, std::function<void(QDialog&)> choose)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [objectName, choose, poll] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != objectName) {
            QTimer::singleShot(10, *poll);
            return;
        }
        choose(*dialog);
        dialog->accept();
    };
    QTimer::singleShot(0, *poll);
}

TEST_F(GstDeviceTest, DriverDialogsChangeTheDeviceAndAreRemembered)
{
    ConnectTestDevice();
    EXPECT_TRUE(cap.HasFormatDialog());
    EXPECT_TRUE(cap.HasSourceDialog());
    EXPECT_FALSE(cap.HasDisplayDialog());
    EXPECT_FALSE(cap.ShowDisplayDialog(dialogs));

    AnswerDialog("CaptureFormatDialog", [](QDialog& d) {
        auto* mode = d.findChild<QComboBox*>("mode");
        mode->setCurrentIndex(mode->findText("I420 320x240, 15 fps"));
    });
    ASSERT_TRUE(cap.ShowFormatDialog(dialogs));
    ASSERT_TRUE(cap.ReadVideoFormat(*videoFormat));
    EXPECT_EQ(videoFormat->header.compression, FOURCC_I420);
    EXPECT_EQ(cap.ImageWidth(), 320);
    EXPECT_EQ(program.store().ReadString("Capture-TestPattern/Format", ""), "I420");

    AnswerDialog("CaptureCompressionDialog", [](QDialog& d) { d.findChild<QSpinBox*>("quality")->setValue(40); });
    ASSERT_TRUE(cap.ShowCompressionDialog(dialogs));
    EXPECT_EQ(program.store().ReadInteger("Capture-TestPattern/Quality", 0), 40);

    // A new connection starts in the remembered format.
    cap.SetDriverOpen(false);
    cap.SetDriverOpen(true);
    ASSERT_TRUE(cap.ReadVideoFormat(*videoFormat));
    EXPECT_EQ(videoFormat->width(), 320);
    EXPECT_EQ(videoFormat->header.compression, FOURCC_I420);
}

TEST_F(GstDeviceTest, TestDevicePlaysAVideoFileInALoop)
{
    const QString file = RecordTestFile();
    const GstClockTime length = Discover(file).duration;
    ASSERT_GT(length, 0u);

    FilePlayer player(program.store(), file); // in the device's default mode, YUY2: the file is decoded
    FrameFormat format;
    ASSERT_TRUE(player.cap->ReadVideoFormat(format));
    EXPECT_EQ(format.header.compression, FOURCC_YUY2);
    ASSERT_TRUE(player.cap->StartSequence());
    // Twice the file's length of frames can only come from playing it again.
    const std::uint32_t twice = std::uint32_t(2 * length / GST_MSECOND);
    EXPECT_TRUE(WaitFor([&] {
        std::lock_guard lock(player.played.mutex);
        return !player.played.times.empty() && player.played.times.back() > twice;
    }, 30000));
    EXPECT_TRUE(player.cap->SequenceRunning());
    player.cap->StopSequence();
}

TEST_F(GstDeviceTest, AnMjpegFileInAnMjpegModeOfItsSizeDeliversItsOwnJpegFrames)
{
    const QString file = RecordTestFile();
    const std::vector<QByteArray> fileFrames = JpegFramesOf(file);
    ASSERT_GE(fileFrames.size(), 5u);
    const GstClockTime length = Discover(file).duration;
    ASSERT_GT(length, 0u);

    SetTestDeviceMode("MJPG", 640, 480);
    FilePlayer player(program.store(), file);
    FrameFormat format;
    ASSERT_TRUE(player.cap->ReadVideoFormat(format));
    EXPECT_EQ(format.header.compression, FOURCC_MJPG);
    ASSERT_TRUE(player.cap->StartSequence());
    // Twice as many frames as the file holds: the file is looped.
    const std::size_t wanted = 2 * fileFrames.size();
    EXPECT_TRUE(WaitFor([&] { return player.played.count() >= wanted; }, 30000));
    player.cap->StopSequence();

    std::lock_guard lock(player.played.mutex);
    ASSERT_GE(player.played.bytes.size(), wanted);
    for (std::size_t i = 0; i < player.played.bytes.size(); ++i) {
        const QByteArray& jpeg = player.played.bytes[i];
        EXPECT_TRUE(jpeg.startsWith("\xFF\xD8") && jpeg.endsWith("\xFF\xD9")) << "frame " << i;
        EXPECT_NE(std::find(fileFrames.begin(), fileFrames.end(), jpeg), fileFrames.end())
            << "frame " << i << " is one of the file's, byte for byte";
    }
    // Paced like a camera, not as fast as the file can be read: the frames span at least half
    // of the time they last in the file.
    const auto& times = player.played.times;
    const double frameMs = double(length / GST_MSECOND) / double(fileFrames.size());
    EXPECT_GE(double(times.back() - times.front()), 0.5 * frameMs * double(times.size() - 1));
}

TEST_F(GstDeviceTest, RecordingWhileAFileIsPlayedEndsAtOnceAsAFinishedFile)
{
    const QString clip = dir.filePath("played.avi");
    ASSERT_EQ(QProcess::execute("gst-launch-1.0", {"-q", "videotestsrc", "num-buffers=30", "!",
                                                   "video/x-raw,width=640,height=480,framerate=30/1", "!", "jpegenc",
                                                   "!", "avimux", "!", "filesink", "location=" + clip}),
              0);
    // The file decoded into a raw mode, and its own JPEG frames in the MJPEG mode of their size.
    for (const char* format : {"YUY2", "MJPG"}) {
        SetTestDeviceMode(format, 640, 480);
        FilePlayer player(program.store(), clip);
        const QString file = dir.filePath(QString(format) + ".avi");
        player.cap->SetVideoFileName(file);
        player.cap->SetCapToFile(true);
        player.cap->SetCapAudio(true);
        ASSERT_TRUE(player.cap->StartSequence()) << format;
        ASSERT_TRUE(WaitFor([&] { return player.played.count() >= 10; }, 20000)) << format;
        // False only once the wait for the file's end ran out.
        EXPECT_TRUE(player.cap->StopSequence()) << format;
        const Discovered d = Discover(file);
        EXPECT_TRUE(d.ok) << format;
        EXPECT_EQ(d.audioStreams, 1) << format;
    }
}

TEST_F(GstDeviceTest, PreviewShowsTheMovingPicture)
{
    ConnectTestDevice();
    VideoView view(cap);
    view.resize(640, 480);
    view.show(); // a hidden view decodes nothing
    cap.SetPreviewScaleToWindow(true);
    cap.SetPreviewScaleProportional(true);
    cap.SetVideoPreview(true);
    EXPECT_TRUE(cap.VideoPreview());
    EXPECT_EQ(cap.PictureRect(view.size()), QRect(0, 0, 640, 480));
    auto lit = [&view] {
        const QImage shot = view.grab().toImage();
        int bright = 0;
        for (int y = 0; y < shot.height(); y += 8)
            for (int x = 0; x < shot.width(); x += 8)
                bright += qGray(shot.pixel(x, y)) > 128;
        return bright > 10;
    };
    EXPECT_TRUE(WaitFor(lit, 20000)) << "the ball is drawn";
}

} // namespace

} // namespace tarvo
