// The capture device's rules against the recording back-end: request sequences, clamps,
// exceptions; and its view, which shows the device's frames and hands it the Escape key.
#include "RecordingCaptureBackend.h"
#include "support/TestSupport.h"
#include "capture/CaptureDevice.h"
#include "capture/widgets/CaptureDialogs.h"
#include "capture/widgets/VideoView.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <gtest/gtest.h>

namespace tarvo {

namespace {

class CaptureDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        backend.answers.drivers = {{0, "Cam A"}, {2, "Cam C"}};
        backend.answers.status.imageWidth = 320;
        backend.answers.status.imageHeight = 240;
        cap.SetOnStatus([this](CaptureDevice&) { ++statusEvents; });
    }
    // Selected and connected, with only OnVideoStream assigned, as the program uses it.
    void Connect()
    {
        cap.SetOnVideoStream([](CaptureDevice&, const FrameBuffer&) {});
        cap.SetPreviewScaleToWindow(true);
        cap.SetDriverIndex(0);
        cap.SetDriverOpen(true);
        backend.take();
        statusEvents = 0;
    }

    RecordingCaptureBackend backend;
    CaptureDevice cap{backend};
    WindowDriverDialogs dialogs{nullptr}; // the recording back-end shows none
    int statusEvents = 0;
};

TEST_F(CaptureDeviceTest, DriverLoadingPreviewAndClosingSendTheRequestsInOrder)
{
    cap.SetOnVideoStream([](CaptureDevice&, const FrameBuffer&) {});
    cap.SetPreviewScaleToWindow(true);
    cap.SetPreviewScaleProportional(true);
    cap.SetDriverIndex(0);
    EXPECT_EQ(cap.DriverName(), "Cam A");
    cap.SetDriverOpen(true);
    EXPECT_EQ(backend.take(), QStringList({"GetDriverDescription 0", "CreateSession", "SetCallbackVideoStream on",
                                           "DriverConnect 0", "SetScale on", "SetPreviewRate 33", "GetStatus"}));
    EXPECT_EQ(statusEvents, 1);

    EXPECT_FALSE(cap.HasDisplayDialog());
    EXPECT_FALSE(cap.HasFormatDialog());
    EXPECT_FALSE(cap.HasSourceDialog());
    EXPECT_EQ(backend.take(), QStringList({"DriverGetCaps"}));

    cap.SetVideoPreview(true);
    EXPECT_TRUE(cap.VideoPreview());
    EXPECT_EQ(backend.take(), QStringList({"SetPreview on", "GetStatus"}));
    EXPECT_EQ(statusEvents, 2);

    cap.SetDriverOpen(false);
    EXPECT_EQ(backend.take(), QStringList({"DriverDisconnect", "DestroySession"}));
    EXPECT_FALSE(cap.VideoPreview());
    EXPECT_EQ(cap.ImageWidth(), 320) << "the status outlives the disconnection";
}

TEST_F(CaptureDeviceTest, DriverSelectionByIndexAndName)
{
    EXPECT_EQ(ListCaptureDrivers(backend), QStringList({"Cam A v1"})) << "the walk stops at the first gap";

    cap.SetDriverIndex(1);
    EXPECT_EQ(cap.DriverIndex(), -1);
    EXPECT_EQ(cap.DriverName(), "");

    cap.SetDriverName("Cam C");
    EXPECT_EQ(cap.DriverIndex(), 2);
    EXPECT_EQ(cap.DriverName(), "Cam C");

    cap.SetDriverName("cam c");
    EXPECT_EQ(cap.DriverIndex(), -1) << "names compare case-sensitively";
    EXPECT_EQ(cap.DriverName(), "");

    cap.SetDriverIndex(0);
    cap.SetDriverOpen(true);
    cap.SetDriverIndex(-1);
    EXPECT_FALSE(cap.DriverOpen());
    EXPECT_EQ(cap.DriverName(), "");
    EXPECT_EQ(backend.log.sessionsAlive, 0);
    EXPECT_EQ(cap.ImageWidth(), 0) << "a change of driver drops the cached status";
}

