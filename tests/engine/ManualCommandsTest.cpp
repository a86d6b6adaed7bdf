// The manual commands: one picture in its three ways of saving, recording with and without
// sound, "Capture &now", the preview and the menus a recording switches.
#include "EngineFixture.h"


#include <QDir>
#include <QTemporaryDir>
#include <QFile>
#include <QImage>

namespace tarvo {

namespace {

class ManualCommandsTest : public EngineTest {
protected:
    ManualCommandsTest()
    {
        // The capture service writes the frame buffer to SingleImageFile; here the test does.
        singleFile = program.dir() + "Capture.bmp";
        video->SetSingleImageFile(singleFile);
        options.LPicNaming = NamingFixed;
        options.LPicFixed = "Still";
    }
    void GrabbedFrame(QRgb colour)
    {
        QImage frame(FrameWidth, FrameHeight, QImage::Format_RGB32);
        frame.fill(colour);
        ASSERT_TRUE(frame.save(singleFile, "BMP"));
    }
    QString Target(const char* extension) const { return options.PictureDir.str() + "Still" + extension; }

    QString singleFile;
};

TEST_F(ManualCommandsTest, ABitmapWithoutCaptionReplacesAnOlderFileOfTheSameName)
{
    options.SaveAsBitmap = true;
    options.CaptionLocal = false;
    WriteFileBytes(Target(".bmp"), "an older picture");
    GrabbedFrame(qRgb(10, 20, 200));
    engine->Commands().CapturePicture();
    EXPECT_EQ(log.messages().back(), "Picture saved as: " + Target(".bmp"));
    EXPECT_FALSE(QFile::exists(singleFile));
    const QImage saved(Target(".bmp"));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.pixel(3, 3), qRgb(10, 20, 200));
}

TEST_F(ManualCommandsTest, CaptionedPicturesAreWrittenAnewAndTheGrabbedFileIsDeleted)
{
    options.CaptionLocal = true;
    options.CaptionText = "XXXXXXXX";
    options.FontColor = 0x000000FF; // red text
    options.TransparentBack = true;
    for (bool bitmap : {true, false}) {
        options.SaveAsBitmap = bitmap;
        GrabbedFrame(qRgb(0, 0, 0));
        engine->Commands().CapturePicture();
        const QString target = Target(bitmap ? ".bmp" : ".jpg");
        EXPECT_EQ(log.messages().back(), "Picture saved as: " + target);
        EXPECT_FALSE(QFile::exists(singleFile));
        const QByteArray bytes = ReadFileBytes(target);
        EXPECT_TRUE(bytes.startsWith(bitmap ? "BM" : "\xFF\xD8"));
        const QImage saved(target);
        ASSERT_FALSE(saved.isNull());
        bool captioned = false;
        for (int y = 0; y < saved.height() && !captioned; ++y)
            for (int x = 0; x < saved.width() && !captioned; ++x)
                captioned = qRed(saved.pixel(x, y)) > 128;
        EXPECT_TRUE(captioned) << "caption in " << target.toStdString();
    }
}

TEST_F(ManualCommandsTest, AFailedSaveEndsSilentlyAndKeepsTheGrabbedFile)
{
    options.PictureDir = program.dir() + "no such folder/";
    for (bool bitmap : {true, false}) {
        options.SaveAsBitmap = bitmap;
        options.CaptionLocal = !bitmap;
        GrabbedFrame(qRgb(1, 2, 3));
        log.clear();
        engine->Commands().CapturePicture();
        EXPECT_TRUE(log.messages().isEmpty()) << log.messages().join("|").toStdString();
        EXPECT_TRUE(QFile::exists(singleFile));
    }
}

TEST_F(ManualCommandsTest, FailuresOfThePictureCommandHaveTheirOwnMessages)
{
    backend.answers.saveDib = false;
    engine->Commands().CapturePicture();
    EXPECT_EQ(log.messages(), QStringList{"Error capturing frame"});
    EXPECT_TRUE(log.lines()[0].toFile);

    backend.answers.saveDib = true;
    WriteFileBytes(singleFile, "not a bitmap");
    log.clear();
    engine->Commands().CapturePicture();
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].msg, "Error capturing picture");
    EXPECT_EQ(log.lines()[0].sender, "Capturepicture1Click general exception handler");
    EXPECT_FALSE(log.lines()[0].toFile);
}

TEST_F(ManualCommandsTest, WithoutADriverEveryCommandSaysDriverNotLoaded)
{
    NoCameraConnects();
    host.menus.captureVideo.checked = true; // as a click on a checkable item leaves it
    engine->Commands().TogglePreview();
    engine->Commands().CapturePicture();
    engine->Commands().ToggleVideoRecording();
    EXPECT_EQ(log.messages(), QStringList({"Driver not loaded", "Driver not loaded", "Driver not loaded"}));
    EXPECT_FALSE(host.menus.preview.checked);
    EXPECT_FALSE(host.menus.captureVideo.checked);
    EXPECT_FALSE(engine->Timer(AutoCaptureEngine::TimerId::Blink).isActive());
    EXPECT_FALSE(backend.take().join(' ').contains("DriverConnect")) << "a command tried to connect the camera";
}

