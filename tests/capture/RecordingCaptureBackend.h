#pragma once
// A capture back-end for tests: answers as the test sets it up and writes every request into
// one shared log, e.g. "DriverConnect 0", "SetPreviewRate 33", "Move 0,0,320,240".
#include "capture/CaptureBackend.h"

#include <QStringList>
#include <map>
#include <memory>

namespace tarvo {

struct FakeCaptureAnswers {
    std::map<int, QString> drivers; // slot -> name (version "v1")
    bool createWindow = true;
    bool connect = true;
    bool getCaps = true;
    DriverCapabilities caps;
    CaptureStatus status;
    bool dialogs = true;
    bool grab = true;
    bool saveDib = true;
    bool sequence = true;
    bool stop = true;
    FrameFormat videoFormat;
    SequenceSettings parms;       // what GetSequenceSetup reports
    SoundFormat waveFormat;  // what GetAudioFormat reports
};

struct FakeCaptureLog {
    QStringList requests;
    SequenceSettings sentParms;
    SoundFormat sentWave;
    std::uint32_t allocated = 0;
    CaptureWindow::VideoCallback videoStream;
    CaptureWindow::StoppedHandler stopped;
    int windowsAlive = 0;
};

class RecordingCaptureBackend final : public CaptureBackend {
public:
    FakeCaptureAnswers answers;
    FakeCaptureLog log;

    bool GetDriverDescription(int index, QString& name, QString& version) override;
    std::unique_ptr<CaptureWindow> CreateCaptureWindow(const QString& windowName, QWidget* parent, int width,
                                                       int height) override;
    // The requests made since the last call.
    QStringList take();
};

} // namespace tarvo