TEST_F(CaptureDeviceTest, ConnectFailuresRaiseAfterOnStatus)
{
    EXPECT_THROW(
        {
            try {
                cap.SetDriverOpen(true);
            } catch (const NoDriverError& e) {
                EXPECT_STREQ(e.what(), "No capture driver selected");
                throw;
            }
        },
        NoDriverError);
    EXPECT_EQ(statusEvents, 1);

    cap.SetDriverIndex(0);
    backend.answers.createSession = false;
    EXPECT_THROW(cap.SetDriverOpen(true), NoCaptureWindowError);
    EXPECT_EQ(statusEvents, 2);

    backend.answers.createSession = true;
    backend.answers.connect = false;
    backend.take();
    EXPECT_THROW(cap.SetDriverOpen(true), ConnectError);
    EXPECT_EQ(statusEvents, 3);
    EXPECT_FALSE(cap.DriverOpen());
    EXPECT_EQ(backend.log.sessionsAlive, 0);
    EXPECT_TRUE(backend.take().endsWith("DestroySession"));

    EXPECT_EQ(ConnectError().what(), std::string("Can not connect capture driver with capture window"));
    EXPECT_EQ(NoCaptureWindowError().what(), std::string("Can not create capture window"));
}

TEST_F(CaptureDeviceTest, OverlayNeedsADriverWithOverlay)
{
    cap.SetDriverIndex(0);
    EXPECT_NO_THROW(cap.SetVideoOverlay(false));
    EXPECT_TRUE(backend.take().filter("DriverGetCaps").isEmpty()) << "switching off when off asks nothing";
    try {
        cap.SetVideoOverlay(true);
        FAIL() << "no exception";
    } catch (const NoOverlayError& e) {
        EXPECT_STREQ(e.what(), "Driver has no overlay mode");
    }
    EXPECT_FALSE(cap.DriverOpen()) << "the caps query connected and closed again";

    RecordingCaptureBackend withOverlay;
    withOverlay.answers.drivers = {{0, "Cam"}};
    withOverlay.answers.caps.hasOverlay = 1;
    CaptureDevice other(withOverlay);
    other.SetDriverIndex(0);
    other.SetVideoOverlay(true);
    EXPECT_TRUE(other.VideoOverlay());
    const QStringList sent = withOverlay.take();
    EXPECT_LT(sent.indexOf("GrabFrame"), sent.indexOf("SetOverlay on"));
}

TEST_F(CaptureDeviceTest, PropertyClampsAndRounding)
{
    Connect();
    struct RateCase {
        int set;
        int stored;
        QString sent;
    };
    for (const auto& c : {RateCase{0, 1, "SetPreviewRate 1000"}, RateCase{45, 30, "SetPreviewRate 33"},
                          RateCase{16, 16, "SetPreviewRate 62"}}) {
        cap.SetPreviewRate(c.set);
        EXPECT_EQ(cap.PreviewRate(), c.stored) << c.set;
        EXPECT_EQ(backend.take(), QStringList({c.sent})) << c.set;
    }

    cap.SetMicroSecPerFrame(20000);
    EXPECT_EQ(cap.MicroSecPerFrame(), 33333u);
    cap.SetFrameRate(60);
    EXPECT_EQ(cap.MicroSecPerFrame(), 16667u);
    EXPECT_EQ(cap.FrameRate(), 60);
    cap.SetFrameRate(0);
    EXPECT_EQ(cap.MicroSecPerFrame(), 16667u);
    cap.SetFrameRate(15);
    EXPECT_EQ(cap.MicroSecPerFrame(), 66667u);

    for (auto [set, stored] : {std::pair{100u, 1800u}, {400000u, 324000u}, {0u, 0u}, {5000u, 5000u}}) {
        cap.SetCapIndexSize(set);
        EXPECT_EQ(cap.CapIndexSize(), stored) << set;
    }
}

