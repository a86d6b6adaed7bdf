#include "capture/widgets/VideoCap.h"

#include "common/EventLog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QPalette>
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

QStringList ListCaptureDrivers() { return ListCaptureDrivers(ProgramCaptureBackend()); }

TVideoCap::TVideoCap(QWidget* parent, CaptureBackend* backend) : QWidget(parent), backend_(backend)
{
    resize(100, 100);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);
}

TVideoCap::~TVideoCap()
{
    CloseDriver();
    ReleaseDriverBuffers();
}

CaptureBackend& TVideoCap::backend() const { return backend_ ? *backend_ : ProgramCaptureBackend(); }

// ---- connecting and closing ----

bool TVideoCap::OpenDriver()
{
    if (window_)
        return true;
    if (driverIndex_ == -1) {
        RefreshStatus(true);
        throw NoDriverError();
    }
    window_ = backend().CreateCaptureWindow(objectName(), this, width(), height());
    if (!window_) {
        RefreshStatus(true);
        throw NoCaptureWindowError();
    }
    window_->SetStoppedHandler([this](const QString& error) { OnPlatformStopped(error); });
    window_->SetMouseForwarding(true);
    RegisterCallbacks();
    if (!window_->DriverConnect(driverIndex_)) {
        CloseDriver();
        RefreshStatus(true);
        throw ConnectError();
    }
    ApplyBufferFile(true);
    window_->SetScale(scaleToWindow_);
    SendPreviewRate();
    RefreshStatus(true);
    FitCaptureWindow();
    return true;
}

void TVideoCap::CloseDriver()
{
    if (!window_)
        return;
    if (escapeAborts_) {
        qApp->removeEventFilter(this);
        escapeAborts_ = false;
    }
    ApplyBufferFile(false);
    window_->DriverDisconnect();
    window_->SetMouseForwarding(false);
    window_.reset();
}

void TVideoCap::ReleaseDriverBuffers()
{
    caps_.reset();
    status_.reset();
}

void TVideoCap::ApplyBufferFile(bool enable)
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
        window_->FileSetCaptureFile(bufferFileName_);
        // 4096 MB and more do not fit the request's 32 bits; ask for the most it can carry
        // rather than letting the size wrap to a tiny file.
        const std::uint64_t bytes = std::uint64_t(megabytes) << 20;
        if (!window_->FileAllocate(std::uint32_t(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu))))
            throw BufferFileError();
    } else {
        window_->FileSetCaptureFile(videoFileName_);
        QFile::remove(bufferFileName_);
        bufferFileName_.clear();
    }
}

void TVideoCap::RegisterCallbacks()
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
void TVideoCap::InstallHandler(Handler& slot, Handler handler, void (CaptureWindow::*setter)(Callback))
{
    slot = std::move(handler);
    if (!window_)
        return;
    if (slot)
        (window_.get()->*setter)([this, h = slot](const auto&... args) { h(*this, args...); });
    else
        (window_.get()->*setter)(Callback{});
}

void TVideoCap::SetOnStatusCallback(TCapStatusCallback handler) { InstallHandler(onStatusCallback_, std::move(handler), &CaptureWindow::SetCallbackStatus); }

void TVideoCap::SetOnFrameCallback(TVideoStream handler) { InstallHandler(onFrameCallback_, std::move(handler), &CaptureWindow::SetCallbackFrame); }

void TVideoCap::SetOnError(TError handler) { InstallHandler(onError_, std::move(handler), &CaptureWindow::SetCallbackError); }

void TVideoCap::SetOnVideoStream(TVideoStream handler) { InstallHandler(onVideoStream_, std::move(handler), &CaptureWindow::SetCallbackVideoStream); }

void TVideoCap::SetOnAudioStream(TAudioStream handler) { InstallHandler(onAudioStream_, std::move(handler), &CaptureWindow::SetCallbackWaveStream); }

// ---- driver selection ----

void TVideoCap::SetDriverOpen(bool open)
{
    if (open == DriverOpen())
        return;
    if (open)
        OpenDriver();
    else
        CloseDriver();
}

void TVideoCap::SetDriverIndex(int index)
{
    if (index == driverIndex_)
        return;
    CloseDriver();
    ReleaseDriverBuffers();
    if (index < -1)
        index = -1;
    if (index >= 0) {
        QString name, version;
        if (backend().GetDriverDescription(index, name, version))
            driverName_ = name;
        else
            index = -1;
    }
    if (index == -1)
        driverName_.clear();
    driverIndex_ = index;
}

void TVideoCap::SetDriverName(const QString& name)
{
    if (name == driverName_)
        return;
    for (int slot = 0; slot < MaxCaptureDrivers; ++slot) {
        QString slotName, version;
        if (backend().GetDriverDescription(slot, slotName, version) && slotName == name) {
            driverName_ = name;
            SetDriverIndex(slot);
            return;
        }
    }
    driverName_.clear();
    SetDriverIndex(-1);
}

