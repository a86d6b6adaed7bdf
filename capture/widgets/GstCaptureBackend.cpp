#include "capture/widgets/GstCaptureBackend.h"

#include "capture/widgets/GstCaptureWindow.h"
#include "gst/GstPointers.h"

namespace tarvo {

namespace {
constexpr qint64 DeviceListLifetimeMs = 2000;
CaptureBackend* overrideBackend = nullptr;
} // namespace

GstCaptureBackend::GstCaptureBackend() { EnsureGstInit(); }

const std::vector<CaptureDevice>& GstCaptureBackend::Devices()
{
    if (!listedAt_.isValid() || listedAt_.elapsed() > DeviceListLifetimeMs) {
        devices_ = EnumerateCaptureDevices();
        listedAt_.start();
    }
    return devices_;
}

std::optional<CaptureDevice> GstCaptureBackend::Device(int index)
{
    const auto& devices = Devices();
    if (index < 0 || index >= int(devices.size()))
        return std::nullopt;
    return devices[std::size_t(index)];
}

bool GstCaptureBackend::GetDriverDescription(int index, QString& name, QString& version)
{
    const auto device = Device(index);
    if (!device)
        return false;
    name = device->name;
    version = device->version;
    return true;
}

std::unique_ptr<CaptureWindow> GstCaptureBackend::CreateCaptureWindow(const QString& windowName, QWidget* parent,
                                                                      int width, int height)
{
    return std::make_unique<GstCaptureWindow>(*this, windowName, parent, width, height);
}

CaptureBackend& ProgramCaptureBackend()
{
    if (overrideBackend)
        return *overrideBackend;
    static GstCaptureBackend backend;
    return backend;
}

void SetProgramCaptureBackend(CaptureBackend* backend) { overrideBackend = backend; }

} // namespace tarvo
