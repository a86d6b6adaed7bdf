#include "capture/CaptureDevice.h"

#include "common/AssignIfChanged.h"
#include "common/EventLog.h"

#include <QDir>
#include <QFile>
#include <QMetaMethod>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace tarvo {

namespace {

constexpr std::uint32_t MinMicroSecPerFrame = 33333;
constexpr std::uint32_t MinIndexSize = 1800;
constexpr std::uint32_t MaxIndexSize = 324000;
constexpr std::uint32_t FallbackIndexSize = 100000;
constexpr std::uint32_t AllBits = 0xFFFFFFFFu;
constexpr int EscapeKey = 27;

std::uint32_t ClampIndexSize(std::uint64_t entries)
{
    return std::uint32_t(std::clamp<std::uint64_t>(entries, MinIndexSize, MaxIndexSize));
}

bool FileNameTooLong(const QString& name) { return name.size() > MaxCaptureFileName; }

// A unique empty file "capXXXXXX" in the temporary folder; empty on failure.
QString CreateBufferFile()
{
    QByteArray pattern = QFile::encodeName(QDir::tempPath() + "/capXXXXXX");
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return {};
    ::close(fd);
    return QFile::decodeName(pattern);
}

} // namespace

QStringList ListCaptureDrivers(CaptureBackend& backend)
{
    QStringList drivers;
    drivers.reserve(MaxCaptureDrivers);
    for (int slot = 0; slot < MaxCaptureDrivers; ++slot) {
        QString name, version;
        if (!backend.GetDriverDescription(slot, name, version))
            break;
        drivers << name + " " + version;
    }
    return drivers;
}

CaptureDevice::CaptureDevice(CaptureBackend& backend, QObject* parent) : QObject(parent), backend_(backend) {}

CaptureDevice::~CaptureDevice()
{
    CloseDriver();
    ReleaseDriverBuffers();
}

// ---- connecting and closing ----

bool CaptureDevice::OpenDriver()
{
    if (session_)
        return true;
    if (driverIndex_ == -1) {
        RefreshStatus(true);
        throw NoDriverError();
    }
    session_ = backend_.CreateSession();
    if (!session_) {
        RefreshStatus(true);
        throw NoCaptureWindowError();
    }
    // The session reports from the event loop, maybe after this device is gone.
    session_->SetStoppedHandler([device = QPointer(this)](const QString& error) {
        if (device)
            device->OnPlatformStopped(error);
    });
    session_->SetPresentHandler([this] { OnFrameToShow(); });
    RegisterCallbacks();
    if (!session_->DriverConnect(driverIndex_)) {
        CloseDriver();
        RefreshStatus(true);
        throw ConnectError();
    }
    ApplyBufferFile(true);
    session_->SetScale(scaleToWindow_);
    SendPreviewRate();
    RefreshStatus(true);
    emit pictureChanged();
    return true;
}

void CaptureDevice::CloseDriver()
{
    if (!session_)
        return;
    escapeAborts_ = false;
    ApplyBufferFile(false);
    session_->DriverDisconnect();
    session_.reset();
    emit pictureChanged();
}

void CaptureDevice::ReleaseDriverBuffers()
{
    caps_.reset();
    status_.reset();
}

void CaptureDevice::ApplyBufferFile(bool enable)
{
    if (bufferFileName_.isEmpty() && bufferFileSize_ == 0)
        return;
    const std::uint16_t megabytes = enable ? bufferFileSize_ : 0;
    if (bufferFileName_.isEmpty()) {
        bufferFileName_ = CreateBufferFile();
        if (bufferFileName_.isEmpty())
            throw BufferFileError();
    }
    if (megabytes != 0) {
        session_->FileSetCaptureFile(bufferFileName_);
        // 4096 MB and more do not fit the request's 32 bits; ask for the most it can carry
        // rather than letting the size wrap to a tiny file.
        const std::uint64_t bytes = std::uint64_t(megabytes) << 20;
        if (!session_->FileAllocate(std::uint32_t(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu))))
            throw BufferFileError();
    } else {
        session_->FileSetCaptureFile(videoFileName_);
        QFile::remove(bufferFileName_);
        bufferFileName_.clear();
    }
}

