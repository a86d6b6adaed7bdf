#include "EngineFixture.h"

#include "imaging/MotionDetection.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>
#include <thread>

namespace tarvo {

EngineSurroundings::EngineSurroundings()
{
    SetProgramLog(&log);
    options = DefaultOptions(program.dir());
    options.PictureDir = program.dir() + "pictures/";
    options.VideoDir = program.dir() + "videos/";
    QDir().mkpath(program.dir() + "pictures");
    QDir().mkpath(program.dir() + "videos");
    options.UpPic = false;
    options.FuseEnabled = false;
    options.Password = "secret";
    counters.Load();
}

EngineSurroundings::~EngineSurroundings()
{
    SetProgramLog(nullptr);
}

void EngineSurroundings::RecordSavedFiles(AutoCaptureEngine& e, QStringList& into)
{
    // Direct: a receiver needs no queue of its own, whichever thread wrote the file.
    QObject::connect(
        &e, &AutoCaptureEngine::fileSaved, &e,
        [&into](const QString& path) {
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread()) << path.toStdString();
            into << path;
        },
        Qt::DirectConnection);
}

EngineTest::EngineTest()
{
    options.CapPic = false;
    options.PlaySound = false;
    options.ShowPopup = false;
    options.ClickSound = false;
    options.RearmEnabled = false;
    options.OfflinePic = false;
    options.MDUserDefinedArea = false;
    options.Mark = false;

    backend.answers.drivers = {{0, "Test camera"}};
    backend.answers.status.imageWidth = FrameWidth;
    backend.answers.status.imageHeight = FrameHeight;
    backend.answers.caps.hasSourceDialog = 1;
    backend.answers.caps.hasDisplayDialog = 1;
    backend.answers.caps.hasFormatDialog = 0;
    FrameFormat& f = backend.answers.videoFormat;
    f.header.width = FrameWidth;
    f.header.height = FrameHeight;
    f.header.bitCount = 32;
    f.header.compression = BI_RGB;
    f.header.imageSize = FrameWidth * FrameHeight * 4;

    video = std::make_unique<CaptureDevice>(backend);
    engine = std::make_unique<AutoCaptureEngine>(*video, host, settings, sound, counters, program.dir());
    RecordSavedFiles(*engine, savedFiles);
    video->SetOnVideoStream([this](CaptureDevice& sender, const FrameBuffer& h) { engine->ProcessFrame(sender, h); });
    video->SetOnStatus([this](CaptureDevice&) { engine->CaptureStatusChanged(); });
    video->SetDriverIndex(0);
    video->SetDriverOpen(true);
    engine->SetFuseSeconds(0);
    engine->SetRearmInterval(5000);
    engine->SetTimedInterval(5000);
}

EngineTest::~EngineTest()
{
    engine.reset();
    video.reset();
}

std::vector<std::uint8_t> EngineTest::MakeFrame(std::uint8_t blue)
{
    std::vector<std::uint8_t> data(FrameWidth * FrameHeight * 4);
    for (std::size_t i = 0; i < data.size(); i += 4) {
        data[i] = blue; // B G R X
        data[i + 1] = 100;
        data[i + 2] = 50;
    }
    return data;
}

void EngineTest::Deliver(std::uint32_t timeMs, std::uint8_t blue, std::uint32_t bytes)
{
    std::vector<std::uint8_t> data = MakeFrame(blue);
    FrameBuffer header;
    header.data = data.data();
    header.capacity = std::uint32_t(data.size());
    header.bytesUsed = bytes ? bytes : std::uint32_t(data.size());
    header.capturedMs = timeMs;
    ASSERT_TRUE(backend.log.videoStream);
    std::thread streaming([&] { backend.log.videoStream(header); });
    streaming.join();
    RunPosted();
}

void EngineTest::DeliverMovingSamples(int count)
{
    for (int i = 0; i < count; ++i) {
        nextTime += 250;
        nextBlue = !nextBlue;
        Deliver(nextTime, nextBlue ? 255 : 0);
    }
}

void EngineTest::DeliverStillSamples(int count)
{
    for (int i = 0; i < count; ++i) {
        nextTime += 250;
        Deliver(nextTime, nextBlue ? 255 : 0);
    }
}

void EngineTest::RunPosted()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

void EngineTest::StartWith(int trigger)
{
    options.Trigger = trigger;
    engine->StartAutoCap();
    ASSERT_TRUE(engine->AutoCapturing());
    log.clear();
}

void EngineTest::StartAndMove(int movingSamples)
{
    StartWith(TriggerMotion);
    DeliverStillSamples(5);
    DeliverMovingSamples(movingSamples);
}

int EngineTest::Count(const QString& message) const { return int(log.messages().count(message)); }

void EngineTest::NoCameraConnects()
{
    // Choosing the driver again forgets what the connected one said it offers.
    video->SetDriverIndex(-1);
    backend.answers.connect = false;
    video->SetDriverIndex(0);
    backend.take();
}

} // namespace tarvo