TEST_F(CaptureDeviceTest, ClosedDriverOperationsAnswerFalseAndSendNothing)
{
    cap.SetDriverIndex(0);
    backend.take();
    EXPECT_FALSE(cap.GrabOneFrame());
    EXPECT_FALSE(cap.SaveSingleImage());
    EXPECT_FALSE(cap.StartSequence());
    EXPECT_FALSE(cap.StopSequence());
    EXPECT_FALSE(cap.SequenceRunning());
    EXPECT_TRUE(backend.take().isEmpty());

    FrameFormat format;
    std::memset(static_cast<void*>(&format), 0xAB, sizeof format);
    EXPECT_THROW(cap.ReadVideoFormat(format), DriverNotOpenError);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&format);
    EXPECT_TRUE(std::all_of(bytes, bytes + sizeof format, [](unsigned char b) { return b == 0; }));
    EXPECT_STREQ(DriverNotOpenError().what(), "Driver not Open");
}

TEST_F(CaptureDeviceTest, DialogsConnectForTheirDurationOnly)
{
    EXPECT_FALSE(cap.ShowFormatDialog(dialogs));
    EXPECT_TRUE(backend.take().isEmpty()) << "no driver: no dialog";

    cap.SetDriverIndex(0);
    backend.take();
    EXPECT_TRUE(cap.ShowFormatDialog(dialogs));
    const QStringList sent = backend.take();
    EXPECT_TRUE(sent.contains("DriverConnect 0"));
    EXPECT_LT(sent.indexOf("DlgVideoFormat"), sent.indexOf("DriverDisconnect"));
    EXPECT_EQ(sent.mid(sent.indexOf("DlgVideoFormat") + 1, 1), QStringList({"GetStatus"}));
    EXPECT_FALSE(cap.DriverOpen());

    backend.answers.dialogs = false;
    EXPECT_FALSE(cap.ShowSourceDialog(dialogs));
    EXPECT_FALSE(cap.ShowCompressionDialog(dialogs));
    const QStringList refused = backend.take();
    EXPECT_EQ(refused.filter("GetStatus").size(), 2) << "only the two connects read the status";
}

TEST_F(CaptureDeviceTest, PictureRectKeepsTheAspectRatio)
{
    Connect();
    cap.SetPreviewScaleProportional(true);
    for (const auto& [area, rect] : {std::pair{QSize(400, 240), QRect(0, 0, 320, 240)},
                                     {QSize(320, 400), QRect(0, 0, 320, 240)},
                                     {QSize(640, 480), QRect(0, 0, 640, 480)}})
        EXPECT_EQ(cap.PictureRect(area), rect) << area.width() << "x" << area.height();
    cap.SetPreviewScaleProportional(false);
    EXPECT_EQ(cap.PictureRect(QSize(400, 240)), QRect(0, 0, 400, 240));
    cap.SetPreviewScaleToWindow(false);
    EXPECT_EQ(backend.take(), QStringList({"SetScale off"}));
    EXPECT_EQ(cap.PictureRect(QSize(640, 480)), QRect(0, 0, 320, 240));
}

TEST_F(CaptureDeviceTest, AutoCaptureSequenceAndStop)
{
    Connect();
    cap.SetCapToFile(false);
    cap.SetFrameRate(30);
    backend.answers.parms.chunkGranularity = 77;
    ASSERT_TRUE(cap.StartSequence());
    EXPECT_EQ(backend.take(), QStringList({"GetSequenceSetup", "FileSetCaptureFile Video.avi", "SetSequenceSetup",
                                           "SequenceNoFile", "GetStatus"}));
    EXPECT_EQ(statusEvents, 1);
    const SequenceSettings& p = backend.log.sentParms;
    EXPECT_EQ(p.usPerFrame, 33333u);
    EXPECT_EQ(p.runInBackground, 0xFFFFFFFFu);
    EXPECT_EQ(p.abortKey, 27u);
    EXPECT_EQ(p.captureSound, 0u);
    EXPECT_EQ(p.timeLimited, 0u);
    EXPECT_EQ(p.indexSize, 100000u);
    EXPECT_EQ(p.chunkGranularity, 77u) << "fields not named keep the driver's values";
    EXPECT_TRUE(cap.SequenceRunning());

    FrameFormat format;
    backend.answers.videoFormat.header.width = 320;
    EXPECT_TRUE(cap.ReadVideoFormat(format));
    EXPECT_EQ(format.width(), 320);
    backend.take();

    EXPECT_TRUE(cap.StopSequence());
    EXPECT_EQ(backend.take(), QStringList({"Stop", "GetStatus"}));
    EXPECT_FALSE(cap.SequenceRunning());
}