TEST_F(ManualCommandsTest, PreviewTogglesWithItsCheckMark)
{
    engine->Commands().TogglePreview();
    EXPECT_TRUE(video->VideoPreview());
    EXPECT_TRUE(host.menus.preview.checked);
    engine->Commands().TogglePreview();
    EXPECT_FALSE(video->VideoPreview());
    EXPECT_FALSE(host.menus.preview.checked);
    EXPECT_EQ(log.messages(), QStringList({"Preview on", "Preview off"}));
}

TEST_F(ManualCommandsTest, ARecordingThatCannotStartIsUndoneByTheSecondClick)
{
    backend.answers.sequence = false;
    backend.answers.stop = false;
    options.VidNaming = NamingIncrementing;
    options.VidPrefix = "clip ";
    const MenuState& m = host.menus;
    engine->Commands().ToggleVideoRecording();
    const QString file = options.VideoDir.str() + "clip 000.avi";
    EXPECT_EQ(log.messages(), QStringList{"Could not record video: " + file});
    EXPECT_TRUE(m.captureVideo.checked);
    EXPECT_TRUE(engine->Recording());

    engine->Commands().ToggleVideoRecording();
    EXPECT_EQ(log.messages().back(), "Error");
    EXPECT_FALSE(m.captureVideo.checked);
    EXPECT_FALSE(engine->Recording());
    EXPECT_TRUE(m.settings);
    EXPECT_FALSE(video->CapToFile());
}

TEST_F(ManualCommandsTest, RecordingsTakeTheAudioSettingsAndHaveNoSoundWithoutCapAudio)
{
    options.CapAudio = true;
    options.CapAudChannels = 1;
    options.CapAudSampleRate = 2;
    options.CapAudResolution = 1;
    engine->Commands().ToggleVideoRecording();
    EXPECT_EQ(log.messages().back().left(12), "Recording...");
    EXPECT_TRUE(video->CapAudio());
    EXPECT_EQ(video->CapAudioFormat().Channels, TChannel::Stereo);
    EXPECT_EQ(video->CapAudioFormat().Frequency, TFrequency::f22050Hz);
    EXPECT_EQ(video->CapAudioFormat().Resolution, TResolution::r16Bit);
    engine->Commands().ToggleVideoRecording();
    EXPECT_TRUE(log.messages().back().startsWith("Recorded video: " + options.VideoDir.str()));
    RunPosted();
    EXPECT_EQ(savedFiles, QStringList{video->VideoFileName()});

    options.CapAudio = false;
    engine->Commands().ToggleVideoRecording();
    EXPECT_FALSE(video->CapAudio());
    engine->Commands().ToggleVideoRecording();
}

TEST_F(ManualCommandsTest, CaptureNowDuringTheReArmDelayCapturesAndArms)
{
    options.RearmEnabled = true;
    options.CapPic = true;
    options.LPicNaming = NamingIncrementing;
    StartAndMove();
    ASSERT_FALSE(engine->Armed());
    const auto before = QDir(options.PictureDir.str()).entryList(QDir::Files).size();

    engine->Commands().CaptureNow();
    EXPECT_TRUE(engine->Armed());
    EXPECT_TRUE(engine->CaptureRequested());
    DeliverStillSamples(1);
    EXPECT_EQ(QDir(options.PictureDir.str()).entryList(QDir::Files).size(), before + 1);
    DeliverMovingSamples(1);
    EXPECT_EQ(Count("Motion detected"), 2);
}

TEST_F(ManualCommandsTest, TheClickSoundComesFromTheProgramFolderWhateverTheCurrentFolder)
{
    options.ClickSound = true;
    GrabbedFrame(qRgb(5, 5, 5));
    const QString started = QDir::currentPath();
    QTemporaryDir elsewhere; // the folder a desktop entry or a shell happens to start in
    QDir::setCurrent(elsewhere.path());
    engine->Commands().CapturePicture();
    const bool played = WaitFor([&] { return !sound.played().isEmpty(); });
    QDir::setCurrent(started);
    ASSERT_TRUE(played);
    EXPECT_EQ(sound.played(), QStringList{program.dir() + "click.wav"});
}

TEST_F(ManualCommandsTest, CaptureNowWithoutAStreamTakesOnePicture)
{
    GrabbedFrame(qRgb(5, 5, 5));
    engine->Commands().CaptureNow();
    EXPECT_EQ(log.messages().back(), "Picture saved as: " + Target(".jpg"));
    RunPosted();
    EXPECT_EQ(savedFiles, QStringList{Target(".jpg")});
    EXPECT_TRUE(engine->Timer(AutoCaptureEngine::TimerId::Blink).isActive());
}

} // namespace

} // namespace tarvo
