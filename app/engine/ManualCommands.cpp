#include "app/engine/ManualCommands.h"

#include "app/clips/ClipFiles.h"
#include "app/engine/AutoCaptureEngine.h"
#include "app/engine/EngineMode.h"
#include "capture/CaptureDevice.h"
#include "common/EventLog.h"
#include "imaging/BmpWriter.h"
#include "imaging/Caption.h"
#include "imaging/FileNaming.h"
#include "imaging/JpegWriter.h"
#include "common/SafeFileWrite.h"
#include "settings/ActiveSettings.h"

#include <QFile>
#include <QImage>
#include <QScopeGuard>
#include <cerrno>
#include <cstdio>

namespace tarvo {

namespace {
void Log(const QString& msg, bool toFile, const QString& sender) { ProgramLog().WriteLog(msg, toFile, sender); }

// Moves source onto target, replacing a file of that name, so the new picture is there when the
// log says so. Across file systems the bytes are copied through a temporary name first.
bool MoveReplacing(const QString& source, const QString& target)
{
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    in.close();
    return WriteFileReplacing(target, bytes) && QFile::remove(source);
}
} // namespace

ManualCommands::ManualCommands(CaptureDevice& video, EngineMode& mode, AutoCaptureEngine& engine)
    : video_(video), mode_(mode), engine_(engine)
{
}

void ManualCommands::TogglePreview()
{
    try {
        if (!video_.DriverOpen()) {
            Log("Driver not loaded", false, "TForm1.Preview1Click");
            video_.SetVideoPreview(false);
        } else if (!video_.VideoPreview()) {
            video_.SetVideoPreview(true);
            Log("Preview on", false, "TForm1.Preview1Click");
        } else {
            video_.SetVideoPreview(false);
            Log("Preview off", false, "TForm1.Preview1Click");
        }
    } catch (const std::exception& e) {
        Log(QString::fromUtf8(e.what()), false, "TForm1.Preview1Click");
    }
    // The mark shows whether the preview really is on.
    mode_.Apply();
}

void ManualCommands::CapturePicture()
{
    try {
        if (!video_.DriverOpen()) {
            Log("Driver not loaded", false, "TForm1.Capturepicture1Click");
            return;
        }
        engine_.FlashIcon();
        if (video_.SequenceRunning()) {
            engine_.RequestCapture(false);
            return;
        }
        if (!video_.SaveSingleImage()) {
            Log("Error capturing frame", true, "TForm1.Capturepicture1Click");
            return;
        }
        const QString singleFile = video_.SingleImageFile();
        QString target;
        if (!SaveStillPicture(singleFile, target))
            return; // a failed save ends the command without a message, the grabbed file left in place
        Log("Picture saved as: " + target, true, "TForm1.Capturepicture1Click");
        emit engine_.fileSaved(target);
        if (QFile::exists(singleFile))
            QFile::remove(singleFile);
    } catch (const std::exception&) {
        Log("Error capturing picture", false, "Capturepicture1Click general exception handler");
    }
}

bool ManualCommands::SaveStillPicture(const QString& singleFile, QString& target)
{
    const OptionsValues& options = engine_.Settings().options;
    const QString folder = options.PictureDir.str();
    if (options.SaveAsBitmap) {
        target = folder + MakeFileName(FileKind::LocalPicture, options, engine_.Counters()) + ".bmp";
        if (!options.CaptionLocal)
            return MoveReplacing(singleFile, target);
    } else {
        target = folder + MakeFileName(FileKind::LocalPicture, options, engine_.Counters()) + ".jpg";
    }

    QImage still(singleFile);
    if (still.isNull())
        throw std::runtime_error("the grabbed frame cannot be read");
    if (options.CaptionLocal)
        DrawCaption(still, options);
    if (options.SaveAsBitmap)
        return WriteFileReplacing(target, EncodeBmp(still));
    return engine_.Jpeg().WriteFile(still, target);
}

void ManualCommands::ToggleVideoRecording()
{
    const OptionsValues& options = engine_.Settings().options;
    inRecordingCommand_ = true;
    const auto commandDone = qScopeGuard([this] { inRecordingCommand_ = false; });
    if (!mode_.Recording()) {
        if (!video_.DriverOpen()) {
            Log("Driver not loaded", false, "TForm1.CaptureVideo1Click");
            mode_.Apply();
            return;
        }
        // The name is had before the recording starts: a file of that name (a clip of the same
        // second, something planted) is never written over, the scheme's next free name is taken.
        QString fileName;
        const bool created = CreateRecordingFile(options, engine_.Counters(), &fileName, nullptr);
        video_.SetVideoFileName(fileName);
        video_.SetCapToFile(true);
        mode_.SetRecording(true);

        // Without CapAudio the recording has no sound, whatever an earlier recording used.
        video_.SetCapAudio(options.CapAudio);
        if (options.CapAudio) {
            TAudioFormat& audio = video_.CapAudioFormat();
            audio.Channels = options.CapAudChannels == 0 ? TChannel::Mono : TChannel::Stereo;
            if (options.CapAudSampleRate >= 0 && options.CapAudSampleRate <= 3)
                audio.Frequency = static_cast<TFrequency>(options.CapAudSampleRate);
            audio.Resolution = options.CapAudResolution == 0 ? TResolution::r8Bit : TResolution::r16Bit;
        }

        recordingStarted_ = created && video_.StartSequence();
        if (recordingStarted_) {
            Log("Recording...", true, "TForm1.CaptureVideo1Click");
        } else {
            if (created)
                QFile::remove(fileName);
            Log("Could not record video: " + fileName, true, "TForm1.CaptureVideo1Click");
        }
        return;
    }
    EndRecording(video_.StopSequence());
}

bool ManualCommands::EndRecordingIfStreamEnded()
{
    if (!mode_.Recording() || !recordingStarted_ || inRecordingCommand_ || video_.SequenceRunning())
        return false;
    EndRecording(true);
    return true;
}

void ManualCommands::EndRecording(bool stopped)
{
    if (stopped) {
        Log("Recorded video: " + video_.VideoFileName(), true, "TForm1.CaptureVideo1Click");
        emit engine_.fileSaved(video_.VideoFileName());
    } else {
        Log("Error", true, "TForm1.CaptureVideo1Click");
    }
    video_.SetCapToFile(false);
    recordingStarted_ = false;
    mode_.SetRecording(false);
}

void ManualCommands::CaptureNow()
{
    if (video_.SequenceRunning()) {
        engine_.RequestCapture(true);
    } else {
        CapturePicture();
    }
}


} // namespace tarvo