TEST_F(CaptureDeviceTest, ManualRecordingWithAudioAndIndexSizes)
{
    Connect();
    cap.SetCapAudio(true);
    cap.SetVideoFileName("/tmp/rec.avi");
    cap.CapAudioFormat() = TAudioFormat::FromSettings(1, 3, 1);
    backend.answers.waveFormat.formatTag = 0x55;
    ASSERT_TRUE(cap.StartSequence());
    EXPECT_EQ(backend.take(), QStringList({"GetSequenceSetup", "FileSetCaptureFile /tmp/rec.avi", "SetSequenceSetup",
                                           "GetAudioFormat", "SetAudioFormat", "Sequence", "GetStatus"}));
    const SoundFormat& w = backend.log.sentWave;
    EXPECT_EQ(w.samplesPerSec, 44100u);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.bitsPerSample, 16);
    EXPECT_EQ(w.blockAlign, 4);
    EXPECT_EQ(w.bytesPerSec, 176400u);
    EXPECT_EQ(w.formatTag, 0x55) << "the tag keeps the value read";
    EXPECT_EQ(backend.log.sentParms.captureSound, 0xFFFFFFFFu);
    cap.StopSequence();

    struct Case {
        std::uint16_t limit;
        bool audio;
        std::uint32_t index;
    };
    cap.SetFrameRate(30);
    for (const auto& c : {Case{3600, false, 108000}, Case{3600, true, 126000}, Case{10, false, 1800}}) {
        cap.SetCapTimeLimit(c.limit);
        cap.SetCapAudio(c.audio);
        ASSERT_TRUE(cap.StartSequence());
        EXPECT_EQ(backend.log.sentParms.indexSize, c.index) << c.limit << " " << c.audio;
        EXPECT_EQ(backend.log.sentParms.timeLimitSec, c.limit);
        EXPECT_NE(backend.log.sentParms.timeLimited, 0u);
        cap.StopSequence();
    }
}

TEST_F(CaptureDeviceTest, AudioFormatFromSettings)
{
    const TAudioFormat mono = TAudioFormat::FromSettings(0, 0, 0);
    const SoundFormat w = mono.ToSoundFormat();
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.samplesPerSec, 8000u);
    EXPECT_EQ(w.bitsPerSample, 8);
    EXPECT_EQ(w.blockAlign, 1);
    EXPECT_EQ(TAudioFormat::FromSettings(1, 2, 7).ToSoundFormat().bytesPerSec, 22050u * 4);
    EXPECT_EQ(TAudioFormat::FromSettings(0, 9, 0).Frequency, TFrequency::f8000Hz);
}

