#include "capture/GstCaptureBackend.h"

#include "capture/GstCaptureSession.h"
#include "gst/GstPointers.h"

namespace tarvo {

namespace {
constexpr qint64 DeviceListLifetimeMs = 2000;
} // namespace

GstCaptureBackend::GstCaptureBackend(KeyValueStore& store) : store_(store) { EnsureGstInit(); }

const std::vector<DeviceEntry>& GstCaptureBackend::Devices()
{
    if (!listedAt_.isValid() || listedAt_.elapsed() > DeviceListLifetimeMs) {
        devices_ = EnumerateCaptureDevices();
        listedAt_.start();
    }
    return devices_;
}

std::optional<DeviceEntry> GstCaptureBackend::Device(int index)
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

std::unique_ptr<CaptureSession> GstCaptureBackend::CreateSession()
{
    return std::make_unique<GstCaptureSession>(*this);
}

} // namespace tarvo