// ---- capabilities and status ----

bool TVideoCap::ReadDriverCaps()
{
    if (caps_)
        return true;
    if (driverIndex_ == -1)
        return false;
    const bool hadWindow = DriverOpen();
    if (!hadWindow)
        OpenDriver();
    if (!window_)
        return false;
    DriverCapabilities caps;
    const bool ok = window_->DriverGetCaps(caps);
    if (ok)
        caps_ = caps;
    if (!hadWindow)
        CloseDriver();
    return ok;
}

bool TVideoCap::HasOverlay() { return ReadDriverCaps() && caps_->hasOverlay != 0; }
bool TVideoCap::HasSourceDialog() { return ReadDriverCaps() && caps_->hasSourceDialog != 0; }
bool TVideoCap::HasFormatDialog() { return ReadDriverCaps() && caps_->hasFormatDialog != 0; }
bool TVideoCap::HasDisplayDialog() { return ReadDriverCaps() && caps_->hasDisplayDialog != 0; }

bool TVideoCap::RefreshStatus(bool fireEvent)
{
    bool result = false;
    if (window_) {
        if (!status_)
            status_.emplace();
        result = window_->GetStatus(*status_);
    }
    if (fireEvent && onStatus_)
        onStatus_(*this);
    return result;
}

std::uint16_t TVideoCap::ImageWidth() const { return status_ ? std::uint16_t(status_->imageWidth) : 0; }
std::uint16_t TVideoCap::ImageHeight() const { return status_ ? std::uint16_t(status_->imageHeight) : 0; }

// ---- preview, overlay, scaling ----

bool TVideoCap::VideoPreview() const { return window_ && status_ && status_->previewing != 0; }

void TVideoCap::SetVideoPreview(bool on)
{
    if (on == VideoPreview())
        return;
    if (on && !window_)
        OpenDriver();
    window_->SetPreview(on);
    RefreshStatus(true);
    update();
}

bool TVideoCap::VideoOverlay() const { return window_ && status_ && status_->overlaying != 0; }

void TVideoCap::SetVideoOverlay(bool on)
{
    if (on == VideoOverlay())
        return;
    if (!HasOverlay())
        throw NoOverlayError();
    if (on) {
        if (!window_)
            OpenDriver();
        GrabOneFrame();
    }
    window_->SetOverlay(on);
    RefreshStatus(true);
    update();
}

void TVideoCap::SetPreviewScaleToWindow(bool scale)
{
    if (scale == scaleToWindow_)
        return;
    scaleToWindow_ = scale;
    if (window_) {
        window_->SetScale(scale);
        FitCaptureWindow();
    }
    update();
}

void TVideoCap::SetPreviewScaleProportional(bool proportional)
{
    if (proportional == scaleProportional_)
        return;
    scaleProportional_ = proportional;
    if (window_)
        FitCaptureWindow();
    update();
}

void TVideoCap::SetPreviewRate(int rate)
{
    if (rate == previewRate_)
        return;
    previewRate_ = std::uint16_t(std::clamp(rate, 1, 30));
    if (window_)
        SendPreviewRate();
}

void TVideoCap::SendPreviewRate()
{
    // Rounded to nearest, halves to even: 16 per second gives 62 ms.
    window_->SetPreviewRate(int(std::nearbyint(1.0 / previewRate_ * 1000.0)));
}

void TVideoCap::FitCaptureWindow()
{
    if (!window_)
        return;
    int w = ImageWidth();
    int h = ImageHeight();
    if (scaleToWindow_ && scaleProportional_ && w > 0 && h > 0) {
        const float controlRatio = float(width()) / float(height());
        const float imageRatio = float(w) / float(h);
        if (controlRatio > imageRatio) {
            h = height();
            w = int(std::nearbyint(double(height()) * double(imageRatio)));
        } else {
            w = width();
            h = int(std::nearbyint(double(width()) / double(imageRatio)));
        }
    } else if (scaleToWindow_) {
        // Also the proportional case before any frame size is known.
        w = width();
        h = height();
    }
    window_->Move(0, 0, w, h);
}

void TVideoCap::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (window_ && scaleToWindow_)
        FitCaptureWindow();
}

// ---- plain properties with rules ----

void TVideoCap::SetMicroSecPerFrame(std::uint32_t us)
{
    if (us != microSecPerFrame_)
        microSecPerFrame_ = std::max(us, MinMicroSecPerFrame);
}

std::uint16_t TVideoCap::FrameRate() const
{
    if (microSecPerFrame_ == 0)
        return 0;
    return std::uint16_t(std::nearbyint(1.0 / microSecPerFrame_ * 1000000.0));
}