void CaptureDevice::RegisterCallbacks()
{
    if (onStatusCallback_)
        SetOnStatusCallback(onStatusCallback_);
    if (onFrameCallback_)
        SetOnFrameCallback(onFrameCallback_);
    if (onError_)
        SetOnError(onError_);
    if (onVideoStream_)
        SetOnVideoStream(onVideoStream_);
    if (onAudioStream_)
        SetOnAudioStream(onAudioStream_);
}

// Each registration hands the back-end its own copy of the handler, so replacing a handler on
// the GUI thread never races with a call on the streaming thread.
template <class Handler, class Callback>
void CaptureDevice::InstallHandler(Handler& slot, Handler handler, void (CaptureSession::*setter)(Callback))
{
    slot = std::move(handler);
    if (!session_)
        return;
    if (slot)
        (session_.get()->*setter)([this, h = slot](const auto&... args) { h(*this, args...); });
    else
        (session_.get()->*setter)(Callback{});
}

void CaptureDevice::SetOnStatusCallback(TCapStatusCallback handler) { InstallHandler(onStatusCallback_, std::move(handler), &CaptureSession::SetCallbackStatus); }

void CaptureDevice::SetOnFrameCallback(TVideoStream handler) { InstallHandler(onFrameCallback_, std::move(handler), &CaptureSession::SetCallbackFrame); }

void CaptureDevice::SetOnError(TError handler) { InstallHandler(onError_, std::move(handler), &CaptureSession::SetCallbackError); }

void CaptureDevice::SetOnVideoStream(TVideoStream handler) { InstallHandler(onVideoStream_, std::move(handler), &CaptureSession::SetCallbackVideoStream); }

void CaptureDevice::SetOnAudioStream(TAudioStream handler) { InstallHandler(onAudioStream_, std::move(handler), &CaptureSession::SetCallbackWaveStream); }

// ---- driver selection ----

void CaptureDevice::SetDriverOpen(bool open)
{
    if (open && !DriverOpen())
        OpenDriver();
    else if (!open && DriverOpen())
        CloseDriver();
}

void CaptureDevice::SetDriverIndex(int index)
{
    if (index == driverIndex_)
        return;
    CloseDriver();
    ReleaseDriverBuffers();
    if (index < -1)
        index = -1;
    if (index >= 0) {
        QString name, version;
        if (backend_.GetDriverDescription(index, name, version))
            driverName_ = name;
        else
            index = -1;
    }
    if (index == -1)
        driverName_.clear();
    driverIndex_ = index;
}

void CaptureDevice::SetDriverName(const QString& name)
{
    if (name == driverName_)
        return;
    for (int slot = 0; slot < MaxCaptureDrivers; ++slot) {
        QString slotName, version;
        if (backend_.GetDriverDescription(slot, slotName, version) && slotName == name) {
            driverName_ = name;
            SetDriverIndex(slot);
            return;
        }
    }
    driverName_.clear();
    SetDriverIndex(-1);
}

// ---- capabilities and status ----

bool CaptureDevice::ReadDriverCaps()
{
    if (caps_)
        return true;
    if (driverIndex_ == -1)
        return false;
    const bool hadWindow = DriverOpen();
    if (!hadWindow)
        OpenDriver();
    if (!session_)
        return false;
    DriverCapabilities caps;
    const bool ok = session_->DriverGetCaps(caps);
    if (ok)
        caps_ = caps;
    if (!hadWindow)
        CloseDriver();
    return ok;
}

bool CaptureDevice::HasOverlay() { return ReadDriverCaps() && caps_->hasOverlay != 0; }
bool CaptureDevice::HasSourceDialog() { return ReadDriverCaps() && caps_->hasSourceDialog != 0; }
bool CaptureDevice::HasFormatDialog() { return ReadDriverCaps() && caps_->hasFormatDialog != 0; }
bool CaptureDevice::HasDisplayDialog() { return ReadDriverCaps() && caps_->hasDisplayDialog != 0; }

bool CaptureDevice::RefreshStatus(bool fireEvent)
{
    bool result = false;
    if (session_) {
        if (!status_)
            status_.emplace();
        result = session_->GetStatus(*status_);
    }
    if (fireEvent && onStatus_)
        onStatus_(*this);
    return result;
}

std::uint16_t CaptureDevice::ImageWidth() const { return status_ ? std::uint16_t(status_->imageWidth) : 0; }
std::uint16_t CaptureDevice::ImageHeight() const { return status_ ? std::uint16_t(status_->imageHeight) : 0; }

// ---- preview, overlay, scaling ----