TEST_F(CaptureDeviceTest, TheViewShowsAnnouncedFramesWhereTheScaleSettingsSay)
{
    Connect();
    cap.SetPreviewScaleProportional(true);
    cap.SetVideoPreview(true);
    backend.answers.picture = QImage(320, 240, QImage::Format_RGB32);
    backend.answers.picture.fill(Qt::white);
    backend.take();
    backend.log.present();
    EXPECT_EQ(backend.take(), QStringList({"PresentTaken"})) << "with nobody showing frames the next may come";

    VideoView view(cap);
    view.resize(400, 240);
    view.show();
    backend.log.present();
    EXPECT_EQ(backend.take(), QStringList({"PresentTaken"}));
    const QImage shot = view.grab().toImage();
    EXPECT_EQ(shot.pixel(300, 200), qRgb(255, 255, 255)) << "the frame, in its proportions";
    EXPECT_EQ(shot.pixel(360, 100), qRgb(0, 0, 0)) << "beside it, black";

    cap.SetDriverOpen(false);
    EXPECT_EQ(view.grab().toImage().pixel(100, 100), qRgb(0, 0, 0)) << "no connection, no picture";
}

TEST_F(CaptureDeviceTest, EscapeInTheViewsWindowStopsTheSequence)
{
    QWidget mainWindow, otherWindow;
    new VideoView(cap, &mainWindow);
    auto* button = new QWidget(&mainWindow);
    int heard = 0;
    QObject::connect(&cap, &CaptureDevice::escapePressed, [&] { ++heard; });
    Connect();
    cap.SetCapToFile(false);
    ASSERT_TRUE(cap.StartSequence());
    backend.take();

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&otherWindow, &escape);
    QKeyEvent other(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &other);
    EXPECT_TRUE(backend.take().filter("Stop").isEmpty()) << "Escape elsewhere, or another key, leaves it running";
    EXPECT_EQ(heard, 0);

    QCoreApplication::sendEvent(button, &escape);
    EXPECT_EQ(backend.take().filter("Stop").size(), 1);
    EXPECT_GT(heard, 0) << "the listeners hear of the key";
    EXPECT_FALSE(cap.SequenceRunning());
    QCoreApplication::sendEvent(button, &escape);
    EXPECT_TRUE(backend.take().filter("Stop").isEmpty()) << "nothing left to stop";
}

TEST_F(CaptureDeviceTest, OverlongFileNamesAreRefused)
{
    Connect();
    const QString tooLong = "/tmp/" + QString(255, 'x'); // 260 characters
    cap.SetSingleImageFile(tooLong);
    EXPECT_FALSE(cap.SaveSingleImage());
    cap.SetVideoFileName(tooLong);
    cap.SetCapToFile(true);
    EXPECT_FALSE(cap.StartSequence());
    EXPECT_TRUE(backend.take().isEmpty());

    cap.SetSingleImageFile(tooLong.left(259));
    EXPECT_TRUE(cap.SaveSingleImage());
}

TEST_F(CaptureDeviceTest, DeviceLossEndsTheSequenceWithLogAndStatus)
{
    RecordingEventLog log;
    SetProgramLog(&log);
    Connect();
    cap.SetCapToFile(false);
    ASSERT_TRUE(cap.StartSequence());
    statusEvents = 0;
    cap.SimulateDeviceLost();
    EXPECT_FALSE(cap.SequenceRunning());
    EXPECT_EQ(statusEvents, 1);
    EXPECT_TRUE(log.contains("Video capture stopped: device lost"));
    SetProgramLog(nullptr);
}

TEST_F(CaptureDeviceTest, BufferFileIsAllocatedAndRemoved)
{
    Connect();
    cap.SetBufferFileSize(5);
    const QStringList sent = backend.take();
    ASSERT_EQ(sent.size(), 2);
    const QString bufferFile = sent[0].mid(QString("FileSetCaptureFile ").size());
    EXPECT_TRUE(QFile::exists(bufferFile));
    EXPECT_EQ(backend.log.allocated, 5u << 20);

    cap.SetCapToFile(false);
    cap.StartSequence();
    EXPECT_TRUE(backend.take().filter("FileSetCaptureFile").isEmpty()) << "the buffer file stays the capture file";
    cap.StopSequence();
    backend.take();

    cap.SetDriverOpen(false);
    EXPECT_EQ(backend.take().first(), "FileSetCaptureFile Video.avi");
    EXPECT_FALSE(QFile::exists(bufferFile));
}

} // namespace

} // namespace tarvo