void TVideoCap::SetFrameRate(int fps)
{
    if (fps <= 0)
        return;
    microSecPerFrame_ = std::uint32_t(std::nearbyint(1.0 / fps * 1000000.0));
}

void TVideoCap::SetCapIndexSize(std::uint32_t entries)
{
    capIndexSize_ = entries == 0 ? 0 : ClampIndexSize(entries);
}

void TVideoCap::SetBufferFileSize(std::uint16_t megabytes)
{
    if (megabytes == bufferFileSize_)
        return;
    bufferFileSize_ = megabytes;
    if (window_)
        ApplyBufferFile(true);
}

// ---- driver dialogs ----

bool TVideoCap::ShowDriverDialog(bool (CaptureWindow::*request)())
{
    if (driverIndex_ == -1)
        return false;
    const bool hadWindow = DriverOpen();
    if (!hadWindow)
        OpenDriver();
    const bool result = (window_.get()->*request)();
    if (result)
        RefreshStatus(true);
    if (!hadWindow)
        CloseDriver();
    if (result) {
        FitCaptureWindow();
        update();
    }
    return result;
}

bool TVideoCap::ShowFormatDialog() { return ShowDriverDialog(&CaptureWindow::DlgVideoFormat); }
bool TVideoCap::ShowSourceDialog() { return ShowDriverDialog(&CaptureWindow::DlgVideoSource); }
bool TVideoCap::ShowDisplayDialog() { return ShowDriverDialog(&CaptureWindow::DlgVideoDisplay); }

bool TVideoCap::ShowCompressionDialog()
{
    if (driverIndex_ == -1)
        return false;
    const bool hadWindow = DriverOpen();
    if (!hadWindow)
        OpenDriver();
    const bool result = window_->DlgVideoCompression();
    if (!hadWindow)
        CloseDriver();
    return result;
}

// ---- frames and sequences ----

bool TVideoCap::GrabOneFrame()
{
    if (!window_)
        return false;
    const bool result = window_->GrabFrame();
    if (result)
        RefreshStatus(true);
    return result;
}

bool TVideoCap::SaveSingleImage()
{
    if (!window_ || FileNameTooLong(singleImageFile_))
        return false;
    return window_->FileSaveDib(singleImageFile_);
}

bool TVideoCap::ReadVideoFormat(FrameFormat& buf)
{
    if (!window_) {
        std::memset(static_cast<void*>(&buf), 0, sizeof buf);
        throw DriverNotOpenError();
    }
    return window_->GetVideoFormat(buf);
}

bool TVideoCap::StartSequence()
{
    if (!window_)
        return false;
    // A longer name would reach the platform cut short, i.e. as another file's name.
    if (capToFile_ && FileNameTooLong(videoFileName_))
        return false;
    SequenceSettings parms;
    window_->GetSequenceSetup(parms);
    if (bufferFileName_.isEmpty())
        window_->FileSetCaptureFile(videoFileName_);
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
    window_->SetSequenceSetup(parms);
    if (capAudio_)
        audioFormat_.ApplyTo(window_.get());
    const bool started = capToFile_ ? window_->Sequence() : window_->SequenceNoFile();
    RefreshStatus(true);
    if (started && !escapeAborts_) {
        qApp->installEventFilter(this);
        escapeAborts_ = true;
    }
    return started;
}

bool TVideoCap::StopSequence()
{
    if (!window_)
        return false;
    if (escapeAborts_) {
        qApp->removeEventFilter(this);
        escapeAborts_ = false;
    }
    const bool result = window_->Stop();
    RefreshStatus(true);
    return result;
}

bool TVideoCap::SequenceRunning()
{
    if (!window_)
        return false;
    RefreshStatus(false);
    return status_ && status_->capturing != 0;
}

// The Escape key ends a running sequence, but only when pressed in the window that shows this
// control: Escape in another program or in one of our dialogs leaves capturing alone.
bool TVideoCap::eventFilter(QObject* watched, QEvent* event)
{
    if (escapeAborts_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        auto* target = qobject_cast<QWidget*>(watched);
        if (target && target->window() == window() && SequenceRunning())
            StopSequence();
    }
    return QWidget::eventFilter(watched, event);
}

void TVideoCap::OnPlatformStopped(const QString& error)
{
    if (escapeAborts_) {
        qApp->removeEventFilter(this);
        escapeAborts_ = false;
    }
    if (!error.isEmpty())
        ProgramLog().WriteLog("Video capture stopped: " + error, true, "TVideoCap");
    RefreshStatus(true);
}

void TVideoCap::SimulateDeviceLost()
{
    if (window_)
        window_->SimulateDeviceLost();
}

} // namespace tarvo