bool CaptureDevice::VideoPreview() const { return session_ && status_ && status_->previewing != 0; }

void CaptureDevice::SetVideoPreview(bool on)
{
    if (on == VideoPreview())
        return;
    if (on && !session_)
        OpenDriver();
    session_->SetPreview(on);
    RefreshStatus(true);
    emit pictureChanged();
}

bool CaptureDevice::VideoOverlay() const { return session_ && status_ && status_->overlaying != 0; }

void CaptureDevice::SetVideoOverlay(bool on)
{
    if (on == VideoOverlay())
        return;
    if (!HasOverlay())
        throw NoOverlayError();
    if (on) {
        if (!session_)
            OpenDriver();
        GrabOneFrame();
    }
    session_->SetOverlay(on);
    RefreshStatus(true);
    emit pictureChanged();
}

void CaptureDevice::SetPreviewScaleToWindow(bool scale)
{
    if (!AssignIfChanged(scaleToWindow_, scale))
        return;
    if (session_)
        session_->SetScale(scale);
    emit pictureChanged();
}

void CaptureDevice::SetPreviewScaleProportional(bool proportional)
{
    if (AssignIfChanged(scaleProportional_, proportional))
        emit pictureChanged();
}

void CaptureDevice::SetPreviewRate(int rate)
{
    if (rate == previewRate_)
        return;
    previewRate_ = std::uint16_t(std::clamp(rate, 1, 30));
    if (session_)
        SendPreviewRate();
}

void CaptureDevice::SendPreviewRate()
{
    // Rounded to nearest, halves to even: 16 per second gives 62 ms.
    session_->SetPreviewRate(int(std::nearbyint(1.0 / previewRate_ * 1000.0)));
}

QRect CaptureDevice::PictureRect(QSize area) const
{
    int w = ImageWidth();
    int h = ImageHeight();
    if (scaleToWindow_ && scaleProportional_ && w > 0 && h > 0) {
        const float areaRatio = float(area.width()) / float(area.height());
        const float imageRatio = float(w) / float(h);
        if (areaRatio > imageRatio) {
            h = area.height();
            w = int(std::nearbyint(double(area.height()) * double(imageRatio)));
        } else {
            w = area.width();
            h = int(std::nearbyint(double(area.width()) / double(imageRatio)));
        }
    } else if (scaleToWindow_) {
        // Also the proportional case before any frame size is known.
        w = area.width();
        h = area.height();
    }
    return QRect(0, 0, w, h);
}

bool CaptureDevice::DecodeLatest(QImage& out, QSize bound) { return session_ && session_->DecodeLatest(out, bound); }

void CaptureDevice::PresentTaken()
{
    if (session_)
        session_->PresentTaken();
}

// Nobody showing the frames takes them at once, so that a view attached later is told of the next.
void CaptureDevice::OnFrameToShow()
{
    if (isSignalConnected(QMetaMethod::fromSignal(&CaptureDevice::frameReady)))
        emit frameReady();
    else
        PresentTaken();
}

// ---- plain properties with rules ----

void CaptureDevice::SetMicroSecPerFrame(std::uint32_t us)
{
    if (us != microSecPerFrame_)
        microSecPerFrame_ = std::max(us, MinMicroSecPerFrame);
}

std::uint16_t CaptureDevice::FrameRate() const
{
    if (microSecPerFrame_ == 0)
        return 0;
    return std::uint16_t(std::nearbyint(1.0 / microSecPerFrame_ * 1000000.0));
}

void CaptureDevice::SetFrameRate(int fps)
{
    if (fps <= 0)
        return;
    microSecPerFrame_ = std::uint32_t(std::nearbyint(1.0 / fps * 1000000.0));
}

void CaptureDevice::SetCapIndexSize(std::uint32_t entries)
{
    capIndexSize_ = entries == 0 ? 0 : ClampIndexSize(entries);
}

void CaptureDevice::SetBufferFileSize(std::uint16_t megabytes)
{
    if (megabytes == bufferFileSize_)
        return;
    bufferFileSize_ = megabytes;
    if (session_)
        ApplyBufferFile(true);
}

// ---- driver dialogs ----

