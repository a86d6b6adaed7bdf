#pragma once
// A capture back-end for tests: answers as the test sets it up and writes every request into
// one shared log, e.g. "DriverConnect 0", "SetPreviewRate 33", "SetScale on".
#include "capture/CaptureBackend.h"

#include <QStringList>
#include <map>
#include <memory>

namespace tarvo {

struct FakeCaptureAnswers {
    std::map<int, QString> drivers; // slot -> name (version "v1")
    bool createSession = true;
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
    QImage picture;          // what DecodeLatest hands out; null: no frame yet
};

struct FakeCaptureLog {
    QStringList requests;
    SequenceSettings sentParms;
    SoundFormat sentWave;
    std::uint32_t allocated = 0;
    CaptureSession::VideoCallback videoStream;
    CaptureSession::StoppedHandler stopped;
    CaptureSession::PresentHandler present; // announces a frame to show, as a previewing session does
    int sessionsAlive = 0;
};

class RecordingCaptureBackend final : public CaptureBackend {
public:
    FakeCaptureAnswers answers;
    FakeCaptureLog log;

    bool GetDriverDescription(int index, QString& name, QString& version) override;
    std::unique_ptr<CaptureSession> CreateSession() override;
    // The requests made since the last call.
    QStringList take();
};

} // namespace tarvo
