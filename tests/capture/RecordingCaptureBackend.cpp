#include "RecordingCaptureBackend.h"

namespace tarvo {

namespace {

class RecordingCaptureSession final : public CaptureSession {
public:
    RecordingCaptureSession(FakeCaptureAnswers& a, FakeCaptureLog& l) : a_(a), l_(l) { ++l_.sessionsAlive; }
    ~RecordingCaptureSession() override
    {
        Log("DestroySession");
        --l_.sessionsAlive;
    }

    void SetCallbackStatus(TextCallback cb) override { Log(Named("SetCallbackStatus", bool(cb))); }
    void SetCallbackFrame(VideoCallback cb) override { Log(Named("SetCallbackFrame", bool(cb))); }
    void SetCallbackError(TextCallback cb) override { Log(Named("SetCallbackError", bool(cb))); }
    void SetCallbackVideoStream(VideoCallback cb) override
    {
        Log(Named("SetCallbackVideoStream", bool(cb)));
        l_.videoStream = std::move(cb);
    }
    void SetCallbackWaveStream(WaveCallback cb) override { Log(Named("SetCallbackWaveStream", bool(cb))); }
    bool DriverConnect(int index) override { return Log("DriverConnect " + QString::number(index), a_.connect); }
    void DriverDisconnect() override { Log("DriverDisconnect"); }
    bool DriverGetCaps(DriverCapabilities& caps) override { return Copy(a_.caps, caps, "DriverGetCaps", a_.getCaps); }
    bool GetStatus(CaptureStatus& status) override { return Copy(a_.status, status, "GetStatus"); }
    void SetScale(bool s) override { Log(Named("SetScale", s)); }
    void SetPreviewRate(int ms) override { Log("SetPreviewRate " + QString::number(ms)); }
    void SetPreview(bool on) override
    {
        a_.status.previewing = on;
        Log(Named("SetPreview", on));
    }
    void SetOverlay(bool on) override
    {
        a_.status.overlaying = on;
        Log(Named("SetOverlay", on));
    }
    bool DlgVideoFormat(DriverDialogs&) override { return Log("DlgVideoFormat", a_.dialogs); }
    bool DlgVideoSource(DriverDialogs&) override { return Log("DlgVideoSource", a_.dialogs); }
    bool DlgVideoDisplay(DriverDialogs&) override { return Log("DlgVideoDisplay", a_.dialogs); }
    bool DlgVideoCompression(DriverDialogs&) override { return Log("DlgVideoCompression", a_.dialogs); }
    // Every frame it shows is a uniform picture of the size the test sets.
    void SetPresentHandler(PresentHandler h) override { l_.present = std::move(h); }
    void PresentTaken() override { Log("PresentTaken"); }
    bool DecodeLatest(QImage& out, QSize) override
    {
        if (a_.picture.isNull())
            return false;
        out = a_.picture;
        return true;
    }
    bool GrabFrame() override { return Log("GrabFrame", a_.grab); }
    bool FileSaveDib(const QString& name) override { return Log("FileSaveDib " + name, a_.saveDib); }
    void FileSetCaptureFile(const QString& name) override { Log("FileSetCaptureFile " + name); }
    bool FileAllocate(std::uint32_t bytes) override
    {
        l_.allocated = bytes;
        return Log("FileAllocate " + QString::number(bytes), true);
    }
    bool GetVideoFormat(FrameFormat& f) override { return Copy(a_.videoFormat, f, "GetVideoFormat"); }
    bool GetSequenceSetup(SequenceSettings& p) override { return Copy(a_.parms, p, "GetSequenceSetup"); }
    bool SetSequenceSetup(const SequenceSettings& p) override { return Copy(p, l_.sentParms, "SetSequenceSetup"); }
    bool GetAudioFormat(SoundFormat& f) override { return Copy(a_.waveFormat, f, "GetAudioFormat"); }
    bool SetAudioFormat(const SoundFormat& f) override { return Copy(f, l_.sentWave, "SetAudioFormat"); }
    bool Sequence() override { return Begin("Sequence"); }
    bool SequenceNoFile() override { return Begin("SequenceNoFile"); }
    bool Stop() override
    {
        a_.status.capturing = 0;
        return Log("Stop", a_.stop);
    }
    void SetStoppedHandler(StoppedHandler h) override { l_.stopped = std::move(h); }
    void SimulateDeviceLost() override
    {
        a_.status.capturing = 0;
        if (l_.stopped)
            l_.stopped("device lost");
    }

private:
    static QString Named(const QString& what, bool on) { return what + (on ? " on" : " off"); }
    bool Log(const QString& request, bool answer = true)
    {
        l_.requests << request;
        return answer;
    }
    // A request that hands a record over: the answer's to the caller, or the caller's into the log.
    template <typename T> bool Copy(const T& from, T& to, const QString& request, bool answer = true)
    {
        to = from;
        return Log(request, answer);
    }
    bool Begin(const QString& request)
    {
        if (a_.sequence)
            a_.status.capturing = 1;
        return Log(request, a_.sequence);
    }
    FakeCaptureAnswers& a_;
    FakeCaptureLog& l_;
};

} // namespace

bool RecordingCaptureBackend::GetDriverDescription(int index, QString& name, QString& version)
{
    log.requests << "GetDriverDescription " + QString::number(index);
    const auto it = answers.drivers.find(index);
    if (it == answers.drivers.end())
        return false;
    name = it->second;
    version = "v1";
    return true;
}

std::unique_ptr<CaptureSession> RecordingCaptureBackend::CreateSession()
{
    log.requests << "CreateSession";
    if (!answers.createSession)
        return nullptr;
    return std::make_unique<RecordingCaptureSession>(answers, log);
}

QStringList RecordingCaptureBackend::take()
{
    QStringList r = log.requests;
    log.requests.clear();
    return r;
}

} // namespace tarvo