// The compression dialog changes nothing that is shown, so it refreshes nothing either.
bool CaptureDevice::ShowDriverDialog(bool (CaptureSession::*request)(DriverDialogs&), DriverDialogs& dialogs,
                                     bool refresh)
{
    if (driverIndex_ == -1)
        return false;
    const bool hadSession = DriverOpen();
    if (!hadSession)
        OpenDriver();
    const bool result = (session_.get()->*request)(dialogs);
    if (result && refresh)
        RefreshStatus(true);
    if (!hadSession)
        CloseDriver();
    if (result && refresh)
        emit pictureChanged();
    return result;
}

bool CaptureDevice::ShowFormatDialog(DriverDialogs& d)
{
    return ShowDriverDialog(&CaptureSession::DlgVideoFormat, d, true);
}

bool CaptureDevice::ShowSourceDialog(DriverDialogs& d)
{
    return ShowDriverDialog(&CaptureSession::DlgVideoSource, d, true);
}

bool CaptureDevice::ShowDisplayDialog(DriverDialogs& d)
{
    return ShowDriverDialog(&CaptureSession::DlgVideoDisplay, d, true);
}

bool CaptureDevice::ShowCompressionDialog(DriverDialogs& d)
{
    return ShowDriverDialog(&CaptureSession::DlgVideoCompression, d, false);
}

// ---- frames and sequences ----

bool CaptureDevice::GrabOneFrame()
{
    if (!session_)
        return false;
    const bool result = session_->GrabFrame();
    if (result)
        RefreshStatus(true);
    return result;
}

bool CaptureDevice::SaveSingleImage()
{
    if (!session_ || FileNameTooLong(singleImageFile_))
        return false;
    return session_->FileSaveDib(singleImageFile_);
}

bool CaptureDevice::ReadVideoFormat(FrameFormat& buf)
{
    if (!session_) {
        std::memset(static_cast<void*>(&buf), 0, sizeof buf);
        throw DriverNotOpenError();
    }
    return session_->GetVideoFormat(buf);
}

bool CaptureDevice::StartSequence()
{
    if (!session_)
        return false;
    // A longer name would reach the platform cut short, i.e. as another file's name.
    if (capToFile_ && FileNameTooLong(videoFileName_))
        return false;
    SequenceSettings parms;
    session_->GetSequenceSetup(parms);
    if (bufferFileName_.isEmpty())
        session_->FileSetCaptureFile(videoFileName_);
    parms.usPerFrame = microSecPerFrame_;
    parms.timeLimited = capTimeLimit_ != 0 ? AllBits : 0;
    parms.timeLimitSec = capTimeLimit_;
    parms.captureSound = capAudio_ ? AllBits : 0;
    parms.mediaControl = 0;
    parms.runInBackground = AllBits;
    parms.abortKey = EscapeKey;
    parms.abortOnLeftClick = 0;
    parms.abortOnRightClick = 0;
    std::uint64_t index;
    if (capTimeLimit_ != 0)
        index = std::uint64_t(FrameRate()) * capTimeLimit_ + (capAudio_ ? 5ull * capTimeLimit_ : 0);
    else
        index = capIndexSize_ != 0 ? capIndexSize_ : FallbackIndexSize;
    parms.indexSize = ClampIndexSize(index);
    session_->SetSequenceSetup(parms);
    if (capAudio_)
        audioFormat_.ApplyTo(session_.get());
    const bool started = capToFile_ ? session_->Sequence() : session_->SequenceNoFile();
    RefreshStatus(true);
    if (started)
        escapeAborts_ = true;
    return started;
}

bool CaptureDevice::StopSequence()
{
    if (!session_)
        return false;
    escapeAborts_ = false;
    const bool result = session_->Stop();
    RefreshStatus(true);
    return result;
}

bool CaptureDevice::SequenceRunning()
{
    if (!session_)
        return false;
    RefreshStatus(false);
    return status_ && status_->capturing != 0;
}

// Only a sequence this device started ends by the key; whoever listens hears of the key first.
void CaptureDevice::AbortSequenceByKey()
{
    emit escapePressed();
    if (escapeAborts_ && SequenceRunning())
        StopSequence();
}

void CaptureDevice::OnPlatformStopped(const QString& error)
{
    escapeAborts_ = false;
    if (!error.isEmpty())
        ProgramLog().WriteLog("Video capture stopped: " + error, true, CaptureLogSender);
    RefreshStatus(true);
}

void CaptureDevice::SimulateDeviceLost()
{
    if (session_)
        session_->SimulateDeviceLost();
}

} // namespace tarvo
